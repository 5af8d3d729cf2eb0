// The spatial-variable file (unit 12): one line per object, folded object
// vectors, or the Canoco FREE-format file.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace ortelix::output {

constexpr int kVariableUnit = 12;

// How the values of one object are written: the number format (one of the
// one-line and folded format strings) and the stored columns of x, 1-based,
// in the order written.
struct ValueLayout {
  std::string_view one_line_format;  // "(2000F11.6)" ...
  std::string_view folded_format;    // "(11F11.6)" ...
  std::vector<std::int32_t> columns;
};

// PCNM variables (method 1): F11.6, columns 1..nvar. Monomials: F10.5 for
// order 2, F11.6 for order 3, F12.7 for 4 and 5; one coordinate (p = 1):
// columns 1..nvar; otherwise by increasing degree and, within a degree, by
// decreasing power of x, whatever nvar says.
ValueLayout value_layout(std::int32_t p, std::int32_t nvar, std::int32_t method, std::int32_t order);

// Layouts 1 and 2: the count record " n nvar", then each object's values.
void writeout(std::int32_t n, std::int32_t p, std::int32_t nvar, std::int32_t nmax, const double* x,
              std::int32_t layout, std::int32_t method, std::int32_t order);

// Layout 3: title, "FREE", " nvar n", the folded values, the variable labels
// and the site labels, ten to a line.
void canocofree(std::int32_t n, std::int32_t p, std::int32_t nvar, std::int32_t nmax, const double* x,
                std::int32_t method, std::int32_t order);

}  // namespace ortelix::output
