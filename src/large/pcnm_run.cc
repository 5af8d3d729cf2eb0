#include "large/pcnm_run.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include <Eigen/Core>

#include "large/clusters.h"
#include "large/gower_operator.h"
#include "large/moran.h"
#include "large/near_pairs.h"
#include "large/progress.h"
#include "large/shift_invert.h"
#include "large/spanning.h"
#include "pcnm/checkpoint.h"
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

// Eigenvectors beyond the K wanted that the Krylov solver computes, to see
// whether the K-th eigenvalue's cluster goes on past it.
constexpr Index kGuard = 4;

// The buffers of the dense decomposition, shared by the limits of a run.
struct Dense {
  std::vector<double> d, vars;
};

// Gower's formula for a new point z needs, per variable v of eigenvalue
// lambda, the constant sum over the sites of v_i times the mean of row i
// of the transformed matrix A. A row's mean is its near pairs' values and
// the far value f for every other site but itself.
std::vector<double> row_means(const NearPairs& pairs, double far_value) {
  const Index ntot = pairs.n;
  std::vector<double> mean(static_cast<std::size_t>(ntot));
  for (Index r = 0; r < ntot; ++r) {
    double sum = 0;
    const std::uint64_t degree = pairs.start[r + 1] - pairs.start[r];
    for (std::uint64_t k = pairs.start[r]; k < pairs.start[r + 1]; ++k) sum += pcnm::transformed(pairs.dist[k]);
    sum += static_cast<double>(ntot - 1 - static_cast<Index>(degree)) * far_value;
    mean[pairs.order[r]] = sum / static_cast<double>(ntot);
  }
  return mean;
}

class Runner {
 public:
  Runner(std::shared_ptr<const Geometry> geometry, const RunOptions& options, Progress* progress)
      : g_(*geometry), options_(options), progress_(progress) {
    result_.geometry = std::move(geometry);
  }

  Expected<RunResult> run() {
    const Index ntot = g_.total(), n = g_.n();
    result_.n = n;
    result_.nsup = g_.nsup();
    result_.p = g_.p();
    result_.rangmax = g_.rangmax();
    result_.ld = ntot;
    if (ntot < 2) return fail("a single site has no distances to truncate");
    if (g_.nsup() > 0 && n < 2) {
      return fail("PCNM variables with supplementary sites need at least two sites in the analysis");
    }
    if (options_.limits.empty()) return fail("no truncation limit");

    // The limits, the spanning tree's computed once.
    std::optional<double> tree;
    std::vector<double> limits;
    for (const Limit& l : options_.limits) {
      if (l.mst && !tree) {
        const Expected<double> edge = g_.tree_limit(options_.max_pairs, progress_);
        if (!edge.ok()) return fail("--limit mst: " + edge.error() + "; give a --limit");
        tree = *edge;
      }
      limits.push_back(l.mst ? *tree : l.value);
    }
    // The near pairs of the widest limit hold those of every other.
    double widest = 0;
    for (double l : limits) widest = std::max(widest, g_.internal_limit(l));
    if (progress_) progress_->stage("near pairs");
    Expected<NearPairs> all = g_.near_pairs(widest, options_.max_pairs, progress_);
    if (!all.ok()) return fail(all.error());

    dense_ = use_dense(options_, ntot);
    if (dense_) {
      const std::size_t square = static_cast<std::size_t>(ntot) * static_cast<std::size_t>(ntot);
      buffers_.d.resize(square);
      buffers_.vars.resize(square);
      g_.dense_distances(buffers_.d.data());
    }
    for (std::size_t j = 0; j < limits.size(); ++j) {
      const double thresh = g_.internal_limit(limits[j]);
      const NearPairs narrower = thresh >= widest ? NearPairs{} : all->within(thresh);
      const NearPairs& pairs = thresh >= widest ? *all : narrower;
      Status s = scale(options_.limits[j].mst, limits[j], thresh, pairs);
      if (!s.ok()) {
        if (limits.size() == 1) return fail(s.error());
        return fail("at the limit " + textio::exact_number(limits[j]) + ": " + s.error());
      }
    }
    return std::move(result_);
  }

