// Euclidean distances among the sites and their truncation.
#pragma once

#include "base/index.h"

#include <cstdint>

namespace ortelix::pcnm {

// d(i, j), i < j, is the distance between objects i and j of x (ntot rows,
// p coordinates, leading dimension ld), the squares summed in increasing
// coordinate order. The same value is kept in d(j, i): the strict lower
// triangle holds the true distances for every later truncation.
void compute_distances(const double* x, Index ntot, Index p, Index ld, double* d);

// Every truncation starts from the true distances of the lower triangle:
// d(i, j) = d(j, i), replaced by thresh * 4 when strictly above thresh. A
// NaN distance is never replaced.
void truncate_distances(double* d, Index ntot, Index ld, double thresh);

}  // namespace ortelix::pcnm
