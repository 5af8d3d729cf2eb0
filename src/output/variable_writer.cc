#include "output/variable_writer.h"

#include <algorithm>
#include <charconv>

#include "textio/fixed_fast.h"
#include "textio/format.h"
#include "textio/formatted_write.h"
#include "textio/list_write.h"

namespace ortelix::output {
namespace {

// The dialogue program's one-line format repeats its descriptor 2000 times,
// its capacity; more variables than that still go on one line.
constexpr Index kOneLineRepeat = 2000;

const char* word(Kind kind) { return kind == Kind::kPcnm ? "PCNM" : "Mono"; }

// A write statement with a format and no items: its text only.
void write_text(textio::RecordSink& sink, const std::string& format) {
  sink.transfer(format);
  textio::FormattedWrite w(textio::format_of(format), sink);
  w.finish();
}

void write_counts(textio::RecordSink& sink, Index first, Index second) {
  sink.transfer("list io");
  textio::ListWrite w(sink);
  w.integer(first);
  w.integer(second);
  w.finish();
}

void write_values(textio::RecordSink& sink, const std::string& format, const VariableTable& t) {
  textio::RepeatedFixed fast(format);
  std::vector<double> values(t.columns.size());
  for (Index i = 0; i < t.n; ++i) {
    for (std::size_t k = 0; k < t.columns.size(); ++k) values[k] = t.x[t.columns[k] * t.ld + i];
    sink.transfer(format);
    fast.write(sink, values.data(), static_cast<int>(values.size()));
  }
}

void write_labels(textio::RecordSink& sink, const std::string& word, const std::vector<Index>& numbers) {
  Index largest = 0;
  for (Index k : numbers) largest = std::max(largest, k);
  const std::string format = label_format(word, largest);
  sink.transfer(format);
  textio::FormattedWrite w(textio::format_of(format), sink);
  for (Index k : numbers) w.put(static_cast<std::int64_t>(k));
  w.finish();
}

// The shortest text that reads back as exactly this double; no locale.
void append_number(std::string& line, double value) {
  char buf[32];
  const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
  line.append(buf, end);
}

void write_csv(textio::RecordSink& sink, const VariableTable& t) {
  std::string line = "site";
  for (std::size_t k = 0; k < t.columns.size(); ++k) {
    line += ',';
    line += k < t.names.size() ? t.names[k] : word(t.kind) + std::to_string(t.numbers[k]);
  }
  sink.record(line);
  for (Index i = 0; i < t.n; ++i) {
    line = std::to_string(i + 1);
    for (Index c : t.columns) {
      line.push_back(',');
      append_number(line, t.x[c * t.ld + i]);
    }
    sink.record(line);
  }
}

}  // namespace

std::string value_format(const VariableTable& t, Layout layout) {
  std::string field = "F11.6";
  int folded = 11;
  if (t.kind == Kind::kMonomial && t.order == 2) {
    field = "F10.5";
    folded = 12;
  } else if (t.kind == Kind::kMonomial && t.order != 3) {
    field = "F12.7";
    folded = 10;
  }
  const Index count = std::max<Index>(kOneLineRepeat, static_cast<Index>(t.columns.size()));
  return "(" + std::to_string(layout == Layout::kOneLine ? count : folded) + field + ")";
}

std::string label_format(const std::string& word, Index largest) {
  if (largest <= 99) return "(10('" + word + "',I2,2X,:))";
  if (largest <= 999) return "(10('" + word + "',I3,1X,:))";
  int digits = 4;
  for (Index limit = 9999; largest > limit && digits < 8; limit = limit * 10 + 9) ++digits;
  const std::string shortened = word.substr(0, static_cast<std::size_t>(8 - digits));
  if (shortened.empty()) return "(10(I8,:))";
  return "(10('" + shortened + "',I" + std::to_string(digits) + ",:))";
}

void write_variables(textio::RecordSink& sink, Layout layout, const VariableTable& t) {
  const Index nvar = static_cast<Index>(t.columns.size());
  switch (layout) {
    case Layout::kCsv:
      write_csv(sink, t);
      return;
    case Layout::kOneLine:
    case Layout::kFolded:
      write_counts(sink, t.n, nvar);
      write_values(sink, value_format(t, layout), t);
      return;
    case Layout::kCanoco: {
      write_text(sink, t.kind == Kind::kPcnm ? "('File of PCNM variables')" : "('File of monomials')");
      write_text(sink, "('FREE')");
      write_counts(sink, nvar, t.n);
      write_values(sink, value_format(t, Layout::kFolded), t);
      write_labels(sink, word(t.kind), t.numbers);
      std::vector<Index> sites(static_cast<std::size_t>(t.n));
      for (Index i = 0; i < t.n; ++i) sites[i] = i + 1;
      write_labels(sink, "Site", sites);
      return;
    }
  }
}

}  // namespace ortelix::output
