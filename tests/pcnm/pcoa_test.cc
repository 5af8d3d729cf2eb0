// Gower centring and the principal coordinate analysis: small cases worked
// out by hand, the geometry of untruncated Euclidean distances (at most p
// positive eigenvalues, coordinates that reproduce the distances), the
// order of equal eigenvalues, the single-precision scale factors and the
// count against the positivity bound. The distance matrix is handed over
// with NaN everywhere but its strict upper triangle: only that triangle
// may be read, and it must come back unchanged.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "e2e/pcnm_model.h"
#include "pcnm/constants.h"
#include "pcnm/pcoa.h"

namespace ortelix::pcnm {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Analysis {
  int n = 0;
  int ld = 0;
  std::vector<double> d, a, eigval;
  std::vector<std::int32_t> iord;
  PcoaResult result;
  double x(int i, int j) const { return a[static_cast<std::size_t>(j - 1) * ld + (i - 1)]; }
};

// Principal coordinates of sites given by their coordinates (rows).
Analysis analyse_distances(const std::vector<std::vector<double>>& dist) {
  Analysis r;
  r.n = static_cast<int>(dist.size());
  r.ld = r.n + 2;
  r.d.assign(static_cast<std::size_t>(r.ld) * r.n, kNaN);
  for (int i = 0; i < r.n; ++i) {
    for (int j = i + 1; j < r.n; ++j) r.d[static_cast<std::size_t>(j) * r.ld + i] = dist[i][j];
  }
  const std::vector<double> before = r.d;
  r.a.assign(r.d.size(), 0.0);
  r.eigval.assign(r.n, 0.0);
  r.iord.assign(r.n, 0);
  std::vector<double> offdiag(r.n), colmean(r.n), work(r.n);
  r.result = pcoa(r.n, r.ld, r.iord.data(), r.d.data(), r.eigval.data(), offdiag.data(), r.a.data(), colmean.data(),
                  work.data());
  for (std::size_t k = 0; k < before.size(); ++k) {
    EXPECT_TRUE(before[k] == r.d[k] || (std::isnan(before[k]) && std::isnan(r.d[k]))) << "d changed at " << k;
  }
  return r;
}

std::vector<std::vector<double>> euclidean(const std::vector<std::vector<double>>& sites) {
  const std::size_t n = sites.size();
  std::vector<std::vector<double>> d(n, std::vector<double>(n, 0.0));
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      double s = 0;
      for (std::size_t k = 0; k < sites[i].size(); ++k) s += (sites[i][k] - sites[j][k]) * (sites[i][k] - sites[j][k]);
      d[i][j] = std::sqrt(s);
    }
  }
  return d;
}

// Decreasing order; two neighbours within the sorting tolerance stand in
// the reverse of the order the QL step returned them.
void expect_sorted_with_tie_rule(const Analysis& r) {
  for (int j = 0; j + 1 < r.n; ++j) {
    const double gap = r.eigval[j] - r.eigval[j + 1];
    if (std::fabs(gap) <= kTol) {
      EXPECT_GT(r.iord[j], r.iord[j + 1]) << "tie at " << j + 1;
    } else {
      EXPECT_GT(gap, 0.0) << "order at " << j + 1;
    }
  }
}

// npcnm is the position of the last eigenvalue not below 5e-7f.
void expect_count_rule(const Analysis& r) {
  const int npcnm = r.result.npcnm;
  for (int j = npcnm; j < r.n; ++j) EXPECT_LT(r.eigval[j], kPositive) << j + 1;
  if (npcnm > 0) {
    EXPECT_GE(r.eigval[npcnm - 1], kPositive);
  }
}

