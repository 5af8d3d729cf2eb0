// The near pairs and the longest spanning-tree edge, against plain
// all-pairs methods that need no tree.
#include <algorithm>
#include <cmath>
#include <numeric>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "large/near_pairs.h"
#include "large/progress.h"
#include "large/site_sets.h"
#include "large/spanning.h"
#include "sites/distance_summary.h"

namespace ortelix::large {
namespace {

Points points_of(const sites::Sites& s) { return Points{s.coords.data(), s.total(), s.p}; }

// Squares of the differences summed in increasing coordinate order, then
// the root: written out again here, not taken from the code under test.
double plain_distance(const sites::Sites& s, long i, long j) {
  double sum = 0;
  for (int k = 0; k < s.p; ++k) sum = sum + (s.at(i, k) - s.at(j, k)) * (s.at(i, k) - s.at(j, k));
  return std::sqrt(sum);
}

using Pair = std::tuple<long, long, double>;  // site, other site, distance

// Every pair within `limit`, both ways: a sweep along the first coordinate,
// which no pair within the limit can skip.
std::set<Pair> pairs_by_sweep(const sites::Sites& s, double limit) {
  std::vector<long> by_x(static_cast<std::size_t>(s.total()));
  std::iota(by_x.begin(), by_x.end(), 0L);
  std::sort(by_x.begin(), by_x.end(), [&](long a, long b) { return s.at(a, 0) < s.at(b, 0); });
  std::set<Pair> out;
  for (std::size_t a = 0; a < by_x.size(); ++a) {
    for (std::size_t b = a + 1; b < by_x.size() && s.at(by_x[b], 0) - s.at(by_x[a], 0) <= limit; ++b) {
      const double d = plain_distance(s, by_x[a], by_x[b]);
      if (d <= limit) {
        out.emplace(by_x[a], by_x[b], d);
        out.emplace(by_x[b], by_x[a], d);
      }
    }
  }
  return out;
}

std::set<Pair> pairs_found(const NearPairs& p, std::string& fault) {
  std::set<Pair> out;
  for (long r = 0; r < p.n; ++r) {
    if (p.row_of[p.order[r]] != r) fault = "row_of is not the inverse of order at row " + std::to_string(r);
    for (std::uint64_t k = p.start[r]; k < p.start[r + 1]; ++k) {
      if (k > p.start[r] && p.column[k] <= p.column[k - 1]) fault = "row " + std::to_string(r) + " out of order";
      out.emplace(p.order[r], p.order[p.column[k]], p.dist[k]);
    }
  }
  return out;
}

TEST(NearPairs, AreExactlyThePairsWithinTheLimit) {
  std::vector<double> line;
  for (int i = 1; i <= 60; ++i) line.push_back(i * 0.1);  // spacing 0.1 up to rounding
  std::vector<double> cube;
  Draw draw(4);
  for (int i = 0; i < 3 * 700; ++i) cube.push_back(draw.between(-5, 5));
  const struct Case {
    const char* name;
    sites::Sites sites;
    double limit;
  } cases[] = {
      {"uniform", uniform_sites(900, 500, 300, 1), 25},
      {"clusters with twins", clustered_sites(6, 120, 30, 2), 6},
      {"river", river_sites(400, 3), 130},
      {"transect at its spacing", sites_of(line, 1), 0.1},
      {"cube", sites_of(cube, 3), 1.2},
      // Enough sites for the second thread.
      {"many", uniform_sites(24000, 1000, 1000, 5), 9},
  };
  for (const Case& c : cases) {
    const auto search = find_near_pairs(points_of(c.sites), c.limit, 100'000'000);
    ASSERT_TRUE(search.ok()) << c.name;
    const NearPairs& found = *search;
    std::string fault;
    const std::set<Pair> got = pairs_found(found, fault);
    EXPECT_EQ("", fault) << c.name;
    const std::set<Pair> want = pairs_by_sweep(c.sites, c.limit);
    EXPECT_GT(want.size(), 0u) << c.name;
    EXPECT_EQ(want.size() / 2, found.pairs()) << c.name;
    EXPECT_TRUE(want == got) << c.name;
  }
}

TEST(NearPairs, GridAtItsSpacingKeepsItsFourNeighboursAndNoDiagonal) {
  const sites::Sites grid = sites::grid_sites(7, 5);
  const auto search = find_near_pairs(points_of(grid), 1.0, 1000);
  ASSERT_TRUE(search.ok());
  const NearPairs& found = *search;
  EXPECT_EQ(7u * 4 + 5 * 6, found.pairs());
  const long interior = found.row_of[1 * 7 + 3];  // X = 4, Y = 2
  EXPECT_EQ(4u, found.start[interior + 1] - found.start[interior]);
  // Past the budget the search gives up rather than fill memory.
  const auto over = find_near_pairs(points_of(grid), 1.0, 57);
  ASSERT_FALSE(over.ok());
  EXPECT_EQ("the limit keeps more than 57 pairs of sites (distances up to the limit), too many for memory: choose a "
            "lower limit", over.error());
}

TEST(SpanningTree, LongestEdgeIsPrimsOnTheWholeMatrix) {
  std::vector<double> twins;
  const sites::Sites base = uniform_sites(150, 100, 100, 9);
  for (long i = 0; i < base.n; ++i) {
    for (int copy = 0; copy < 2; ++copy) twins.insert(twins.end(), {base.at(i, 0), base.at(i, 1)});
  }
  std::vector<double> far_groups;  // three groups far apart: several rounds of radius
  for (const auto& [cx, cy] : {std::pair{0.0, 0.0}, {5000.0, 0.0}, {2000.0, 9000.0}}) {
    const sites::Sites g = uniform_sites(120, 50, 50, static_cast<std::uint64_t>(cx + cy));
    for (long i = 0; i < g.n; ++i) far_groups.insert(far_groups.end(), {cx + g.at(i, 0), cy + g.at(i, 1)});
  }
  std::vector<double> cube;
  Draw draw(8);
  for (int i = 0; i < 3 * 400; ++i) cube.push_back(draw.between(0, 10));
  const struct Case {
    const char* name;
    sites::Sites sites;
  } cases[] = {
      {"uniform", uniform_sites(1500, 300, 200, 7)},
      {"clusters", clustered_sites(8, 60, 20, 10)},
      {"river", river_sites(300, 11)},
      {"twins", sites_of(twins, 2)},
      {"far groups", sites_of(far_groups, 2)},
      {"cube", sites_of(cube, 3)},
      {"transect", sites::transect_sites(40)},
      {"grid", sites::grid_sites(9, 13)},
      {"two sites", sites_of({0, 0, 3, 4}, 2)},
  };
  for (const Case& c : cases) {
    const auto edge = longest_tree_edge(points_of(c.sites), 10'000'000);
    ASSERT_TRUE(edge.ok()) << c.name;
    EXPECT_EQ(sites::summarize_distances(c.sites).longest_tree_edge, *edge) << c.name;
  }
  const auto edge = longest_tree_edge(points_of(sites_of({0, 1, 3, 7}, 1)), 100);
  ASSERT_TRUE(edge.ok());
  EXPECT_EQ(4.0, *edge);
  const auto over = longest_tree_edge(points_of(sites_of(far_groups, 2)), 5000);
  ASSERT_FALSE(over.ok());
  EXPECT_EQ("the sites lie in groups so far apart that linking them keeps more than 5000 pairs of sites", over.error());
}

// The spanning tree's first pass, a nearest-neighbour search from every
// site, asks whether to stop as it goes: before it has a radius to search
// with, a caller that wants to stop has been asked once per 4096 sites.
class CountPolls : public Progress {
 public:
  void stage(const std::string& name) override { staged = staged || !name.empty(); }
  bool cancelled() override {
    if (!staged) ++before_first_stage;
    return false;
  }
  bool staged = false;
  int before_first_stage = 0;
};

TEST(SpanningTree, ItsFirstPassPolls) {
  const sites::Sites s = uniform_sites(40000, 1000, 1000, 12);
  CountPolls count;
  ASSERT_TRUE(longest_tree_edge(points_of(s), 500'000'000, &count).ok());
  EXPECT_GE(count.before_first_stage, 40000 / 4096);
}

}  // namespace
}  // namespace ortelix::large
