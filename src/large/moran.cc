#include "large/moran.h"

#include <limits>

#include "pcnm/team.h"

namespace ortelix::large {

MoranResult moran_index(const NearPairs& pairs, double far, Index m, const double* x, Index ld, Index nvar) {
  const Index n = pairs.n;
  MoranResult result;
  result.expectation = -1.0 / static_cast<double>(m - 1);
  auto weight = [far](double d) {
    const double q = d / far;
    return 1.0 - q * q;
  };
  double s0 = 0;
  for (Index r = 0; r < n; ++r) {
    if (pairs.order[r] >= m) continue;
    for (std::uint64_t k = pairs.start[r]; k < pairs.start[r + 1]; ++k) {
      if (pairs.order[pairs.column[k]] < m) s0 += weight(pairs.dist[k]);
    }
  }
  result.weight_sum = s0;
  result.index.assign(static_cast<std::size_t>(nvar), std::numeric_limits<double>::quiet_NaN());
  if (s0 == 0 || nvar == 0) return result;

  // The weights once for all the variables, the same doubles each time.
  std::vector<double> w(pairs.dist.size());
  for (std::size_t k = 0; k < w.size(); ++k) w[k] = weight(pairs.dist[k]);
  // Each variable's sums on one thread, in one order, whichever thread.
  const double work = static_cast<double>(nvar) * static_cast<double>(n + static_cast<Index>(w.size()));
  pcnm::Team team(work >= 4e6 && nvar > 1 && pcnm::usable_processors() >= 2 ? 2 : 1);
  team.run(true, [&](int part) {
    const int j0 = part == 0 ? 0 : nvar / 2, j1 = part == 0 ? nvar / 2 : nvar;
    // The column in row order, 0 for sites outside the m: their pairs then
    // add nothing.
    std::vector<double> z(static_cast<std::size_t>(n));
    for (int j = j0; j < j1; ++j) {
      const double* col = x + static_cast<std::size_t>(j) * ld;
      double sum = 0;
      for (Index i = 0; i < m; ++i) sum += col[i];
      const double mean = sum / static_cast<double>(m);
      double squares = 0;
      for (Index r = 0; r < n; ++r) {
        const std::uint32_t site = pairs.order[r];
        z[r] = site < m ? col[site] - mean : 0.0;
        squares += z[r] * z[r];
      }
      // Each pair once, from its lower row: the weights are symmetric.
      double cross = 0;
      for (Index r = 0; r < n; ++r) {
        if (z[r] == 0) continue;
        double row = 0;
        for (std::uint64_t k = pairs.start[r]; k < pairs.start[r + 1]; ++k) {
          if (pairs.column[k] > r) row += w[k] * z[pairs.column[k]];
        }
        cross += z[r] * row;
      }
      cross *= 2;
      result.index[j] = (static_cast<double>(m) / s0) * (cross / squares);
    }
  });
  return result;
}

}  // namespace ortelix::large
