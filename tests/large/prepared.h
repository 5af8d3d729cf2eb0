// A site set made ready for the truncated operator the way a run makes it:
// ranged as the dialogue program ranges, truncated at the longest
// spanning-tree edge, with its near pairs; and, for checking, the whole
// Gower-centred matrix formed the dialogue program's way.
#pragma once

#include <vector>

#include "coords/coords.h"
#include "large/near_pairs.h"
#include "pcnm/constants.h"
#include "pcnm/distances.h"
#include "pcnm/pcoa.h"
#include "sites/sites.h"
#include "sites/distance_summary.h"

namespace ortelix::large {

struct Prepared {
  Index n = 0;
  int p = 0;
  std::vector<double> x;       // ranged, column-major (site i, coordinate k at k * n + i)
  std::vector<double> ranged;  // the same, site by site
  double thresh = 0;
  NearPairs pairs;
};

inline Prepared prepare(const sites::Sites& s, double limit = 0) {
  Prepared p;
  p.n = s.total();
  p.p = s.p;
  p.x.resize(static_cast<std::size_t>(p.n) * p.p);
  for (long i = 0; i < p.n; ++i) {
    for (int k = 0; k < p.p; ++k) p.x[static_cast<std::size_t>(k) * p.n + i] = s.at(i, k);
  }
  std::vector<double> vmin(p.p), vmax(p.p);
  const double rangmax = coords::range_coordinates(p.n, p.p, p.n, p.x.data(), vmin.data(), vmax.data(), true);
  if (limit == 0) limit = sites::summarize_distances(s).longest_tree_edge;
  p.thresh = limit / rangmax + pcnm::kLimitEpsilon;
  for (long i = 0; i < p.n; ++i) {
    for (int k = 0; k < p.p; ++k) p.ranged.push_back(p.x[static_cast<std::size_t>(k) * p.n + i]);
  }
  p.pairs = *find_near_pairs(Points{p.ranged.data(), p.n, p.p}, p.thresh, 1'000'000'000);
  return p;
}

// The Gower-centred matrix of the truncated distances, n x n column-major,
// in site order.
inline std::vector<double> dense_gower(const Prepared& p) {
  const auto n = static_cast<std::int32_t>(p.n);
  std::vector<double> d(static_cast<std::size_t>(n) * n), a(d.size()), colmean(n);
  pcnm::compute_distances(p.x.data(), n, p.p, n, d.data());
  pcnm::truncate_distances(d.data(), n, n, p.thresh);
  for (long j = 0; j < n; ++j) {
    for (long i = 0; i < n; ++i) {
      const double dij = i < j ? d[j * n + i] : i > j ? d[i * n + j] : 0.0;
      a[j * n + i] = i == j ? 0.0 : -((dij * dij) * 0.5);
    }
  }
  pcnm::gower(a.data(), colmean.data(), n, n);
  return a;
}

// Its eigenvalues, decreasing, and unit eigenvectors (column j for
// eigenvalue j), by the dialogue program's principal coordinate analysis.
struct DenseEigen {
  std::vector<double> values, vectors;
};

inline DenseEigen dense_eigen(const Prepared& p) {
  const auto n = static_cast<std::int32_t>(p.n);
  std::vector<double> d(static_cast<std::size_t>(n) * n), offdiag(n), colmean(n), work(n);
  std::vector<Index> iord(n);
  DenseEigen e;
  e.values.resize(n);
  e.vectors.resize(d.size());
  pcnm::compute_distances(p.x.data(), n, p.p, n, d.data());
  pcnm::truncate_distances(d.data(), n, n, p.thresh);
  const auto done = pcnm::pcoa(n, n, iord.data(), d.data(), e.values.data(), offdiag.data(), e.vectors.data(),
                               colmean.data(), work.data());
  if (!done.ok()) e.values.clear();
  // pcoa scales each axis by the single-precision root of |eigenvalue|.
  for (long j = 0; j < n; ++j) {
    double norm = 0;
    for (long i = 0; i < n; ++i) norm += e.vectors[j * n + i] * e.vectors[j * n + i];
    norm = std::sqrt(norm);
    for (long i = 0; i < n; ++i) e.vectors[j * n + i] = norm > 0 ? e.vectors[j * n + i] / norm : 0;
  }
  return e;
}

}  // namespace ortelix::large
