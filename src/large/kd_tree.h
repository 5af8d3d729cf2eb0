// The k-d tree of a set of points, for near-pair and nearest-neighbour
// searches.
#pragma once

#include <cstdint>

#include <nanoflann.hpp>

#include "large/near_pairs.h"

namespace ortelix::large {

struct PointsAdaptor {
  const Points& pts;
  std::size_t kdtree_get_point_count() const { return static_cast<std::size_t>(pts.n); }
  double kdtree_get_pt(std::uint32_t i, std::size_t k) const {
    return pts.xyz[static_cast<std::size_t>(i) * static_cast<std::size_t>(pts.p) + k];
  }
  template <class Box>
  bool kdtree_get_bbox(Box&) const {
    return false;
  }
};

// Squared distances summed in coordinate order, as `distance` does before
// its root; searches still check every candidate with `distance` itself.
using KdTree =
    nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<double, PointsAdaptor>, PointsAdaptor, -1,
                                        std::uint32_t>;

// A few points per leaf: radius searches over small neighbourhoods visit
// few leaves that hold nothing of use.
constexpr std::size_t kLeafSize = 12;

// The squared radius to search with for pairs at most `limit` apart: a
// hair more, so that no pair at the limit is lost to the library's own
// comparisons.
inline double search_radius_squared(double limit) { return limit * limit * (1 + 1e-9) + 1e-300; }

}  // namespace ortelix::large
