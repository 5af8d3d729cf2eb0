// The distances that matter when choosing the truncation limit.
#pragma once

#include "sites/sites.h"

namespace ortelix::sites {

struct DistanceSummary {
  double longest_tree_edge = 0;  // longest edge of a minimum spanning tree
  double smallest = 0;           // over all pairs of different sites
  double largest = 0;            // infinity when it passes the largest double
};

// Distances as the dialogue program computes them. Needs at least two
// sites; every site counts, supplementary ones included, since the program
// builds its distance matrix over all of them. Takes time in the square of
// the number of sites: for the dialogue program's site sets.
DistanceSummary summarize_distances(const Sites& sites);

}  // namespace ortelix::sites
