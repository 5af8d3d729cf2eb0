// Fw.d fields and records of repeated Fw.d fields without the general
// format machinery, for the spatial-variable file's millions of values. The
// characters are those of edit_fixed and of a FormattedWrite, exactly.
#pragma once

#include <string>
#include <string_view>

#include "textio/record_sink.h"

namespace ortelix::textio {

// edit_fixed, with exact integer arithmetic for the magnitudes and decimals
// the program writes; anything else goes to edit_fixed itself.
void edit_fixed_fast(std::string& out, double value, int w, int d);

// A format that is one repeated F descriptor and nothing else, "(rFw.d)".
class RepeatedFixed {
 public:
  explicit RepeatedFixed(std::string_view format);
  // False when the format is anything else: then use FormattedWrite.
  bool valid() const { return valid_; }
  // The records of one formatted write of `count` values: r values to a
  // record, the format reverting to a new record while values remain, the
  // last record holding what is left; no values make one empty record.
  void write(RecordSink& sink, const double* values, int count);

 private:
  bool valid_ = false;
  int repeat_ = 0, width_ = 0, decimals_ = 0;
  std::string record_;
};

}  // namespace ortelix::textio
