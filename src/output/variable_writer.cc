#include "output/variable_writer.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <vector>

#include "pcnm/team.h"
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

// Rows a thread formats at a time: to_chars is most of the time a large
// file takes (100 000 sites with 100 variables: 0.8 s of writing on one
// thread, 0.4 s on two).
constexpr Index kBatchRows = 4096;

void write_csv(textio::RecordSink& sink, const VariableTable& t) {
  std::string line = "site";
  for (std::size_t k = 0; k < t.columns.size(); ++k) {
    line += ',';
    line += k < t.names.size() ? t.names[k] : word(t.kind) + std::to_string(t.numbers[k]);
  }
  sink.record(line);
  // Two batches at a time, one a thread, into text and the ends of its
  // lines; the sink takes them in order.
  std::string text[2];
  std::vector<std::size_t> ends[2];
  const auto format = [&](Index r0, Index r1, int part) {
    std::string& out = text[part];
    out.clear();
    ends[part].clear();
    for (Index i = r0; i < r1; ++i) {
      out += std::to_string(i + 1);
      for (Index c : t.columns) {
        out.push_back(',');
        append_number(out, t.x[c * t.ld + i]);
      }
      ends[part].push_back(out.size());
    }
  };
  const bool large = t.n * static_cast<Index>(t.columns.size() + 1) >= 4 * kBatchRows;
  pcnm::Team team(large && pcnm::usable_processors() >= 2 ? 2 : 1);
  for (Index r0 = 0; r0 < t.n; r0 += 2 * kBatchRows) {
    team.run(true, [&](int part) {
      const Index first = std::min(t.n, r0 + part * kBatchRows);
      format(first, std::min(t.n, first + kBatchRows), part);
    });
    for (int part = 0; part < 2; ++part) {
      std::size_t from = 0;
      for (std::size_t end : ends[part]) {
        sink.record(std::string_view(text[part]).substr(from, end - from));
        from = end;
      }
    }
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
