// ortelix-pcnm's capabilities beyond one set of variables, as a user runs
// them: several limits, distances listed pair by pair, longitudes and
// latitudes, values at new sites; and their refusals, word for word.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/run_binary.h"

namespace ortelix::tools {
namespace {

using Table = std::vector<std::vector<std::string>>;

Table csv(const std::string& text) {
  Table t;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    t.emplace_back();
    std::istringstream fields(line);
    for (std::string f; std::getline(fields, f, ',');) t.back().push_back(f);
  }
  return t;
}

e2e::ProgramRun pcnm(const e2e::TempDir& dir, std::vector<std::string> args) {
  args.push_back("-q");
  return e2e::run_program(PCNM_BINARY, args, dir.path());
}

// The columns of a three-limit run are those of the three one-limit runs,
// named by the limit's place in the list.
TEST(Scales, ThreeLimitsSideBySide) {
  const e2e::TempDir dir;
  ASSERT_EQ(0, pcnm(dir, {"--grid", "12", "9", "--limit", "1.5,mst,3", "-o", "all.csv"}).status);
  const Table all = csv(e2e::read_file(dir.path() + "/all.csv"));
  std::size_t column = 1;
  const char* limits[] = {"1.5", "mst", "3"};
  for (int k = 0; k < 3; ++k) {
    ASSERT_EQ(0, pcnm(dir, {"--grid", "12", "9", "--limit", limits[k], "-o", "one.csv"}).status);
    const Table one = csv(e2e::read_file(dir.path() + "/one.csv"));
    for (std::size_t c = 1; c < one[0].size(); ++c, ++column) {
      EXPECT_EQ("L" + std::to_string(k + 1) + "_" + one[0][c], all[0].at(column));
      for (std::size_t r = 1; r < one.size(); ++r) ASSERT_EQ(one[r][c], all[r].at(column)) << r << " " << c;
    }
  }
  EXPECT_EQ(all[0].size(), column);
}

// Five sites along a line with their distances listed: the same variables
// as their positions give, but for the ranging (the positions' distances
// are divided by 0.1 of their range, 0.4 here, so the variables by it).
TEST(Scales, ListedDistancesAsPositionsAlongALine) {
  const e2e::TempDir dir;
  e2e::write_file(dir.path() + "/line.txt", "5 1 0\n0\n1\n2\n3\n4\n");
  e2e::write_file(dir.path() + "/pairs.txt", "5\n1 2 1\n2 3 1\n3,4,1\n4 5 1\n\n1 5 4\n");
  ASSERT_EQ(0, pcnm(dir, {"line.txt", "--limit", "1", "-o", "a.csv"}).status);
  ASSERT_EQ(0, pcnm(dir, {"--distances", "pairs.txt", "--limit", "1", "-o", "b.csv"}).status);
  const Table a = csv(e2e::read_file(dir.path() + "/a.csv")), b = csv(e2e::read_file(dir.path() + "/b.csv"));
  ASSERT_EQ(a[0], b[0]);
  const double rangmax = 4 * 0x1.99999ap-4;
  for (std::size_t r = 1; r < a.size(); ++r) {
    for (std::size_t c = 1; c < a[r].size(); ++c) {
      // Each variable carries the single-precision root of its eigenvalue.
      EXPECT_NEAR(std::stod(a[r][c]) * rangmax, std::stod(b[r][c]), 1e-6) << r << " " << c;
    }
  }
}

// The same sites placed again as new sites get back their values; sites on
// the sphere across the antimeridian, with the limit in kilometres.
TEST(Scales, NewSitesOnTheSphere) {
  const e2e::TempDir dir;
  std::string sites = "lon,lat\n";
  for (int i = 0; i < 40; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "%.4f,%.4f\n", std::fmod(170 + 0.5 * i + 180, 360) - 180, -40 + 0.25 * (i % 7));
    sites += line;
  }
  e2e::write_file(dir.path() + "/s.csv", sites);
  const e2e::ProgramRun r = pcnm(dir, {"s.csv", "--longlat", "--limit", "mst", "--count", "6", "--solver", "krylov",
                                       "-o", "v.csv", "--predict", "s.csv", "--predicted", "p.csv", "--report", "r.txt"});
  ASSERT_EQ(0, r.status) << r.err;
  const Table v = csv(e2e::read_file(dir.path() + "/v.csv")), p = csv(e2e::read_file(dir.path() + "/p.csv"));
  ASSERT_EQ(v.size(), p.size());
  ASSERT_EQ(v[0], p[0]);
  for (std::size_t c = 1; c < v[0].size(); ++c) {
    double size = 0;
    for (std::size_t i = 1; i < v.size(); ++i) size = std::max(size, std::fabs(std::stod(v[i][c])));
    for (std::size_t i = 1; i < v.size(); ++i) EXPECT_NEAR(std::stod(v[i][c]), std::stod(p[i][c]), 1e-9 * size);
  }
  EXPECT_NE(std::string::npos, e2e::read_file(dir.path() + "/r.txt").find(" km (the longest edge"));
}

