// Site sets: the designs, coordinate files and lists of positions as the
// programs read them, the refusals with their file and line, and the
// distances that choose a limit.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sites/distance_summary.h"
#include "sites/pair_files.h"
#include "sites/site_files.h"

namespace ortelix::sites {
namespace {

TEST(Sites, DesignsRunXFastest) {
  EXPECT_EQ((std::vector<double>{1, 2, 3, 4}), transect_sites(4).coords);
  EXPECT_EQ((std::vector<double>{1, 1, 2, 1, 3, 1, 1, 2, 2, 2, 3, 2}), grid_sites(3, 2).coords);
  EXPECT_EQ("--grid 3 2", grid_sites(3, 2).name);
}

TEST(SiteFiles, CoordinateFilesAndListsOfPositions) {
  struct Case {
    const char* text;
    int p;
    Index n, nsup;
    std::vector<double> coords;
    bool list_only;  // a list of X Y positions, not a coordinate file
  } cases[] = {
      {"3 2 0\n0 0\n1 0.5\n2 -1.5e1\n", 2, 3, 0, {0, 0, 1, 0.5, 2, -15}, false},
      // A header over lines; what follows its third value or a site's last
      // value on a line is ignored; a record may go on over lines.
      {"2\n1\n0 9 9\n5 6 7\n8\n", 1, 2, 0, {5, 8}, false},
      {"2 3 0\n1\n\n2 3\n4, 5, 6\n", 3, 2, 0, {1, 2, 3, 4, 5, 6}, false},
      {"2 1 1\n1\n2\n10\n", 1, 2, 1, {1, 2, 10}, false},
      {"1 4 0\r\n2*1.5,,1d2\r\n", 4, 1, 0, {1.5, 1.5, 0, 100}, false},
      {"1 2 0\n3 4", 2, 1, 0, {3, 4}, false},
      // Blank lines anywhere, as many as there are.
      {"\n\n\n2 1 0\n\n\n\n1\n\n\n\n\n2\n\n", 1, 2, 0, {1, 2}, false},
      // Grid.txt fields touch once Y reaches 1000.
      {"    1.   1.\n    2.   1.\n    1.1000.\n    2.2000.\n", 2, 4, 0, {1, 1, 2, 1, 1, 1000, 2, 2000}, true},
      {"0.5 7\r\n-3,\t1e2\n\n", 2, 2, 0, {0.5, 7, -3, 100}, true},
      // A table saved with its column names.
      {"x,y\n0.5,7\n-3,100\n", 2, 2, 0, {0.5, 7, -3, 100}, true},
      {"\nlon lat\n\n10 20\n-5 1.5\n", 2, 2, 0, {10, 20, -5, 1.5}, true},
  };
  for (const Case& c : cases) {
    for (bool any : {false, true}) {
      if (c.list_only && !any) continue;
      auto s = any ? parse_sites_text("f.txt", c.text, 100) : parse_coordinate_text("f.txt", c.text, 100);
      ASSERT_TRUE(s.ok()) << c.text << s.error();
      EXPECT_EQ(c.p, s->p) << c.text;
      EXPECT_EQ(c.n, s->n) << c.text;
      EXPECT_EQ(c.nsup, s->nsup) << c.text;
      EXPECT_EQ(c.coords, s->coords) << c.text;
      EXPECT_EQ("f.txt", s->name);
    }
  }
}

TEST(SiteFiles, RefusalsNameTheFileAndLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"3 2 0\n0 0\n1 1\n", "f.txt:3: the file ends before site 3 of 3"},
      {"2 2 0\n0 0\n1 x\n", "f.txt:3: site 2 of 2: invalid number: incomprehensible list input"},
      {"2 2 0\n0 0\n1 1e400\n", "f.txt:3: site 2 of 2: coordinate 2 is not a finite number"},
      {"2\n", "f.txt:1: the file ends inside its header (n p nsup)"},
      {"2.5 2 0\n", "f.txt:1: header (n p nsup): invalid integer: read unexpected character"},
      {"0 2 0\n", "f.txt:1: header 0 2 0: at least 1 site and 1 coordinate are needed, and no negative number of "
                  "supplementary sites"},
      {"90 2 20\n", "f.txt:1: header 90 2 20: 110 sites, the program accepts at most 100"},
      {"1 2001 0\n", "f.txt:1: header 1 2001 0: the program accepts at most 2000 coordinates per site"},
      {"1 2 0\n\n\n\n\n1\n", "f.txt:6: the file ends before site 1 of 1"},
      // Lists of positions.
      {"0.5 1\n0.5 1e999\n", "f.txt:2: a coordinate is not a finite number"},
      // A table of another width is neither kind of file.
      {"0 0 0\n1 0 0\n0 1 0\n", "f.txt: neither a coordinate file (header n p nsup, then the sites) nor a list of X Y "
                                "positions (two values a line): every line holds 3 values"},
      {"1.5\n2.5\n", "f.txt: neither a coordinate file (header n p nsup, then the sites) nor a list of X Y positions "
                     "(two values a line): every line holds 1 value"},
  };
  for (const auto& [text, message] : cases) {
    auto s = parse_sites_text("f.txt", text, 100);
    ASSERT_FALSE(s.ok()) << text;
    EXPECT_EQ(message, s.error()) << text;
  }
  std::string list;
  for (int i = 0; i < 101; ++i) list += std::to_string(i) + " 0\n";
  auto s = parse_sites_text("f.txt", list, 100);
  ASSERT_FALSE(s.ok());
  EXPECT_EQ("f.txt:101: more than 100 sites: the program accepts at most 100", s.error());
}

