// The pairs of sites whose distance truncation keeps, found with a k-d
// tree instead of the n^2 / 2 distances of the whole matrix.
#pragma once

#include <cstdint>
#include <vector>

#include "base/expected.h"
#include "base/index.h"
#include "pcnm/rules.h"

namespace ortelix::large {

class Progress;

// Sites as rows of p coordinates: site i, coordinate k at xyz[i * p + k].
struct Points {
  const double* xyz = nullptr;
  Index n = 0;
  int p = 0;
};

// The distance between sites i and j, by the rule every program uses.
inline double distance(const Points& pts, Index i, Index j) {
  return pcnm::site_distance(pts.xyz + i * pts.p, pts.xyz + j * pts.p, pts.p);
}

// How far apart two sites are, exactly, and how far around a site's point
// the tree must be searched for the sites within a distance of it: the
// tree's points need not be the sites' coordinates (on a sphere they are
// unit vectors, and the distance is the great-circle one), as long as the
// distance grows with the straight line between them.
class Metric {
 public:
  virtual ~Metric() = default;
  virtual double distance(Index i, Index j) const = 0;
  // In the space of the tree's points, squared; a hair more than exact, so
  // that no pair at `limit` is lost to rounding: every candidate is then
  // measured with `distance`.
  virtual double search_radius_squared(double limit) const = 0;
};

// Straight lines between the tree's own points.
class Straight : public Metric {
 public:
  explicit Straight(const Points& pts) : pts_(pts) {}
  double distance(Index i, Index j) const override { return large::distance(pts_, i, j); }
  double search_radius_squared(double limit) const override { return limit * limit * (1 + 1e-9) + 1e-300; }

 private:
  Points pts_;
};

// Every pair of different sites at most `limit` apart, both ways round, in
// compressed rows. Rows follow the leaves of the k-d tree rather than the
// site numbers, so that the rows of neighbouring sites lie near each other
// in memory; within a row the pairs are in increasing row order.
struct NearPairs {
  Index n = 0;
  std::vector<std::uint32_t> order;   // site of row r
  std::vector<std::uint32_t> row_of;  // row of site i
  std::vector<std::uint64_t> start;   // row r's pairs: [start[r], start[r + 1])
  std::vector<std::uint32_t> column;  // the other site's row
  std::vector<double> dist;           // and the distance between them

  std::uint64_t pairs() const { return column.size() / 2; }
  // The pairs at most `limit` apart, in the same rows.
  NearPairs within(double limit) const;
};

// The pairs, or a failure as soon as there are more than `max_pairs` of
// them (their memory would not be reasonable). `pts` are the points of the
// tree, `metric` the distance between the sites they stand for. Uses up to
// two threads; the result does not depend on how many. Polls `progress`.
Expected<NearPairs> find_near_pairs(const Points& pts, const Metric& metric, double limit, std::uint64_t max_pairs,
                                    Progress* progress = nullptr);
// Straight lines between the points.
inline Expected<NearPairs> find_near_pairs(const Points& pts, double limit, std::uint64_t max_pairs,
                                           Progress* progress = nullptr) {
  return find_near_pairs(pts, Straight(pts), limit, max_pairs, progress);
}

// The pairs of a list of pairs: those at most `limit` apart of the pairs
// (first[k], second[k]) at distance dist[k], among n sites, rows in site
// order.
NearPairs pairs_from_list(Index n, const std::vector<Index>& first, const std::vector<Index>& second,
                          const std::vector<double>& dist, double limit);

}  // namespace ortelix::large
