#include "large/pcnm_run.h"

#include <algorithm>
#include <cmath>

#include <Eigen/Core>

#include "coords/coords.h"
#include "large/gower_operator.h"
#include "large/moran.h"
#include "large/near_pairs.h"
#include "large/progress.h"
#include "large/spanning.h"
#include "pcnm/correl.h"
#include "pcnm/distances.h"
#include "pcnm/pcoa.h"
#include "pcnm/team.h"
#include "pcnm/rules.h"
#include "textio/exact_number.h"

namespace ortelix::large {
namespace {

// An eigenvector's sign is arbitrary. Ours: positive at the first site of
// the analysis whose magnitude is within a millionth of the largest. Not
// the largest itself: symmetric sites (a transect, a grid) give pairs of
// values of equal magnitude and opposite sign, which rounding alone would
// then decide between, differently for each solver.
constexpr double kSignTie = 1e-6;

void fix_sign(double* column, Index ntot, Index n) {
  double largest = 0;
  for (Index i = 0; i < n; ++i) largest = std::max(largest, std::fabs(column[i]));
  Index at = 0;
  while (at < n && std::fabs(column[at]) < (1 - kSignTie) * largest) ++at;
  if (at < n && column[at] < 0) {
    for (Index i = 0; i < ntot; ++i) column[i] = -column[i];
  }
}

double largest_off_diagonal_correlation(const double* z, Index n, Index ld, Index nvar) {
  using Matrix = Eigen::Map<const Eigen::MatrixXd, 0, Eigen::OuterStride<>>;
  const Matrix m(z, n, nvar, Eigen::OuterStride<>(ld));
  const Eigen::MatrixXd cross = m.transpose() * m;
  double largest = 0;
  for (Index b = 1; b < nvar; ++b) {
    for (Index a = 0; a < b; ++a) largest = std::max(largest, std::fabs(cross(a, b) / static_cast<double>(n - 1)));
  }
  return largest;
}

}  // namespace

bool use_dense(const RunOptions& options, Index total) {
  if (options.solver != Solver::kAuto) return options.solver == Solver::kDense;
  if (options.count == 0 || options.count > total - 2) return true;
  // A Krylov space of 2k + 1 vectors is no saving once k is a large part
  // of the order, nor for a handful of sites.
  return total <= kDenseMaxSites && (total < 64 || 3 * options.count >= total);
}

Status check_solver(const RunOptions& options, Index total) {
  if (total < 2) return {};  // no solver has work: run_pcnm says why
  const std::string sites = std::to_string(total) + " sites";
  if (options.solver == Solver::kKrylov) {
    if (options.count == 0) return fail("--solver krylov needs --count K");
    if (options.count > total - 2) {
      return fail("--solver krylov: --count is at most " + std::to_string(total - 2) + " for " + sites);
    }
  }
  if (use_dense(options, total) && total > kDenseMaxSites) {
    if (options.count == 0) {
      return fail("all the PCNM variables of " + sites + " need the dense decomposition, which takes at most " +
                  std::to_string(kDenseMaxSites) + " sites: give --count K for the K leading ones");
    }
    return fail("--solver dense takes at most " + std::to_string(kDenseMaxSites) + " sites, not " +
                std::to_string(total));
  }
  return {};
}

namespace {

std::string too_many_variables(Index npcnm, Index ntot) {
  if (ntot == 2) {
    return "two sites give one PCNM variable whatever the limit, and any regression on it fits perfectly "
           "(R-square = 1): PCNM variables need at least three sites";
  }
  return "the limit yields " + std::to_string(npcnm) + " PCNM variables for " + std::to_string(ntot) +
         " sites, as many as they allow: any regression on them fits perfectly (R-square = 1); a higher "
         "limit gives fewer";
}

const char kNoVariable[] = "no eigenvalue reaches 5e-7: the limit gives no PCNM variable; choose a higher limit";

Expected<RunResult> run(const sites::Sites& sites, const RunOptions& options, Progress* progress) {
  const Index ntot = sites.total(), n = sites.n;
  const int p = sites.p;
  RunResult result;
  result.n = n;
  result.nsup = sites.nsup;
  result.p = p;
  if (ntot < 2) return fail("a single site has no distances to truncate");
  if (sites.nsup > 0 && n < 2) {
    return fail("PCNM variables with supplementary sites need at least two sites in the analysis");
  }

  // The dialogue program's ranging, column by column as it stores x.
  std::vector<double> x(static_cast<std::size_t>(ntot) * p);
  for (Index i = 0; i < ntot; ++i) {
    for (int k = 0; k < p; ++k) x[static_cast<std::size_t>(k) * ntot + i] = sites.at(i, k);
  }
  std::vector<double> vmin(static_cast<std::size_t>(p)), vmax(static_cast<std::size_t>(p));
  result.rangmax = coords::range_coordinates(ntot, p, ntot, x.data(), vmin.data(), vmax.data(), true);
  if (result.rangmax == 0) return fail("all the sites have the same coordinates: no spatial variables can be built");
  if (!std::isfinite(result.rangmax)) {
    return fail("the coordinates span a range beyond the largest double: no distances can be computed");
  }

  if (options.limit_mst) {
    const Points raw{sites.coords.data(), ntot, p};
    const Expected<double> edge = longest_tree_edge(raw, options.max_pairs, progress);
    if (!edge.ok()) return fail("--limit mst: " + edge.error() + "; give a --limit");
    result.limit = *edge;
    if (!std::isfinite(result.limit)) {
      return fail("--limit mst: the distances between the sites are too large to compute; give a --limit");
    }
  } else {
    result.limit = options.limit;
  }
  result.thresh = pcnm::internal_limit(result.limit, result.rangmax);

  std::vector<double> ranged(static_cast<std::size_t>(ntot) * p);
  for (Index i = 0; i < ntot; ++i) {
    for (int k = 0; k < p; ++k) ranged[static_cast<std::size_t>(i) * p + k] = x[static_cast<std::size_t>(k) * ntot + i];
  }
  if (progress) progress->stage("near pairs");
  Expected<NearPairs> found = find_near_pairs(Points{ranged.data(), ntot, p}, result.thresh, options.max_pairs, progress);
  if (!found.ok()) return fail(found.error());
  const NearPairs pairs = std::move(*found);
  result.near_pairs = pairs.pairs();
  if (result.near_pairs == 0) {
    // Every distance is truncated: the centred matrix is the constant f of
    // every pair times the centring projector, n - 1 equal eigenvalues
    // -f and a zero. The PCNM variables would be any basis of a space the
    // data do not shape, and an iterative solver cannot even find one.
    const double equal = -pcnm::transformed(pcnm::far_distance(result.thresh));
    return fail(equal >= pcnm::kPositive ? too_many_variables(ntot - 1, ntot) : std::string(kNoVariable));
  }

  const int threads = pcnm::usable_processors() >= 2 ? 2 : 1;
  result.dense = use_dense(options, ntot);
  // Principal coordinates, column j for axis j + 1, site i at row i.
  std::vector<double> vars, d;
  if (result.dense) {
    if (progress) progress->stage("eigen-decomposition");
    const std::size_t square = static_cast<std::size_t>(ntot) * ntot;
    d.resize(square);
    vars.resize(square);
    std::vector<double> eigval(ntot), offdiag(ntot), colmean(ntot), work(ntot);
    std::vector<Index> iord(ntot);
    pcnm::compute_distances(x.data(), ntot, p, ntot, d.data());
    pcnm::truncate_distances(d.data(), ntot, ntot, result.thresh);
    const Expected<pcnm::PcoaResult> r = pcnm::pcoa(ntot, ntot, iord.data(), d.data(), eigval.data(),
                                                    offdiag.data(), vars.data(), colmean.data(), work.data());
    if (!r.ok()) return fail("the eigen-decomposition did not converge (" + r.error() + ")");
    result.eigenvalues = eigval;
    result.npcnm = r->npcnm;
    result.positive_sum = r->positive_sum;
    result.negative_sum = r->negative_sum;
    result.trace = r->trace;
  } else {
    const TruncatedGower op(pairs, result.thresh, threads);
    if (auto err = leading_eigenpairs(op, op.lower_bound(), op.upper_bound(), static_cast<int>(options.count),
                                      result.krylov, progress)) {
      return fail(*err);
    }
    result.eigenvalues = result.krylov.values;
    result.npcnm = pcnm::positive_count(result.eigenvalues.data(), static_cast<Index>(result.eigenvalues.size()));
    const Index k = options.count;
    vars.resize(static_cast<std::size_t>(ntot) * k);
    for (Index j = 0; j < k; ++j) {
      const double scale = pcnm::axis_scale(result.eigenvalues[j]);
      const double* v = result.krylov.vectors.data() + static_cast<std::size_t>(j) * ntot;
      double* column = vars.data() + static_cast<std::size_t>(j) * ntot;
      for (Index r = 0; r < ntot; ++r) column[pairs.order[r]] = v[r] * scale;
    }
    result.krylov.vectors = {};
  }

  if (options.count == 0 && result.npcnm >= ntot - 1) return fail(too_many_variables(result.npcnm, ntot));
  const Index nvar = options.count == 0 ? result.npcnm : std::min(options.count, result.npcnm);
  if (nvar == 0) return fail(kNoVariable);
  for (Index j = 0; j < nvar; ++j) fix_sign(vars.data() + static_cast<std::size_t>(j) * ntot, ntot, n);

  if (sites.nsup > 0) {
    result.correlation_checked = true;
    std::vector<double> vsum(nvar), vsumsq(nvar), vmean(nvar), vsd(nvar);
    Index constant = 0;
    if (result.dense) {
      // The dialogue program's check itself, with d as its transposed copy.
      std::vector<double> corlin(static_cast<std::size_t>(ntot) * nvar);
      const pcnm::CorrelResult c = pcnm::correl(n, nvar, vars.data(), ntot, vsum.data(), vsumsq.data(), vmean.data(),
                                                vsd.data(), corlin.data(), d.data());
      constant = c.zero_variance;
      result.largest_correlation = c.largest;
    } else {
      constant = pcnm::standardize(n, nvar, vars.data(), ntot, vsum.data(), vsumsq.data(), vmean.data(), vsd.data());
      if (constant == 0) result.largest_correlation = largest_off_diagonal_correlation(vars.data(), n, ntot, nvar);
    }
    if (constant != 0) {
      return fail("PCNM variable " + std::to_string(constant) + " does not vary over the " + std::to_string(n) +
                  " sites of the analysis: it cannot be standardized");
    }
  }
  d = {};

  if (progress) progress->stage("Moran's I");
  const double far = pcnm::far_distance(result.thresh);
  MoranResult moran = moran_index(pairs, far, n, vars.data(), ntot, nvar);
  result.moran_expectation = moran.expectation;
  result.moran = moran.index;
  for (Index j = 0; j < nvar; ++j) {
    if (!options.positive_moran || result.moran[j] > result.moran_expectation) result.written_axes.push_back(j + 1);
  }
  if (result.written_axes.empty()) {
    return fail("no PCNM variable has a Moran's I above its expectation " +
                textio::exact_number(result.moran_expectation));
  }
  // The written columns to the front, in place: each moves left or stays,
  // and no copy of the variables doubles the memory they take.
  for (std::size_t c = 0; c < result.written_axes.size(); ++c) {
    const std::size_t from = static_cast<std::size_t>(result.written_axes[c] - 1);
    if (from != c) std::copy_n(vars.data() + from * ntot, ntot, vars.data() + c * ntot);
  }
  vars.resize(static_cast<std::size_t>(ntot) * result.written_axes.size());
  result.values = std::move(vars);
  result.ld = ntot;
  return result;
}

}  // namespace

Expected<RunResult> run_pcnm(const sites::Sites& sites, const RunOptions& options, Progress* progress) {
  try {
    return run(sites, options, progress);
  } catch (const Cancelled&) {
    return fail("interrupted");
  }
}

}  // namespace ortelix::large