TEST(Gower, CentresRowsAndColumnsWorkedByHand) {
  // Column sums -5, -2, -5; means -5/3, -2/3, -5/3; grand mean -4/3.
  const int ld = 5;
  std::vector<double> a(ld * 3, kNaN), colmean(3);
  const double m[3][3] = {{0, -1, -4}, {-1, 0, -1}, {-4, -1, 0}};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) a[j * ld + i] = m[i][j];
  }
  gower(a.data(), colmean.data(), 3, ld);
  const double want[3][3] = {{2, 0, -2}, {0, 0, 0}, {-2, 0, 2}};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(want[i][j], a[j * ld + i], 1e-15) << i << "," << j;
    EXPECT_TRUE(std::isnan(a[i * ld + 3]) && std::isnan(a[i * ld + 4])) << "padding of column " << i;
  }
  EXPECT_NEAR(-5.0 / 3, colmean[0], 1e-15);
  EXPECT_NEAR(-2.0 / 3, colmean[1], 1e-15);
  EXPECT_NEAR(-5.0 / 3, colmean[2], 1e-15);
}

// Bit for bit as the independent transcription: column sums in row order,
// the grand mean divided by n twice, the three subtractions in order.
TEST(Gower, SameBitsAsAnIndependentTranscription) {
  std::mt19937_64 gen(11);
  std::uniform_real_distribution<double> u(0.1, 7.0);
  for (int n : {3, 5, 7, 11, 13, 23}) {
    for (int round = 0; round < 4; ++round) {
      SCOPED_TRACE(n);
      e2e::model::Square dist(n);
      const int ld = n + 1;
      std::vector<double> a(static_cast<std::size_t>(ld) * n, 0.0), colmean(n);
      for (int i = 1; i <= n; ++i) {
        for (int j = i + 1; j <= n; ++j) {
          dist(i, j) = dist(j, i) = u(gen);
          a[(j - 1) * ld + (i - 1)] = a[(i - 1) * ld + (j - 1)] = -((dist(i, j) * dist(i, j)) * 0.5);
        }
      }
      gower(a.data(), colmean.data(), n, ld);
      e2e::model::Square want = e2e::model::gower_centred(dist);
      int differing = 0;
      for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) differing += want(i, j) != a[(j - 1) * ld + (i - 1)];
      }
      EXPECT_EQ(0, differing);
    }
  }
}

TEST(Pcoa, OneObjectHasOneZeroCoordinate) {
  Analysis r = analyse_distances({{0}});
  ASSERT_TRUE(r.result.converged);
  EXPECT_EQ(0.0, r.eigval[0]);
  EXPECT_EQ(0, r.result.npcnm);
  EXPECT_EQ(0.0, r.x(1, 1));
  EXPECT_EQ(0.0, r.result.positive_sum);
  EXPECT_EQ(0.0, r.result.negative_sum);
  EXPECT_EQ(0.0, r.result.trace);
}

// Two objects at distance delta: centred matrix delta^2/4 (1, -1; -1, 1),
// eigenvalues delta^2/2 and 0, first axis +-(1, -1)/sqrt 2 scaled by the
// single-precision square root of delta^2/2.
TEST(Pcoa, TwoObjects) {
  struct Case {
    double delta;
    int npcnm;
  };
  // 0.001: delta^2/2 = 5e-7 is not below 4.999999987376214e-07; 0.000999
  // is, and its axis is scaled all the same.
  for (const Case& c : {Case{1.0, 1}, Case{0.001, 1}, Case{0.000999, 0}}) {
    SCOPED_TRACE(c.delta);
    Analysis r = analyse_distances({{0, c.delta}, {c.delta, 0}});
    ASSERT_TRUE(r.result.converged);
    const double lambda = c.delta * c.delta / 2;
    EXPECT_NEAR(lambda, r.eigval[0], 1e-15 * lambda * 4);
    EXPECT_NEAR(0.0, r.eigval[1], 1e-15 * lambda * 4);
    EXPECT_EQ(c.npcnm, r.result.npcnm);
    const double factor = static_cast<float>(std::sqrt(r.eigval[0]));
    EXPECT_NEAR(std::sqrt(0.5) * factor, std::fabs(r.x(1, 1)), 2e-16 * factor);
    EXPECT_EQ(-r.x(1, 1), r.x(2, 1));
    EXPECT_NEAR(lambda, r.result.trace, 1e-15 * lambda);
    EXPECT_NEAR(r.result.trace, r.result.positive_sum + r.result.negative_sum, 1e-15 * lambda * 4);
  }
  // The scale factor is rounded to single precision: for delta = 1 the
  // coordinates are 0.7071067811865476 x 0.70710676908493042, not 1/2.
  Analysis r = analyse_distances({{0, 1}, {1, 0}});
  EXPECT_NEAR(0.49999999144, std::fabs(r.x(1, 1)), 1e-11);
}

