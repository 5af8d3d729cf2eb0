#include "pcnm/correl.h"

#include <algorithm>
#include <cmath>

#include "pcnm/checkpoint.h"
#include "pcnm/constants.h"
#include "pcnm/fast_kernels.h"

namespace ortelix::pcnm {
namespace {

// Square blocks for the transposing copies, so that both sides of a copy
// stay within a few pages.
constexpr long kTile = 64;

// c(r, s) for r <= s < q of c = a b where a is b's transpose (a(r, t) =
// b(t, r)), then the lower triangle mirrored: c(s, r) sums the same products
// b(t, s) b(t, r) over the same increasing t, so it is the same double.
void symmetric_product(const double* a, const double* b, double* c, Index k, Index q, long ld) {
  const FastKernels& kernels = fast_kernels(Isa::kAuto);
  for (int r0 = 0; r0 < q; r0 += kPanel) {
    checkpoint();
    const int r1 = std::min<int>(q, r0 + kPanel);
    kernels.cross_products(a, b, c, ld, k, r0, r1, r0, q);
  }
  for (long s0 = 0; s0 < q; s0 += kTile) {
    for (long r0 = 0; r0 <= s0; r0 += kTile) {
      for (long s = s0; s < std::min<long>(q, s0 + kTile); ++s) {
        for (long r = r0; r < std::min(s, r0 + kTile); ++r) c[r * ld + s] = c[s * ld + r];
      }
    }
  }
}

}  // namespace

void produit(const double* a, const double* b, double* c, Index m, Index k, Index q,
             Index ld) {
  // Each lane of the kernel is one c(r, s), summed over t in increasing
  // order from 0 like the plain triple loop.
  fast_kernels(Isa::kAuto).cross_products(a, b, c, ld, k, 0, m, 0, q);
}

Index standardize(Index n, Index nvar, double* x, Index ld, double* vsum,
                         double* vsumsq, double* vmean, double* vsd) {
  const long l = ld;
  const double dn = static_cast<double>(n);
  // Column by column: each sum still runs over the objects in increasing
  // order, and the column is read contiguously.
  for (long j = 0; j < nvar; ++j) {
    const double* col = x + j * l;
    double sum = 0.0;
    double sumsq = 0.0;
    for (long i = 0; i < n; ++i) {
      sum = sum + col[i];
      sumsq = sumsq + col[i] * col[i];
    }
    vsum[j] = sum;
    vsumsq[j] = sumsq;
  }
  for (long j = 0; j < nvar; ++j) {
    vmean[j] = vsum[j] / dn;
    double variance = (vsumsq[j] - vsum[j] * vsum[j] / dn) / (dn - 1.0);
    // Rounding can make the variance of a constant column slightly negative:
    // that is no variance, not a NaN that would slip past the check.
    vsd[j] = (variance >= 0.0) ? std::sqrt(variance) : 0.0;
  }
  for (long j = 0; j < nvar; ++j) {
    if (vsd[j] < kTol) return j + 1;
  }
  for (long j = 0; j < nvar; ++j) {
    double* col = x + j * l;
    for (long i = 0; i < n; ++i) col[i] = (col[i] - vmean[j]) / vsd[j];
  }
  return 0;
}

CorrelResult correl(Index n, Index nvar, double* x, Index ld, double* vsum, double* vsumsq,
                    double* vmean, double* vsd, double* corlin, double* xprime) {
  const long l = ld;
  const double dn = static_cast<double>(n);
  CorrelResult result;
  result.zero_variance = standardize(n, nvar, x, ld, vsum, vsumsq, vmean, vsd);
  if (result.zero_variance != 0) return result;
  for (long i0 = 0; i0 < n; i0 += kTile) {
    for (long j0 = 0; j0 < nvar; j0 += kTile) {
      for (long i = i0; i < std::min<long>(n, i0 + kTile); ++i) {
        for (long j = j0; j < std::min<long>(nvar, j0 + kTile); ++j) xprime[i * l + j] = x[j * l + i];
      }
    }
  }
  symmetric_product(xprime, x, corlin, n, nvar, l);
  const double divisor = dn - 1.0;
  for (long b = 0; b < nvar; ++b) {
    for (long a = 0; a < nvar; ++a) corlin[b * l + a] = corlin[b * l + a] / divisor;
  }
  // The largest of a set does not depend on the order of the scan.
  double largest = 0.0;
  for (long b = 1; b < nvar; ++b) {
    for (long a = 0; a < b; ++a) {
      double v = std::fabs(corlin[b * l + a]);
      if (v >= largest) largest = v;
    }
  }
  result.largest = largest;
  return result;
}

}  // namespace ortelix::pcnm
