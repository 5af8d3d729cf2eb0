#include "tools/variable_file.h"

#include <cstdlib>
#include <string_view>

#include "tools/sites.h"
#include "tools/text_source.h"

namespace ortelix::tools {
namespace {

std::string_view without_carriage_return(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

enum class Field { kValue, kOverflow, kForeign };

// One field as F editing of width w with d = w - 5 decimals writes it:
// blanks, an optional minus, digits, the point and exactly d digits.
Field read_field(std::string_view f, int decimals, double& value) {
  if (f.find_first_not_of('*') == std::string_view::npos) return Field::kOverflow;
  std::size_t i = f.find_first_not_of(' ');
  if (i == std::string_view::npos) return Field::kForeign;
  std::size_t start = i;
  if (f[i] == '-') ++i;
  while (i < f.size() && f[i] >= '0' && f[i] <= '9') ++i;
  if (i >= f.size() || f[i] != '.') return Field::kForeign;
  std::size_t point = i++;
  while (i < f.size() && f[i] >= '0' && f[i] <= '9') ++i;
  if (i != f.size() || f.size() - point - 1 != static_cast<std::size_t>(decimals)) return Field::kForeign;
  value = std::strtod(std::string(f.substr(start)).c_str(), nullptr);
  return Field::kValue;
}

std::string overflow_message(const TextSource& source, std::size_t line, long object, long variable) {
  return at_line(source, line,
                 "object " + std::to_string(object + 1) + ", variable " + std::to_string(variable + 1) +
                     " was written as asterisks (too wide for its field): its value is lost");
}

// Reads the objects as fixed fields of width w, the way the program wrote
// them, so that full fields that touch ("1234.5678901000.000000") are still
// told apart. Returns false when the lines are not such fields; an
// overflowing field is reported in `error`.
bool read_fixed_fields(const TextSource& source, VariableFile& file, int width, std::size_t& line,
                       std::string& error) {
  for (long i = 0; i < file.n; ++i) {
    long got = 0;
    while (got < file.nvar) {
      if (line >= source.line_count()) return false;
      std::string_view text = without_carriage_return(source.line(line));
      const long fields = static_cast<long>(text.size() / width);
      if (text.empty() || text.size() % width != 0 || got + fields > file.nvar) return false;
      for (long f = 0; f < fields; ++f, ++got) {
        double& v = file.values[static_cast<std::size_t>(i * file.nvar + got)];
        switch (read_field(text.substr(f * width, width), width - 5, v)) {
          case Field::kValue: break;
          case Field::kOverflow:
            if (error.empty()) error = overflow_message(source, line + 1, i, got);
            break;
          case Field::kForeign: return false;
        }
      }
      ++line;
    }
  }
  return true;
}

// Hand-made files: each object read as one free-format record.
std::optional<std::string> read_free_values(TextSource& source, VariableFile& file, std::size_t& line) {
  source.skip_to(line);
  std::vector<textio::Target> targets;
  for (long i = 0; i < file.n; ++i) {
    targets.clear();
    for (long j = 0; j < file.nvar; ++j) targets.emplace_back(file.values[static_cast<std::size_t>(i * file.nvar + j)]);
    std::size_t at = 0;
    if (auto err = source.read_record(targets, at)) {
      const std::string which = "object " + std::to_string(i + 1) + " of " + std::to_string(file.n);
      if (at <= source.line_count() && source.line(at - 1).find("**") != std::string_view::npos) {
        return at_line(source, at, which + ": a value was written as asterisks (too wide for its field): its value is lost");
      }
      if (err->reason == "end of file") return at_line(source, at, "the file ends before the last value of " + which);
      return at_line(source, at, which + ": " + err->context + ": " + err->reason);
    }
  }
  line = source.next_line();
  return std::nullopt;
}

std::optional<std::string> read_counts(TextSource& source, VariableFile& file) {
  std::int32_t a = 0, b = 0;
  std::size_t line = 0;
  const char* what = file.canoco ? "count record (nvar n)" : "count record (n nvar)";
  if (auto err = source.read_record({a, b}, line)) {
    if (err->reason == "end of file") return at_line(source, line, std::string("the file ends inside its ") + what);
    return at_line(source, line, std::string(what) + ": " + err->context + ": " + err->reason);
  }
  file.n = file.canoco ? b : a;
  file.nvar = file.canoco ? a : b;
  line = source.next_line();
  if (file.n < 1 || file.n > kMaxSites) {
    return at_line(source, line, std::to_string(file.n) + " objects: expected 1 to " + std::to_string(kMaxSites));
  }
  if (file.nvar < 1 || file.nvar > kMaxSites) {
    return at_line(source, line,
                   file.nvar == 0 ? std::string("the file holds no variables")
                                  : std::to_string(file.nvar) + " variables: expected 1 to " + std::to_string(kMaxSites));
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> read_variable_file(const std::string& path, VariableFile& file) {
  std::string text;
  if (auto err = read_whole_file(path, text)) return path + ": " + *err;
  TextSource source(path, std::move(text));
  file = VariableFile{};
  if (source.line_count() >= 2) {
    std::string_view second = without_carriage_return(source.line(1));
    while (!second.empty() && second.back() == ' ') second.remove_suffix(1);
    if (second == "FREE") {
      file.canoco = true;
      file.title = std::string(without_carriage_return(source.line(0)));
      if (file.title.starts_with("File of PCNM")) file.kind = VariableKind::kPcnm;
      if (file.title.starts_with("File of monomials")) file.kind = VariableKind::kMonomial;
      source.skip_to(2);
    }
  }
  if (auto err = read_counts(source, file)) return err;
  file.values.assign(static_cast<std::size_t>(file.n * file.nvar), 0.0);

  const std::size_t first = source.next_line();
  std::size_t line = first;
  std::string overflow;
  bool fixed = false;
  for (int width : {11, 10, 12}) {  // F11.6, F10.5, F12.7
    line = first;
    overflow.clear();
    if ((fixed = read_fixed_fields(source, file, width, line, overflow))) break;
  }
  if (fixed && !overflow.empty()) return overflow;
  if (!fixed) {
    line = first;
    if (auto err = read_free_values(source, file, line)) return err;
  }
  // The Canoco layout goes on with its label blocks; the others end here,
  // and anything more means that the counts do not describe the file.
  if (!file.canoco) {
    for (std::size_t i = line; i < source.line_count(); ++i) {
      if (without_carriage_return(source.line(i)).find_first_not_of(" \t") != std::string_view::npos) {
        return at_line(source, i + 1,
                       "values beyond the " + std::to_string(file.n) + " objects of " + std::to_string(file.nvar) +
                           " values that the count record announces");
      }
    }
  }
  return std::nullopt;
}

}  // namespace ortelix::tools