// An equilateral triangle of side 1: eigenvalues 1/2, 1/2 and 0, equal
// ones in the reverse of their QL order, and coordinates on the first two
// axes at distance 1 from each other up to the single-precision scale.
TEST(Pcoa, ThreeObjectsEquilateral) {
  const double h = std::sqrt(0.75);
  Analysis r = analyse_distances(euclidean({{0, 0}, {1, 0}, {0.5, h}}));
  ASSERT_TRUE(r.result.converged);
  EXPECT_NEAR(0.5, r.eigval[0], 1e-15);
  EXPECT_NEAR(0.5, r.eigval[1], 1e-15);
  EXPECT_NEAR(0.0, r.eigval[2], 1e-15);
  EXPECT_EQ(2, r.result.npcnm);
  expect_sorted_with_tie_rule(r);
  for (int i = 1; i <= 3; ++i) {
    for (int j = i + 1; j <= 3; ++j) {
      const double dx = r.x(i, 1) - r.x(j, 1), dy = r.x(i, 2) - r.x(j, 2);
      EXPECT_NEAR(1.0, std::sqrt(dx * dx + dy * dy), 2e-7);
    }
  }
}

// A square: two equal eigenvalues, and two near zero, both pairs in
// reverse QL order.
TEST(Pcoa, SquareKeepsTieRule) {
  Analysis r = analyse_distances(euclidean({{0, 0}, {1, 0}, {0, 1}, {1, 1}}));
  ASSERT_TRUE(r.result.converged);
  EXPECT_NEAR(1.0, r.eigval[0], 1e-15);
  EXPECT_NEAR(1.0, r.eigval[1], 1e-15);
  expect_sorted_with_tie_rule(r);
  expect_count_rule(r);
}

// Untruncated Euclidean distances among points in p dimensions: p
// positive eigenvalues, the rest zero up to rounding, trace = positive
// sum, eigenvalues as Jacobi finds them on an independently centred
// matrix, and the first p axes reproduce the distances.
TEST(Pcoa, EuclideanDistancesInPDimensions) {
  for (int p : {1, 2, 3}) {
    for (int n : {p + 2, 9, 14}) {
      SCOPED_TRACE("p " + std::to_string(p) + ", n " + std::to_string(n));
      std::mt19937_64 gen(static_cast<unsigned>(100 * p + n));
      std::uniform_real_distribution<double> u(0.0, 10.0);
      std::vector<std::vector<double>> sites(n, std::vector<double>(p));
      for (auto& s : sites) {
        for (double& v : s) v = u(gen);
      }
      const auto dist = euclidean(sites);
      Analysis r = analyse_distances(dist);
      ASSERT_TRUE(r.result.converged);
      EXPECT_EQ(p, r.result.npcnm);
      expect_sorted_with_tie_rule(r);
      expect_count_rule(r);
      const double scale = r.eigval[0];
      for (int j = p; j < n; ++j) EXPECT_NEAR(0.0, r.eigval[j], 1e-12 * scale) << j + 1;
      EXPECT_NEAR(r.result.trace, r.result.positive_sum, 1e-12 * scale);
      EXPECT_NEAR(r.result.trace, r.result.positive_sum + r.result.negative_sum, 1e-12 * scale);

      e2e::model::Square m(n);
      for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) m(i, j) = dist[i - 1][j - 1];
      }
      std::vector<double> jac = e2e::model::jacobi(e2e::model::gower_centred(m));
      for (int j = 0; j < n; ++j) EXPECT_NEAR(jac[j], r.eigval[j], 1e-12 * scale) << j + 1;

      for (int i = 1; i <= n; ++i) {
        for (int k = i + 1; k <= n; ++k) {
          double s = 0;
          for (int j = 1; j <= p; ++j) s += (r.x(i, j) - r.x(k, j)) * (r.x(i, j) - r.x(k, j));
          EXPECT_NEAR(dist[i - 1][k - 1], std::sqrt(s), 2e-7 * dist[i - 1][k - 1]) << i << "," << k;
        }
      }
    }
  }
}