 private:
  // The principal coordinates in `vars` (column j for axis j + 1, site i at
  // row i): the dense decomposition's own buffer, or the Krylov solver's.
  Status eigen(ScaleResult& s, const NearPairs& pairs, std::vector<double>*& vars) {
    const Index ntot = g_.total();
    if (dense_) {
      if (progress_) progress_->stage("eigen-decomposition");
      std::vector<double> eigval(ntot), offdiag(ntot), colmean(ntot), work(ntot);
      std::vector<Index> iord(ntot);
      if (distances_overwritten_) g_.dense_distances(buffers_.d.data());
      distances_overwritten_ = false;
      pcnm::truncate_distances(buffers_.d.data(), ntot, ntot, s.thresh);
      const Expected<pcnm::PcoaResult> r = pcnm::pcoa(ntot, ntot, iord.data(), buffers_.d.data(), eigval.data(),
                                                      offdiag.data(), buffers_.vars.data(), colmean.data(),
                                                      work.data());
      if (!r.ok()) return fail("the eigen-decomposition did not converge (" + r.error() + ")");
      s.eigenvalues = eigval;
      s.npcnm = r->npcnm;
      s.positive_sum = r->positive_sum;
      s.negative_sum = r->negative_sum;
      s.trace = r->trace;
      vars = &buffers_.vars;
      return {};
    }
    const int threads = options_.threads > 0 ? std::min(options_.threads, 2) : pcnm::usable_processors() >= 2 ? 2 : 1;
    const TruncatedGower op(pairs, s.thresh, threads);
    // The K wanted and a few more, until the K-th eigenvalue's cluster
    // ends among those computed.
    const Index count = options_.count;
    for (Index guard = kGuard;; guard *= 2) {
      const Index k = std::min(count + guard, ntot - 2);
      if (Status e = gower_leading_eigenpairs(op, static_cast<int>(k), s.krylov, progress_);
          !e.ok()) {
        return e;
      }
      const auto runs = equal_eigenvalues(s.krylov.values.data(), k);
      const bool open = std::any_of(runs.begin(), runs.end(), [&](const auto& r) {
        return r.first < count && r.second == k && r.second > count;
      });
      if (!open || k == ntot - 2) break;
    }
    s.eigenvalues = s.krylov.values;
    const Index k = static_cast<Index>(s.eigenvalues.size());
    s.npcnm = pcnm::positive_count(s.eigenvalues.data(), k);
    // Each eigenvector scaled and put from the near pairs' order into the
    // sites' in place, through one column: a second copy of them all
    // would be the run's peak of memory (400 MB more for a million sites
    // and 50 variables).
    krylov_vars_ = std::move(s.krylov.vectors);
    s.krylov.vectors = {};
    std::vector<double> column(static_cast<std::size_t>(ntot));
    for (Index j = 0; j < k; ++j) {
      const double scale = pcnm::axis_scale(s.eigenvalues[j]);
      double* v = krylov_vars_.data() + static_cast<std::size_t>(j) * ntot;
      std::copy_n(v, ntot, column.data());
      for (Index r = 0; r < ntot; ++r) v[pairs.order[r]] = column[r] * scale;
    }
    vars = &krylov_vars_;
    return {};
  }

