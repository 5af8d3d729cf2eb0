#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

#include "large/pcnm_run.h"
#include "large/progress.h"
#include "pcnm/rules.h"
#include "pcnm/team.h"

namespace ortelix::large {

// Gower's formula for a point z added to a principal coordinate analysis:
// with a_i(z) = -d(z, i)^2 / 2 over the truncated distances to the n sites,
// u the unit eigenvector of eigenvalue lambda and abar_i the mean of row i
// of the transformed matrix,
//     x(z) = (s / lambda) sum_i u_i (a_i(z) - abar_i).
// The written variable is v = s u (signs and the solver-free basis of
// equal eigenvalues included); with m its mean over the sites (zero but for
// the solver's rounding) and w = v - m, x(z) = m + (sum_i w_i a_i(z) - C) /
// lambda with C = sum_i w_i abar_i, kept by the run. Every far pair has the
// same value f and the w_i sum to zero, so sum_i w_i a_i(z) is the sum over
// the sites near z of w_i (a_i(z) - f): a new site costs its near sites
// only. A site of the analysis, its own distance 0 included, gets back
// m + (G w)_j / lambda = v_j: its own values.
Expected<std::vector<double>> predict(const RunResult& r, const sites::Sites& new_sites, Progress* progress) {
  const Geometry& g = *r.geometry;
  if (Status s = g.check_new_sites(new_sites); !s.ok()) return fail(s.error());
  const Index m = new_sites.total(), columns = r.columns(), ld = r.ld, n = r.n;
  std::vector<double> out(static_cast<std::size_t>(m) * static_cast<std::size_t>(columns));
  if (progress) progress->stage("new sites");
  const Geometry::Finder finder(g);
  // Per limit, site by site: the variables as scaled, before their
  // standardization over the sites of the analysis (the supplementary
  // sites' rows never had one), less their mean. A new site reads the rows
  // of its few near sites whole.
  std::vector<std::vector<double>> rows(r.scales.size());
  for (std::size_t k = 0; k < r.scales.size(); ++k) {
    const ScaleResult& s = r.scales[k];
    const Index width = static_cast<Index>(s.written_axes.size()), ntot = g.total();
    rows[k].resize(static_cast<std::size_t>(ntot) * static_cast<std::size_t>(width));
    for (Index c = 0; c < width; ++c) {
      const double* column = r.values.data() + static_cast<std::size_t>(s.first_column + c) * ld;
      for (Index i = 0; i < ntot; ++i) {
        const double v = s.mean.empty() || i >= n ? column[i] : column[i] * s.sd[c] + s.mean[c];
        rows[k][static_cast<std::size_t>(i) * width + c] = v - s.placement_mean[c];
      }
    }
  }
  std::atomic<bool> cancelled{false};
  pcnm::Team team(m >= 2000 && pcnm::usable_processors() >= 2 ? 2 : 1);
  team.run(true, [&](int part) {
    const Index first = part == 0 ? 0 : m / 2, last = part == 0 ? m / 2 : m;
    std::vector<std::pair<Index, double>> near;
    std::vector<double> sum;
    for (Index z = first; z < last && !cancelled; ++z) {
      if (part == 0 && progress && (z & 4095) == 0) {
        progress->fraction(static_cast<double>(z - first) / static_cast<double>(std::max<Index>(1, last - first)));
        if (progress->cancelled()) cancelled = true;
      }
      for (std::size_t scale = 0; scale < r.scales.size(); ++scale) {
        const ScaleResult& s = r.scales[scale];
        finder.near(new_sites.site(z), s.thresh, near);
        const Index k = static_cast<Index>(s.written_axes.size());
        sum.assign(static_cast<std::size_t>(k), 0.0);
        for (const auto& [i, d] : near) {
          const double weight = pcnm::transformed(d) - s.far_value;
          const double* w = rows[scale].data() + static_cast<std::size_t>(i) * k;
          for (Index c = 0; c < k; ++c) sum[c] += w[c] * weight;
        }
        for (Index c = 0; c < k; ++c) {
          double x = s.placement_mean[c] + (sum[c] - s.placement_constant[c]) / s.placement_eigenvalue[c];
          if (!s.mean.empty()) x = (x - s.mean[c]) / s.sd[c];
          out[static_cast<std::size_t>(s.first_column + c) * m + z] = x;
        }
      }
    }
  });
  if (cancelled) return fail("interrupted");
  return out;
}

}  // namespace ortelix::large