TEST(Scales, Refusals) {
  const struct Case {
    std::vector<std::string> args;
    const char* file;
    const char* text;
    std::string err;
  } cases[] = {
      {{"s.txt", "--longlat"}, "s.txt", "3 2 0\n10 20\n11 21\n12 95\n",
       "ortelix-pcnm: s.txt:4: site 3 of 3: latitude 95 is outside -90 to 90 degrees\n"},
      {{"s.txt", "--longlat"}, "s.txt", "10 20\n11 -90.5\n", "ortelix-pcnm: s.txt:2: latitude -90.5 is outside -90 to 90 degrees\n"},
      {{"s.txt", "--longlat"}, "s.txt", "2 3 0\n1 2 3\n4 5 6\n",
       "ortelix-pcnm: s.txt:1: header 2 3 0: longitude and latitude are 2 coordinates a site, not 3\n"},
      {{"--distances", "p.txt"}, "p.txt", "3\n1 2 1\n2 3 1\n2 1 0.5\n",
       "ortelix-pcnm: p.txt:4: the pair 1 2 is listed already, on line 2\n"},
      {{"--distances", "p.txt"}, "p.txt", "3\n1 4 1\n", "ortelix-pcnm: p.txt:2: site 4 is not one of the 3 sites (1 to 3)\n"},
      {{"--distances", "p.txt"}, "p.txt", "3\n2 2 1\n", "ortelix-pcnm: p.txt:2: site 2 paired with itself\n"},
      {{"--distances", "p.txt"}, "p.txt", "3\n1 2 -1\n", "ortelix-pcnm: p.txt:2: the distance is negative\n"},
      {{"--distances", "p.txt"}, "p.txt", "3\n1 2 inf\n", "ortelix-pcnm: p.txt:2: the distance is not a finite number\n"},
      {{"--distances", "p.txt"}, "p.txt", "3\n1 2\n", "ortelix-pcnm: p.txt:2: a pair is two site numbers and a distance: i j d\n"},
      {{"--distances", "p.txt"}, "p.txt", "3.5\n", "ortelix-pcnm: p.txt:1: the first line gives the number of sites, a whole number alone\n"},
      {{"--distances", "p.txt", "--limit", "mst"}, "p.txt", "4\n1 2 1\n3 4 1\n",
       "ortelix-pcnm: p.txt: --limit mst: the listed pairs leave the sites in 2 groups that no listed pair links: no "
       "limit links them all; list the pairs that link them; give a --limit\n"},
      {{"s.txt", "--predict", "n.txt", "--predicted", "p.csv"}, "s.txt", "3 2 0\n0 0\n1 0\n0 1\n", ""},
  };
  for (const Case& c : cases) {
    const e2e::TempDir dir;
    e2e::write_file(dir.path() + "/" + c.file, c.text);
    e2e::write_file(dir.path() + "/n.txt", "2 3 0\n0 0 0\n1 1 1\n");
    std::vector<std::string> args = c.args;
    if (std::find(args.begin(), args.end(), "--limit") == args.end()) args.insert(args.end(), {"--limit", "1"});
    args.insert(args.end(), {"-o", "v.csv"});
    const e2e::ProgramRun r = e2e::run_program(PCNM_BINARY, args, dir.path());
    if (c.err.empty()) {
      // New sites of another dimension.
      EXPECT_EQ("ortelix-pcnm: n.txt: 3 coordinates a site, where the sites of the analysis have 2\n", r.err);
      continue;
    }
    EXPECT_EQ(1, r.status) << c.text;
    EXPECT_EQ(c.err, r.err) << c.text;
  }
}

}  // namespace
}  // namespace ortelix::tools
