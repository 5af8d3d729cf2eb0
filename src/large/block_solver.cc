#include "large/block_solver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>
#include <random>

#include <Eigen/Core>
#include <Eigen/Eigenvalues>

#include "large/tall.h"
#include "large/progress.h"
#include "pcnm/team.h"

namespace ortelix::large {
namespace {

using Block = Eigen::Map<Matrix, 0, Eigen::OuterStride<>>;
using ConstBlock = Eigen::Map<const Matrix, 0, Eigen::OuterStride<>>;

// Rows a group of the coarser problem sums: about four by four sites of a
// plane, and the coarse problem a sixteenth of the size.
constexpr long kGroup = 16;
// A problem this small is decomposed whole.
constexpr long kDenseMost = 600;
// Coarsen only while the coarse problem keeps three rows a vector.
constexpr long kRowsPerVector = 3;
// And only where the sites have few near pairs each, as on a lattice
// truncated at its spacing (4, and the diagonal): a group of 16 then
// spans two spacings each way and the coarse problem is close to the fine
// one. Where each site has a dozen pairs or more, a group is no wider
// than the reach of one site's pairs, the coarse eigenvectors are poor
// starts, and random vectors do better. Products to 100 000 sites,
// K = 100, coarse start / random: grid 62 602 / 72 806 (a sixth of the
// coarse start's on groups, at a sixteenth of the cost); spread at random
// (13 pairs a site) 21 776 / 13 565; in clusters (46) 13 200 / 9 410.
constexpr double kMostEntriesForCoarseStart = 9;
// Coarse levels need only be good to the accuracy with which their
// vectors, spread over the groups, approximate the fine ones.
constexpr double kCoarseTolerance = 1e-4;
// A vector is locked once its residual is below this share of the
// tolerance, so that the final check, on fresh products, passes with room.
constexpr double kLockShare = 0.2;
// Degrees aim a little lower still.
constexpr double kAimShare = 0.05;
// Highest degree of one filtering, and of the first one, from random
// vectors or from a coarse solution spread over its groups: the Ritz
// values of neither say much about where to cut (without this bound the
// first filtering from a coarse start took 8% more products on sites
// spread at random, 14% on a grid).
constexpr int kMostDegree = 500;
constexpr int kFirstDegree = 12;
// The filter may amplify the top of the vectors still iterated at most this
// many times more than the k-th: a filtered vector holds a direction only
// to the rounding of its largest component, and a Ritz vector's parts
// along the higher eigenvectors, of the order of its error, grow by the
// ratio. The locked vectors are projected out before each filtering, so
// their directions start at the rounding and may grow more. Without a
// bound, sites spread at random lost vectors to rounding (the cut fell to
// the bottom of the spectrum); 1e12 and 1e15 take one or two Rayleigh-Ritz
// steps fewer than 1e8 and 1e11, with the same residuals.
constexpr double kActiveRatio = 1e12;
constexpr double kLockedRatio = 1e15;
constexpr int kMostIterations = 400;

// Between two filterings, where stopping loses nothing but the work done:
// a run asked to stop leaves through Cancelled.
bool stop_requested(Progress* progress) {
  if (progress) progress->poll();
  return false;
}

// Rayleigh-Ritz on the a columns at x (orthonormal), y = G x: both turned
// to the Ritz vectors, largest Ritz value first; their values and
// residual norms.
void rayleigh_ritz(Tall& tall, double* x, double* y, long a, double* theta, double* residual) {
  Matrix h = tall.cross(x, a, y, a);
  h = (h + h.transpose()).eval() / 2;
  Eigen::SelfAdjointEigenSolver<Matrix> e(h);
  const Matrix q = e.eigenvectors().rowwise().reverse();
  tall.times(x, a, q);
  tall.times(y, a, q);
  for (long j = 0; j < a; ++j) theta[j] = e.eigenvalues()[a - 1 - j];
  const std::vector<double> r2 = tall.column_norms2(y, x, theta, a);
  for (long j = 0; j < a; ++j) residual[j] = std::sqrt(r2[j]);
}

// Where the spectrum of op really ends below: Gershgorin's bound can lie
// far under it (for sites spread at random, about six times as far from
// the top), and the filter's rate falls with the root of the range it
// damps. The smallest Ritz value of a short Lanczos run (three-term
// recurrence, no reorthogonalization: enough for an extreme value) less
// its residual bound and a margin; never below `lower`. An eigenvalue
// that still lies under it grows under the filter, shows up as a Ritz
// value of the block under the estimate, and sends the solver back to
// `lower` (see iterate).
// The same run places a cut for a filter: its Ritz values and the squares
// of their eigenvectors' first components are the nodes and weights of a
// Gauss rule for the start vector's spectral measure, whose mass above a
// value, times n, estimates how many eigenvalues lie above it (stochastic
// Lanczos quadrature). `cut` is the node above which some `count`
// eigenvalues lie by that estimate; only an estimate (see iterate).
constexpr int kLanczosSteps = 60;
struct SpectrumEstimate {
  double low = 0;
  double cut = 0;
  double top = 0;  // the largest Ritz value, at most the largest eigenvalue
};
SpectrumEstimate spectrum_estimate(const SymmetricOperator& op, double lower, double upper, long count,
                                   std::uint64_t& products) {
  const long n = op.size();
  const int steps = static_cast<int>(std::min<long>(kLanczosSteps, n - 1));
  std::vector<double> q(static_cast<std::size_t>(n)), prev(static_cast<std::size_t>(n), 0.0),
      w(static_cast<std::size_t>(n));
  fill_random(q.data(), q.size(), 77);
  double norm = std::sqrt(std::inner_product(q.begin(), q.end(), q.begin(), 0.0));
  for (double& x : q) x /= norm;
  std::vector<double> alpha, beta;
  double b = 0;
  for (int j = 0; j < steps; ++j) {
    op.apply(q.data(), w.data());
    ++products;
    const double a = std::inner_product(q.begin(), q.end(), w.begin(), 0.0);
    for (long i = 0; i < n; ++i) w[i] -= a * q[i] + b * prev[i];
    alpha.push_back(a);
    b = std::sqrt(std::inner_product(w.begin(), w.end(), w.begin(), 0.0));
    beta.push_back(b);
    if (!(b > 0)) break;
    for (long i = 0; i < n; ++i) {
      prev[i] = q[i];
      q[i] = w[i] / b;
    }
  }
  const long m = static_cast<long>(alpha.size());
  Matrix t = Matrix::Zero(m, m);
  for (long j = 0; j < m; ++j) {
    t(j, j) = alpha[j];
    if (j + 1 < m) t(j, j + 1) = t(j + 1, j) = beta[j];
  }
  Eigen::SelfAdjointEigenSolver<Matrix> e(t);
  const double smallest = e.eigenvalues()[0];
  const double bound = std::fabs(beta[m - 1] * e.eigenvectors()(m - 1, 0));
  const double estimate = smallest - bound - 0.02 * (e.eigenvalues()[m - 1] - smallest);
  SpectrumEstimate out;
  out.low = std::clamp(estimate, lower, upper);
  out.cut = out.low;
  out.top = e.eigenvalues()[m - 1];
  double mass = 0;
  for (long j = m - 1; j > 0; --j) {
    mass += e.eigenvectors()(0, j) * e.eigenvectors()(0, j);
    if (mass * static_cast<double>(n) >= static_cast<double>(count)) {
      out.cut = e.eigenvalues()[j];
      break;
    }
  }
  return out;
}

struct Stats {
  std::uint64_t products = 0;
  int iterations = 0;  // on the operator itself
  int levels = 0;
  std::uint64_t krylov_columns = 0;  // built by the Krylov start
  int restarts = 0;                  // of its space
  double cut = 0;                    // of its filter
  int degree = 1;                    // of its filter
  int rejected_cuts = 0;             // estimated cuts the start showed too high
};

// Where no coarser problem gives a start: a Krylov space of a Chebyshev
// filter of op. Subspace iteration pays for every vector of its block the
// degree that the narrowest gap near the k-th eigenvalue asks for (sites
// spread at random: some 110 products a vector); a Krylov space shares
// its polynomials among all the vectors and resolves the same top at a
// third of the products. Its cost is the orthogonalization against the
// whole space, which the filter keeps short: blocks of kKrylovBlock
// columns, each the filter of degree kKrylovDegree applied to the one
// before, a space of about 1.85 b columns, restarted (Stewart's
// Krylov-Schur) on its leading Ritz vectors a few blocks at a time. On
// 100 000 sites spread at random, K = 100 (240 columns): degrees 9, 11,
// 13, 15, 17 took 3597, 4333, 4237, 4845, 5453 products in all, and 13
// less time than 9 (3.9-4.8 s against 4.5-6.4 s, alternating: fewer
// restarts, less orthogonalization); 208 and 272 columns took 4561 and
// 4861 products. Grids are left to their coarse start: a million grid
// sites took 111 093 products from this one. The filter's cut comes from
// spectrum_estimate; the k-th Ritz value of the start shows whether it
// held (see iterate).
constexpr long kKrylovBlock = 16;
constexpr int kKrylovDegree = 13;
// Odd, so that an eigenvalue below the estimated bottom of the spectrum
// goes negative under the filter instead of joining the leading ones.
static_assert(kKrylovDegree % 2 == 1);
// A lower degree where the top of the spectrum lies far above the cut:
// the filter may make the largest eigenvalue at most this many times the
// cut's value (2200 sites in tight clusters, K = 50: a degree of 13 made
// it 1e14 times the k-th, below what rounding lets a Krylov space resolve,
// and the start ran all its 30 cycles, at five times the products of a
// random start; degree 5 took 6 cycles).
constexpr double kKrylovGrowth = 1e8;
// The start is good enough when the filter's residuals of its first k
// Ritz pairs are below this share of their Ritz values (or of a millionth
// of the largest, which rounding allows): the subspace iteration then
// locks nearly all at its first step.
constexpr double kKrylovTolerance = 1e-8;
constexpr double kKrylovFloor = 1e-6;
constexpr int kKrylovCycles = 30;

// The filter's degree: kKrylovDegree, or the largest odd one under which
// `top` grows at most kKrylovGrowth times the cut.
int krylov_degree(double low, double cut, double top) {
  const double t = (2 * top - (cut + low)) / (cut - low);
  if (!(t > 1)) return kKrylovDegree;
  const int most = static_cast<int>(std::acosh(kKrylovGrowth) / std::acosh(t));
  return std::clamp(most - (most % 2 == 0 ? 1 : 0), 1, kKrylovDegree);
}

long krylov_columns(long b) {
  const long m = std::max(b * 185 / 100, b + 2 * kKrylovBlock);
  return (m + kKrylovBlock - 1) / kKrylovBlock * kKrylovBlock;
}

// A block Krylov space of a fixed symmetric map M over the m columns of v
// (n rows each): h = V' M V, from the coefficients of orthogonalization;
// the block that comes next, orthonormal to V, in `next`; the Gram matrix
// of its remainder before normalization in `coupling2` (R' R, R the
// coupling of `next` with the last block: M V = V h + next R E').
struct KrylovSchur {
  long n, m, s;
  double* v;
  Tall& tall;
  Matrix h;
  std::vector<double> next, scratch;
  Matrix coupling2;
  std::uint64_t seed = 500;

