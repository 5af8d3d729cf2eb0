#include "pcnm/distances.h"

#include <cmath>

#include "pcnm/constants.h"

namespace ortelix::pcnm {

void compute_distances(const double* x, std::int32_t ntot, std::int32_t p, std::int32_t ld, double* d) {
  const long l = ld;
  for (long j = 1; j < ntot; ++j) {
    for (long i = 0; i < j; ++i) {
      double sum = 0.0;
      for (long k = 0; k < p; ++k) {
        double diff = x[k * l + i] - x[k * l + j];
        sum = sum + diff * diff;
      }
      double dist = std::sqrt(sum);
      d[j * l + i] = dist;  // (i, j), upper
      d[i * l + j] = dist;  // (j, i), lower: kept untouched
    }
  }
}

void truncate_distances(double* d, std::int32_t ntot, std::int32_t ld, double thresh) {
  const long l = ld;
  const double large = thresh * kLargeDistanceMultiplier;
  for (long j = 1; j < ntot; ++j) {
    for (long i = 0; i < j; ++i) {
      double dist = d[i * l + j];
      d[j * l + i] = dist > thresh ? large : dist;
    }
  }
}

}  // namespace ortelix::pcnm
