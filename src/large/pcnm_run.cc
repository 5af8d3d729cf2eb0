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
#include "pcnm/constants.h"
#include "pcnm/correl.h"
#include "pcnm/distances.h"
#include "pcnm/pcoa.h"
#include "pcnm/team.h"
#include "tools/command_line.h"

namespace ortelix::large {
namespace {

std::string count_text(std::uint64_t count, const char* what) { return std::to_string(count) + " " + what; }

// The dialogue program's scale factor of an axis: the root of |eigenvalue|,
// rounded to single precision.
double axis_scale(double eigenvalue) {
  const double root = eigenvalue > 0.0 ? std::sqrt(eigenvalue) : std::sqrt(-eigenvalue);
  return static_cast<double>(static_cast<float>(root));
}

// Eigenvalues not below the positivity bound, counted as the dialogue
// program counts them: from the end of the sorted list, up to the first
// one that is not below it.
int positive_count(const std::vector<double>& sorted) {
  int below = 0;
  for (auto v = sorted.rbegin(); v != sorted.rend() && *v < pcnm::kPositive; ++v) ++below;
  return static_cast<int>(sorted.size()) - below;
}

// An eigenvector's sign is arbitrary. Ours: positive at the first site of
// the analysis whose magnitude is within a millionth of the largest. Not
// the largest itself: symmetric sites (a transect, a grid) give pairs of
// values of equal magnitude and opposite sign, which rounding alone would
// then decide between, differently for each solver.
constexpr double kSignTie = 1e-6;

void fix_sign(double* column, long ntot, long n) {
  double largest = 0;
  for (long i = 0; i < n; ++i) largest = std::max(largest, std::fabs(column[i]));
  long at = 0;
  while (at < n && std::fabs(column[at]) < (1 - kSignTie) * largest) ++at;
  if (at < n && column[at] < 0) {
    for (long i = 0; i < ntot; ++i) column[i] = -column[i];
  }
}

double largest_off_diagonal_correlation(const double* z, long n, long ld, int nvar) {
  using Matrix = Eigen::Map<const Eigen::MatrixXd, 0, Eigen::OuterStride<>>;
  const Matrix m(z, n, nvar, Eigen::OuterStride<>(ld));
  const Eigen::MatrixXd cross = m.transpose() * m;
  double largest = 0;
  for (int b = 1; b < nvar; ++b) {
    for (int a = 0; a < b; ++a) largest = std::max(largest, std::fabs(cross(a, b) / static_cast<double>(n - 1)));
  }
  return largest;
}

}  // namespace

bool use_dense(const RunOptions& options, long total) {
  if (options.solver != Solver::kAuto) return options.solver == Solver::kDense;
  if (options.count == 0 || options.count > total - 2) return true;
  // A Krylov space of 2k + 1 vectors is no saving once k is a large part
  // of the order, nor for a handful of sites.
  return total <= kDenseMaxSites && (total < 64 || 3L * options.count >= total);
}

std::string solver_problem(const RunOptions& options, long total) {
  if (total < 2) return "";  // no solver has work: run_pcnm says why
  const std::string sites = std::to_string(total) + " sites";
  if (options.solver == Solver::kKrylov) {
    if (options.count == 0) return "--solver krylov needs --count K";
    if (options.count > total - 2) return "--solver krylov: --count is at most " + std::to_string(total - 2) + " for " + sites;
  }
  if (use_dense(options, total) && total > kDenseMaxSites) {
    if (options.count == 0) {
      return "all the PCNM variables of " + sites + " need the dense decomposition, which takes at most " +
             std::to_string(kDenseMaxSites) + " sites: give --count K for the K leading ones";
    }
    return "--solver dense takes at most " + std::to_string(kDenseMaxSites) + " sites, not " + std::to_string(total);
  }
  return "";
}

std::optional<std::string> run_pcnm(const tools::Sites& sites, const RunOptions& options, RunResult& result,
                                    Progress* progress) {
  const long ntot = sites.total(), n = sites.n;
  const int p = sites.p;
  result = RunResult{};
  result.n = n;
  result.nsup = sites.nsup;
  result.p = p;
  if (ntot < 2) return std::string("a single site has no distances to truncate");
  if (sites.nsup > 0 && n < 2) {
    return std::string("PCNM variables with supplementary sites need at least two sites in the analysis");
  }

  // The dialogue program's ranging, column by column as it stores x.
  std::vector<double> x(static_cast<std::size_t>(ntot) * p);
  for (long i = 0; i < ntot; ++i) {
    for (int k = 0; k < p; ++k) x[static_cast<std::size_t>(k) * ntot + i] = sites.at(i, k);
  }
  std::vector<double> vmin(static_cast<std::size_t>(p)), vmax(static_cast<std::size_t>(p));
  result.rangmax = coords::range_coordinates(ntot, p, ntot, x.data(), vmin.data(), vmax.data(), true);
  if (result.rangmax == 0) {
    return std::string("all the sites have the same coordinates: no spatial variables can be built");
  }
  if (!std::isfinite(result.rangmax)) {
    return std::string("the coordinates span a range beyond the largest double: no distances can be computed");
  }

  if (options.limit_mst) {
    const Points raw{sites.coords.data(), ntot, p};
    if (!longest_tree_edge(raw, options.max_pairs, result.limit, progress)) {
      return "--limit mst: the sites lie in groups so far apart that linking them keeps more than " +
             count_text(options.max_pairs, "pairs of sites; give a --limit");
    }
    if (!std::isfinite(result.limit)) {
      return std::string("--limit mst: the distances between the sites are too large to compute; give a --limit");
    }
  } else {
    result.limit = options.limit;
  }
  result.thresh = result.limit / result.rangmax + pcnm::kLimitEpsilon;

  std::vector<double> ranged(static_cast<std::size_t>(ntot) * p);
  for (long i = 0; i < ntot; ++i) {
    for (int k = 0; k < p; ++k) ranged[static_cast<std::size_t>(i) * p + k] = x[static_cast<std::size_t>(k) * ntot + i];
  }
  if (progress) progress->stage("near pairs");
  NearPairs pairs;
  if (!find_near_pairs(Points{ranged.data(), ntot, p}, result.thresh, options.max_pairs, pairs, progress)) {
    return "the limit keeps more than " + count_text(options.max_pairs, "pairs of sites") +
           " (distances up to the limit), too many for memory: choose a lower limit";
  }
  result.near_pairs = pairs.pairs();

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
    std::vector<std::int32_t> iord(ntot);
    const auto order = static_cast<std::int32_t>(ntot);
    pcnm::compute_distances(x.data(), order, p, order, d.data());
    pcnm::truncate_distances(d.data(), order, order, result.thresh);
    const pcnm::PcoaResult r = pcnm::pcoa(order, order, iord.data(), d.data(), eigval.data(), offdiag.data(),
                                          vars.data(), colmean.data(), work.data());
    if (!r.converged) return std::string("the eigen-decomposition did not converge (Too many iterations in TQLI)");
    result.eigenvalues = eigval;
    result.npcnm = r.npcnm;
    result.positive_sum = r.positive_sum;
    result.negative_sum = r.negative_sum;
    result.trace = r.trace;
  } else {
    const TruncatedGower op(pairs, result.thresh, threads);
    if (auto err = leading_eigenpairs(op, op.lower_bound(), op.upper_bound(), options.count, result.krylov, progress)) {
      return err;
    }
    result.eigenvalues = result.krylov.values;
    result.npcnm = positive_count(result.eigenvalues);
    const int k = options.count;
    vars.resize(static_cast<std::size_t>(ntot) * k);
    for (int j = 0; j < k; ++j) {
      const double scale = axis_scale(result.eigenvalues[j]);
      const double* v = result.krylov.vectors.data() + static_cast<std::size_t>(j) * ntot;
      double* column = vars.data() + static_cast<std::size_t>(j) * ntot;
      for (long r = 0; r < ntot; ++r) column[pairs.order[r]] = v[r] * scale;
    }
    result.krylov.vectors = {};
  }