// Every record read from its own first line: a file of a few records among
// a million blank lines reads as quickly as its length allows, and names
// the right line. (A reader that went back to the start of each record's
// search for every line it adds would take hours here.)
TEST(SiteFiles, LongRunsOfBlankLines) {
  const std::string blank(400000, '\n');
  auto s = parse_coordinate_text("f.txt", "2 1 0\n" + blank + "1\n" + blank + "2\n", 10);
  ASSERT_TRUE(s.ok()) << s.error();
  EXPECT_EQ((std::vector<double>{1, 2}), s->coords);
  auto bad = parse_coordinate_text("f.txt", "2 1 0\n" + blank + "1\n" + blank + "x\n", 10);
  ASSERT_FALSE(bad.ok());
  EXPECT_EQ("f.txt:800003: site 2 of 2: invalid number: incomprehensible list input", bad.error());
}

// Prim's algorithm against every spanning tree of four sites, worked out
// by hand: the sites of a 3-4-5 right triangle and a far fourth.
TEST(DistanceSummary, TreeEdgeSmallestAndLargestByHand) {
  Sites s;
  s.p = 2;
  s.n = 4;
  s.coords = {0, 0, 3, 0, 0, 4, 0, 10};
  const DistanceSummary d = summarize_distances(s);
  EXPECT_EQ(6.0, d.longest_tree_edge);  // 3, 4, then (0,4)-(0,10)
  EXPECT_EQ(3.0, d.smallest);
  EXPECT_EQ(std::sqrt(109.0), d.largest);
  // Twins: a distance of 0; positions beyond the largest double: infinity.
  s.coords = {1, 1, 1, 1, 2, 1, -1e308, 1e308};
  const DistanceSummary far = summarize_distances(s);
  EXPECT_EQ(0.0, far.smallest);
  EXPECT_EQ(std::numeric_limits<double>::infinity(), far.largest);
}

// Pairs are kept with the smaller site first, 0-based, in the order listed.
TEST(PairFiles, PairsInEitherOrderAndSeparator) {
  auto list = parse_pair_text("p", "\n4\n2 1 0.5\n3,4,1e1\r\n\n4\t1 +2\n", 10);
  ASSERT_TRUE(list.ok()) << list.error();
  EXPECT_EQ(4, list->n);
  EXPECT_EQ((std::vector<Index>{0, 2, 0}), list->first);
  EXPECT_EQ((std::vector<Index>{1, 3, 3}), list->second);
  EXPECT_EQ((std::vector<double>{0.5, 10, 2}), list->dist);
  auto big = parse_pair_text("p", "11\n", 10);
  ASSERT_FALSE(big.ok());
  EXPECT_EQ("p:1: 11 sites: expected 1 to 10", big.error());
  EXPECT_EQ("p: no number of sites: the file is empty", parse_pair_text("p", "\n\n", 10).error());
}

// Longitudes and latitudes: two coordinates, latitudes within the poles.
TEST(SiteFiles, LongitudesAndLatitudes) {
  auto ok = parse_longlat_text("g", "2 2 0\n-179.5 -90\n540 90\n", 10);
  ASSERT_TRUE(ok.ok()) << ok.error();
  EXPECT_EQ((std::vector<double>{-179.5, -90, 540, 90}), ok->coords);
  EXPECT_EQ("g:2: latitude 91 is outside -90 to 90 degrees", parse_longlat_text("g", "0 0\n0 91\n", 10).error());
}

}  // namespace
}  // namespace ortelix::sites
