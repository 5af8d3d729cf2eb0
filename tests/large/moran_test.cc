// Moran's I worked out by hand and from its eigenvalue.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "large/moran.h"
#include "large/prepared.h"
#include "large/site_sets.h"

namespace ortelix::large {
namespace {

TEST(Moran, WorkedOutByHand) {
  // Sites 0, 1, 2, 3 on a line, limit 1, far pairs at 4: the three
  // neighbouring pairs weigh 1 - (1/4)^2 = 15/16 each way, S0 = 90/16.
  const std::vector<double> line = {0, 1, 2, 3};
  const auto search = find_near_pairs(Points{line.data(), 4, 1}, 1.0, 100);
  ASSERT_TRUE(search.ok());
  const NearPairs& pairs = *search;
  const std::vector<double> x = {1, 2, 3, 4, 1, -1, 1, -1, 1, 2, 4, 100};
  const MoranResult all = moran_index(pairs, 4.0, 4, x.data(), 4, 3);
  EXPECT_DOUBLE_EQ(90.0 / 16, all.weight_sum);
  EXPECT_DOUBLE_EQ(-1.0 / 3, all.expectation);
  // z = (-1.5, -0.5, 0.5, 1.5): sum w z z = 2 (15/16) 1.25, sum z^2 = 5.
  EXPECT_DOUBLE_EQ(1.0 / 3, all.index[0]);
  EXPECT_DOUBLE_EQ(-1.0, all.index[1]);  // alternating signs
  // Over the first three sites only, the fourth taking no part:
  // z = (-4/3, -1/3, 5/3), sum w z z = 2 (15/16)(4/9 - 5/9), S0 = 60/16.
  const MoranResult three = moran_index(pairs, 4.0, 3, x.data() + 8, 4, 1);
  EXPECT_DOUBLE_EQ(60.0 / 16, three.weight_sum);
  EXPECT_DOUBLE_EQ(-0.5, three.expectation);
  EXPECT_DOUBLE_EQ(-1.0 / 28, three.index[0]);
  // No pair kept: no weights, no index.
  const auto none = find_near_pairs(Points{line.data(), 4, 1}, 0.5, 100);
  ASSERT_TRUE(none.ok());
  EXPECT_TRUE(std::isnan(moran_index(*none, 2.0, 4, x.data(), 4, 1).index[0]));
}

// The weights are the near part of the Gower operator over 8t^2, so a
// centred unit eigenvector u of eigenvalue lambda has
//     u'Wu = lambda / 8t^2 - 1   and   I = (n / S0) (lambda / 8t^2 - 1).
TEST(Moran, OfAnEigenvectorFollowsFromItsEigenvalue) {
  const Prepared p = prepare(clustered_sites(6, 50, 30, 61));
  const DenseEigen e = dense_eigen(p);
  const double far = p.thresh * 4.0, eight_t2 = far * far / 2;
  const int k = 25;
  const MoranResult m = moran_index(p.pairs, far, p.n, e.vectors.data(), p.n, k);
  for (int j = 0; j < k; ++j) {
    const double closed = (p.n / m.weight_sum) * (e.values[j] / eight_t2 - 1);
    EXPECT_NEAR(closed, m.index[j], 1e-9 * std::fabs(closed) + 1e-12) << j + 1;
  }
}

}  // namespace
}  // namespace ortelix::large
