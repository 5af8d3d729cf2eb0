// The correlation check of supplementary objects: standardization with
// divisor n - 1, the largest absolute correlation over distinct pairs, the
// first variable without variance (a rounding-negative or NaN variance
// included), and the matrix product it rests on.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "pcnm/correl.h"

namespace ortelix::pcnm {
namespace {

constexpr int kLd = 9;

struct Check {
  std::vector<double> x = std::vector<double>(kLd * kLd, 0.0);
  std::vector<double> vsum = std::vector<double>(kLd), vsumsq = vsum, vmean = vsum, vsd = vsum;
  std::vector<double> corlin = std::vector<double>(kLd * kLd, 0.0), xprime = corlin;
  double& at(int i, int j) { return x[(j - 1) * kLd + (i - 1)]; }
  double at(int i, int j) const { return x[(j - 1) * kLd + (i - 1)]; }
  CorrelResult run(int n, int nvar) {
    return correl(n, nvar, x.data(), kLd, vsum.data(), vsumsq.data(), vmean.data(), vsd.data(), corlin.data(),
                  xprime.data());
  }
};

Check with_columns(const std::vector<std::vector<double>>& columns) {
  Check c;
  for (std::size_t j = 0; j < columns.size(); ++j) {
    for (std::size_t i = 0; i < columns[j].size(); ++i) c.at(static_cast<int>(i + 1), static_cast<int>(j + 1)) = columns[j][i];
  }
  return c;
}

TEST(Correl, SingleVariableHasNoPair) {
  Check c = with_columns({{1, 2, 3, 4}});
  CorrelResult r = c.run(4, 1);
  EXPECT_EQ(0, r.zero_variance);
  EXPECT_EQ(0.0, r.largest);
  // Mean 2.5, standard deviation sqrt(5/3) with divisor n - 1.
  const double sd = std::sqrt(5.0 / 3.0);
  const double want[] = {-1.5 / sd, -0.5 / sd, 0.5 / sd, 1.5 / sd};
  for (int i = 1; i <= 4; ++i) EXPECT_NEAR(want[i - 1], c.at(i, 1), 1e-15);
}

// Orthonormal centred u, v, w on four objects: x1 = u, x2 = -0.8 u + 0.6 v,
// x3 = 0.3 u + sqrt(0.91) w correlate by -0.8, 0.3 and -0.24. The largest
// absolute value is 0.8, whatever the order of the columns.
TEST(Correl, LargestAbsoluteCorrelationOverPairs) {
  const double u[] = {0.5, 0.5, -0.5, -0.5}, v[] = {0.5, -0.5, 0.5, -0.5}, w[] = {0.5, -0.5, -0.5, 0.5};
  std::vector<double> x1(4), x2(4), x3(4);
  for (int i = 0; i < 4; ++i) {
    x1[i] = u[i];
    x2[i] = -0.8 * u[i] + 0.6 * v[i];
    x3[i] = 0.3 * u[i] + std::sqrt(0.91) * w[i];
  }
  for (const auto& columns : {std::vector{x1, x2, x3}, std::vector{x3, x2, x1}, std::vector{x1, x3}, std::vector{x2, x3}}) {
    Check c = with_columns(columns);
    CorrelResult r = c.run(4, static_cast<int>(columns.size()));
    ASSERT_EQ(0, r.zero_variance);
    const double want = columns.size() == 3 ? 0.8 : columns[0] == x1 ? 0.3 : 0.24;
    EXPECT_NEAR(want, r.largest, 1e-15);
  }
}

TEST(Correl, PerfectCorrelationIsOne) {
  Check c = with_columns({{1, 4, 2, 8, 5}, {5, 11, 7, 19, 13}});  // the second is 2 x + 3
  CorrelResult r = c.run(5, 2);
  EXPECT_NEAR(1.0, r.largest, 1e-15);
}

// The first constant column is reported and nothing after the standard
// deviations is done: x stays as it was.
TEST(Correl, ConstantColumnStopsTheCheck) {
  Check c = with_columns({{1, 2, 3}, {5, 5, 5}, {7, 7, 7}});
  const std::vector<double> before = c.x;
  CorrelResult r = c.run(3, 3);
  EXPECT_EQ(2, r.zero_variance);
  EXPECT_EQ(before, c.x);
}

// 0.1 three times: sum of squares minus square of sum over n rounds to
// -1.7e-18, whose square root would be NaN and pass the check; it counts as
// no variance. A NaN in a column does the same.
TEST(Correl, NegativeOrNaNVarianceCountsAsNone) {
  const double s = (0.1 + 0.1) + 0.1;
  const double q = (0.1 * 0.1 + 0.1 * 0.1) + 0.1 * 0.1;
  ASSERT_LT((q - s * s / 3) / 2, 0.0);
  Check c = with_columns({{1, 2, 3}, {0.1, 0.1, 0.1}});
  EXPECT_EQ(2, c.run(3, 2).zero_variance);

  Check d = with_columns({{1, 2, 3}, {1, std::numeric_limits<double>::quiet_NaN(), 3}});
  EXPECT_EQ(2, d.run(3, 2).zero_variance);
}

// Standardized in place: every column has mean 0 and standard deviation 1
// with divisor n - 1; xprime is its transpose; corlin holds the Pearson
// correlations of the original columns.
TEST(Correl, StandardizesAndCorrelates) {
  const int n = 7, nvar = 4;
  std::mt19937_64 gen(7);
  std::uniform_real_distribution<double> u(-3.0, 3.0);
  Check c;
  for (int j = 1; j <= nvar; ++j) {
    for (int i = 1; i <= n; ++i) c.at(i, j) = u(gen) + j;
  }
  const Check original = c;
  CorrelResult r = c.run(n, nvar);
  ASSERT_EQ(0, r.zero_variance);
  double largest = 0;
  for (int j = 1; j <= nvar; ++j) {
    double sum = 0, sumsq = 0;
    for (int i = 1; i <= n; ++i) {
      sum += c.at(i, j);
      sumsq += c.at(i, j) * c.at(i, j);
      EXPECT_EQ(c.at(i, j), c.xprime[(i - 1) * kLd + (j - 1)]);
    }
    EXPECT_NEAR(0.0, sum, 1e-14);
    EXPECT_NEAR(1.0, sumsq / (n - 1), 1e-14);
    for (int k = 1; k <= nvar; ++k) {
      // Two-pass Pearson correlation of the original columns.
      const Check& o = original;
      double mj = 0, mk = 0;
      for (int i = 1; i <= n; ++i) {
        mj += o.at(i, j) / n;
        mk += o.at(i, k) / n;
      }
      double sjk = 0, sjj = 0, skk = 0;
      for (int i = 1; i <= n; ++i) {
        sjk += (o.at(i, j) - mj) * (o.at(i, k) - mk);
        sjj += (o.at(i, j) - mj) * (o.at(i, j) - mj);
        skk += (o.at(i, k) - mk) * (o.at(i, k) - mk);
      }
      const double pearson = sjk / std::sqrt(sjj * skk);
      EXPECT_NEAR(pearson, c.corlin[(k - 1) * kLd + (j - 1)], 1e-14) << j << "," << k;
      if (j < k) largest = std::max(largest, std::fabs(pearson));
    }
  }
  EXPECT_NEAR(largest, r.largest, 1e-14);
}

// c = a b summed from 0 in increasing t: with a row (1, 1e-16, 1e-16) and
// ones in b, the small terms are lost one by one; summed the other way
// they would make the next double above 1. Elements outside m x q are not
// touched.
TEST(Produit, ProductInIncreasingOrder) {
  constexpr int ld = 5;
  std::vector<double> a(ld * ld, 0.0), b(ld * ld, 0.0), c(ld * ld, -7.0);
  auto A = [&](int i, int j) -> double& { return a[(j - 1) * ld + (i - 1)]; };
  auto B = [&](int i, int j) -> double& { return b[(j - 1) * ld + (i - 1)]; };
  auto C = [&](int i, int j) { return c[(j - 1) * ld + (i - 1)]; };
  // a: 2 x 3, b: 3 x 2.
  const double av[2][3] = {{1, 2, 3}, {1, 1.1e-16, 1.1e-16}};
  const double bv[3][2] = {{1, 4}, {1, 5}, {1, 6}};
  for (int i = 1; i <= 2; ++i) {
    for (int t = 1; t <= 3; ++t) A(i, t) = av[i - 1][t - 1];
  }
  for (int t = 1; t <= 3; ++t) {
    for (int j = 1; j <= 2; ++j) B(t, j) = bv[t - 1][j - 1];
  }
  produit(a.data(), b.data(), c.data(), 2, 3, 2, ld);
  EXPECT_EQ(6.0, C(1, 1));
  EXPECT_EQ(32.0, C(1, 2));
  EXPECT_EQ(1.0, C(2, 1));
  for (int i = 1; i <= ld; ++i) {
    for (int j = 1; j <= ld; ++j) {
      if (i > 2 || j > 2) {
        EXPECT_EQ(-7.0, C(i, j)) << i << "," << j;
      }
    }
  }
}

}  // namespace
}  // namespace ortelix::pcnm
