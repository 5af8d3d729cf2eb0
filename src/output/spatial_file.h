// The dialogue program's spatial-variable file (unit 12): one line per
// object, folded object vectors, or the Canoco FREE-format file.
#pragma once

#include <cstdint>
#include <vector>

#include "base/index.h"

namespace ortelix::output {

constexpr int kVariableUnit = 12;

// The stored columns of x written, 0-based, in order. PCNM variables
// (method 1) and monomials of one coordinate: columns 0..nvar-1. Monomials
// of two coordinates: by increasing degree and, within a degree, by
// decreasing power of x, whatever nvar says.
std::vector<Index> written_columns(std::int32_t p, std::int32_t nvar, std::int32_t method, std::int32_t order);

// Layouts 1 and 2: the count record " n nvar", then each object's values.
void writeout(std::int32_t n, std::int32_t p, std::int32_t nvar, std::int32_t nmax, const double* x,
              std::int32_t layout, std::int32_t method, std::int32_t order);

// Layout 3: title, "FREE", " nvar n", the folded values, the variable labels
// and the site labels, ten to a line.
void canocofree(std::int32_t n, std::int32_t p, std::int32_t nvar, std::int32_t nmax, const double* x,
                std::int32_t method, std::int32_t order);

}  // namespace ortelix::output
