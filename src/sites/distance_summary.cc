#include "sites/distance_summary.h"

#include <cmath>
#include <limits>
#include <vector>

#include "pcnm/rules.h"

namespace ortelix::sites {

DistanceSummary summarize_distances(const Sites& sites) {
  // Prim's algorithm on the full matrix, computed on the fly: every pair
  // is measured exactly once, when the first of its two sites joins the
  // tree, so the smallest and largest distances come for free.
  const Index total = sites.total();
  std::vector<double> link(static_cast<std::size_t>(total), std::numeric_limits<double>::infinity());
  std::vector<bool> joined(static_cast<std::size_t>(total), false);
  DistanceSummary s;
  s.smallest = std::numeric_limits<double>::infinity();
  Index current = 0;
  joined[0] = true;
  for (Index added = 1; added < total; ++added) {
    Index nearest = -1;
    for (Index j = 0; j < total; ++j) {
      if (joined[j]) continue;
      const double d = pcnm::site_distance(sites.site(current), sites.site(j), sites.p);
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

}  // namespace ortelix::sites