  if (options.count == 0 && result.npcnm >= ntot - 1) {
    return "the limit yields " + std::to_string(result.npcnm) + " PCNM variables for " + std::to_string(ntot) +
           " sites, as many as they allow: any regression on them fits perfectly (R-square = 1); a higher "
           "limit gives fewer";
  }
  const int nvar = options.count == 0 ? result.npcnm : std::min(options.count, result.npcnm);
  if (nvar == 0) {
    return std::string("no eigenvalue reaches 5e-7: the limit gives no PCNM variable; choose a higher limit");
  }
  for (int j = 0; j < nvar; ++j) fix_sign(vars.data() + static_cast<std::size_t>(j) * ntot, ntot, n);

  if (sites.nsup > 0) {
    result.correlation_checked = true;
    std::vector<double> vsum(nvar), vsumsq(nvar), vmean(nvar), vsd(nvar);
    std::int32_t constant = 0;
    if (result.dense) {
      // The dialogue program's check itself, with d as its transposed copy.
      std::vector<double> corlin(static_cast<std::size_t>(ntot) * nvar);
      const pcnm::CorrelResult c = pcnm::correl(static_cast<std::int32_t>(n), nvar, vars.data(),
                                                static_cast<std::int32_t>(ntot), vsum.data(), vsumsq.data(),
                                                vmean.data(), vsd.data(), corlin.data(), d.data());
      constant = c.zero_variance;
      result.largest_correlation = c.largest;
    } else {
      constant = pcnm::standardize(static_cast<std::int32_t>(n), nvar, vars.data(), ntot, vsum.data(),
                                   vsumsq.data(), vmean.data(), vsd.data());
      if (constant == 0) result.largest_correlation = largest_off_diagonal_correlation(vars.data(), n, ntot, nvar);
    }
    if (constant != 0) {
      return "PCNM variable " + std::to_string(constant) + " does not vary over the " + std::to_string(n) +
             " sites of the analysis: it cannot be standardized";
    }
  }
  d = {};

  if (progress) progress->stage("Moran's I");
  const double far = result.thresh * pcnm::kLargeDistanceMultiplier;
  MoranResult moran = moran_index(pairs, far, n, vars.data(), ntot, nvar);
  result.moran_expectation = moran.expectation;
  result.moran = moran.index;
  for (int j = 0; j < nvar; ++j) {
    if (!options.positive_moran || result.moran[j] > result.moran_expectation) result.written_axes.push_back(j + 1);
  }
  if (result.written_axes.empty()) {
    return "no PCNM variable has a Moran's I above its expectation " + tools::exact_number(result.moran_expectation);
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
  return std::nullopt;
}

}  // namespace ortelix::large
