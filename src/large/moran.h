// Moran's I of spatial variables, with the weights of the truncated
// distance matrix.
#pragma once

#include <vector>

#include "large/near_pairs.h"

namespace ortelix::large {

struct MoranResult {
  double expectation = 0;     // -1 / (m - 1), I's expectation without autocorrelation
  double weight_sum = 0;      // S0, the sum of all the weights among the m sites
  std::vector<double> index;  // I of each variable; NaN when S0 is 0
};

// Moran's I over sites 0..m-1 (the sites of the analysis, whatever other
// sites the pairs join) of columns 0..nvar-1 of x (site i of column j at
// x[j * ld + i]):
//     I = (m / S0) * sum_ij w(i, j) z_i z_j / sum_i z_i^2,
// z the column less its mean over the m sites. A near pair has the weight
// 1 - (d / far)^2, far being the distance that truncation gives far pairs,
// four times the limit; far pairs and a site with itself weigh 0 (as in
// distance-based Moran's eigenvector maps).
MoranResult moran_index(const NearPairs& pairs, double far, Index m, const double* x, Index ld, Index nvar);

}  // namespace ortelix::large