// Truncated distances give negative eigenvalues too; their axes are
// scaled by the square root of the absolute value: a column's sum of
// squares is |eigenvalue| up to the single-precision scale.
TEST(Pcoa, NegativeEigenvaluesScaledByAbsoluteValue) {
  std::vector<std::vector<double>> sites;
  for (int i = 0; i < 8; ++i) sites.push_back({static_cast<double>(i)});
  auto dist = euclidean(sites);
  for (auto& row : dist) {
    for (double& v : row) {
      if (v > 1.0) v = 4.0;
    }
  }
  Analysis r = analyse_distances(dist);
  ASSERT_TRUE(r.result.converged);
  ASSERT_LT(r.eigval[r.n - 1], -0.1);
  for (int j = 1; j <= r.n; ++j) {
    double ss = 0;
    for (int i = 1; i <= r.n; ++i) ss += r.x(i, j) * r.x(i, j);
    EXPECT_NEAR(std::fabs(r.eigval[j - 1]), ss, 2e-7 * std::fabs(r.eigval[0])) << j;
  }
  double neg = 0;
  for (double v : r.eigval) neg += v < 0 ? v : 0;
  EXPECT_NEAR(neg, r.result.negative_sum, 1e-12);
  EXPECT_NEAR(r.result.trace, r.result.positive_sum + r.result.negative_sum, 1e-12);
  expect_count_rule(r);
  expect_sorted_with_tie_rule(r);
}

// Gower centring, sort, reordering and single-precision scaling bit for
// bit as the independent transcription of the rules in the end-to-end
// model; the sums in increasing order too. Truncated transects and grids,
// whose many equal eigenvalues exercise the tie rule.
TEST(Pcoa, SameBitsAsAnIndependentTranscription) {
  struct Case {
    int rows, cols;
    double limit;
  };
  for (const Case& c : {Case{12, 1, 1.0}, Case{12, 1, 3.0}, Case{4, 4, 1.0}, Case{5, 3, 1.5}, Case{6, 6, 2.0}}) {
    SCOPED_TRACE(std::to_string(c.rows) + "x" + std::to_string(c.cols) + " at " + std::to_string(c.limit));
    std::vector<std::vector<double>> sites;
    for (int j = 0; j < c.cols; ++j) {
      for (int i = 0; i < c.rows; ++i) sites.push_back({0.9 * i, 0.9 * j});
    }
    auto dist = euclidean(sites);
    const int n = static_cast<int>(sites.size());
    e2e::model::Square m(n);
    for (int i = 1; i <= n; ++i) {
      for (int j = 1; j <= n; ++j) m(i, j) = dist[i - 1][j - 1] > c.limit ? 4 * c.limit : dist[i - 1][j - 1];
      for (int j = 1; j <= n; ++j) dist[i - 1][j - 1] = m(i, j);
    }
    e2e::model::Pcoa want = e2e::model::pcoa(m);
    Analysis r = analyse_distances(dist);
    ASSERT_TRUE(r.result.converged);
    EXPECT_EQ(want.eigval, r.eigval);
    EXPECT_EQ(want.npcnm, r.result.npcnm);
    EXPECT_EQ(want.possum, r.result.positive_sum);
    EXPECT_EQ(want.negsum, r.result.negative_sum);
    EXPECT_EQ(want.trace, r.result.trace);
    int differing = 0;
    for (int i = 1; i <= n; ++i) {
      for (int j = 1; j <= n; ++j) differing += want.coords(i, j) != r.x(i, j);
    }
    EXPECT_EQ(0, differing);
  }
}

TEST(Pcoa, NaNDistanceDoesNotConverge) {
  Analysis r = analyse_distances({{0, 1, kNaN}, {1, 0, 1}, {kNaN, 1, 0}});
  EXPECT_FALSE(r.result.converged);
}

}  // namespace
}  // namespace ortelix::pcnm
