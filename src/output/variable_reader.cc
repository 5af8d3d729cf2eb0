#include "output/variable_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "textio/text_source.h"

namespace ortelix::output {
namespace {

using textio::at_line;
using textio::is_blank_line;
using textio::TextSource;
using textio::without_carriage_return;

// Variables and values a file may announce at most: more than any program
// writes (the variables of 10^6 sites by 100, say), and beyond them a count
// record is more likely a mistake than a file, whose memory would not be
// reasonable.
constexpr Index kMaxVariables = 100'000;
constexpr Index kMaxValues = 100'000'000;

enum class Field { kValue, kOverflow, kForeign };

// One field as F editing of width w with d = w - 5 decimals writes it:
// blanks, an optional minus, digits, the point and exactly d digits.
Field read_field(std::string_view f, int decimals, double& value) {
  if (f.find_first_not_of('*') == std::string_view::npos) return Field::kOverflow;
  std::size_t i = f.find_first_not_of(' ');
  if (i == std::string_view::npos) return Field::kForeign;
  const std::size_t start = i;
  if (f[i] == '-') ++i;
  while (i < f.size() && f[i] >= '0' && f[i] <= '9') ++i;
  if (i >= f.size() || f[i] != '.') return Field::kForeign;
  const std::size_t point = i++;
  while (i < f.size() && f[i] >= '0' && f[i] <= '9') ++i;
  if (i != f.size() || f.size() - point - 1 != static_cast<std::size_t>(decimals)) return Field::kForeign;
  value = std::strtod(std::string(f.substr(start)).c_str(), nullptr);
  return Field::kValue;
}

std::string which(Index object, Index variable) {
  return "object " + std::to_string(object + 1) + ", variable " + std::to_string(variable + 1);
}

// Where the fixed fields stopped matching the counts: the line, and what
// it held against what the object had left.
struct Mismatch {
  std::size_t line = 0;  // 1-based; 0: none
  std::string message;
};

// Reads the objects as fixed fields of width w, the way the programs wrote
// them, so that full fields that touch ("1234.5678901000.000000") are still
// told apart. Returns false when the lines are not such fields, with
// `mismatch` saying where a line of such fields did not fit the counts; an
// overflowing field is reported in `error`.
bool read_fixed_fields(const TextSource& source, VariableFile& file, int width, std::size_t& line, std::string& error,
                       Mismatch& mismatch) {
  file.values.clear();
  for (Index i = 0; i < file.n; ++i) {
    Index got = 0;
    while (got < file.nvar) {
      if (line >= source.line_count()) {
        mismatch = {source.line_count(), "the file ends before the last value of object " + std::to_string(i + 1) +
                                             " of " + std::to_string(file.n)};
        return false;
      }
      const std::string_view text = without_carriage_return(source.line(line));
      const Index fields = static_cast<Index>(text.size() / width);
      if (text.empty() || text.size() % width != 0) return false;
      if (got + fields > file.nvar) {
        mismatch = {line + 1, std::to_string(fields) + " values where object " + std::to_string(i + 1) + " has " +
                                  std::to_string(file.nvar - got) + " left: a line is missing or extra near here"};
        return false;
      }
      for (Index f = 0; f < fields; ++f, ++got) {
        double v = 0;
        switch (read_field(text.substr(static_cast<std::size_t>(f * width), width), width - 5, v)) {
          case Field::kValue: break;
          case Field::kOverflow:
            if (error.empty()) {
              error = at_line(source, line + 1, which(i, got) + " was written as asterisks (too wide for its field): its "
                                                "value is lost");
            }
            break;
          case Field::kForeign: return false;
        }
        file.values.push_back(v);
      }
      ++line;
    }
  }
  return true;
}

// Hand-made files: each object read as one free-format record.
Status read_free_values(TextSource& source, VariableFile& file, std::size_t& line) {
  source.skip_to(line);
  file.values.clear();
  std::vector<double> row(static_cast<std::size_t>(file.nvar));
  std::vector<textio::Target> targets;
  for (double& v : row) targets.emplace_back(v);
  for (Index i = 0; i < file.n; ++i) {
    std::size_t at = 0;
    if (auto r = source.read_record(targets, at); !r.ok()) {
      const std::string object = "object " + std::to_string(i + 1) + " of " + std::to_string(file.n);
      if (at >= 1 && at <= source.line_count() && source.line(at - 1).find("**") != std::string_view::npos) {
        return fail(at_line(source, at, object + ": a value was written as asterisks (too wide for its field): its value is lost"));
      }
      if (r.error().reason == "end of file") {
        return fail(at_line(source, at, "the file ends before the last value of " + object));
      }
      return fail(at_line(source, at, object + ": " + r.error().context + ": " + r.error().reason));
    }
    for (Index j = 0; j < file.nvar; ++j) {
      if (!std::isfinite(row[j])) {
        return fail(at_line(source, source.next_line(), which(i, j) + " is not a finite number"));
      }
    }
    file.values.insert(file.values.end(), row.begin(), row.end());
  }
  line = source.next_line();
  return {};
}

Status read_counts(TextSource& source, VariableFile& file, Index capacity) {
  std::int32_t a = 0, b = 0;
  std::size_t line = 0;
  const bool canoco = file.layout == Layout::kCanoco;
  const char* what = canoco ? "count record (nvar n)" : "count record (n nvar)";
  if (auto r = source.read_record({a, b}, line); !r.ok()) {
    if (r.error().reason == "end of file") return fail(at_line(source, line, std::string("the file ends inside its ") + what));
    return fail(at_line(source, line, std::string(what) + ": " + r.error().context + ": " + r.error().reason));
  }
  file.n = canoco ? b : a;
  file.nvar = canoco ? a : b;
  line = source.next_line();
  if (file.n < 1 || file.n > capacity) {
    return fail(at_line(source, line, std::to_string(file.n) + " objects: expected 1 to " + std::to_string(capacity)));
  }
  if (file.nvar < 1 || file.nvar > kMaxVariables) {
    return fail(at_line(source, line, file.nvar == 0 ? std::string("the file holds no variables")
                                                     : std::to_string(file.nvar) + " variables: expected 1 to " +
                                                           std::to_string(kMaxVariables)));
  }
  if (file.n * file.nvar > kMaxValues) {
    return fail(at_line(source, line, std::to_string(file.n) + " objects of " + std::to_string(file.nvar) +
                                          " variables: more values than the program reads (" +
                                          std::to_string(kMaxValues) + ")"));
  }
  return {};
}

// Layouts 1 and 2 carry no names. Principal coordinates are centred, so
// each column sums to zero but for the rounding of its printed values (half
// a unit of the sixth decimal each); monomials of the same F11.6 format
// (order 3) hold even powers, whose sums are far from zero.
bool looks_centred(const VariableFile& file) {
  const double rounding = 0.5e-6 * static_cast<double>(file.n) + 1e-9;
  for (Index j = 0; j < file.nvar; ++j) {
    double sum = 0;
    for (Index i = 0; i < file.n; ++i) sum += file.at(i, j);
    if (!(std::fabs(sum) <= rounding)) return false;
  }
  return true;
}

// The fields of a CSV line: commas only, no quoting (the programs never
// write a comma in a name).
std::vector<std::string_view> csv_fields(std::string_view line) {
  std::vector<std::string_view> out;
  for (std::size_t start = 0;;) {
    const std::size_t comma = line.find(',', start);
    std::string_view f = line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    while (!f.empty() && (f.front() == ' ' || f.front() == '\t')) f.remove_prefix(1);
    while (!f.empty() && (f.back() == ' ' || f.back() == '\t')) f.remove_suffix(1);
    out.push_back(f);
    if (comma == std::string_view::npos) return out;
    start = comma + 1;
  }
}

bool parse_double(std::string_view text, double& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

Expected<VariableFile> read_csv(const TextSource& source, Index capacity) {
  VariableFile file;
  file.layout = Layout::kCsv;
  const std::vector<std::string_view> header = csv_fields(without_carriage_return(source.line(0)));
  for (std::size_t k = 1; k < header.size(); ++k) {
    if (header[k].empty()) return fail(at_line(source, 1, "column " + std::to_string(k + 1) + " has no name"));
    file.names.emplace_back(header[k]);
  }
  file.nvar = static_cast<Index>(file.names.size());
  if (file.nvar == 0) return fail(at_line(source, 1, "the file holds no variables"));
  if (file.nvar > kMaxVariables) {
    return fail(at_line(source, 1, std::to_string(file.nvar) + " variables: expected 1 to " +
                                       std::to_string(kMaxVariables)));
  }
  bool pcnm = true;
  for (const std::string& name : file.names) pcnm = pcnm && name.starts_with("PCNM");
  file.kind = pcnm ? ReadKind::kPcnm : ReadKind::kUnnamed;
  for (std::size_t l = 1; l < source.line_count(); ++l) {
    const std::string_view text = without_carriage_return(source.line(l));
    if (is_blank_line(text)) continue;
    const std::vector<std::string_view> f = csv_fields(text);
    if (static_cast<Index>(f.size()) != file.nvar + 1) {
      return fail(at_line(source, l + 1, std::to_string(f.size()) + " fields where the header names " +
                                             std::to_string(file.nvar + 1)));
    }
    if (file.n == capacity || (file.n + 1) * file.nvar > kMaxValues) {
      return fail(at_line(source, l + 1, "more than " + std::to_string(file.n) + " objects of " +
                                             std::to_string(file.nvar) + " variables: expected at most " +
                                             std::to_string(std::min(capacity, kMaxValues / file.nvar)) + " objects"));
    }
    for (Index j = 0; j < file.nvar; ++j) {
      double v = 0;
      if (!parse_double(f[j + 1], v) || !std::isfinite(v)) {
        return fail(at_line(source, l + 1, which(file.n, j) + ": '" + std::string(f[j + 1]) + "' is not a finite number"));
      }
      file.values.push_back(v);
    }
    ++file.n;
  }
  if (file.n == 0) return fail(at_line(source, source.line_count(), "the file holds no objects"));
  return file;
}

}  // namespace

Expected<VariableFile> parse_variable_text(const std::string& name, std::string text, Index capacity) {
  TextSource source(name, std::move(text));
  if (source.line_count() >= 1 && without_carriage_return(source.line(0)).starts_with("site,")) {
    return read_csv(source, capacity);
  }
  VariableFile file;
  if (source.line_count() >= 2) {
    std::string_view second = without_carriage_return(source.line(1));
    while (!second.empty() && second.back() == ' ') second.remove_suffix(1);
    if (second == "FREE") {
      file.layout = Layout::kCanoco;
      file.title = std::string(without_carriage_return(source.line(0)));
      if (file.title.starts_with("File of PCNM")) file.kind = ReadKind::kPcnm;
      if (file.title.starts_with("File of monomials")) file.kind = ReadKind::kMonomial;
      source.skip_to(2);
    }
  }
  if (Status s = read_counts(source, file, capacity); !s.ok()) return fail(s.error());

  const std::size_t first = source.next_line();
  std::size_t line = first;
  std::string overflow;
  Mismatch mismatch;
  int width = 0;
  for (int w : {11, 10, 12}) {  // F11.6, F10.5, F12.7
    line = first;
    overflow.clear();
    Mismatch m;
    if (read_fixed_fields(source, file, w, line, overflow, m)) {
      width = w;
      break;
    }
    if (mismatch.line == 0 && m.line != 0) mismatch = m;
  }
  if (width != 0 && !overflow.empty()) return fail(overflow);
  if (width == 0) {
    line = first;
    if (Status s = read_free_values(source, file, line); !s.ok()) {
      // A file of fixed fields that lost or gained a line reads as free
      // format up to its end; where the fields stopped fitting is nearer
      // the fault.
      if (mismatch.line != 0) return fail(at_line(source, mismatch.line, mismatch.message));
      return fail(s.error());
    }
  }
  // The Canoco layout goes on with its label blocks; the others end here,
  // and anything more means that the counts do not describe the file.
  if (file.layout != Layout::kCanoco) {
    for (std::size_t i = line; i < source.line_count(); ++i) {
      if (!is_blank_line(source.line(i))) {
        if (width == 0 && mismatch.line != 0) return fail(at_line(source, mismatch.line, mismatch.message));
        return fail(at_line(source, i + 1,
                            "values beyond the " + std::to_string(file.n) + " objects of " + std::to_string(file.nvar) +
                                " values that the count record announces"));
      }
    }
    if (width == 11 && looks_centred(file)) file.kind = ReadKind::kPcnm;
  }
  return file;
}

Expected<VariableFile> read_variable_file(const std::string& path, Index capacity) {
  Expected<std::string> text = textio::read_whole_file(path);
  if (!text.ok()) return fail(text.error());
  return parse_variable_text(textio::display_name(path), std::move(*text), capacity);
}

}  // namespace ortelix::output
