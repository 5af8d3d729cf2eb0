// The file of spatial variables, in each layout that any program writes:
// the dialogue program's three (one line per site, folded, Canoco FREE
// format) and a CSV table. One writer for every program, so that a layout
// means the same characters whichever program wrote it.
#pragma once

#include <string>
#include <vector>

#include "base/index.h"
#include "textio/record_sink.h"

namespace ortelix::output {

enum class Layout {
  kOneLine,  // the count record " n nvar", then one line per site
  kFolded,   // the same, folded at 10 to 12 values a line
  kCanoco,   // title, "FREE", " nvar n", folded values, variable and site labels
  kCsv,      // a header "site,<name>,...", then one row per site, every digit kept
};

enum class Kind { kPcnm, kMonomial };

struct VariableTable {
  Kind kind = Kind::kPcnm;
  int order = 0;  // monomials: the polynomial's order, which sets the number format
  Index n = 0;    // sites, the rows written
  // Site i of stored column c at x[c * ld + i].
  const double* x = nullptr;
  Index ld = 0;
  std::vector<Index> columns;  // the stored columns written, in order
  // Their numbers in the labels and the default CSV names ("PCNM3").
  std::vector<Index> numbers;
  // CSV column names, when not the word and the number.
  std::vector<std::string> names;
};

// The number format of the values: F11.6 for PCNM variables and monomials
// of order 3, F10.5 for order 2, F12.7 for orders 4 and 5; `count` values
// a record on one line per site, the folded count otherwise.
std::string value_format(const VariableTable& table, Layout layout);

// The labels of a Canoco block of numbers up to `largest`: the word and the
// number in 8 characters, ten to a line, the word shortened once numbers
// need more than 4 digits so that labels stay 8 characters and distinct.
std::string label_format(const std::string& word, Index largest);

// Every record of the file, each write statement announced to the sink.
void write_variables(textio::RecordSink& sink, Layout layout, const VariableTable& table);

}  // namespace ortelix::output
