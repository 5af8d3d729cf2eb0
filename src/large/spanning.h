// The longest edge of a minimum spanning tree of many sites, without the
// n^2 / 2 distances that Prim's algorithm on the whole matrix measures.
#pragma once

#include <cstdint>
#include <vector>

#include "base/expected.h"
#include "large/near_pairs.h"

namespace ortelix::large {

// The smallest limit under which the kept distances link every site to
// every other: the longest edge of a minimum spanning tree, one of the
// distances between two sites exactly as `distance` gives it, or infinity
// when a distance it needs is beyond the largest double. Needs n >= 2.
// Fails when finding it would take more than `max_pairs` pairs at once
// (sites in groups far apart from each other). Polls `progress`.
Expected<double> longest_tree_edge(const Points& pts, const Metric& metric, std::uint64_t max_pairs,
                                   Progress* progress = nullptr);
inline Expected<double> longest_tree_edge(const Points& pts, std::uint64_t max_pairs, Progress* progress = nullptr) {
  return longest_tree_edge(pts, Straight(pts), max_pairs, progress);
}

// The same for sites whose distances are listed pair by pair (every pair
// not listed being farther than any listed): Kruskal's algorithm over the
// list. Fails when the pairs leave the sites in more than one group.
Expected<double> longest_tree_edge(Index n, const std::vector<Index>& first, const std::vector<Index>& second,
                                   const std::vector<double>& dist);

}  // namespace ortelix::large