  KrylovSchur(long n_, long m_, long s_, double* v_, Tall& tall_)
      : n(n_), m(m_), s(s_), v(v_), tall(tall_), h(Matrix::Zero(m_, m_)),
        next(static_cast<std::size_t>(n_) * s_), scratch(static_cast<std::size_t>(n_) * s_) {}
  double* col(long j) { return v + static_cast<std::size_t>(j) * n; }

  // From a space of `cols` columns, the block at [cols, cols + s)
  // orthonormal to them, to m columns; image(x, y, scratch) sets the s
  // columns y = M x.
  template <typename Image>
  void expand(long cols, Image&& image) {
    while (cols < m) {
      image(col(cols), next.data(), scratch.data());
      const Matrix c = tall.project_out_twice(next.data(), s, v, cols + s);
      h.block(0, cols, cols + s, s) = c;
      h.block(cols, 0, s, cols) = c.topRows(cols).transpose();
      cols += s;
      if (cols == m) coupling2 = tall.cross(next.data(), s, next.data(), s);
      if (!orthonormalize_within(tall, next.data(), s)) orthonormalize(tall, next.data(), s, v, cols, seed);
      if (cols < m) std::copy(next.begin(), next.end(), col(cols));
    }
  }

  // The Ritz values of M, largest first, their vectors in h's basis, and
  // the largest residual of the first k pairs relative to its value (or to
  // kKrylovFloor times the largest value, where that is more).
  double ritz(long k, std::vector<double>& theta, Matrix& y) const {
    Eigen::SelfAdjointEigenSolver<Matrix> e((h + h.transpose()) / 2);
    y = e.eigenvectors().rowwise().reverse();
    theta.resize(static_cast<std::size_t>(m));
    for (long j = 0; j < m; ++j) theta[j] = e.eigenvalues()[m - 1 - j];
    const Matrix last = y.bottomRows(s).leftCols(k);
    const Matrix r2 = last.transpose() * coupling2 * last;
    double worst = 0;
    const double floor = kKrylovFloor * std::fabs(theta[0]);
    for (long j = 0; j < k; ++j) {
      worst = std::max(worst, std::sqrt(std::max(r2(j, j), 0.0)) / std::max(std::fabs(theta[j]), floor));
    }
    return worst;
  }

