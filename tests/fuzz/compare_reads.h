// One free-format read done by the product and by the reference reader.
#pragma once

#include <vector>

#include "fuzz/reference_reader.h"
#include "textio/char_stream.h"

namespace ortelix::fuzz {

// Reads `count` items of `kind` from both streams and fails on any
// difference: the outcome, each item's value (bit for bit) or, for an item
// that received no value, its earlier value. Also fails when an error is not
// one of the diagnostics of the text layer or a name is not 79 characters.
// Returns false after an error (the run would end there). `values`, when
// given, receives the items as read.
bool compare_read(textio::CharStream& in, RefStream& ref, Kind kind, int count,
                  std::vector<RefItem>* values = nullptr);

}  // namespace ortelix::fuzz
