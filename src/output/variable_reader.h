// The file of spatial variables read back, in any layout that the programs
// write, for the programs that work on it (maps).
#pragma once

#include <string>
#include <vector>

#include "base/expected.h"
#include "base/index.h"
#include "output/variable_writer.h"

namespace ortelix::output {

enum class ReadKind { kUnnamed, kPcnm, kMonomial };

struct VariableFile {
  Layout layout = Layout::kOneLine;  // kOneLine also stands for the folded layout
  std::string title;                 // Canoco layout only
  ReadKind kind = ReadKind::kUnnamed;
  std::vector<std::string> names;    // CSV column names, without "site"
  Index n = 0;                       // objects (rows)
  Index nvar = 0;                    // variables per object
  std::vector<double> values;        // object i, variable j at values[i * nvar + j]

  double at(Index i, Index j) const { return values[static_cast<std::size_t>(i * nvar + j)]; }
};

// Layouts 1 and 2 start with the count record " n nvar"; the Canoco layout
// with a title, "FREE" and " nvar n"; a CSV table with a header line
// "site,NAME,...". In the first three each object starts on a new line and
// its values run on over as many lines as they need. A value written as
// asterisks is refused (its digits are lost), as is one that is not a
// finite number. At most `capacity` objects. The kind: the Canoco title
// or CSV names tell it; in layouts 1 and 2, values of F11.6 fields whose
// every column sums to zero within their rounding are PCNM variables
// (principal coordinates are centred; monomials of that format are not).
// "-" reads standard input. Errors are "file:line: what".
Expected<VariableFile> read_variable_file(const std::string& path, Index capacity);
Expected<VariableFile> parse_variable_text(const std::string& name, std::string text, Index capacity);

}  // namespace ortelix::output
