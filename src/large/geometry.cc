#include "large/geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "coords/coords.h"
#include "large/kd_tree.h"
#include "large/spanning.h"
#include "pcnm/distances.h"
#include "pcnm/rules.h"

namespace ortelix::large {
namespace {

// Great circles measured between the points' latitudes and longitudes,
// searched for in a tree of their points on the unit sphere: the chord
// grows with the arc, so the tree finds exactly the pairs within an arc.
class Sphere : public Metric {
 public:
  explicit Sphere(const std::vector<double>& radians) : radians_(radians) {}
  double distance(Index i, Index j) const override {
    return haversine_km(radians_[2 * i], radians_[2 * i + 1], radians_[2 * j], radians_[2 * j + 1]);
  }
  // The chord of an arc of `limit` km, with room for the rounding of the
  // unit vectors (a few 1e-16 on each) at every scale.
  double search_radius_squared(double limit) const override {
    const double angle = std::min(limit / kEarthRadiusKm, std::numbers::pi);
    const double chord = 2 * std::sin(angle / 2) * (1 + 1e-9) + 1e-12;
    return chord * chord;
  }

 private:
  const std::vector<double>& radians_;
};

}  // namespace

double haversine_km(double lat1, double lon1, double lat2, double lon2) {
  const double a = std::sin((lat2 - lat1) / 2), b = std::sin((lon2 - lon1) / 2);
  const double h = std::min(1.0, a * a + std::cos(lat1) * std::cos(lat2) * (b * b));
  return 2 * kEarthRadiusKm * std::asin(std::sqrt(h));
}

Expected<Geometry> Geometry::euclidean(const sites::Sites& sites) {
  Geometry g;
  g.kind_ = Kind::kEuclidean;
  g.name_ = sites.name;
  g.total_ = sites.total();
  g.n_ = sites.n;
  g.p_ = sites.p;
  g.raw_ = sites.coords;
  const Index ntot = g.total_;
  const int p = g.p_;
  // The dialogue program's ranging, column by column as it stores x.
  g.by_column_.resize(static_cast<std::size_t>(ntot) * p);
  for (Index i = 0; i < ntot; ++i) {
    for (int k = 0; k < p; ++k) g.by_column_[static_cast<std::size_t>(k) * ntot + i] = sites.at(i, k);
  }
  g.vmin_.resize(static_cast<std::size_t>(p));
  std::vector<double> vmax(static_cast<std::size_t>(p));
  g.rangmax_ = coords::range_coordinates(ntot, p, ntot, g.by_column_.data(), g.vmin_.data(), vmax.data(), true);
  if (g.rangmax_ == 0) return fail("all the sites have the same coordinates: no spatial variables can be built");
  if (!std::isfinite(g.rangmax_)) {
    return fail("the coordinates span a range beyond the largest double: no distances can be computed");
  }
  g.ranged_.resize(g.by_column_.size());
  for (Index i = 0; i < ntot; ++i) {
    for (int k = 0; k < p; ++k) {
      g.ranged_[static_cast<std::size_t>(i) * p + k] = g.by_column_[static_cast<std::size_t>(k) * ntot + i];
    }
  }
  return g;
}

Geometry Geometry::longlat(const sites::Sites& sites) {
  Geometry g;
  g.kind_ = Kind::kLongLat;
  g.name_ = sites.name;
  g.total_ = sites.total();
  g.n_ = sites.n;
  g.p_ = 2;
  g.raw_ = sites.coords;
  constexpr double kRadian = std::numbers::pi / 180;
  for (Index i = 0; i < g.total_; ++i) {
    const double lon = sites.at(i, 0) * kRadian, lat = sites.at(i, 1) * kRadian;
    g.radians_.insert(g.radians_.end(), {lat, lon});
    g.unit_.insert(g.unit_.end(), {std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)});
  }
  return g;
}

Geometry Geometry::pairs(sites::PairList list) {
  Geometry g;
  g.kind_ = Kind::kPairs;
  g.name_ = list.name;
  g.total_ = g.n_ = list.n;
  g.list_ = std::move(list);
  return g;
}

double Geometry::internal_limit(double limit) const {
  return kind_ == Kind::kEuclidean ? pcnm::internal_limit(limit, rangmax_) : limit;
}

Points Geometry::tree_points() const {
  if (kind_ == Kind::kLongLat) return Points{unit_.data(), total_, 3};
  return Points{ranged_.data(), total_, p_};
}

