#include "large/spanning.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <tuple>
#include <vector>

#include "large/kd_tree.h"
#include "large/progress.h"

namespace ortelix::large {
namespace {

class Components {
 public:
  explicit Components(Index n) : parent_(static_cast<std::size_t>(n)), size_(static_cast<std::size_t>(n), 1), count_(n) {
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
  Index count() const { return count_; }

 private:
  std::vector<std::uint32_t> parent_;
  std::vector<std::uint32_t> size_;
  Index count_;
};

// The largest distance from a site to its nearest other site: no limit
// below it links that site to any other, so the longest tree edge is at
// least this, and for sites spread evenly it usually is this. The nearest
// point of the tree is the nearest site: distances grow with the straight
// line between the points.
double farthest_nearest_neighbour(const Points& pts, const Metric& metric, Progress* progress) {
  PointsAdaptor adaptor{pts};
  KdTree tree(pts.p, adaptor, nanoflann::KDTreeSingleIndexAdaptorParams(kLeafSize));
  tree.buildIndex();
  double farthest = 0;
  std::uint32_t index[2];
  double squared[2];
  for (Index i = 0; i < pts.n; ++i) {
    // A pass over every site, seconds long for millions of them.
    if (progress && (i & 4095) == 0) progress->poll();
    const std::size_t found = tree.knnSearch(pts.xyz + static_cast<std::size_t>(i) * pts.p, 2, index, squared);
    double nearest = std::numeric_limits<double>::infinity();  // no other site within the largest double
    for (std::size_t k = 0; k < found; ++k) {
      if (static_cast<Index>(index[k]) != i) {
        nearest = metric.distance(i, index[k]);
        break;
      }
    }
    farthest = std::max(farthest, nearest);
  }
  return farthest;
}

// The points of the sites, each position once, with the site each stands
// for. Twins are joined at distance 0 and change no other edge of the tree,
// and without them every site has a nearest neighbour at a distance that
// can start the search.
struct Distinct {
  std::vector<double> xyz;
  std::vector<Index> site;
};

Distinct distinct_positions(const Points& pts) {
  const std::size_t p = static_cast<std::size_t>(pts.p);
  std::vector<std::uint32_t> order(static_cast<std::size_t>(pts.n));
  std::iota(order.begin(), order.end(), 0u);
  auto at = [&](std::uint32_t i) { return pts.xyz + i * p; };
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return std::lexicographical_compare(at(a), at(a) + p, at(b), at(b) + p);
  });
  Distinct out;
  out.xyz.reserve(order.size() * p);
  for (std::size_t k = 0; k < order.size(); ++k) {
    if (k > 0 && std::equal(at(order[k]), at(order[k]) + p, at(order[k - 1]))) continue;
    out.xyz.insert(out.xyz.end(), at(order[k]), at(order[k]) + p);
    out.site.push_back(order[k]);
  }
  return out;
}

// A metric of sites seen through a table of which site each point is.
class Through : public Metric {
 public:
  Through(const Metric& base, const std::vector<Index>& site) : base_(base), site_(site) {}
  double distance(Index i, Index j) const override { return base_.distance(site_[i], site_[j]); }
  double search_radius_squared(double limit) const override { return base_.search_radius_squared(limit); }

 private:
  const Metric& base_;
  const std::vector<Index>& site_;
};

}  // namespace

Expected<double> longest_tree_edge(const Points& all, const Metric& metric, std::uint64_t max_pairs,
                                   Progress* progress) {
  // Kruskal's algorithm over every pair up to a radius that grows until the
  // pairs link all the sites. Each round adds, in increasing order, the
  // pairs longer than the previous radius: the edges met are those that
  // Kruskal's algorithm on the whole matrix would meet, in the same order,
  // up to the one that links the last two groups.
  const Distinct distinct = distinct_positions(all);
  const Points pts{distinct.xyz.data(), static_cast<Index>(distinct.site.size()), all.p};
  const Through through(metric, distinct.site);
  if (pts.n < 2) return 0.0;
  Components groups(pts.n);
  double previous = -1;
  if (progress) progress->poll();
  double radius = farthest_nearest_neighbour(pts, through, progress);
  for (;;) {
    if (progress) progress->poll();
    // Past the largest double the squared distances overflow and no radius
    // finds the missing links.
    if (!std::isfinite(radius)) return radius;
    if (progress) progress->stage("minimum spanning tree");
    Expected<NearPairs> found = find_near_pairs(pts, through, radius, max_pairs, progress);
    if (!found.ok()) {
      return fail("the sites lie in groups so far apart that linking them keeps more than " +
                  std::to_string(max_pairs) + " pairs of sites");
    }
    const NearPairs& pairs = *found;
    std::vector<std::tuple<double, std::uint32_t, std::uint32_t>> edges;
    for (Index r = 0; r < pairs.n; ++r) {
      for (std::uint64_t k = pairs.start[r]; k < pairs.start[r + 1]; ++k) {
        const std::uint32_t c = pairs.column[k];
        if (static_cast<Index>(c) > r && pairs.dist[k] > previous) {
          edges.emplace_back(pairs.dist[k], pairs.order[r], pairs.order[c]);
        }
      }
    }
    std::sort(edges.begin(), edges.end());
    for (const auto& [d, i, j] : edges) {
      if (groups.join(i, j) && groups.count() == 1) return d;
    }
    previous = radius;
    // About twice the pairs of the last round in two dimensions.
    radius *= 1.5;
  }
}

Expected<double> longest_tree_edge(Index n, const std::vector<Index>& first, const std::vector<Index>& second,
                                   const std::vector<double>& dist) {
  std::vector<std::size_t> by_length(dist.size());
  std::iota(by_length.begin(), by_length.end(), std::size_t{0});
  std::stable_sort(by_length.begin(), by_length.end(), [&](std::size_t a, std::size_t b) { return dist[a] < dist[b]; });
  Components groups(n);
  if (n < 2) return 0.0;
  for (std::size_t k : by_length) {
    if (groups.join(static_cast<std::uint32_t>(first[k]), static_cast<std::uint32_t>(second[k])) &&
        groups.count() == 1) {
      return dist[k];
    }
  }
  return fail("the listed pairs leave the sites in " + std::to_string(groups.count()) +
              " groups that no listed pair links: no limit links them all; list the pairs that link them");
}

}  // namespace ortelix::large
