#include "large/spanning.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <tuple>
#include <vector>

#include "large/kd_tree.h"
#include "large/progress.h"

namespace ortelix::large {
namespace {

class Components {
 public:
  explicit Components(long n) : parent_(static_cast<std::size_t>(n)), size_(static_cast<std::size_t>(n), 1), count_(n) {
    std::iota(parent_.begin(), parent_.end(), 0u);
  }
  std::uint32_t find(std::uint32_t i) {
    while (parent_[i] != i) {
      parent_[i] = parent_[parent_[i]];
      i = parent_[i];
    }
    return i;
  }
  // True when i and j were apart.
  bool join(std::uint32_t i, std::uint32_t j) {
    i = find(i);
    j = find(j);
    if (i == j) return false;
    if (size_[i] < size_[j]) std::swap(i, j);
    parent_[j] = i;
    size_[i] += size_[j];
    --count_;
    return true;
  }
  long count() const { return count_; }

 private:
  std::vector<std::uint32_t> parent_;
  std::vector<std::uint32_t> size_;
  long count_;
};

// The largest distance from a site to its nearest other site: no limit
// below it links that site to any other, so the longest tree edge is at
// least this, and for sites spread evenly it usually is this.
double farthest_nearest_neighbour(const Points& pts) {
  PointsAdaptor adaptor{pts};
  KdTree tree(pts.p, adaptor, nanoflann::KDTreeSingleIndexAdaptorParams(kLeafSize));
  tree.buildIndex();
  double farthest = 0;
  std::uint32_t index[2];
  double squared[2];
  for (long i = 0; i < pts.n; ++i) {
    const std::size_t found = tree.knnSearch(pts.xyz + static_cast<std::size_t>(i) * pts.p, 2, index, squared);
    for (std::size_t k = 0; k < found; ++k) {
      if (index[k] != i) {
        farthest = std::max(farthest, distance(pts, i, index[k]));
        break;
      }
    }
  }
  return farthest;
}

}  // namespace

bool longest_tree_edge(const Points& pts, std::uint64_t max_pairs, double& edge, Progress* progress) {
  // Kruskal's algorithm over every pair up to a radius that grows until the
  // pairs link all the sites. Each round adds, in increasing order, the
  // pairs longer than the previous radius: the edges met are those that
  // Kruskal's algorithm on the whole matrix would meet, in the same order,
  // up to the one that links the last two groups.
  Components groups(pts.n);
  double previous = -1;
  double radius = farthest_nearest_neighbour(pts);
  if (radius == 0) radius = 1e-300;  // every site has a twin
  for (;;) {
    // Past the largest double the squared distances overflow and no radius
    // finds the missing links.
    if (!std::isfinite(radius)) {
      edge = radius;
      return true;
    }
    if (progress) progress->stage("minimum spanning tree");
    NearPairs pairs;
    if (!find_near_pairs(pts, radius, max_pairs, pairs, progress)) return false;
    std::vector<std::tuple<double, std::uint32_t, std::uint32_t>> edges;
    for (long r = 0; r < pairs.n; ++r) {
      for (std::uint64_t k = pairs.start[r]; k < pairs.start[r + 1]; ++k) {
        const std::uint32_t c = pairs.column[k];
        if (c > r && pairs.dist[k] > previous) edges.emplace_back(pairs.dist[k], pairs.order[r], pairs.order[c]);
      }
    }
    std::sort(edges.begin(), edges.end());
    for (const auto& [d, i, j] : edges) {
      if (groups.join(i, j) && groups.count() == 1) {
        edge = d;
        return true;
      }
    }
    previous = radius;
    // About twice the pairs of the last round in two dimensions.
    radius *= 1.5;
  }
}

}  // namespace ortelix::large
