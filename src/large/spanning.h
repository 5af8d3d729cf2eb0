// The longest edge of a minimum spanning tree of many sites, without the
// n^2 / 2 distances that Prim's algorithm on the whole matrix measures.
#pragma once

#include <cstdint>

#include "base/expected.h"
#include "large/near_pairs.h"

namespace ortelix::large {

// The smallest limit under which the kept distances link every site to
// every other: the longest edge of a minimum spanning tree, one of the
// distances between two sites exactly as `distance` gives it, or infinity
// when a distance it needs is beyond the largest double. Needs n >= 2.
// Fails when finding it would take more than `max_pairs` pairs at once
// (sites in groups far apart from each other). Polls `progress`.
Expected<double> longest_tree_edge(const Points& pts, std::uint64_t max_pairs, Progress* progress = nullptr);

}  // namespace ortelix::large
