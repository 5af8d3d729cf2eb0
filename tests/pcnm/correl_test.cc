// The correlation check of supplementary objects: the largest absolute
// correlation over distinct pairs, the first variable without variance (a
// rounding-negative or NaN variance included), standardized columns; the
// fast path against the literal steps, bit for bit, at sizes that straddle
// the vector and block widths.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "pcnm/reference_correl.h"
#include "pcnm/correl.h"
#include "pcnm/matrix.h"

namespace ortelix::pcnm {
namespace {

// Everything correl works on, NaN where nothing may be read before it is
// written; all of it in one vector afterwards.
template <typename F>
std::vector<double> run(F correl_of, Matrix& x, int n, int nvar, CorrelResult* result = nullptr) {
  std::vector<double> corlin(x.a.size(), kNaN), xprime = corlin, vsum(x.ld, kNaN), vsumsq = vsum, vmean = vsum,
                                                vsd = vsum;
  CorrelResult r = correl_of(n, nvar, x.a.data(), x.ld, vsum.data(), vsumsq.data(), vmean.data(), vsd.data(),
                             corlin.data(), xprime.data());
  if (result != nullptr) *result = r;
  std::vector<double> all = x.a;
  for (const auto* v : {&corlin, &xprime, &vsum, &vsumsq, &vmean, &vsd}) all.insert(all.end(), v->begin(), v->end());
  all.push_back(r.largest);
  all.push_back(r.zero_variance);
  return all;
}

// Orthonormal centred u, v, w on four objects: x1 = u, x2 = -0.8 u + 0.6 v,
// x3 = 0.3 u + sqrt(0.91) w correlate by -0.8, 0.3 and -0.24. A constant
// column stops the check at its number and leaves x as it was; so do 0.1
// three times, whose variance rounds to -1.7e-18, and a NaN. Otherwise
// every column comes back with mean 0 and standard deviation 1 with divisor
// n - 1.
TEST(Correl, LargestAbsoluteCorrelationAndZeroVariance) {
  const double s = 0.5 * std::sqrt(0.91);
  const std::vector<double> x1 = {0.5, 0.5, -0.5, -0.5}, x2 = {-0.1, -0.7, 0.7, 0.1},
                            x3 = {0.15 + s, 0.15 - s, -0.15 - s, -0.15 + s};
  struct Case {
    Rows columns;
    double largest;
    int zero_variance;
  };
  for (const Case& c : {Case{{{1, 2, 3, 4}}, 0.0, 0}, Case{{x1, x2, x3}, 0.8, 0}, Case{{x3, x2, x1}, 0.8, 0},
                        Case{{x1, x3}, 0.3, 0}, Case{{x2, x3}, 0.24, 0}, Case{{{1, 4, 2, 8}, {5, 11, 7, 19}}, 1.0, 0},
                        Case{{{1, 2, 3}, {5, 5, 5}, {7, 7, 7}}, 0.0, 2}, Case{{{1, 2, 3}, {0.1, 0.1, 0.1}}, 0.0, 2},
                        Case{{{1, 2, 3}, {1, kNaN, 3}}, 0.0, 2}}) {
    const int n = static_cast<int>(c.columns[0].size()), nvar = static_cast<int>(c.columns.size());
    SCOPED_TRACE(std::to_string(nvar) + " variables, largest " + std::to_string(c.largest));
    Matrix x(n);
    for (int j = 1; j <= nvar; ++j) {
      for (int i = 1; i <= n; ++i) x(i, j) = c.columns[j - 1][i - 1];
    }
    const Matrix before = x;
    CorrelResult r;
    run(correl, x, n, nvar, &r);
    EXPECT_EQ(c.zero_variance, r.zero_variance);
    EXPECT_NEAR(c.largest, r.largest, 1e-15);
    for (int j = 1; j <= nvar && c.zero_variance == 0; ++j) {
      double sum = 0, sumsq = 0;
      for (int i = 1; i <= n; ++i) sum += x(i, j), sumsq += x(i, j) * x(i, j);
      EXPECT_NEAR(0.0, sum, 1e-14);
      EXPECT_NEAR(1.0, sumsq / (n - 1), 1e-14);
    }
    EXPECT_TRUE(c.zero_variance == 0 || same_bits(before.a, x.a, "x"));
  }
}

TEST(CorrelBitIdentity, RandomVariablesAcrossBlockSizes) {
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int n : {2, 3, 9, 40, 150}) {
    for (int nvar : {1, 2, 7, 8, 31, 32, 33, 65, 140}) {
      Matrix x(150);
      for (double& v : x.a) v = kNaN;
      for (int j = 1; j <= nvar; ++j) {
        for (int i = 1; i <= n; ++i) x(i, j) = u(rng) * (1 + j % 5) + 0.3 * j;
      }
      Matrix want = x;
      EXPECT_TRUE(same_bits(run(correl_reference, want, n, nvar), run(correl, x, n, nvar),
                            "x, corlin, xprime, vsum, vsumsq, vmean, vsd, result"))
          << n << " objects, " << nvar << " variables";
    }
  }
}

}  // namespace
}  // namespace ortelix::pcnm
