#include "large/gower_operator.h"

#include <algorithm>
#include <cmath>

#include "pcnm/rules.h"
#include "pcnm/team.h"

namespace ortelix::large {

using pcnm::transformed;

TruncatedGower::TruncatedGower(const NearPairs& pairs, double thresh, int threads)
    : pairs_(pairs), far_(transformed(pcnm::far_distance(thresh))), team_(new pcnm::Team(threads)) {
  const Index n = pairs.n;
  double low = 0, high = 0;
  for (Index r = 0; r < n; ++r) {
    double radius = 0;
    for (std::uint64_t k = pairs.start[r]; k < pairs.start[r + 1]; ++k) {
      radius += std::fabs(transformed(pairs.dist[k]) - far_);
    }
    low = std::min(low, -far_ - radius);
    high = std::max(high, -far_ + radius);
  }
  // A little slack for the rounding of the sums above.
  const double slack = 1e-12 * (high - low);
  lower_ = low - slack;
  upper_ = high + slack;
  // Halves of the work, which is mostly the pairs.
  const std::uint64_t total = pairs.start[n] + static_cast<std::uint64_t>(n);
  split_ = 0;
  while (split_ < n && pairs.start[split_] + static_cast<std::uint64_t>(split_) < total / 2) ++split_;
}

TruncatedGower::~TruncatedGower() = default;

void TruncatedGower::apply(const double* x, double* y) const {
  ++products_;
  const Index n = pairs_.n;
  const double dn = static_cast<double>(n);
  double sum = 0.0;
  for (Index i = 0; i < n; ++i) sum += x[i];
  const double mean = sum / dn;
  const double diag = -far_;
  const std::uint64_t* start = pairs_.start.data();
  const std::uint32_t* column = pairs_.column.data();
  const double* dist = pairs_.dist.data();
  const double far = far_;
  // y = B (x - mean): each row's sum in increasing pair order, whichever
  // thread computes it.
  team_->run(n >= 4096, [&](int part) {
    const Index r0 = part == 0 ? 0 : split_, r1 = part == 0 ? split_ : n;
    for (Index r = r0; r < r1; ++r) {
      double acc = diag * (x[r] - mean);
      for (std::uint64_t k = start[r]; k < start[r + 1]; ++k) {
        acc += (transformed(dist[k]) - far) * (x[column[k]] - mean);
      }
      y[r] = acc;
    }
  });
  sum = 0.0;
  for (Index i = 0; i < n; ++i) sum += y[i];
  const double mean_y = sum / dn;
  for (Index i = 0; i < n; ++i) y[i] -= mean_y;
}

}  // namespace ortelix::large