  // Keeps the l leading Ritz vectors and puts the next block after them.
  void restart(long l, const std::vector<double>& theta, const Matrix& y) {
    tall.times(v, m, y.leftCols(l));
    h.setZero();
    for (long j = 0; j < l; ++j) h(j, j) = theta[j];
    std::copy(next.begin(), next.end(), col(l));
  }
};

// The b leading Ritz vectors into the first b of the m columns at v, from
// a Krylov space of the filter that maps [low, cut] onto [-1, 1].
void krylov_start(const SymmetricOperator& op, double low, double cut, double top, double upper, int k, long b,
                  long m, double* v, Tall& tall, Stats& stats) {
  const long n = op.size();
  const long s = kKrylovBlock;
  // Each restart keeps all but a few blocks: the more are kept, the
  // fewer products; the fewer, the less orthogonalization per product.
  const long keep = m - s * ((m - b) / (2 * s) + 1);
  const int d = krylov_degree(low, cut, top);
  stats.degree = d;
  std::vector<int> degree(static_cast<std::size_t>(s), d);
  KrylovSchur ks(n, m, s, v, tall);
  const auto filter = [&](const double* x, double* out, double* gx) {
    std::copy(x, x + static_cast<std::size_t>(n) * s, out);
    op.apply_block(x, gx, s);
    op.chebyshev_block(out, gx, s, degree.data(), low, cut, upper);
    stats.products += static_cast<std::uint64_t>(s) * d;
  };
  fill_random(v, static_cast<std::size_t>(n) * s, 4);
  orthonormalize(tall, v, s, nullptr, 0, ks.seed);
  std::vector<double> theta;
  Matrix y;
  long cols = 0;
  for (int cycle = 0;; ++cycle) {
    ks.expand(cols, filter);
    stats.krylov_columns += static_cast<std::uint64_t>(m - cols);
    if (ks.ritz(k, theta, y) <= kKrylovTolerance || cycle + 1 == kKrylovCycles) break;
    ks.restart(keep, theta, y);
    cols = keep;
    ++stats.restarts;
  }
  tall.times(v, m, y.leftCols(b));
}

// Chebyshev-filtered subspace iteration on the b columns of v (a start,
// any scale), y a workspace of the same size. On return v holds the Ritz
// vectors, the first k within `tolerance` times the largest |eigenvalue|;
// except with `safe_cut`, for a start filtered above `filtered_above`,
// when that start is shown not to hold the leading eigenvectors: then
// *safe_cut is set and v holds nothing of use.
Status iterate(const SymmetricOperator& op, double lower, double lower_estimate, double upper,
                                   int k, long b, double tolerance, double* v, double* y, Tall& tall, Stats& stats,
                                   int iterations_counted, Progress* progress, double filtered_above = -1e300,
                                   double* safe_cut = nullptr) {
  const long n = op.size();
  const auto col = [n](double* base, long j) { return base + static_cast<std::size_t>(j) * n; };
  std::uint64_t seed = 1000;
  std::vector<double> theta(static_cast<std::size_t>(b)), res(static_cast<std::size_t>(b));
  orthonormalize(tall, v, b, nullptr, 0, seed);
  op.apply_block(v, y, b);
  stats.products += static_cast<std::uint64_t>(b);
  rayleigh_ritz(tall, v, y, b, theta.data(), res.data());
  // A start filtered above an estimated cut holds the k leading
  // eigenvectors only if they all lie above it: the k-th Ritz value, at
  // most the k-th eigenvalue, shows that they do.
  // Otherwise *safe_cut becomes the b-th, at most the b-th eigenvalue,
  // and the start is to be made again; it is left alone when the start
  // holds.
  if (safe_cut && theta[k - 1] < filtered_above) {
    *safe_cut = theta[b - 1];
    return {};
  }
  long locked = 0;
  std::vector<int> degree(static_cast<std::size_t>(b));
  for (int iteration = 0; iteration < kMostIterations; ++iteration) {
    const double scale = std::max(std::fabs(*std::max_element(theta.begin(), theta.begin() + k)),
                                  std::fabs(*std::min_element(theta.begin(), theta.begin() + k)));
    while (locked < k && res[locked] <= kLockShare * tolerance * scale) ++locked;
    if (progress) {
      progress->detail(std::to_string(locked) + " of " + std::to_string(k) + " converged, " +
                       std::to_string(stats.products) + " products");
    }
    if (locked == k) return {};
    if (stop_requested(progress)) return fail("the eigen-solver was interrupted");

    // Damp [lower, cut], the cut at the smallest Ritz value: at most the
    // b-th eigenvalue (Courant and Fischer), and the closer the block comes
    // to the leading ones, the closer below them.
    const double cut = *std::min_element(theta.begin() + locked, theta.end());
    const double top = *std::max_element(theta.begin(), theta.end());
    // A Ritz value under the estimate: an eigenvalue lies there. Back to
    // the bound that holds whatever the spectrum.
    if (cut <= lower_estimate) lower_estimate = lower;
    const double low = lower_estimate;
    const auto growth = [&](double lambda) {  // acosh of the filter's argument: T_m grows like e^(m growth)
      const double t = (2 * lambda - (cut + low)) / (cut - low);
      return t > 1 ? std::acosh(t) : 0.0;
    };
    const double at_k = growth(theta[k - 1]);
    double most = iteration == 0 ? kFirstDegree : kMostDegree;
    if (at_k > 0) {
      const double active_gap = growth(*std::max_element(theta.begin() + locked, theta.end())) - at_k;
      const double locked_gap = growth(top) - at_k;
      if (active_gap > 0) most = std::min(most, std::log(kActiveRatio) / active_gap);
      if (locked_gap > 0) most = std::min(most, std::log(kLockedRatio) / locked_gap);
    } else {
      most = std::min(most, 8.0);  // the k-th on the cut: only a better cut helps
    }
    const int top_degree = std::max(1, static_cast<int>(most));
    const double aim = kAimShare * tolerance * scale;
    int running = 1;
    for (long j = locked; j < b; ++j) {
      int want = running;
      if (j < k) {
        const double g = growth(theta[j]);
        want = g > 0 ? static_cast<int>(std::ceil(std::acosh(std::max(res[j] / aim, 1.0)) / g)) : top_degree;
      }
      running = std::max(running, std::min(want, top_degree));
      degree[j] = running;
    }

    // y holds G v.
    const long active = b - locked;
    op.chebyshev_block(col(v, locked), col(y, locked), active, degree.data() + locked, low, cut,
                       std::max(upper, top));
    for (long j = locked; j < b; ++j) stats.products += static_cast<std::uint64_t>(degree[j] - 1);

    orthonormalize(tall, col(v, locked), active, v, locked, seed);
    op.apply_block(col(v, locked), col(y, locked), active);
    stats.products += static_cast<std::uint64_t>(active);
    rayleigh_ritz(tall, col(v, locked), col(y, locked), active, theta.data() + locked, res.data() + locked);
    stats.iterations += iterations_counted;
  }
  return fail("the eigen-solver did not converge");
}

// The b leading eigenvectors of op into v (n x b), good to `tolerance`
// for the first k: from the coarser problem while there is one worth
// solving, whole when small.
Status solve(const SymmetricOperator& op, double lower, double upper, int k, long b,
                                 double tolerance, std::vector<double>& v, std::vector<double>& y,
                                 pcnm::Team& team, Stats& stats, bool top_level, Progress* progress) {
  const long n = op.size();
  v.assign(static_cast<std::size_t>(n) * b, 0.0);
  if (n <= kDenseMost) {
    Matrix identity = Matrix::Identity(n, n), g(n, n);
    op.apply_block(identity.data(), g.data(), n);
    g = (g + g.transpose()).eval() / 2;
    Eigen::SelfAdjointEigenSolver<Matrix> e(g);
    Block(v.data(), n, b, Eigen::OuterStride<>(n)) = e.eigenvectors().rightCols(b).rowwise().reverse();
    return {};
  }
  std::unique_ptr<CentredSparse> coarse;
  if ((n + kGroup - 1) / kGroup >= kRowsPerVector * b) coarse = op.coarsened(kGroup);
  if (coarse && coarse->source_entries > kMostEntriesForCoarseStart) coarse.reset();
  if (coarse) {
    ++stats.levels;
    std::vector<double> vc, yc;
    const long nc = coarse->size();
    if (Status s = solve(*coarse, lower, upper, k, b, std::max(tolerance, kCoarseTolerance), vc, yc, team, stats,
                         false, progress);
        !s.ok()) {
      return s;
    }
    yc = {};
    coarse.reset();
    // Each row takes its group's value, over the root of the group's size
    // (P's columns are unit vectors).
    for (long j = 0; j < b; ++j) {
      const double* from = vc.data() + static_cast<std::size_t>(j) * nc;
      double* to = v.data() + static_cast<std::size_t>(j) * n;
      for (long g = 0; g < nc; ++g) {
        const long r0 = g * kGroup, r1 = std::min(n, r0 + kGroup);
        const double value = from[g] / std::sqrt(static_cast<double>(r1 - r0));
        for (long r = r0; r < r1; ++r) to[r] = value;
      }
    }
  }
  const SpectrumEstimate estimate = spectrum_estimate(op, lower, upper, 2 * b, stats.products);
  const double low = estimate.low;
  const long m = krylov_columns(b);
  if (!coarse && 4 * m <= n) {
    double cut = estimate.cut;
    for (int attempt = 0; attempt < 2 && cut > low; ++attempt) {
      // Nothing else of size n while the space is held.
      std::vector<double>().swap(v);
      std::vector<double>().swap(y);
      v.assign(static_cast<std::size_t>(n) * m, 0.0);
      {
        Tall wide(team, n, m);
        krylov_start(op, low, cut, estimate.top, upper, k, b, m, v.data(), wide, stats);
      }
      v.resize(static_cast<std::size_t>(n) * b);
      release_spare(v);
      y.assign(static_cast<std::size_t>(n) * b, 0.0);
      Tall tall(team, n, b);
      double safe = std::numeric_limits<double>::quiet_NaN();
      Status s = iterate(op, lower, low, upper, k, b, tolerance, v.data(), y.data(), tall, stats,
                         top_level ? 1 : 0, progress, cut, &safe);
      if (std::isnan(safe)) {
        stats.cut = cut;
        return s;
      }
      // The estimate cut too high: again, from the b-th Ritz value, which
      // lies at or below the b-th eigenvalue.
      stats.krylov_columns = 0;
      stats.restarts = 0;
      ++stats.rejected_cuts;
      cut = safe;
    }
    v.assign(static_cast<std::size_t>(n) * b, 0.0);
  }
  if (!coarse) fill_random(v.data(), v.size(), 1);
  y.assign(static_cast<std::size_t>(n) * b, 0.0);
  Tall tall(team, n, b);
  return iterate(op, lower, low, upper, k, b, tolerance, v.data(), y.data(), tall, stats,
                 top_level ? 1 : 0, progress);
}

}  // namespace

int block_size(int k) { return k + std::max(8, k / 4); }

Status block_leading_eigenpairs(const SymmetricOperator& op, double lower, double upper, int k,
                                                    LeadingPairs& out, Progress* progress,
                                                    double residual_tolerance) {
  const long n = op.size();
  const long b = block_size(k);
  out = LeadingPairs{};
  if (k < 1 || 4 * b > n) return fail("the block eigen-solver needs 1 <= k and k + its guard <= n / 4");
  pcnm::Team team(pcnm::usable_processors() >= 2 ? 2 : 1);
  Stats stats;
  std::vector<double> v, y;
  // The operator polls the progress between its filter's steps, as long as
  // this run lasts.
  struct Watch {
    const SymmetricOperator& op;
    ~Watch() { op.watch(nullptr); }
  } watch{op};
  op.watch(progress);
  try {
    if (progress) progress->stage("eigen-solver");
    if (Status s = solve(op, lower, upper, k, b, residual_tolerance, v, y, team, stats, true, progress); !s.ok()) return s;

    out.products = stats.products;
    out.method = "block";
    out.block = static_cast<int>(b);
    out.iterations = stats.iterations;
    out.levels = stats.levels;
    out.krylov_columns = stats.krylov_columns;
    out.restarts = stats.restarts;
    out.rejected_cuts = stats.rejected_cuts;
    if (stats.krylov_columns > 0) {
      out.degree = stats.degree;
      out.cut = stats.cut;
    }
    y.resize(std::max(y.size(), static_cast<std::size_t>(n) * k));
    Tall tall(team, n, k);
    Status s = finish_leading_pairs(op, tall, v, k, y.data(), k, residual_tolerance, out);
    release_spare(out.vectors);
    return s;
  } catch (const std::exception& e) {
    return fail(std::string("the eigen-solver failed: ") + e.what());
  }
}

}  // namespace ortelix::large
