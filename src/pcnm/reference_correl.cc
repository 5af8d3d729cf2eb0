#include "pcnm/reference_correl.h"

#include <cmath>

#include "pcnm/constants.h"

namespace ortelix::pcnm {

void produit_reference(const double* a, const double* b, double* c, Index m, Index k, Index q,
                    Index ld) {
  const long l = ld;
  for (long r = 0; r < m; ++r) {
    for (long s = 0; s < q; ++s) {
      double sum = 0.0;
      for (long t = 0; t < k; ++t) sum = sum + a[t * l + r] * b[s * l + t];
      c[s * l + r] = sum;
    }
  }
}

CorrelResult correl_reference(Index n, Index nvar, double* x, Index ld, double* vsum,
                                 double* vsumsq, double* vmean, double* vsd, double* corlin, double* xprime) {
  const long l = ld;
  const double dn = static_cast<double>(n);
  CorrelResult result;
  for (long j = 0; j < nvar; ++j) {
    vsum[j] = 0.0;
    vsumsq[j] = 0.0;
  }
  for (long i = 0; i < n; ++i) {
    for (long j = 0; j < nvar; ++j) {
      double v = x[j * l + i];
      vsum[j] = vsum[j] + v;
      vsumsq[j] = vsumsq[j] + v * v;
    }
  }
  for (long j = 0; j < nvar; ++j) {
    vmean[j] = vsum[j] / dn;
    double variance = (vsumsq[j] - vsum[j] * vsum[j] / dn) / (dn - 1.0);
    vsd[j] = (variance >= 0.0) ? std::sqrt(variance) : 0.0;
  }
  for (long j = 0; j < nvar; ++j) {
    if (vsd[j] < kTol) {
      result.zero_variance = j + 1;
      return result;
    }
  }
  for (long i = 0; i < n; ++i) {
    for (long j = 0; j < nvar; ++j) x[j * l + i] = (x[j * l + i] - vmean[j]) / vsd[j];
  }
  for (long i = 0; i < n; ++i) {
    for (long j = 0; j < nvar; ++j) xprime[i * l + j] = x[j * l + i];
  }
  produit_reference(xprime, x, corlin, nvar, n, nvar, ld);
  const double divisor = dn - 1.0;
  for (long a = 0; a < nvar; ++a) {
    for (long b = 0; b < nvar; ++b) corlin[b * l + a] = corlin[b * l + a] / divisor;
  }
  double largest = 0.0;
  for (long a = 0; a < nvar - 1; ++a) {
    for (long b = a + 1; b < nvar; ++b) {
      double v = std::fabs(corlin[b * l + a]);
      if (v >= largest) largest = v;
    }
  }
  result.largest = largest;
  return result;
}

}  // namespace ortelix::pcnm
