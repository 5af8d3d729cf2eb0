#include "large/variable_writer.h"

#include <charconv>

#include "textio/fixed_fast.h"
#include "textio/format.h"
#include "textio/formatted_write.h"
#include "textio/list_write.h"

namespace ortelix::large {
namespace {

// The shortest text that reads back as exactly this double; no locale.
void append_number(std::string& line, double value) {
  char buf[32];
  const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
  line.append(buf, end);
}

void write_csv(textio::RecordSink& sink, long n, const double* x, long ld, const std::vector<int>& axes) {
  std::string line = "site";
  for (int axis : axes) line += ",PCNM" + std::to_string(axis);
  sink.record(line);
  for (long i = 0; i < n; ++i) {
    line = std::to_string(i + 1);
    for (std::size_t j = 0; j < axes.size(); ++j) {
      line.push_back(',');
      append_number(line, x[j * ld + i]);
    }
    sink.record(line);
  }
}

void write_counts(textio::RecordSink& sink, long first, long second) {
  textio::ListWrite w(sink);
  w.integer(first);
  w.integer(second);
  w.finish();
}

void write_values(textio::RecordSink& sink, const std::string& format, long n, const double* x, long ld,
                  std::size_t nvar) {
  textio::RepeatedFixed fast(format);
  std::vector<double> values(nvar);
  for (long i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < nvar; ++j) values[j] = x[j * ld + i];
    fast.write(sink, values.data(), static_cast<int>(nvar));
  }
}

template <class Numbers>
void write_labels(textio::RecordSink& sink, const std::string& word, long largest, const Numbers& numbers) {
  textio::Format format;
  std::string error;
  textio::parse_format(canoco_label_format(word, largest), format, error);
  textio::FormattedWrite w(format, sink);
  for (long k : numbers) w.put(static_cast<std::int64_t>(k));
  w.finish();
}

struct Count {
  long n;
  struct It {
    long k;
    long operator*() const { return k; }
    It& operator++() {
      ++k;
      return *this;
    }
    bool operator!=(const It& o) const { return k != o.k; }
  };
  It begin() const { return {1}; }
  It end() const { return {n + 1}; }
};

}  // namespace

std::string canoco_label_format(const std::string& word, long largest) {
  if (largest <= 99) return "(10('" + word + "',I2,2X,:))";
  if (largest <= 999) return "(10('" + word + "',I3,1X,:))";
  int digits = 4;
  for (long limit = 9999; largest > limit && digits < 8; limit = limit * 10 + 9) ++digits;
  const std::string shortened = word.substr(0, static_cast<std::size_t>(8 - digits));
  if (shortened.empty()) return "(10(I8,:))";
  return "(10('" + shortened + "',I" + std::to_string(digits) + ",:))";
}

void write_variables(textio::RecordSink& sink, VariableFormat format, long n, const double* x, long ld,
                     const std::vector<int>& axes) {
  const std::size_t nvar = axes.size();
  switch (format) {
    case VariableFormat::kCsv:
      write_csv(sink, n, x, ld, axes);
      return;
    case VariableFormat::kOneLine:
    case VariableFormat::kFolded: {
      write_counts(sink, n, static_cast<long>(nvar));
      // One line per site however many variables: the repeat count grows
      // with them instead of folding at a fixed number.
      const std::string one_line = "(" + std::to_string(nvar > 0 ? nvar : 1) + "F11.6)";
      write_values(sink, format == VariableFormat::kOneLine ? one_line : "(11F11.6)", n, x, ld, nvar);
      return;
    }
    case VariableFormat::kCanoco: {
      sink.record("File of PCNM variables");
      sink.record("FREE");
      write_counts(sink, static_cast<long>(nvar), n);
      write_values(sink, "(11F11.6)", n, x, ld, nvar);
      long largest_axis = 0;
      for (int a : axes) largest_axis = std::max<long>(largest_axis, a);
      write_labels(sink, "PCNM", largest_axis, axes);
      write_labels(sink, "Site", n, Count{n});
      return;
    }
  }
}

}  // namespace ortelix::large
