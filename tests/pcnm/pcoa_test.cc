// Distances and their truncation, and the principal coordinate analysis:
// small cases worked out by hand, the geometry of untruncated Euclidean
// distances, the order of equal eigenvalues, the single-precision scale
// factors and the count against the positivity bound.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "pcnm/constants.h"
#include "pcnm/distances.h"
#include "pcnm/matrix.h"
#include "pcnm/pcoa.h"

namespace ortelix::pcnm {
namespace {

// Site 4 differs from site 1 by 1 and five times 1e-8: in coordinate order
// each 1e-16 is lost against 1; the small squares summed first would make
// 1 + 4.4e-16, whose square root is the next double.
TEST(Distances, EuclideanWithSquaresInCoordinateOrder) {
  const Matrix x = Matrix::of({{0, 0, 0, 0, 0, 0}, {3, 4, 0, 0, 0, 0}, {6, 8, 0, 0, 0, 0},
                               {1, 1e-8, 1e-8, 1e-8, 1e-8, 1e-8}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}});
  Matrix d(6);
  compute_distances(x.a.data(), 4, 6, x.ld, d.a.data());
  EXPECT_EQ((Rows{{5, 10, 1, 5}}), (Rows{{d(1, 2), d(1, 3), d(1, 4), d(2, 3)}}));
}

// Distances above the limit become limit x 4, one equal to it stays, a NaN
// one is never replaced; after an attempt at 0.5 (every distance becomes 2)
// a limit of 3 keeps the true distances up to 3: each attempt is fresh.
TEST(Distances, TruncationStrictlyAboveTheLimitFromTheTrueDistances) {
  for (auto [first, second] : {std::pair{-1.0, 2.0}, {0.5, 3.0}, {3.0, 0.5}, {1.0, 4.5}, {4.5, 1.0}}) {
    Matrix x(7), d(7);
    for (int i = 1; i <= 7; ++i) x(i, 1) = i == 7 ? kNaN : i - 1;
    compute_distances(x.a.data(), 7, 1, x.ld, d.a.data());
    if (first > 0) truncate_distances(d.a.data(), 7, d.ld, first);
    truncate_distances(d.a.data(), 7, d.ld, second);
    for (int i = 1; i <= 7; ++i) {
      for (int j = i + 1; j <= 7; ++j) {
        const double want = j == 7 ? kNaN : j - i > second ? 4 * second : j - i;
        EXPECT_TRUE(same_bits({want}, {d(i, j)}, "distance")) << i << "," << j << ", " << first << " then " << second;
      }
    }
  }
}

struct Analysis {
  Matrix x;  // the principal coordinates
  std::vector<double> eigval;
  std::vector<Index> iord;
  PcoaResult result;
};

// The distances are handed over with NaN everywhere but their strict upper
// triangle: only that may be read.
Analysis analyse(const Rows& dist) {
  const int n = static_cast<int>(dist.size());
  Matrix d(n);
  for (double& v : d.a) v = kNaN;
  for (int i = 1; i <= n; ++i) {
    for (int j = i + 1; j <= n; ++j) d(i, j) = dist[i - 1][j - 1];
  }
  Analysis r{Matrix(n), std::vector<double>(n), std::vector<Index>(n), {}};
  std::vector<double> offdiag(n), colmean(n), work(n);
  const auto done = pcoa(n, d.ld, r.iord.data(), d.a.data(), r.eigval.data(), offdiag.data(), r.x.a.data(),
                         colmean.data(), work.data());
  EXPECT_TRUE(done.ok());
  if (!done.ok()) return r;
  r.result = *done;
  // Decreasing order, two neighbours within the sorting tolerance in the
  // reverse of the order the QL step returned them; each axis scaled by the
  // square root of |eigenvalue|, negative ones included; npcnm is the
  // position of the last eigenvalue not below 5e-7f; the sums split the
  // trace.
  double pos = 0, neg = 0;
  for (int j = 0; j < n; ++j) {
    (r.eigval[j] >= 0 ? pos : neg) += r.eigval[j];
    double ss = 0;
    for (int i = 1; i <= n; ++i) ss += r.x(i, j + 1) * r.x(i, j + 1);
    EXPECT_NEAR(std::fabs(r.eigval[j]), ss, 2e-7 * std::max(1.0, std::fabs(r.eigval[0]))) << "axis " << j + 1;
    EXPECT_TRUE(j >= r.result.npcnm ? r.eigval[j] < kPositive : j + 1 < r.result.npcnm || r.eigval[j] >= kPositive)
        << "count at " << j + 1;
    if (j + 1 == n) break;
    const double gap = r.eigval[j] - r.eigval[j + 1];
    EXPECT_TRUE(std::fabs(gap) <= kTol ? r.iord[j] > r.iord[j + 1] : gap > 0) << "order at " << j + 1;
  }
  EXPECT_EQ(pos, r.result.positive_sum);
  EXPECT_EQ(neg, r.result.negative_sum);
  EXPECT_NEAR(r.result.trace, pos + neg, 1e-12 * std::max(1.0, std::fabs(r.eigval[0])));
  return r;
}

// The steps before the eigen kernels bit for bit, written out here as the
// rules order them: -(d d 0.5), column sums in increasing row order, the
// grand mean divided by n twice, the three subtractions in order, the trace
// summed in increasing i.
TEST(Pcoa, CentringInTheStatedOrder) {
  const int n = 13;
  std::mt19937_64 gen(11);
  std::uniform_real_distribution<double> u(0.1, 7.0);
  Rows dist(n, std::vector<double>(n, 0.0));
  Matrix a(n);
  std::vector<double> mean(n, 0.0), colmean(n);
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) dist[i][j] = dist[j][i] = u(gen);
    for (int j = 0; j < n; ++j) a(i + 1, j + 1) = i == j ? 0.0 : -(dist[i][j] * dist[i][j] * 0.5);
  }
  double g = 0, trace = 0;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) mean[j - 1] = mean[j - 1] + a(i, j);
  }
  for (double& m : mean) g = g + m, m = m / n;
  g = (g / n) / n;
  Matrix want = a;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) want(i, j) = ((a(i, j) - mean[i - 1]) - mean[j - 1]) + g;
    trace = trace + want(i, i);
  }
  gower(a.a.data(), colmean.data(), n, a.ld);
  EXPECT_TRUE(same_bits(want.a, a.a, "centred matrix"));
  const Analysis r = analyse(dist);  // not Euclidean: negative eigenvalues too
  EXPECT_TRUE(same_bits({trace}, {r.result.trace}, "trace"));
  EXPECT_LT(r.eigval[n - 1], -0.1);
}

