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
};

// The pairs, or a failure as soon as there are more than `max_pairs` of
// them (their memory would not be reasonable). Uses up to two threads; the
// result does not depend on how many. Polls `progress`.
Expected<NearPairs> find_near_pairs(const Points& pts, double limit, std::uint64_t max_pairs,
                                    Progress* progress = nullptr);

}  // namespace ortelix::large
