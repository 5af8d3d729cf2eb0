#include "tools/spanning_tree.h"

#include <cmath>
#include <limits>
#include <vector>

namespace ortelix::tools {

double site_distance(const Sites& sites, long i, long j) {
  double sum = 0.0;
  for (int k = 0; k < sites.p; ++k) {
    double diff = sites.at(i, k) - sites.at(j, k);
    sum = sum + diff * diff;
  }
  return std::sqrt(sum);
}

DistanceSummary summarize_distances(const Sites& sites) {
  // Prim's algorithm on the full matrix, computed on the fly: every pair
  // is measured exactly once, when the first of its two sites joins the
  // tree, so the smallest and largest distances come for free.
  const long total = sites.total();
  std::vector<double> link(static_cast<std::size_t>(total), std::numeric_limits<double>::infinity());
  std::vector<bool> joined(static_cast<std::size_t>(total), false);
  DistanceSummary s;
  s.smallest = std::numeric_limits<double>::infinity();
  long current = 0;
  joined[0] = true;
  for (long added = 1; added < total; ++added) {
    long nearest = -1;
    for (long j = 0; j < total; ++j) {
      if (joined[j]) continue;
      double d = site_distance(sites, current, j);
      s.smallest = std::min(s.smallest, d);
      s.largest = std::max(s.largest, d);
      if (d < link[j]) link[j] = d;
      if (nearest < 0 || link[j] < link[nearest]) nearest = j;
    }
    s.longest_tree_edge = std::max(s.longest_tree_edge, link[nearest]);
    joined[nearest] = true;
    current = nearest;
  }
  return s;
}

}  // namespace ortelix::tools