// One object: eigenvalue 0, no variable, coordinate 0. Two objects at
// distance delta: centred matrix delta^2/4 (1, -1; -1, 1), eigenvalues
// delta^2/2 and 0, first axis +-(1, -1)/sqrt 2 times the single-precision
// square root of delta^2/2 (for delta = 1: 0.49999999144, not 1/2). The
// bound is 4.999999987376214e-07: 0.0009999999994 gives 4.999999994e-07,
// between it and 5e-7; 0.000999 is below it and scaled all the same.
TEST(Pcoa, OneAndTwoObjects) {
  EXPECT_EQ(0.0, analyse({{0}}).x(1, 1));
  EXPECT_NEAR(0.49999999144, std::fabs(analyse({{0, 1}, {1, 0}}).x(1, 1)), 1e-11);
  for (auto [delta, npcnm] : {std::pair{1.0, 1}, {0.001, 1}, {0.0009999999994, 1}, {0.000999, 0}}) {
    SCOPED_TRACE(delta);
    Analysis r = analyse({{0, delta}, {delta, 0}});
    const double lambda = delta * delta / 2, factor = static_cast<float>(std::sqrt(r.eigval[0]));
    EXPECT_NEAR(lambda, r.eigval[0], 4e-15 * lambda);
    EXPECT_NEAR(0.0, r.eigval[1], 4e-15 * lambda);
    EXPECT_EQ(npcnm, r.result.npcnm);
    EXPECT_NEAR(std::sqrt(0.5) * factor, std::fabs(r.x(1, 1)), 2e-16 * factor);
    EXPECT_EQ(-r.x(1, 1), r.x(2, 1));
  }
}

Rows euclidean(const Rows& sites) {
  Rows d(sites.size(), std::vector<double>(sites.size(), 0.0));
  for (std::size_t i = 0; i < sites.size(); ++i) {
    for (std::size_t j = 0; j < sites.size(); ++j) {
      const std::vector<double>& a = sites[i], &b = sites[j];
      for (std::size_t k = 0; k < a.size(); ++k) d[i][j] += (a[k] - b[k]) * (a[k] - b[k]);
      d[i][j] = std::sqrt(d[i][j]);
    }
  }
  return d;
}

// Untruncated Euclidean distances among points in p dimensions: p positive
// eigenvalues, the rest zero up to rounding, and the first p axes reproduce
// the distances up to the single-precision scale. The triangle and the
// square have equal eigenvalues.
TEST(Pcoa, EuclideanDistancesInPDimensions) {
  std::vector<std::pair<Rows, std::vector<double>>> cases = {
      {{{0, 0}, {1, 0}, {0.5, std::sqrt(0.75)}}, {0.5, 0.5, 0}}, {{{0, 0}, {1, 0}, {0, 1}, {1, 1}}, {1, 1, 0, 0}}};
  std::mt19937_64 gen(3);
  std::uniform_real_distribution<double> u(0.0, 10.0);
  for (int p : {1, 2, 3}) {
    for (int n : {p + 2, 9, 14}) {
      Rows sites(n, std::vector<double>(p));
      for (auto& s : sites) {
        for (double& v : s) v = u(gen);
      }
      cases.push_back({sites, {}});
    }
  }
  for (const auto& [sites, eigenvalues] : cases) {
    const int n = static_cast<int>(sites.size()), p = static_cast<int>(sites[0].size());
    SCOPED_TRACE("p " + std::to_string(p) + ", n " + std::to_string(n));
    const Rows dist = euclidean(sites);
    Analysis r = analyse(dist);
    EXPECT_EQ(p, r.result.npcnm);
    for (std::size_t j = 0; j < eigenvalues.size(); ++j) EXPECT_NEAR(eigenvalues[j], r.eigval[j], 1e-15);
    for (int j = p; j < n; ++j) EXPECT_NEAR(0.0, r.eigval[j], 1e-12 * r.eigval[0]) << j + 1;
    for (int i = 1; i <= n; ++i) {
      for (int k = i + 1; k <= n; ++k) {
        double s = 0;
        for (int j = 1; j <= p; ++j) s += (r.x(i, j) - r.x(k, j)) * (r.x(i, j) - r.x(k, j));
        EXPECT_NEAR(dist[i - 1][k - 1], std::sqrt(s), 2e-7 * dist[i - 1][k - 1]) << i << "," << k;
      }
    }
  }
}

}  // namespace
}  // namespace ortelix::pcnm
