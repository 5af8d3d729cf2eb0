// The spatial-variable file, in any of the program's three layouts.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ortelix::tools {

enum class VariableKind { kUnnamed, kPcnm, kMonomial };

struct VariableFile {
  bool canoco = false;  // title, "FREE", labels
  std::string title;    // Canoco layout only
  VariableKind kind = VariableKind::kUnnamed;
  long n = 0;                  // objects (rows)
  long nvar = 0;               // variables per object
  std::vector<double> values;  // object i, variable j at values[i * nvar + j]

  double at(long i, long j) const { return values[static_cast<std::size_t>(i * nvar + j)]; }
};

// Layouts 1 and 2 start with the count record " n nvar"; the Canoco layout
// with a title, "FREE" and " nvar n". Each object starts on a new line and
// its values run on over as many lines as they need. A value written as
// asterisks is refused: its digits are lost. Returns an error message
// ("file:line: ...") or nothing.
std::optional<std::string> read_variable_file(const std::string& path, VariableFile& file);

}  // namespace ortelix::tools