Expected<double> Geometry::tree_limit(std::uint64_t max_pairs, Progress* progress) const {
  Expected<double> edge = fail("no sites");
  switch (kind_) {
    case Kind::kEuclidean:
      // In the units of the coordinates: measured between the sites' own
      // positions, as ortelix-threshold measures it.
      edge = longest_tree_edge(Points{raw_.data(), total_, p_}, max_pairs, progress);
      break;
    case Kind::kLongLat: edge = longest_tree_edge(tree_points(), Sphere(radians_), max_pairs, progress); break;
    case Kind::kPairs: edge = longest_tree_edge(list_.n, list_.first, list_.second, list_.dist); break;
  }
  if (edge.ok() && !std::isfinite(*edge)) return fail("the distances between the sites are too large to compute");
  return edge;
}

Expected<NearPairs> Geometry::near_pairs(double thresh, std::uint64_t max_pairs, Progress* progress) const {
  switch (kind_) {
    case Kind::kEuclidean: return find_near_pairs(tree_points(), thresh, max_pairs, progress);
    case Kind::kLongLat: return find_near_pairs(tree_points(), Sphere(radians_), thresh, max_pairs, progress);
    case Kind::kPairs: {
      NearPairs pairs = pairs_from_list(list_.n, list_.first, list_.second, list_.dist, thresh);
      if (pairs.pairs() > max_pairs) {
        return fail("the limit keeps more than " + std::to_string(max_pairs) +
                    " pairs of sites (distances up to the limit), too many for memory: choose a lower limit");
      }
      return pairs;
    }
  }
  return fail("no sites");
}

void Geometry::dense_distances(double* d) const {
  const Index l = total_;
  switch (kind_) {
    case Kind::kEuclidean:
      // The dialogue program's own distances, bit for bit.
      pcnm::compute_distances(by_column_.data(), total_, p_, total_, d);
      return;
    case Kind::kLongLat: {
      const Sphere sphere(radians_);
      for (Index j = 1; j < total_; ++j) {
        for (Index i = 0; i < j; ++i) d[j * l + i] = d[i * l + j] = sphere.distance(i, j);
      }
      return;
    }
    case Kind::kPairs:
      std::fill(d, d + l * l, std::numeric_limits<double>::infinity());
      for (std::size_t k = 0; k < list_.dist.size(); ++k) {
        const Index i = list_.first[k], j = list_.second[k];
        d[j * l + i] = d[i * l + j] = list_.dist[k];
      }
      return;
  }
}

Status Geometry::check_new_sites(const sites::Sites& sites) const {
  if (kind_ == Kind::kPairs) {
    return fail("new sites cannot be placed among sites known by their distances alone");
  }
  if (sites.p != p_) {
    return fail(sites.name + ": " + std::to_string(sites.p) + (sites.p == 1 ? " coordinate" : " coordinates") +
                " a site, where the sites of the analysis have " + std::to_string(p_));
  }
  return {};
}

struct Geometry::Finder::Tree {
  Points points;
  PointsAdaptor adaptor;
  KdTree index;
  explicit Tree(const Points& pts)
      : points(pts), adaptor{points}, index(pts.p, adaptor, nanoflann::KDTreeSingleIndexAdaptorParams(kLeafSize)) {
    index.buildIndex();
  }
};

Geometry::Finder::Finder(const Geometry& geometry) : geometry_(geometry), tree_(new Tree(geometry.tree_points())) {}

Geometry::Finder::~Finder() = default;

void Geometry::Finder::near(const double* site, double thresh, std::vector<std::pair<Index, double>>& out) const {
  out.clear();
  thread_local std::vector<std::pair<std::uint32_t, double>> found;
  const nanoflann::SearchParams unsorted(0, 0, false);
  const Geometry& g = geometry_;
  if (g.kind_ == Kind::kEuclidean) {
    // Ranged as the sites of the analysis were: shifted, then divided.
    double z[64];
    std::vector<double> wide;
    double* at = z;
    if (g.p_ > 64) {
      wide.resize(static_cast<std::size_t>(g.p_));
      at = wide.data();
    }
    for (int k = 0; k < g.p_; ++k) at[k] = (site[k] - g.vmin_[k]) / g.rangmax_;
    tree_->index.radiusSearch(at, Straight(tree_->points).search_radius_squared(thresh), found, unsorted);
    for (const auto& [i, ignored] : found) {
      const double d = pcnm::site_distance(at, g.ranged_.data() + static_cast<std::size_t>(i) * g.p_, g.p_);
      if (d <= thresh) out.emplace_back(i, d);
    }
    return;
  }
  constexpr double kRadian = std::numbers::pi / 180;
  const double lon = site[0] * kRadian, lat = site[1] * kRadian;
  const double unit[3] = {std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)};
  const Sphere sphere(g.radians_);
  tree_->index.radiusSearch(unit, sphere.search_radius_squared(thresh), found, unsorted);
  for (const auto& [i, ignored] : found) {
    const double d = haversine_km(lat, lon, g.radians_[2 * i], g.radians_[2 * i + 1]);
    if (d <= thresh) out.emplace_back(i, d);
  }
}

}  // namespace ortelix::large
