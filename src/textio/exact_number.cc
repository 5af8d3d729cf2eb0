#include "textio/exact_number.h"

#include <cstdio>
#include <cstdlib>

namespace ortelix::textio {

std::string exact_number(double value) {
  char buf[40];
  for (int digits = 9; digits <= 17; ++digits) {
    std::snprintf(buf, sizeof buf, "%.*g", digits, value);
    if (std::strtod(buf, nullptr) == value) break;
  }
  return buf;
}

}  // namespace ortelix::textio
