// The exact rules of the PCNM construction that more than one program
// applies: every program computes a distance, a transformed distance, an
// axis scale and the count of PCNM variables with these, so that their
// results are the same doubles whichever path produced them.
#pragma once

#include <cmath>

#include "base/index.h"
#include "pcnm/constants.h"

namespace ortelix::pcnm {

// The distance between two sites of p coordinates, coordinate k of the
// first at a[k * a_step] and of the second at b[k * b_step]: the squared
// differences summed in increasing coordinate order from 0.0, then the
// square root. (x - y)^2 and (y - x)^2 are the same double, so the order
// of the two sites does not matter.
inline double site_distance(const double* a, Index a_step, const double* b, Index b_step, int p) {
  double sum = 0.0;
  for (int k = 0; k < p; ++k) {
    const double diff = a[k * a_step] - b[k * b_step];
    sum = sum + diff * diff;
  }
  return std::sqrt(sum);
}

// Sites stored one after the other, p coordinates each.
inline double site_distance(const double* a, const double* b, int p) { return site_distance(a, 1, b, 1, p); }

// The element of the matrix that the principal coordinate analysis centres:
// the square, then the halving, then the sign.
inline double transformed(double d) { return -((d * d) * 0.5); }

// The internal truncation limit of a limit typed in the units of the
// coordinates, `rangmax` being the ranging divisor.
inline double internal_limit(double limit, double rangmax) { return limit / rangmax + kLimitEpsilon; }

// What truncation makes of a distance above the internal limit `thresh`.
inline double far_distance(double thresh) { return thresh * kLargeDistanceMultiplier; }

// The factor an eigenvector is scaled by to give principal coordinates:
// the root of |eigenvalue|, rounded to single precision.
inline double axis_scale(double eigenvalue) {
  const double root = eigenvalue > 0.0 ? std::sqrt(eigenvalue) : std::sqrt(-eigenvalue);
  return static_cast<double>(static_cast<float>(root));
}

// How many of the eigenvalues, sorted in decreasing order, are PCNM
// variables: counted from the end, up to the first that is not below
// kPositive. An eigenvalue just below the bound that the sorting tolerance
// left in front of one just above it therefore counts as positive.
inline Index positive_count(const double* sorted, Index n) {
  Index below = 0;
  for (Index j = n - 1; j >= 0 && sorted[j] < kPositive; --j) ++below;
  return n - below;
}

}  // namespace ortelix::pcnm
