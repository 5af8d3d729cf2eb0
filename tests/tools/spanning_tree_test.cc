#include "tools/spanning_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <random>
#include <vector>

#include "pcnm/distances.h"
#include "tools/command_line.h"

namespace ortelix::tools {
namespace {

Sites points(int p, std::vector<double> coords, long nsup = 0) {
  Sites s;
  s.p = p;
  s.coords = std::move(coords);
  s.n = static_cast<long>(s.coords.size()) / p - nsup;
  s.nsup = nsup;
  return s;
}

// Whether the sites are linked by the pairs whose distance d(i, j) is at
// most `limit` (a flood fill over the full matrix).
template <typename Distance>
bool connected_within(long count, double limit, Distance d) {
  std::vector<bool> seen(count, false);
  std::vector<long> todo{0};
  seen[0] = true;
  long reached = 1;
  while (!todo.empty()) {
    long i = todo.back();
    todo.pop_back();
    for (long j = 0; j < count; ++j) {
      if (!seen[j] && d(i, j) <= limit) {
        seen[j] = true;
        ++reached;
        todo.push_back(j);
      }
    }
  }
  return reached == count;
}

// Slow reference: the smallest of all pair distances under which the
// sites are connected, which is what the longest spanning-tree edge is.
double bottleneck(const Sites& s) {
  std::vector<double> all;
  for (long i = 0; i < s.total(); ++i)
    for (long j = i + 1; j < s.total(); ++j) all.push_back(site_distance(s, i, j));
  std::sort(all.begin(), all.end());
  auto d = [&](long i, long j) { return site_distance(s, i, j); };
  return *std::partition_point(all.begin(), all.end(),
                               [&](double limit) { return !connected_within(s.total(), limit, d); });
}

TEST(SpanningTree, HandCheckedSiteSets) {
  struct Case {
    const char* name;
    Sites sites;
    double tree, smallest, largest;
  };
  const Case cases[] = {
      // Spacing 1 everywhere; the farthest corners are (1,1) and (3,2).
      {"grid 3 by 2", grid_sites(3, 2), 1, 1, std::sqrt(5.0)},
      // 1 2 3 _ _ _ 7 8: the gap of 4 is the only way across.
      {"transect with a gap", points(1, {1, 2, 3, 7, 8}), 4, 1, 7},
      // Supplementary sites take part: 12 hangs 4 away from 8, 0.5 lies
      // half a unit before 1.
      {"gap and supplementary sites", points(1, {1, 2, 3, 7, 8, 12, 0.5}, 2), 4, 0.5, 11.5},
      // Legs 3 and 4 join the three sites; the hypotenuse 5 is not needed.
      {"right triangle", points(2, {0, 0, 3, 0, 0, 4}), 4, 3, 5},
      {"identical sites", points(2, {2.5, -1, 2.5, -1, 2.5, -1}), 0, 0, 0},
      // Two clusters of twins, 10 apart.
      {"twins", points(1, {0, 0, 10, 10}), 10, 0, 10},
      {"two sites in three coordinates", points(3, {1, 2, 3, 3, 5, 9}), 7, 7, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DistanceSummary s = summarize_distances(c.sites);
    EXPECT_EQ(s.longest_tree_edge, c.tree);
    EXPECT_EQ(s.smallest, c.smallest);
    EXPECT_EQ(s.largest, c.largest);
  }
}

TEST(SpanningTree, AgreesWithTheSlowReferenceOnRandomSites) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> coordinate(-50, 50);
  for (int trial = 0; trial < 40; ++trial) {
    const int p = 1 + trial % 3;
    const long count = 2 + trial * 3;
    std::vector<double> c(static_cast<std::size_t>(count * p));
    // Some trials on a coarse lattice, so that equal distances and equal
    // sites occur.
    for (double& v : c) v = trial % 2 ? coordinate(random) : std::round(coordinate(random) / 25);
    Sites s = points(p, c);
    SCOPED_TRACE(trial);
    EXPECT_EQ(summarize_distances(s).longest_tree_edge, bottleneck(s));
  }
}

// The printed limit, typed as the answer, must keep every site linked once
// the program has ranged the coordinates and compared each ranged distance
// with limit/rangmax + 1e-10f. Field coordinates in metres with
// millimetres need all 17 digits: a limit rounded to 9 digits would fall
// below the longest edge by far more than the margin.
TEST(SpanningTree, PrintedLimitKeepsTheTreeAfterTheProgramsRanging) {
  std::mt19937_64 random(11);
  std::uniform_int_distribution<long> millimetres(0, 2'000'000);
  for (int trial = 0; trial < 20; ++trial) {
    const long count = 30;
    std::vector<double> c;
    for (long i = 0; i < count; ++i) {
      c.push_back(651234.0 + static_cast<double>(millimetres(random)) / 1000);
      c.push_back(5104321.0 + static_cast<double>(millimetres(random)) / 1000);
    }
    Sites s = points(2, c);
    const std::string printed = exact_number(summarize_distances(s).longest_tree_edge);
    const double limit = std::strtod(printed.c_str(), nullptr);

    // Ranging: minimum to 0, divided by the largest range times 0.1f.
    std::vector<double> x(static_cast<std::size_t>(count * 2));  // column-major, leading dimension count
    double rangmax = 0;
    for (int k = 0; k < 2; ++k) {
      double lo = s.at(0, k), hi = s.at(0, k);
      for (long i = 1; i < count; ++i) lo = std::min(lo, s.at(i, k)), hi = std::max(hi, s.at(i, k));
      for (long i = 0; i < count; ++i) x[k * count + i] = s.at(i, k) - lo;
      rangmax = std::max(rangmax, hi - lo);
    }
    rangmax = rangmax * 0.10000000149011612;
    for (double& v : x) v = v / rangmax;
    std::vector<double> d(static_cast<std::size_t>(count * count));
    pcnm::compute_distances(x.data(), static_cast<std::int32_t>(count), 2, static_cast<std::int32_t>(count), d.data());
    const double thresh = limit / rangmax + 1.000000013351432e-10;
    auto ranged = [&](long i, long j) { return i < j ? d[j * count + i] : d[i * count + j]; };

    SCOPED_TRACE(printed);
    EXPECT_TRUE(connected_within(count, thresh, ranged));
    // And the limit is the tightest: a visibly smaller one cuts the tree.
    EXPECT_FALSE(connected_within(count, (limit - 0.001) / rangmax + 1.000000013351432e-10, ranged));
  }
}

TEST(ExactNumber, ReadsBackExactlyWithAtLeastNineDigits) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {1, "1"},
      {0.5, "0.5"},
      {2.23606798, "2.23606798"},            // nine digits suffice
      {123.456789012, "123.456789012"},      // twelve needed
      {std::sqrt(5.0), "2.23606797749979"},  // fifteen
      {0.1 + 0.2, "0.30000000000000004"},    // all seventeen
      {1e-5, "1e-05"},
      {1.0 / 3, "0.3333333333333333"},
      {0, "0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(exact_number(c.value), c.text);
    EXPECT_EQ(std::strtod(exact_number(c.value).c_str(), nullptr), c.value);
  }
}

}  // namespace
}  // namespace ortelix::tools
