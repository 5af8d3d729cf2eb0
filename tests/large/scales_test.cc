// What a run offers beyond the variables themselves: their values at new
// sites, several limits at once, sites on the sphere, distances listed pair
// by pair, and one basis for equal eigenvalues whatever the solver. Each
// against an independent computation: the whole matrix formed here, brute
// force over all pairs, hand-worked distances.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "large/clusters.h"
#include "large/geometry.h"
#include "large/pcnm_run.h"
#include "large/site_sets.h"
#include "sites/pair_files.h"

namespace ortelix::large {
namespace {

RunOptions options_at(std::vector<Limit> limits, Index count = 0, Solver solver = Solver::kAuto) {
  RunOptions o;
  o.limits = std::move(limits);
  o.count = count;
  o.solver = solver;
  return o;
}

// Largest |value| of column c of a run's values over its n rows.
double column_size(const std::vector<double>& values, Index ld, Index rows, Index c) {
  double m = 0;
  for (Index i = 0; i < rows; ++i) m = std::max(m, std::fabs(values[c * ld + i]));
  return m;
}

// The analysis' own sites, given again as new sites, get back their values:
// to 1e-9 of each column's largest value on the Krylov path, whose
// eigenpairs are exact to that; on the dense path to what its eigenpair's
// residual over its eigenvalue allows (its QL iteration stops at an
// absolute 1e-8, the dialogue program's own tolerance), which this test
// measures on the whole matrix formed here.
TEST(Placement, SitesOfTheAnalysisGetBackTheirValues) {
  const sites::Sites plots = clustered_sites(6, 60, 30, 91, 4);  // supplementary sites: standardized values
  const sites::Sites spread = uniform_sites(1500, 1000, 800, 92);
  struct Case {
    const char* name;
    sites::Sites sites;
    RunOptions options;
  } cases[] = {
      {"Krylov", spread, options_at({{true, 0}}, 25, Solver::kKrylov)},
      {"Krylov, two limits", spread, options_at({{true, 0}, {false, 60}}, 10, Solver::kKrylov)},
      {"dense, supplementary sites", plots, options_at({{true, 0}})},
  };
  for (const Case& c : cases) {
    const auto r = run_pcnm(c.sites, c.options);
    ASSERT_TRUE(r.ok()) << c.name << r.error();
    sites::Sites again = c.sites;
    again.nsup = 0;
    again.n = c.sites.n;
    again.coords.resize(static_cast<std::size_t>(c.sites.n) * c.sites.p);
    const auto placed = predict(*r, again);
    ASSERT_TRUE(placed.ok()) << placed.error();
    const Index n = c.sites.n;
    for (const ScaleResult& s : r->scales) {
      for (std::size_t k = 0; k < s.written_axes.size(); ++k) {
        const Index col = s.first_column + static_cast<Index>(k);
        const double size = column_size(r->values, r->ld, n, col);
        // The dense path's bound: the eigenvalue's share of the QL
        // iteration's absolute tolerance.
        const double bound = s.dense ? 1e-9 + 1e-7 / std::fabs(s.placement_eigenvalue[k]) : 1e-9;
        double worst = 0;
        for (Index i = 0; i < n; ++i) {
          worst = std::max(worst, std::fabs((*placed)[col * n + i] - r->values[col * r->ld + i]) / size);
        }
        EXPECT_LE(worst, bound) << c.name << ", axis " << s.written_axes[k];
      }
    }
  }
}

// New sites against Gower's formula computed here on the whole matrix:
// x_k(z) = (s_k / lambda_k) sum_i u_ik (a_i(z) - abar_i), with the
// truncated transformed distances from z, the row means of the whole
// transformed matrix and u the written variables over s_k.
TEST(Placement, NewSitesFollowGowersFormula) {
  const sites::Sites s = uniform_sites(400, 100, 100, 93);
  const auto r = run_pcnm(s, options_at({{false, 9}}, 12, Solver::kKrylov));
  ASSERT_TRUE(r.ok()) << r.error();
  const ScaleResult& scale = r->scales[0];
  const Index n = s.n, k = static_cast<Index>(scale.written_axes.size());
  // Ranged positions and the whole transformed matrix, as the rules give them.
  const double rangmax = r->rangmax, t = scale.thresh, f = -((4 * t) * (4 * t) / 2);
  std::vector<double> lo(2, 1e300);
  for (Index i = 0; i < n; ++i) {
    for (int q = 0; q < 2; ++q) lo[q] = std::min(lo[q], s.at(i, q));
  }
  auto ranged = [&](double x, int q) { return (x - lo[q]) / rangmax; };
  auto a_of = [&](double d) { return d <= t ? -(d * d / 2) : f; };
  std::vector<double> abar(n, 0.0);
  for (Index i = 0; i < n; ++i) {
    for (Index j = 0; j < n; ++j) {
      const double dx = ranged(s.at(i, 0), 0) - ranged(s.at(j, 0), 0), dy = ranged(s.at(i, 1), 1) - ranged(s.at(j, 1), 1);
      abar[i] += a_of(std::sqrt(dx * dx + dy * dy)) / n;
    }
  }
  Draw draw(94);
  sites::Sites z;
  z.p = 2;
  for (int m = 0; m < 50; ++m) z.coords.insert(z.coords.end(), {draw.between(-5, 105), draw.between(-5, 105)});
  z.n = 50;
  const auto placed = predict(*r, z);
  ASSERT_TRUE(placed.ok());
  for (Index c = 0; c < k; ++c) {
    const double lambda = scale.placement_eigenvalue[c];
    const double size = column_size(r->values, r->ld, n, c);
    for (Index m = 0; m < z.n; ++m) {
      double sum = 0;
      for (Index i = 0; i < n; ++i) {
        const double dx = ranged(z.at(m, 0), 0) - ranged(s.at(i, 0), 0), dy = ranged(z.at(m, 1), 1) - ranged(s.at(i, 1), 1);
        sum += r->values[c * r->ld + i] * (a_of(std::sqrt(dx * dx + dy * dy)) - abar[i]);
      }
      EXPECT_NEAR(sum / lambda, (*placed)[c * z.n + m], 1e-9 * size) << "axis " << c + 1 << ", new site " << m;
    }
  }
}

// A run of several limits is the runs of each limit side by side: the near
// pairs of a narrower limit filtered from those of the widest are the same
// pairs, and the columns the same numbers.
TEST(Scales, SeveralLimitsAreEachLimitsRunSideBySide) {
  const sites::Sites s = river_sites(500, 95);
  for (Solver solver : {Solver::kDense, Solver::kKrylov}) {
    const Index count = solver == Solver::kDense ? 0 : 8;
    const auto both = run_pcnm(s, options_at({{false, 400}, {true, 0}}, count, solver));
    ASSERT_TRUE(both.ok()) << both.error();
    ASSERT_EQ(2u, both->scales.size());
    Index column = 0;
    for (const Limit& l : std::vector<Limit>{{false, 400}, {true, 0}}) {
      const auto one = run_pcnm(s, options_at({l}, count, solver));
      ASSERT_TRUE(one.ok()) << one.error();
      for (Index c = 0; c < one->columns(); ++c, ++column) {
        for (Index i = 0; i < s.n; ++i) {
          ASSERT_EQ(one->values[c * one->ld + i], both->values[column * both->ld + i]) << "column " << column;
        }
      }
    }
    EXPECT_EQ(both->columns(), column);
  }
}

TEST(Sphere, GreatCircleDistancesByHand) {
  constexpr double deg = std::numbers::pi / 180, R = kEarthRadiusKm;
  const struct Case {
    double lon1, lat1, lon2, lat2, km;
  } cases[] = {
      {0, 0, 0, 1, R * deg},                      // a degree of a meridian
      {0, 0, 1, 0, R * deg},                      // of the equator
      {179.5, 0, -179.5, 0, R * deg},             // across the antimeridian
      {0, 89.5, 180, 89.5, R * deg},              // across the pole
      {10, -90, 140, -90, 0},                     // the pole itself, any longitude
      {0, 0, 90, 0, R * std::numbers::pi / 2},    // a quarter of the equator
      {0, 0, 180, 0, R * std::numbers::pi},       // antipodes
      {0, 60, 0.001, 60, R * 0.001 * deg * 0.5},  // a metre-scale step at 60 degrees, where cos is 1/2
  };
  for (const Case& c : cases) {
    const double d = haversine_km(c.lat1 * deg, c.lon1 * deg, c.lat2 * deg, c.lon2 * deg);
    EXPECT_NEAR(c.km, d, 1e-9 * std::max(1.0, c.km)) << c.lon1 << " " << c.lat1 << " " << c.lon2 << " " << c.lat2;
  }
}

// Near pairs on the sphere are exactly the pairs within the limit by
// brute force, across the antimeridian and around the poles, and the
// spanning tree's longest edge is Prim's over every great circle.
TEST(Sphere, NearPairsAndTreeAreTheBruteForceOnes) {
  Draw draw(96);
  sites::Sites s;
  s.p = 2;
  for (int i = 0; i < 300; ++i) {
    const double lon = i % 3 == 0 ? draw.between(178, 182) - 180 * (i % 2) : draw.between(-180, 180);
    const double lat = i % 5 == 0 ? draw.between(85, 90) : draw.between(-90, 90);
    s.coords.insert(s.coords.end(), {lon > 180 ? lon - 360 : lon, lat});
  }
  s.n = 300;
  const Geometry g = Geometry::longlat(s);
  constexpr double deg = std::numbers::pi / 180;
  auto km = [&](Index i, Index j) {
    return haversine_km(s.at(i, 1) * deg, s.at(i, 0) * deg, s.at(j, 1) * deg, s.at(j, 0) * deg);
  };
  for (double limit : {50.0, 700.0, 15000.0, 25000.0}) {
    const auto pairs = g.near_pairs(limit, 1'000'000, nullptr);
    ASSERT_TRUE(pairs.ok());
    std::uint64_t want = 0;
    for (Index i = 0; i < s.n; ++i) {
      for (Index j = i + 1; j < s.n; ++j) want += km(i, j) <= limit;
    }
    EXPECT_EQ(want, pairs->pairs()) << limit;
  }
  // Prim on every pair.
  std::vector<double> link(s.n, 1e300);
  std::vector<bool> in(s.n, false);
  double longest = 0;
  Index current = 0;
  in[0] = true;
  for (Index added = 1; added < s.n; ++added) {
    Index next = -1;
    for (Index j = 0; j < s.n; ++j) {
      if (in[j]) continue;
      link[j] = std::min(link[j], km(current, j));
      if (next < 0 || link[j] < link[next]) next = j;
    }
    longest = std::max(longest, link[next]);
    in[next] = true;
    current = next;
  }
  const auto tree = g.tree_limit(1'000'000, nullptr);
  ASSERT_TRUE(tree.ok());
  EXPECT_EQ(longest, *tree);
}

// Distances listed pair by pair give what the same distances give as
// positions: a transect's ranged distances listed, at the internal limit,
// go through the very same decomposition.
TEST(Pairs, ListedDistancesAreThePositionsOnes) {
  const sites::Sites line = uniform_sites(60, 50, 0.0, 97);  // on a line: Y is 0 throughout
  const auto from_positions = run_pcnm(line, options_at({{false, 3}}));
  ASSERT_TRUE(from_positions.ok()) << from_positions.error();
  const auto g = Geometry::euclidean(line);
  ASSERT_TRUE(g.ok());
  std::vector<double> d(static_cast<std::size_t>(line.n) * line.n);
  g->dense_distances(d.data());
  sites::PairList list;
  list.n = line.n;
  const double thresh = from_positions->scales[0].thresh;
  for (Index i = 0; i < line.n; ++i) {
    for (Index j = i + 1; j < line.n; ++j) {
      if (d[j * line.n + i] > 2 * thresh) continue;  // far pairs may be left out, or listed
      list.first.push_back(i);
      list.second.push_back(j);
      list.dist.push_back(d[j * line.n + i]);
    }
  }
  const auto from_pairs = run_pcnm(std::make_shared<const Geometry>(Geometry::pairs(list)), options_at({{false, thresh}}));
  ASSERT_TRUE(from_pairs.ok()) << from_pairs.error();
  EXPECT_EQ(from_positions->scales[0].eigenvalues, from_pairs->scales[0].eigenvalues);
  EXPECT_EQ(from_positions->values, from_pairs->values);
  // Sites that no listed pair links have no spanning tree.
  sites::PairList apart = list;
  apart.n = line.n + 2;
  apart.first.push_back(line.n);
  apart.second.push_back(line.n + 1);
  apart.dist.push_back(1);
  const auto refused = run_pcnm(std::make_shared<const Geometry>(Geometry::pairs(apart)), options_at({{true, 0}}));
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ("--limit mst: the listed pairs leave the sites in 2 groups that no listed pair links: no limit links them "
            "all; list the pairs that link them; give a --limit",
            refused.error());
}

// Equal eigenvalues: whatever orthonormal basis of their eigenspace a
// solver returns, the same canonical vectors come out.
TEST(Clusters, TheBasisDependsOnTheEigenspaceAlone) {
  const Index rows = 40, m = 3;
  Draw draw(98);
  std::vector<double> u(rows * m);
  for (double& x : u) x = draw.between(-1, 1);
  // Orthonormal by Gram-Schmidt, then turned by a rotation of the space.
  auto orthonormalize = [&](std::vector<double>& b) {
    for (Index c = 0; c < m; ++c) {
      for (Index p = 0; p < c; ++p) {
        double dot = 0;
        for (Index i = 0; i < rows; ++i) dot += b[c * rows + i] * b[p * rows + i];
        for (Index i = 0; i < rows; ++i) b[c * rows + i] -= dot * b[p * rows + i];
      }
      double norm = 0;
      for (Index i = 0; i < rows; ++i) norm += b[c * rows + i] * b[c * rows + i];
      for (Index i = 0; i < rows; ++i) b[c * rows + i] /= std::sqrt(norm);
    }
  };
  orthonormalize(u);
  const double c = std::cos(0.7), s = std::sin(0.7);
  std::vector<double> turned(u.size());
  for (Index i = 0; i < rows; ++i) {
    turned[0 * rows + i] = c * u[i] + s * u[rows + i];
    turned[1 * rows + i] = -s * u[i] + c * u[rows + i];
    turned[2 * rows + i] = -u[2 * rows + i];
  }
  canonical_basis(u.data(), rows, rows, 0, m);
  canonical_basis(turned.data(), rows, rows, 0, m);
  for (std::size_t k = 0; k < u.size(); ++k) EXPECT_NEAR(u[k], turned[k], 1e-12) << k;
  const double values[] = {5, 3, 3 * (1 + 1e-12), 3, 2, 1, 1 + 1e-7};
  EXPECT_EQ((std::vector<std::pair<Index, Index>>{{1, 4}}), equal_eigenvalues(values, 7));
}

// On a square grid the dense decomposition, the Krylov solver on one thread
// and on two give the same variables; a count that would cut a pair of
// equal eigenvalues takes the pair whole.
TEST(Clusters, SquareGridsGiveTheSameVariablesOnEveryPath) {
  const sites::Sites grid = sites::grid_sites(24, 24);
  RunOptions dense = options_at({{false, 1}}, 30, Solver::kDense);
  RunOptions one = options_at({{false, 1}}, 30, Solver::kKrylov), two = one;
  one.threads = 1;
  two.threads = 2;
  const auto a = run_pcnm(grid, dense), b = run_pcnm(grid, one), c = run_pcnm(grid, two);
  ASSERT_TRUE(a.ok() && b.ok() && c.ok());
  EXPECT_FALSE(a->scales[0].clusters.empty());
  ASSERT_EQ(a->columns(), b->columns());
  ASSERT_EQ(a->columns(), c->columns());
  for (Index col = 0; col < a->columns(); ++col) {
    const double size = column_size(a->values, a->ld, grid.n, col);
    for (Index i = 0; i < grid.n; ++i) {
      ASSERT_NEAR(a->values[col * a->ld + i], b->values[col * b->ld + i], 1e-6 * size) << "column " << col + 1;
      ASSERT_NEAR(a->values[col * a->ld + i], c->values[col * c->ld + i], 1e-6 * size) << "column " << col + 1;
    }
  }
  // The two leading eigenvalues of a square grid are equal (X and Y).
  const auto cut = run_pcnm(grid, options_at({{false, 1}}, 1, Solver::kKrylov));
  ASSERT_TRUE(cut.ok());
  EXPECT_EQ(2, cut->columns());
  EXPECT_EQ(2, cut->scales[0].count_raised_to);
  ASSERT_EQ(1u, cut->notes.size());
  EXPECT_EQ("--count 1 would cut the 2 equal eigenvalues 1 to 2, whose variables the data do not tell apart: 2 "
            "variables kept instead of 1",
            cut->notes[0]);
}

}  // namespace
}  // namespace ortelix::large
