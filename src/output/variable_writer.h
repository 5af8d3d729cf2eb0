// The file of spatial variables of ortelix-pcnm: a CSV table, or one of the
// dialogue program's three layouts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "textio/record_sink.h"

namespace ortelix::large {

enum class VariableFormat {
  kCsv,     // header "site,PCNM1,...", then one row per site
  kOneLine, // the count record " n nvar", then one line per site (F11.6)
  kFolded,  // the same, eleven values per line
  kCanoco,  // title, "FREE", " nvar n", folded values, variable and site labels
};

// Writes rows 0..n-1 of columns 0..nvar-1 of x (site i of column j at
// x[j * ld + i]); axes[j] is the number of column j's principal axis, which
// names it in the CSV header and the Canoco labels.
void write_variables(textio::RecordSink& sink, VariableFormat format, long n, const double* x, long ld,
                     const std::vector<int>& axes);

// The Canoco label format for numbers up to `largest`: the word and the
// number in 8 characters, the word shortened once the number needs more
// than 4 digits so that labels stay 8 characters and distinct.
std::string canoco_label_format(const std::string& word, long largest);

}  // namespace ortelix::large
