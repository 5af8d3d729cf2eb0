// How the distances between the sites of an analysis are known: straight
// lines between their ranged coordinates (as the dialogue program measures
// them), great circles between longitudes and latitudes, or a list of
// pairs (along rivers, roads, across a landscape of resistance).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/expected.h"
#include "base/index.h"
#include "large/near_pairs.h"
#include "sites/pair_files.h"
#include "sites/sites.h"

namespace ortelix::large {

class Progress;

// The mean Earth radius, in kilometres.
constexpr double kEarthRadiusKm = 6371.0088;

// The great-circle distance in kilometres between two points of latitude
// and longitude in radians, by the haversine formula, which keeps its
// digits for short distances where the cosine formula loses them.
double haversine_km(double lat1, double lon1, double lat2, double lon2);

class Geometry {
 public:
  enum class Kind { kEuclidean, kLongLat, kPairs };

  // Coordinates, ranged as the dialogue program ranges them: shifted to a
  // minimum of 0 and divided by 0.1f times the largest range. Fails for
  // sites all at one position or spanning more than a double holds.
  static Expected<Geometry> euclidean(const sites::Sites& sites);
  // Longitudes and latitudes in degrees; distances in kilometres, unranged.
  static Geometry longlat(const sites::Sites& sites);
  // Distances listed pair by pair, unranged; pairs not listed are farther
  // than any limit.
  static Geometry pairs(sites::PairList list);

  Kind kind() const { return kind_; }
  const std::string& name() const { return name_; }
  Index total() const { return total_; }  // every site
  Index n() const { return n_; }          // sites of the analysis
  Index nsup() const { return total_ - n_; }
  int p() const { return p_; }
  double rangmax() const { return rangmax_; }  // 1 but for coordinates

  // The limit distances are compared with, of a limit in the units of the
  // sites: limit / rangmax + 1e-10f for coordinates, the limit itself
  // otherwise.
  double internal_limit(double limit) const;
  // The smallest limit that links every site to the others through the
  // distances it keeps: the longest edge of a minimum spanning tree, in the
  // units of the sites.
  Expected<double> tree_limit(std::uint64_t max_pairs, Progress* progress) const;
  // Every pair at most `thresh` (internal) apart.
  Expected<NearPairs> near_pairs(double thresh, std::uint64_t max_pairs, Progress* progress) const;
  // The whole matrix, internal units, column-major with leading dimension
  // total(): d(i, j) = d(j, i) for i != j, pairs not listed at infinity.
  void dense_distances(double* d) const;
  // Coordinates the dense decomposition of the dialogue program reads:
  // ranged, column by column (coordinates only).
  const std::vector<double>& ranged_by_column() const { return by_column_; }

  // New sites can be placed among these sites (not with a list of pairs).
  bool places_new_sites() const { return kind_ != Kind::kPairs; }
  // Fails when `sites` are not of this geometry's kind of position.
  Status check_new_sites(const sites::Sites& sites) const;

  // The analysis sites within `thresh` (internal) of new positions, with
  // their internal distances: a k-d tree of the analysis built once.
  class Finder {
   public:
    explicit Finder(const Geometry& geometry);
    ~Finder();
    Finder(const Finder&) = delete;
    Finder& operator=(const Finder&) = delete;
    // Of the new site at `site` (its p coordinates, in the units of the
    // sites): (analysis site, distance), in no particular order.
    void near(const double* site, double thresh, std::vector<std::pair<Index, double>>& out) const;

   private:
    struct Tree;
    const Geometry& geometry_;
    std::unique_ptr<Tree> tree_;
  };

 private:
  Geometry() = default;
  Points tree_points() const;

  Kind kind_ = Kind::kEuclidean;
  std::string name_;
  Index total_ = 0, n_ = 0;
  int p_ = 0;
  double rangmax_ = 1;
  std::vector<double> raw_;        // the sites' own coordinates, site by site
  std::vector<double> vmin_;       // coordinates: each one's minimum
  std::vector<double> ranged_;     // coordinates: ranged, site by site
  std::vector<double> by_column_;  // coordinates: ranged, column by column
  std::vector<double> unit_;       // longitude and latitude: points of the unit sphere
  std::vector<double> radians_;    // longitude and latitude: latitude, longitude in radians
  sites::PairList list_;           // pairs
};

}  // namespace ortelix::large
