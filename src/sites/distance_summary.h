// The distances that matter when choosing the truncation limit.
#pragma once

#include "tools/sites.h"

namespace ortelix::tools {

// Distance between sites i and j as the program computes it: squares of
// the coordinate differences summed in increasing coordinate order, then
// the square root.
double site_distance(const Sites& sites, long i, long j);

struct DistanceSummary {
  double longest_tree_edge = 0;  // longest edge of a minimum spanning tree
  double smallest = 0;           // over all pairs of different sites
  double largest = 0;
};

// Needs at least two sites; every site counts, supplementary ones included,
// since the program builds its distance matrix over all of them.
DistanceSummary summarize_distances(const Sites& sites);

}  // namespace ortelix::tools
