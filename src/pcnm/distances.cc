#include "pcnm/distances.h"

#include "pcnm/rules.h"

namespace ortelix::pcnm {

void compute_distances(const double* x, Index ntot, Index p, Index ld, double* d) {
  const long l = ld;
  for (long j = 1; j < ntot; ++j) {
    for (long i = 0; i < j; ++i) {
      const double dist = site_distance(x + i, l, x + j, l, static_cast<int>(p));
      d[j * l + i] = dist;  // (i, j), upper
      d[i * l + j] = dist;  // (j, i), lower: kept untouched
    }
  }
}

void truncate_distances(double* d, Index ntot, Index ld, double thresh) {
  const long l = ld;
  const double large = far_distance(thresh);
  for (long j = 1; j < ntot; ++j) {
    for (long i = 0; i < j; ++i) {
      double dist = d[i * l + j];
      d[j * l + i] = dist > thresh ? large : dist;
    }
  }
}

}  // namespace ortelix::pcnm
