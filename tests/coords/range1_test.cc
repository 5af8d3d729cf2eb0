// Ranging of the coordinates, run in a child process with the screen and
// the run report file on real units: the numbers of the worked cases for
// both kinds of variables, supplementary objects widening the ranges, any
// number of coordinates, the diagnostic echo, and the stop when every site
// stands at the same place.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "coords/coords.h"
#include "output/in_child.h"
#include "textio/units.h"

namespace ortelix::coords {
namespace {

constexpr int kLd = 10;
constexpr int kVectorLength = 8;  // vmin and vmax; entries past p must stay untouched
const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Ranged {
  int exit_status = -1;
  std::string screen, report;
  bool returned = false;
  std::vector<double> x, vmin, vmax;
  double rangmax = 0;
  double at(int i, int j) const { return x[(j - 1) * kLd + (i - 1)]; }
};

const char kRanging[] = "\n The coordinates were ranged and centred before computing the spatial variables.\n";

Ranged range(int n, int p, int nsup, const std::vector<std::vector<double>>& sites, int method, int verbose) {
  std::vector<double> x(kLd * kLd, 0.0);
  for (int i = 0; i < n + nsup; ++i) {
    for (int j = 0; j < p; ++j) x[j * kLd + i] = sites[i][j];
  }
  auto child = testing_support::in_child([&] {
    textio::open_unit(7, "rep.txt", textio::Status::kNew);
    std::vector<double> vmin(kVectorLength, kNaN), vmax(kVectorLength, kNaN);
    double rangmax = 0;
    range1(n, p, nsup, kLd, x.data(), vmin.data(), vmax.data(), rangmax, method, 7, verbose);
    std::FILE* out = std::fopen("result", "wb");
    std::fwrite(x.data(), sizeof(double), x.size(), out);
    std::fwrite(vmin.data(), sizeof(double), kVectorLength, out);
    std::fwrite(vmax.data(), sizeof(double), kVectorLength, out);
    std::fwrite(&rangmax, sizeof(double), 1, out);
    std::fclose(out);
  });
  Ranged r;
  r.exit_status = child.exit_status;
  r.screen = child.files["stdout"];
  r.report = child.files["rep.txt"];
  auto it = child.files.find("result");
  if (it != child.files.end()) {
    const std::string& bytes = it->second;
    EXPECT_EQ(sizeof(double) * (x.size() + 2 * kVectorLength + 1), bytes.size());
    std::vector<double> all(bytes.size() / sizeof(double));
    std::memcpy(all.data(), bytes.data(), all.size() * sizeof(double));
    r.returned = true;
    r.x.assign(all.begin(), all.begin() + kLd * kLd);
    r.vmin.assign(all.begin() + kLd * kLd, all.begin() + kLd * kLd + kVectorLength);
    r.vmax.assign(all.begin() + kLd * kLd + kVectorLength, all.begin() + kLd * kLd + 2 * kVectorLength);
    r.rangmax = all.back();
  }
  return r;
}

std::vector<std::vector<double>> transect(int n) {
  std::vector<std::vector<double>> s;
  for (int i = 1; i <= n; ++i) s.push_back({static_cast<double>(i)});
  return s;
}

TEST(Range1, FivePointTransectForBothMethods) {
  Ranged poly = range(5, 1, 0, transect(5), 2, 0);
  ASSERT_TRUE(poly.returned);
  EXPECT_EQ(kRanging, poly.screen);
  EXPECT_EQ(kRanging, poly.report);
  EXPECT_EQ(1.0, poly.vmin[0]);
  EXPECT_EQ(4.0, poly.vmax[0]);
  EXPECT_EQ(4.0, poly.rangmax);
  const double quarters[] = {0, 0.25, 0.5, 0.75, 1};
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(quarters[i - 1], poly.at(i, 1));

  // PCNM: the range times 0.1 in single precision, 0.10000000149011612.
  Ranged pcnm = range(5, 1, 0, transect(5), 1, 0);
  ASSERT_TRUE(pcnm.returned);
  EXPECT_EQ(kRanging, pcnm.screen);
  EXPECT_EQ(4 * 0.10000000149011612, pcnm.rangmax);
  const double ranged[] = {0, 2.4999999627470975, 4.999999925494195, 7.499999888241293, 9.99999985098839};
  for (int i = 1; i <= 5; ++i) EXPECT_DOUBLE_EQ(ranged[i - 1], pcnm.at(i, 1));
  EXPECT_NE(10.0, pcnm.at(5, 1));
}

// 3-by-2 grid, X fastest: minima (1, 1), ranges (2, 1), divisor 2; the
// diagnostic lines show the ranges, not the maxima, and the report gets
// the ranged matrix.
TEST(Range1, GridWithDiagnosticEcho) {
  const std::vector<std::vector<double>> grid = {{1, 1}, {2, 1}, {3, 1}, {1, 2}, {2, 2}, {3, 2}};
  Ranged r = range(6, 2, 0, grid, 2, 1);
  ASSERT_TRUE(r.returned);
  EXPECT_EQ(1.0, r.vmin[0]);
  EXPECT_EQ(1.0, r.vmin[1]);
  EXPECT_EQ(2.0, r.vmax[0]);
  EXPECT_EQ(1.0, r.vmax[1]);
  EXPECT_EQ(2.0, r.rangmax);
  const double xs[] = {0, 0.5, 1, 0, 0.5, 1}, ys[] = {0, 0, 0, 0.5, 0.5, 0.5};
  for (int i = 1; i <= 6; ++i) {
    EXPECT_EQ(xs[i - 1], r.at(i, 1));
    EXPECT_EQ(ys[i - 1], r.at(i, 2));
  }
  EXPECT_EQ(std::string(kRanging) + " Vector Minim =  1.  1.\n Vector Maxim =  2.  1.\n Rangmax =  2.\n\n", r.screen);
  EXPECT_EQ(std::string(kRanging) +
                "\n Matrix X after ranging\n\n"
                "    0.00000   0.00000\n    0.50000   0.00000\n    1.00000   0.00000\n"
                "    0.00000   0.50000\n    0.50000   0.50000\n    1.00000   0.50000\n\n",
            r.report);
}

// A supplementary site outside the objects' extent sets the minimum of Y
// and the range of X.
TEST(Range1, SupplementaryObjectWidensTheRanges) {
  Ranged r = range(2, 2, 1, {{0, 0}, {1, 1}, {5, -1}}, 2, 0);
  ASSERT_TRUE(r.returned);
  EXPECT_EQ(0.0, r.vmin[0]);
  EXPECT_EQ(-1.0, r.vmin[1]);
  EXPECT_EQ(5.0, r.vmax[0]);
  EXPECT_EQ(2.0, r.vmax[1]);
  EXPECT_EQ(5.0, r.rangmax);
  EXPECT_EQ(1.0, r.at(3, 1));
  EXPECT_EQ(0.0, r.at(3, 2));
  EXPECT_EQ(0.4, r.at(2, 2));
}

// Five coordinates: one minimum and one range per coordinate, the largest
// range (the fourth, 8) as divisor, and nothing written past the fifth
// entry.
TEST(Range1, MoreThanThreeCoordinates) {
  Ranged r = range(3, 5, 0, {{0, 1, 2, 3, 4}, {1, 1, 0, -5, 4}, {2, 3, 2, 3, 6}}, 1, 0);
  ASSERT_TRUE(r.returned);
  const double mins[] = {0, 1, 0, -5, 4}, ranges[] = {2, 2, 2, 8, 2};
  for (int j = 0; j < 5; ++j) {
    EXPECT_EQ(mins[j], r.vmin[j]) << j + 1;
    EXPECT_EQ(ranges[j], r.vmax[j]) << j + 1;
  }
  for (int j = 5; j < kVectorLength; ++j) EXPECT_TRUE(std::isnan(r.vmin[j]) && std::isnan(r.vmax[j])) << j + 1;
  EXPECT_EQ(8 * 0.10000000149011612, r.rangmax);
  EXPECT_EQ(8 / (8 * 0.10000000149011612), r.at(1, 4));
}

// Every site at one place: the largest range is exactly 0; the message
// goes to the screen and the report and the run stops normally before any
// division.
TEST(Range1, AllSitesAtOnePlaceStop) {
  const std::string same =
      std::string(kRanging) + "\n All the sites have the same coordinates: no spatial\n variables can be built.\n";
  for (int method : {1, 2}) {
    for (const auto& sites : {std::vector<std::vector<double>>{{7}}, std::vector<std::vector<double>>{{3, 4}, {3, 4}}}) {
      SCOPED_TRACE(method);
      const int p = static_cast<int>(sites[0].size());
      Ranged r = range(static_cast<int>(sites.size()), p, 0, sites, method, 1);
      EXPECT_EQ(0, r.exit_status);
      EXPECT_FALSE(r.returned);
      EXPECT_EQ(same, r.screen);
      EXPECT_EQ(same, r.report);
    }
  }
}

}  // namespace
}  // namespace ortelix::coords
