#include "pcnm/pcoa.h"

#include <cmath>

#include "pcnm/constants.h"
#include "pcnm/eigen.h"
#include "pcnm/rules.h"

namespace ortelix::pcnm {

void gower(double* a_, double* colmean_, Index n, Index ld) {
  auto a = [&](int i, int j) -> double& { return a_[static_cast<long>(j - 1) * ld + (i - 1)]; };
  auto colmean = [&](int j) -> double& { return colmean_[j - 1]; };
  const double nbar = static_cast<double>(n);
  for (int j = 1; j <= n; ++j) colmean(j) = 0.0;
  // Each column sum runs down its column in increasing row order.
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= n; ++i) colmean(j) = colmean(j) + a(i, j);
  }
  double g = 0.0;
  for (int j = 1; j <= n; ++j) {
    g = g + colmean(j);
    colmean(j) = colmean(j) / nbar;
  }
  g = (g / nbar) / nbar;
  // The column means serve as row means: the matrix is symmetric.
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= n; ++i) a(i, j) = ((a(i, j) - colmean(i)) - colmean(j)) + g;
  }
}

Expected<PcoaResult> pcoa(Index n, Index ld, Index* iord_, const double* d_, double* eigval_,
                double* offdiag_, double* a_, double* colmean, double* work_) {
  auto a = [&](int i, int j) -> double& { return a_[static_cast<long>(j - 1) * ld + (i - 1)]; };
  auto d = [&](int i, int j) -> double { return d_[static_cast<long>(j - 1) * ld + (i - 1)]; };
  auto eigval = [&](int i) -> double& { return eigval_[i - 1]; };
  auto iord = [&](int i) -> Index& { return iord_[i - 1]; };
  auto work = [&](int i) -> double& { return work_[i - 1]; };

  PcoaResult result;
  for (int i = 1; i <= n - 1; ++i) {
    for (int j = i + 1; j <= n; ++j) {
      a(i, j) = transformed(d(i, j));
      a(j, i) = a(i, j);
    }
  }
  for (int i = 1; i <= n; ++i) a(i, i) = 0.0;
  gower(a_, colmean, n, ld);

  double trace = 0.0;
  for (int i = 1; i <= n; ++i) trace = trace + a(i, i);

  for (int i = 1; i <= n; ++i) {
    eigval(i) = 0.0;
    offdiag_[i - 1] = 0.0;
  }
  tred2(a_, n, ld, eigval_, offdiag_);
  if (!tqli(eigval_, offdiag_, n, ld, a_)) return fail("Too many iterations in TQLI");

  // Straight insertion into decreasing order. An eigenvalue moves down past
  // every one that is not larger by more than kTol, so equal eigenvalues end
  // in the reverse of the order the QL step returned them.
  for (int i = 1; i <= n; ++i) iord(i) = i;
  for (int j = 2; j <= n; ++j) {
    double v = eigval(j);
    Index k = iord(j);
    int i = j - 1;
    while (i >= 1 && eigval(i) - v <= kTol) {
      eigval(i + 1) = eigval(i);
      iord(i + 1) = iord(i);
      --i;
    }
    eigval(i + 1) = v;
    iord(i + 1) = k;
  }

  for (int r = 1; r <= n; ++r) {
    for (int j = 1; j <= n; ++j) work(j) = a(r, j);
    for (int j = 1; j <= n; ++j) a(r, j) = work(iord(j));
  }

  for (int j = 1; j <= n; ++j) {
    const double factor = axis_scale(eigval(j));
    for (int i = 1; i <= n; ++i) a(i, j) = a(i, j) * factor;
  }

  double possum = 0.0;
  double negsum = 0.0;
  for (int j = 1; j <= n; ++j) {
    if (eigval(j) >= 0.0) possum = possum + eigval(j);
    if (eigval(j) < 0.0) negsum = negsum + eigval(j);
  }

  result.positive_sum = possum;
  result.negative_sum = negsum;
  result.trace = trace;
  result.npcnm = positive_count(eigval_, n);
  return result;
}

}  // namespace ortelix::pcnm
