#include "tools/sites.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/run_binary.h"

namespace ortelix::tools {
namespace {

class SitesFiles : public ::testing::Test {
 protected:
  std::string file(const std::string& name, const std::string& content) {
    std::string path = dir_.path() + "/" + name;
    e2e::write_file(path, content);
    return path;
  }
  e2e::TempDir dir_;
};

std::vector<double> all_coords(const Sites& s) { return s.coords; }

TEST(Designs, PositionsAsTheProgramGeneratesThem) {
  Sites t = transect_sites(4);
  EXPECT_EQ(t.p, 1);
  EXPECT_EQ(t.n, 4);
  EXPECT_EQ(t.coords, (std::vector<double>{1, 2, 3, 4}));
  // X runs fastest: (1,1) (2,1) (3,1) (1,2) (2,2) (3,2).
  Sites g = grid_sites(3, 2);
  EXPECT_EQ(g.p, 2);
  EXPECT_EQ(g.n, 6);
  EXPECT_EQ(g.coords, (std::vector<double>{1, 1, 2, 1, 3, 1, 1, 2, 2, 2, 3, 2}));
}

TEST_F(SitesFiles, CoordinateFilesReadAsTheProgramReadsThem) {
  struct Case {
    const char* name;
    const char* text;
    int p;
    long n, nsup;
    std::vector<double> coords;
  };
  const Case cases[] = {
      {"plain", "3 2 0\n0 0\n1 0.5\n2 -1.5e1\n", 2, 3, 0, {0, 0, 1, 0.5, 2, -15}},
      // The header may be spread over lines; what follows its third value
      // or a site's last value on the same line is ignored.
      {"spread header, extra values", "2\n1\n0 9 9\n5 6 7\n8\n", 1, 2, 0, {5, 8}},
      // A record continues on the next line; empty lines are passed over.
      {"record over lines", "2 3 0\n1\n\n2 3\n4, 5, 6\n", 3, 2, 0, {1, 2, 3, 4, 5, 6}},
      // Supplementary sites follow the others.
      {"supplementary", "2 1 1\n1\n2\n10\n", 1, 2, 1, {1, 2, 10}},
      // r*v, a null value (left at 0), Fortran exponent, CR line ends.
      {"free-format forms", "1 4 0\r\n2*1.5,,1d2\r\n", 4, 1, 0, {1.5, 1.5, 0, 100}},
      {"no final line feed", "1 2 0\n3 4", 2, 1, 0, {3, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sites s;
    ASSERT_EQ(read_coordinate_file(file("c.txt", c.text), s), std::nullopt);
    EXPECT_EQ(s.p, c.p);
    EXPECT_EQ(s.n, c.n);
    EXPECT_EQ(s.nsup, c.nsup);
    EXPECT_EQ(all_coords(s), c.coords);
    Sites again;  // detection must take these for coordinate files too
    ASSERT_EQ(read_sites_file(file("c.txt", c.text), again), std::nullopt);
    EXPECT_EQ(again.coords, c.coords);
  }
}

TEST_F(SitesFiles, CoordinateFileErrorsNameTheLine) {
  struct Case {
    const char* text;
    std::string message;  // after "<path>:"
  };
  const Case cases[] = {
      {"", "1: the file ends inside its header (n p nsup)"},
      {"3 2\n", "1: the file ends inside its header (n p nsup)"},
      {"3 2.5 0\n", "1: header (n p nsup): invalid integer: read unexpected character"},
      {"\n\n0 2 0\n", "3: header 0 2 0: at least 1 site and 1 coordinate are needed, and no negative number of "
                      "supplementary sites"},
      {"2 1 -1\n", "1: header 2 1 -1: at least 1 site and 1 coordinate are needed, and no negative number of "
                   "supplementary sites"},
      {"1990 2 11\n", "1: header 1990 2 11: 2001 sites, the program accepts at most 2000"},
      {"1 2001 0\n", "1: header 1 2001 0: the program accepts at most 2000 coordinates per site"},
      {"3 2 0\n0 0\n1 1\nabc 4\n", "4: site 3 of 3: invalid number: incomprehensible list input"},
      {"3 2 0\n0 0\n1\n\n", "4: the file ends before site 2 of 3"},
      {"2 2 1\n0 0\n1 1\n", "3: the file ends before site 3 of 3"},
      {"2 1 0\n1\n1e999\n", "3: site 2 of 2: coordinate 1 is not a finite number"},
      // A carriage return is no separator: a record continued on the next
      // line fails, as in the program.
      {"1 2 0\r\n1\r\n2\r\n", "2: site 1 of 1: invalid number: incomprehensible list input"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Sites s;
    const std::string path = file("bad.txt", c.text);
    EXPECT_EQ(read_coordinate_file(path, s), path + ":" + c.message);
  }
  Sites s;
  EXPECT_EQ(read_coordinate_file(dir_.path() + "/missing.txt", s), dir_.path() + "/missing.txt: No such file or directory");
  EXPECT_EQ(read_coordinate_file(dir_.path(), s), dir_.path() + ": Is a directory");
}

TEST_F(SitesFiles, ListsOfPositionsTwoValuesALine) {
  struct Case {
    const char* name;
    const char* text;
    std::vector<double> coords;
  };
  const Case cases[] = {
      // Grid.txt records " XXXX.YYYY.": fields of five, which touch once Y
      // reaches 1000 (a 2-by-1000 grid).
      {"Grid.txt", "    1.   1.\n    2.   1.\n    1.1000.\n    2.2000.\n", {1, 1, 2, 1, 1, 1000, 2, 2000}},
      {"blanks, commas, tabs, CR", "0.5 7\r\n-3,\t1e2\n\n", {0.5, 7, -3, 100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sites s;
    ASSERT_EQ(read_sites_file(file("xy.txt", c.text), s), std::nullopt);
    EXPECT_EQ(s.p, 2);
    EXPECT_EQ(s.n, static_cast<long>(c.coords.size() / 2));
    EXPECT_EQ(s.nsup, 0);
    EXPECT_EQ(s.coords, c.coords);
  }
  // Three values on the first line make it a coordinate file's header.
  Sites s;
  ASSERT_EQ(read_sites_file(file("c.txt", "2 2 0\n1 1\n2 2\n"), s), std::nullopt);
  EXPECT_EQ(s.n, 2);
  EXPECT_EQ(s.coords, (std::vector<double>{1, 1, 2, 2}));
  const std::string path = file("inf.txt", "1 1\n2 inf\n");
  EXPECT_EQ(read_sites_file(path, s), path + ":2: a coordinate is not a finite number");
}

}  // namespace
}  // namespace ortelix::tools
