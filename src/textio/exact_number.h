// Numbers as the tools print them for people to read and type back.
#pragma once

#include <string>

namespace ortelix::textio {

// At least 9 significant digits, and as many more as it takes for the text
// to read back as exactly `value`: typed back as an answer, it is the same
// double.
std::string exact_number(double value);

}  // namespace ortelix::textio
