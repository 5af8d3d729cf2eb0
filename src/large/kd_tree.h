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

// Squared distances summed in coordinate order; searches check every
// candidate with the metric's exact distance.
using KdTree =
    nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<double, PointsAdaptor>, PointsAdaptor, -1,
                                        std::uint32_t>;

// A few points per leaf: radius searches over small neighbourhoods visit
// few leaves that hold nothing of use.
constexpr std::size_t kLeafSize = 12;

}  // namespace ortelix::large
