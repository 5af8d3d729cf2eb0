// Distances among the sites and their truncation: squares summed in
// increasing coordinate order, the strict "greater than" of the limit, a
// NaN distance left alone, and every truncation starting again from the
// true distances, whatever an earlier attempt did.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "pcnm/distances.h"

namespace ortelix::pcnm {
namespace {

constexpr int kLd = 6;

struct Sites {
  std::vector<double> x = std::vector<double>(kLd * kLd, 0.0);
  std::vector<double> d = std::vector<double>(kLd * kLd, 0.0);
  double& at(int i, int k) { return x[(k - 1) * kLd + (i - 1)]; }
  double dist(int i, int j) const { return d[(j - 1) * kLd + (i - 1)]; }  // i < j: the upper triangle
};

Sites transect(int n) {
  Sites s;
  for (int i = 1; i <= n; ++i) s.at(i, 1) = i - 1;
  compute_distances(s.x.data(), n, 1, kLd, s.d.data());
  return s;
}

TEST(Distances, EuclideanWithSquaresInCoordinateOrder) {
  Sites s;
  const double sites[3][3] = {{0, 0, 0}, {3, 4, 0}, {6, 8, 0}};
  for (int i = 1; i <= 3; ++i) {
    for (int k = 1; k <= 3; ++k) s.at(i, k) = sites[i - 1][k - 1];
  }
  // Fourth site: differences 1 and five times 1e-8 from the first. In
  // coordinate order each 1e-16 is lost against 1 and the distance is 1;
  // the small squares summed first would make 1 + 4.4e-16, whose square
  // root is the next double above 1.
  s.at(4, 1) = 1;
  for (int k = 2; k <= 6; ++k) s.at(4, k) = 1e-8;
  compute_distances(s.x.data(), 4, 6, kLd, s.d.data());
  EXPECT_EQ(5.0, s.dist(1, 2));
  EXPECT_EQ(10.0, s.dist(1, 3));
  EXPECT_EQ(5.0, s.dist(2, 3));
  EXPECT_EQ(1.0, s.dist(1, 4));
}

// Every distance above the limit becomes limit x 4; one equal to it stays.
TEST(Truncation, StrictlyAboveTheLimitOnly) {
  Sites s = transect(5);  // distances 1, 2, 3, 4
  truncate_distances(s.d.data(), 5, kLd, 2.0);
  for (int i = 1; i <= 5; ++i) {
    for (int j = i + 1; j <= 5; ++j) {
      const double true_distance = j - i;
      EXPECT_EQ(true_distance <= 2.0 ? true_distance : 8.0, s.dist(i, j)) << i << "," << j;
    }
  }
}

TEST(Truncation, NaNDistanceIsNeverReplaced) {
  Sites s;
  s.at(1, 1) = 0;
  s.at(2, 1) = std::numeric_limits<double>::quiet_NaN();
  s.at(3, 1) = 5;
  compute_distances(s.x.data(), 3, 1, kLd, s.d.data());
  truncate_distances(s.d.data(), 3, kLd, 1.0);
  EXPECT_TRUE(std::isnan(s.dist(1, 2)));
  EXPECT_TRUE(std::isnan(s.dist(2, 3)));
  EXPECT_EQ(4.0, s.dist(1, 3));
}

// After an attempt at 0.5 (every distance becomes 2), a limit of 3 keeps
// the true distances up to 3 and replaces the larger ones by 12: exactly a
// fresh truncation. A lower limit after a higher one is fresh as well.
TEST(Truncation, EachAttemptStartsFromTheTrueDistances) {
  struct Case {
    double first, second;
  };
  for (const Case& c : {Case{0.5, 3.0}, Case{3.0, 0.5}, Case{1.0, 4.5}, Case{4.5, 1.0}}) {
    SCOPED_TRACE(std::to_string(c.first) + " then " + std::to_string(c.second));
    Sites s = transect(6);
    truncate_distances(s.d.data(), 6, kLd, c.first);
    truncate_distances(s.d.data(), 6, kLd, c.second);
    for (int i = 1; i <= 6; ++i) {
      for (int j = i + 1; j <= 6; ++j) {
        const double true_distance = j - i;
        EXPECT_EQ(true_distance > c.second ? 4 * c.second : true_distance, s.dist(i, j)) << i << "," << j;
      }
    }
  }
}

}  // namespace
}  // namespace ortelix::pcnm
