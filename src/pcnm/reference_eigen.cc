#include "pcnm/reference_eigen.h"

#include <cmath>

#include "pcnm/constants.h"

namespace ortelix::pcnm {

// Written 1-based with the algorithm's letters so that it can be read
// against the textbook step by step. Every sum in increasing index order.
void tred2_reference(double* a_, Index n, Index ld, double* diag_, double* offdiag_) {
  auto a = [&](int i, int j) -> double& { return a_[static_cast<long>(j - 1) * ld + (i - 1)]; };
  auto d = [&](int i) -> double& { return diag_[i - 1]; };
  auto e = [&](int i) -> double& { return offdiag_[i - 1]; };

  for (int i = n; i >= 2; --i) {
    int l = i - 1;
    double h = 0.0;
    double scale = 0.0;
    if (l > 1) {
      for (int k = 1; k <= l; ++k) scale = scale + std::fabs(a(i, k));
      if (std::fabs(scale) < kTol) {
        e(i) = a(i, l);
      } else {
        for (int k = 1; k <= l; ++k) {
          a(i, k) = a(i, k) / scale;
          h = h + a(i, k) * a(i, k);
        }
        double f = a(i, l);
        double g = (f >= 0.0) ? -std::sqrt(h) : std::sqrt(h);
        e(i) = scale * g;
        h = h - f * g;
        a(i, l) = f - g;
        f = 0.0;
        for (int j = 1; j <= l; ++j) {
          a(j, i) = a(i, j) / h;
          g = 0.0;
          for (int k = 1; k <= j; ++k) g = g + a(j, k) * a(i, k);
          for (int k = j + 1; k <= l; ++k) g = g + a(k, j) * a(i, k);
          e(j) = g / h;
          f = f + e(j) * a(i, j);
        }
        double hh = f / (h + h);
        for (int j = 1; j <= l; ++j) {
          f = a(i, j);
          g = e(j) - hh * f;
          e(j) = g;
          for (int k = 1; k <= j; ++k) a(j, k) = (a(j, k) - f * e(k)) - g * a(i, k);
        }
      }
    } else {
      e(i) = a(i, l);
    }
    d(i) = h;
  }

  d(1) = 0.0;
  e(1) = 0.0;
  for (int i = 1; i <= n; ++i) {
    int l = i - 1;
    if (std::fabs(d(i)) > kTol) {
      for (int j = 1; j <= l; ++j) {
        double g = 0.0;
        for (int k = 1; k <= l; ++k) g = g + a(i, k) * a(k, j);
        for (int k = 1; k <= l; ++k) a(k, j) = a(k, j) - g * a(k, i);
      }
    }
    d(i) = a(i, i);
    a(i, i) = 1.0;
    for (int j = 1; j <= l; ++j) {
      a(i, j) = 0.0;
      a(j, i) = 0.0;
    }
  }
}

bool tqli_reference(double* diag_, double* offdiag_, Index n, Index ld, double* a_) {
  auto a = [&](int i, int j) -> double& { return a_[static_cast<long>(j - 1) * ld + (i - 1)]; };
  auto d = [&](int i) -> double& { return diag_[i - 1]; };
  auto e = [&](int i) -> double& { return offdiag_[i - 1]; };

  if (n <= 1) return true;
  for (int i = 2; i <= n; ++i) e(i - 1) = e(i);
  e(n) = 0.0;

  for (int l = 1; l <= n; ++l) {
    int iter = 0;
    for (;;) {
      int m;
      for (m = l; m <= n - 1; ++m) {
        if (std::fabs(e(m)) < kTol) break;
      }
      if (m == l) break;
      if (iter == kMaxIterations) return false;
      ++iter;
      double g = (d(l + 1) - d(l)) / (e(l) + e(l));
      double r = std::sqrt(g * g + 1.0);
      // r takes the sign of g; g = -0.0 counts as non-negative.
      g = (d(m) - d(l)) + e(l) / (g + (g >= 0.0 ? r : -r));
      double s = 1.0;
      double c = 1.0;
      double p = 0.0;
      for (int i = m - 1; i >= l; --i) {
        double f = s * e(i);
        double b = c * e(i);
        if (std::fabs(f) - std::fabs(g) > -kTol) {
          c = g / f;
          r = std::sqrt(c * c + 1.0);
          e(i + 1) = f * r;
          s = 1.0 / r;
          c = c * s;
        } else {
          s = f / g;
          r = std::sqrt(s * s + 1.0);
          e(i + 1) = g * r;
          c = 1.0 / r;
          s = s * c;
        }
        g = d(i + 1) - p;
        r = (d(i) - g) * s + (c + c) * b;
        p = s * r;
        d(i + 1) = g + p;
        g = c * r - b;
        for (int k = 1; k <= n; ++k) {
          f = a(k, i + 1);
          a(k, i + 1) = s * a(k, i) + c * f;
          a(k, i) = c * a(k, i) - s * f;
        }
      }
      d(l) = d(l) - p;
      e(l) = g;
      e(m) = 0.0;
    }
  }
  return true;
}

}  // namespace ortelix::pcnm