  Status scale(bool mst, double limit, double thresh, const NearPairs& pairs) {
    const Index ntot = g_.total(), n = g_.n();
    ScaleResult s;
    s.limit_mst = mst;
    s.limit = limit;
    s.thresh = thresh;
    s.dense = dense_;
    s.near_pairs = pairs.pairs();
    s.far_value = pcnm::transformed(pcnm::far_distance(thresh));
    if (s.near_pairs == 0) {
      // Every distance is truncated: the centred matrix is the constant f of
      // every pair times the centring projector, n - 1 equal eigenvalues
      // -f and a zero. The PCNM variables would be any basis of a space the
      // data do not shape, and an iterative solver cannot even find one.
      return fail(-s.far_value >= pcnm::kPositive ? too_many_variables(ntot - 1, ntot) : std::string(kNoVariable));
    }
    std::vector<double>* computed = nullptr;
    if (Status e = eigen(s, pairs, computed); !e.ok()) return e;
    std::vector<double>& vars = *computed;

    const Index count = options_.count;
    if (count == 0 && s.npcnm >= ntot - 1) return fail(too_many_variables(s.npcnm, ntot));
    Index nvar = count == 0 ? s.npcnm : std::min(count, s.npcnm);
    if (nvar == 0) return fail(kNoVariable);

    // Equal eigenvalues: the solver-free basis of each cluster, and a
    // cluster that the count would cut taken whole.
    const Index known = std::min<Index>(static_cast<Index>(s.eigenvalues.size()), s.npcnm);
    for (const auto& [first, last] : equal_eigenvalues(s.eigenvalues.data(), known)) {
      if (first >= nvar) break;
      s.clusters.emplace_back(first, last);
      if (last > nvar) {
        result_.notes.push_back("--count " + std::to_string(count) + " would cut the " +
                                std::to_string(last - first) + " equal eigenvalues " + std::to_string(first + 1) +
                                " to " + std::to_string(last) + ", whose variables the data do not tell apart: " +
                                std::to_string(last) + " variables kept instead of " + std::to_string(nvar));
        nvar = last;
        s.count_raised_to = last;
      }
    }
    for (const auto& [first, last] : s.clusters) {
      std::vector<double> scales;
      for (Index j = first; j < last; ++j) {
        scales.push_back(pcnm::axis_scale(s.eigenvalues[j]));
        double* column = vars.data() + static_cast<std::size_t>(j) * ntot;
        for (Index i = 0; i < ntot; ++i) column[i] /= scales.back();
      }
      canonical_basis(vars.data(), ntot, ntot, first, last);
      for (Index j = first; j < last; ++j) {
        double* column = vars.data() + static_cast<std::size_t>(j) * ntot;
        for (Index i = 0; i < ntot; ++i) column[i] *= scales[j - first];
      }
    }
    for (Index j = 0; j < nvar; ++j) fix_sign(vars.data() + static_cast<std::size_t>(j) * ntot, ntot, n);

    // Gower's constants for new sites, from the variables as scaled. A
    // solver's eigenvector is centred only to its accuracy, and the far
    // value f (large next to a small eigenvalue) would multiply what is
    // left of the constant vector in it: the variables are centred here,
    // their mean added back to the values placed.
    std::vector<double> constant(static_cast<std::size_t>(nvar), 0.0), centre(static_cast<std::size_t>(nvar), 0.0);
    if (g_.places_new_sites()) {
      std::vector<double> mean_row = row_means(pairs, s.far_value);
      double grand = 0;
      for (double a : mean_row) grand += a;
      grand /= static_cast<double>(ntot);
      for (double& a : mean_row) a -= grand;  // sums against centred columns are the same, and rounder
      for (Index j = 0; j < nvar; ++j) {
        const double* column = vars.data() + static_cast<std::size_t>(j) * ntot;
        double sum = 0;
        for (Index i = 0; i < ntot; ++i) sum += column[i];
        centre[j] = sum / static_cast<double>(ntot);
        sum = 0;
        for (Index i = 0; i < ntot; ++i) sum += (column[i] - centre[j]) * mean_row[i];
        constant[j] = sum;
      }
    }

    std::vector<double> vmean, vsd;
    if (g_.nsup() > 0) {
      s.correlation_checked = true;
      std::vector<double> vsum(nvar), vsumsq(nvar);
      vmean.resize(nvar);
      vsd.resize(nvar);
      Index constant_column = 0;
      if (dense_) {
        // The dialogue program's check itself, with d as its transposed copy.
        std::vector<double> corlin(static_cast<std::size_t>(ntot) * nvar);
        const pcnm::CorrelResult c = pcnm::correl(n, nvar, vars.data(), ntot, vsum.data(), vsumsq.data(),
                                                  vmean.data(), vsd.data(), corlin.data(), buffers_.d.data());
        // correl's transposed copy overwrote distances that the next
        // limit's truncation reads.
        distances_overwritten_ = true;
        constant_column = c.zero_variance;
        s.largest_correlation = c.largest;
      } else {
        constant_column = pcnm::standardize(n, nvar, vars.data(), ntot, vsum.data(), vsumsq.data(), vmean.data(),
                                            vsd.data());
        if (constant_column == 0) s.largest_correlation = largest_off_diagonal_correlation(vars.data(), n, ntot, nvar);
      }
      if (constant_column != 0) {
        return fail("PCNM variable " + std::to_string(constant_column) + " does not vary over the " +
                    std::to_string(n) + " sites of the analysis: it cannot be standardized");
      }
    }

    if (progress_) progress_->stage("Moran's I");
    const MoranResult moran =
        moran_index(pairs, pcnm::far_distance(thresh), n, vars.data(), ntot, nvar);
    s.moran_expectation = moran.expectation;
    s.moran = moran.index;
    for (Index j = 0; j < nvar; ++j) {
      if (!options_.positive_moran || s.moran[j] > s.moran_expectation) s.written_axes.push_back(j + 1);
    }
    if (s.written_axes.empty()) {
      return fail("no PCNM variable has a Moran's I above its expectation " +
                  textio::exact_number(s.moran_expectation));
    }
    s.first_column = result_.columns();
    // The variables of the first limit, when all are written, are the
    // result as they stand; otherwise copied, into room made once.
    const Index written = static_cast<Index>(s.written_axes.size());
    const bool whole = result_.values.empty() && &vars == &krylov_vars_ && s.written_axes.back() == written;
    if (whole) {
      result_.values = std::move(krylov_vars_);
      krylov_vars_ = {};
      result_.values.resize(static_cast<std::size_t>(written) * ntot);
    } else {
      result_.values.reserve(result_.values.size() + static_cast<std::size_t>(written) * ntot);
    }
    for (Index axis : s.written_axes) {
      const std::size_t from = static_cast<std::size_t>(axis - 1);
      if (!whole) {
        result_.values.insert(result_.values.end(), vars.begin() + static_cast<std::ptrdiff_t>(from * ntot),
                              vars.begin() + static_cast<std::ptrdiff_t>((from + 1) * ntot));
      }
      s.placement_mean.push_back(centre[from]);
      s.placement_constant.push_back(constant[from]);
      s.placement_eigenvalue.push_back(s.eigenvalues[from]);
      if (!vmean.empty()) {
        s.mean.push_back(vmean[from]);
        s.sd.push_back(vsd[from]);
      }
    }
    result_.scales.push_back(std::move(s));
    return {};
  }

  const Geometry& g_;
  const RunOptions& options_;
  Progress* progress_;
  RunResult result_;
  bool dense_ = false;
  Dense buffers_;
  bool distances_overwritten_ = false;
  std::vector<double> krylov_vars_;
};

}  // namespace

Expected<RunResult> run_pcnm(std::shared_ptr<const Geometry> geometry, const RunOptions& options, Progress* progress) {
  try {
    // The dense decomposition and the correlation check stop at their
    // checkpoints as the rest of the run does at its polls.
    const pcnm::CheckpointScope polls([progress] {
      if (progress) progress->poll();
    });
    return Runner(std::move(geometry), options, progress).run();
  } catch (const Cancelled&) {
    return fail("interrupted");
  }
}

Expected<RunResult> run_pcnm(const sites::Sites& sites, const RunOptions& options, Progress* progress) {
  if (sites.total() < 2) return fail("a single site has no distances to truncate");
  Expected<Geometry> g = Geometry::euclidean(sites);
  if (!g.ok()) return fail(g.error());
  return run_pcnm(std::make_shared<const Geometry>(std::move(*g)), options, progress);
}

}  // namespace ortelix::large
