#include "large/shift_invert.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

#include <Eigen/Core>
#include <Eigen/Eigenvalues>
#include <cholmod.h>

#include "large/block_solver.h"
#include "large/progress.h"
#include "large/tall.h"
#include "pcnm/rules.h"
#include "pcnm/team.h"

namespace ortelix::large {

using pcnm::transformed;

namespace {

// Columns solved at a time, in place: CHOLMOD's supernodal solve runs on
// dense blocks, and a few columns make its triangular solves and products
// level-3 work. One thread solves them (the BLAS is held to one thread):
// two threads each solving half the columns, each with its own CHOLMOD
// common, took longer on a million grid sites (16.9 s of solves against
// 11.3 s for sixteen columns at a time, 14.2 against 8.9 s for eight),
// contending in the BLAS for its buffers at every supernode.
constexpr long kSolveColumns = 16;
// From this order on, METIS's nested dissection: on a million grid sites a
// factor a quarter smaller than the minimum degree's (36 numbers a row
// against 50), with solves a fifth faster, for 4 more seconds of analysis.
constexpr long kNestedDissectionLeast = 200000;

}  // namespace

struct ShiftInvert::Impl {
  const TruncatedGower& op;
  long n;
  mutable cholmod_common c;
  cholmod_sparse* a = nullptr;  // -B, upper triangle
  cholmod_factor* l = nullptr;
  double sigma = 0;
  bool factored = false;
  std::vector<double> z;  // M^-1 1, in the factor's order
  double z_sum = 0;
  cholmod_dense* e = nullptr;  // the supernodal solves' workspace
  // One column for each thread, to put a solution back in the sites' order.
  mutable std::vector<double> column[2];

  mutable pcnm::Team team;

  explicit Impl(const TruncatedGower& o)
      : op(o), n(o.size()), team(pcnm::usable_processors() >= 2 ? 2 : 1) {
    cholmod_l_start(&c);
  }
  ~Impl() {
    if (e) cholmod_l_free_dense(&e, &c);
    if (l) cholmod_l_free_factor(&l, &c);
    if (a) cholmod_l_free_sparse(&a, &c);
    cholmod_l_finish(&c);
  }

  // The factor's order: row i of the factor is site perm[i].
  const SuiteSparse_long* perm() const { return static_cast<const SuiteSparse_long*>(l->Perm); }

  // M^-1 in place for w <= kSolveColumns columns in the factor's order at
  // x (leading dimension n).
  void solve_m(double* x, long w) const {
    cholmod_dense d{};
    d.nrow = static_cast<std::size_t>(n);
    d.ncol = static_cast<std::size_t>(w);
    d.nzmax = d.nrow * d.ncol;
    d.d = d.nrow;
    d.x = x;
    d.xtype = CHOLMOD_REAL;
    d.dtype = CHOLMOD_DOUBLE;
    // Fails only on arguments this code sets up, or on supernodes too large
    // for the BLAS's integers, which no factor held in memory has.
    if (!cholmod_l_super_lsolve(l, &d, e, &c) || !cholmod_l_super_ltsolve(l, &d, e, &c)) {
      throw std::logic_error("the supernodal solve refused its arguments");
    }
  }
};

ShiftInvert::ShiftInvert(const TruncatedGower& op) : impl_(std::make_unique<Impl>(op)) {
  Impl& s = *impl_;
  const NearPairs& pairs = op.near_pairs();
  const double far = op.far_value();
  const long n = s.n;
  s.c.print = 0;  // failures come back as statuses
  s.c.supernodal = CHOLMOD_SUPERNODAL;
  s.c.nmethods = 1;
  s.c.method[0].ordering = n >= kNestedDissectionLeast ? CHOLMOD_METIS : CHOLMOD_AMD;
  s.c.postorder = 1;
  const std::size_t entries = pairs.column.size() / 2 + static_cast<std::size_t>(n);
  s.a = cholmod_l_allocate_sparse(n, n, entries, 1, 1, 1, CHOLMOD_REAL, &s.c);
  if (!s.a) throw std::bad_alloc();
  auto* ap = static_cast<SuiteSparse_long*>(s.a->p);
  auto* ai = static_cast<SuiteSparse_long*>(s.a->i);
  auto* ax = static_cast<double*>(s.a->x);
  SuiteSparse_long at = 0;
  // Column j of the upper triangle is row j's pairs before j (in increasing
  // order), then the diagonal: -B = f I - S.
  for (long j = 0; j < n; ++j) {
    ap[j] = at;
    for (std::uint64_t k = pairs.start[j]; k < pairs.start[j + 1]; ++k) {
      const long i = pairs.column[k];
      if (i >= j) continue;
      ai[at] = i;
      ax[at] = -(transformed(pairs.dist[k]) - far);
      ++at;
    }
    ai[at] = j;
    ax[at] = far;
    ++at;
  }
  ap[n] = at;
  s.l = cholmod_l_analyze(s.a, &s.c);
  if (!s.l) throw std::bad_alloc();
}

ShiftInvert::~ShiftInvert() = default;

bool ShiftInvert::factor(double sigma) {
  Impl& s = *impl_;
  s.factored = false;
  double beta[2] = {sigma, 0};
  cholmod_l_factorize_p(s.a, beta, nullptr, 0, s.l, &s.c);
  if (s.c.status == CHOLMOD_OUT_OF_MEMORY) throw std::bad_alloc();
  if (s.c.status != CHOLMOD_OK || s.l->minor < static_cast<std::size_t>(s.n)) return false;
  s.sigma = sigma;
  s.factored = true;
  // z = M^-1 1, and its sum, which M's being positive definite makes
  // positive.
  if (!s.e) {
    s.e = cholmod_l_allocate_dense(kSolveColumns, s.l->maxesize, kSolveColumns, CHOLMOD_REAL, &s.c);
    if (!s.e) throw std::bad_alloc();
  }
  s.z.assign(static_cast<std::size_t>(s.n), 1.0);
  s.solve_m(s.z.data(), 1);
  s.z_sum = std::accumulate(s.z.begin(), s.z.end(), 0.0);
  return s.z_sum > 0;
}

double ShiftInvert::shift() const { return impl_->sigma; }
long ShiftInvert::size() const { return impl_->n; }

double ShiftInvert::factor_entries() const {
  const cholmod_factor* l = impl_->l;
  return l->is_super ? static_cast<double>(l->xsize) : static_cast<double>(l->nzmax);
}

// r's part along 1 needs no removing: with M x = r - gamma 1 and 1'x = 0,
// C M x = C r, the same x as for C r. Each piece of columns is solved in
// place in out, in the factor's order, then put back.
void ShiftInvert::solve(const double* r, double* out, long b) const {
  const Impl& s = *impl_;
  const long n = s.n;
  const double dn = static_cast<double>(n);
  const SuiteSparse_long* perm = s.perm();
  for (long c0 = 0; c0 < b; c0 += kSolveColumns) {
    const long w = std::min(kSolveColumns, b - c0);
    double* x = out + static_cast<std::size_t>(c0) * n;
    s.team.run(w > 1, [&](int part) {
      for (long t = part; t < w; t += 2) {
        const double* rc = r + static_cast<std::size_t>(c0 + t) * n;
        double* xc = x + static_cast<std::size_t>(t) * n;
        for (long i = 0; i < n; ++i) xc[i] = rc[perm[i]];
      }
    });
    s.solve_m(x, w);
    s.team.run(w > 1, [&](int part) {
      std::vector<double>& column = s.column[part];
      column.resize(static_cast<std::size_t>(n));
      for (long t = part; t < w; t += 2) {
        double* xc = x + static_cast<std::size_t>(t) * n;
        const double gamma = std::accumulate(xc, xc + n, 0.0) / s.z_sum;
        std::copy_n(xc, n, column.data());
        for (long i = 0; i < n; ++i) xc[perm[i]] = column[i] - gamma * s.z[i];
        // What rounding leaves of the constant vector.
        const double mean = std::accumulate(xc, xc + n, 0.0) / dn;
        for (long i = 0; i < n; ++i) xc[i] -= mean;
      }
    });
  }
}

double largest_of_b(const TruncatedGower& op, int steps) {
  const long n = op.size();
  const NearPairs& pairs = op.near_pairs();
  const double far = op.far_value();
  // The rows in two halves, one a thread: each row's sum is the same
  // whichever thread makes it.
  pcnm::Team team(n >= 4096 && pcnm::usable_processors() >= 2 ? 2 : 1);
  const auto b_times = [&](const std::vector<double>& x, std::vector<double>& y) {
    team.run(true, [&](int part) {
      const long r0 = part == 0 ? 0 : n / 2, r1 = part == 0 ? n / 2 : n;
      for (long r = r0; r < r1; ++r) {
        double acc = -far * x[r];
        for (std::uint64_t k = pairs.start[r]; k < pairs.start[r + 1]; ++k) {
          acc += (transformed(pairs.dist[k]) - far) * x[pairs.column[k]];
        }
        y[r] = acc;
      }
    });
  };
  std::vector<double> q(static_cast<std::size_t>(n), 1 / std::sqrt(static_cast<double>(n)));
  std::vector<double> prev(static_cast<std::size_t>(n), 0.0), w(static_cast<std::size_t>(n));
  std::vector<double> alpha, beta;
  double bj = 0, scale = 0;
  for (int j = 0; j < steps && j < n; ++j) {
    b_times(q, w);
    const double aj = std::inner_product(q.begin(), q.end(), w.begin(), 0.0);
    for (long i = 0; i < n; ++i) w[i] -= aj * q[i] + bj * prev[i];
    alpha.push_back(aj);
    bj = std::sqrt(std::inner_product(w.begin(), w.end(), w.begin(), 0.0));
    // An invariant subspace, to rounding: the next vector would be noise,
    // and a recurrence continued on it upsets the tridiagonal's QL (sites
    // in a few clusters of twins: the estimate fell from the top to the
    // diagonal).
    scale = std::max(scale, std::fabs(aj) + bj);
    if (!(bj > 1e-10 * scale)) break;
    beta.push_back(bj);
    for (long i = 0; i < n; ++i) {
      prev[i] = q[i];
      q[i] = w[i] / bj;
    }
  }
  const long m = static_cast<long>(alpha.size());
  Matrix tri = Matrix::Zero(m, m);
  for (long j = 0; j < m; ++j) tri(j, j) = alpha[j];
  for (long j = 0; j + 1 < m; ++j) tri(j, j + 1) = tri(j + 1, j) = beta[j];
  const Eigen::SelfAdjointEigenSolver<Matrix> t(tri, Eigen::EigenvaluesOnly);
  // Each alpha is a Rayleigh quotient: a lower bound, if a poorer one.
  if (t.info() != Eigen::Success) return *std::max_element(alpha.begin(), alpha.end());
  return t.eigenvalues()[m - 1];
}

namespace {

// Columns of a block step: a multiplicity up to this many is found whole
// (the square grid's eigenvalues come in pairs). Narrower blocks build a
// Krylov space of higher degree for the same solves: on a million grid
// sites, K = 50, 265 solves with blocks of eight against 417 with blocks of
// sixteen (1057 with 32), the basis as below; four took 189 solves but
// longer, each column's solve costing twice as much.
constexpr long kWidth = 8;
static_assert(kWidth <= kSolveColumns, "a block is solved in one piece");
// B's largest eigenvalue: Lanczos steps from the constant vector.
constexpr int kPerronSteps = 120;
// sigma starts this share of the Gershgorin width above the estimate of
// B's largest eigenvalue, and moves up tenfold while the factor fails. The
// closer, the better T separates the k-th eigenvalue from the next ones;
// but a solve with M loses digits in the ratio of the width to that
// distance (along the leading eigenvector, where they do no harm to the
// others, but the centring subtracts two such solves).
constexpr double kFirstGap = 1e-5;
constexpr int kShiftTries = 7;
// A Ritz pair is taken once its residual on G is below this share of the
// tolerance, so that the final check, on fresh products, passes with room.
constexpr double kConvergedShare = 0.2;
// Residuals on G are worked out exactly (a product with G a column of the
// newest block) once the bound from T's residual, at the step before, is
// within this factor of the aim.
constexpr double kExactWithin = 1e4;
// Block steps before giving up (3200 solves). A million grid sites take
// about 32; a run that has not converged by this many is better left to
// the block solver.
constexpr int kMostSteps = 400;
// Where shift-invert is tried: the Perron value of B (B's off-diagonal
// entries are positive) within this share of the width of Gershgorin's
// interval from its top. Rows then sum nearly alike, as on a lattice, where
// the leading eigenvalues crowd as a Laplacian's lowest do (a 316 x 316
// grid: 2.5e-5; 100 000 sites spread at random: 0.15, in clusters: 0.14),
// and where a Cholesky factor stays small; elsewhere the leading
// eigenvectors sit on the densest spots, stand apart, and the factor of an
// irregular graph fills in: the block solver wins there.
constexpr double kLatticeShare = 1e-3;
// And where its memory (the factor, the basis and the solves' workspaces)
// is at most this many times the block solver's, or at most this share of
// the machine's memory: for few variables the block solver needs little
// (a million grid sites, K = 10: 0.55 GB against 1.4 GB) but takes
// minutes where shift-invert takes seconds, and a user would rather spend
// the memory.
constexpr double kMemoryShare = 1.5;
constexpr double kMachineShare = 0.25;
// Below this, the block solver's own start is too cheap to beat.
constexpr long kShiftInvertLeast = 5000;

struct Basis {
  long most, keep;
};

// The basis holds at most k and as many again (at least three blocks
// more), and two blocks more, and a restart keeps the k leading Ritz
// vectors and half the rest: per vector of the basis, n numbers; fewer
// vectors mean more restarts and more solves (a million grid sites,
// k = 54, blocks of eight, in a trial build: 329 solves with 92 vectors,
// 281 with 108, 257 with 124, 249 with 156).
Basis basis_for(long k, long n) {
  const long most = std::min(k + std::max(k, 3 * kWidth) + 2 * kWidth, n / 2);
  const long keep = k + (most - k - kWidth) / 2;
  return {most, std::max(keep, k)};
}

// One BLAS thread while the solver runs, where the BLAS is OpenBLAS (its
// own functions, looked up rather than linked: any BLAS will do), and the
// count it had afterwards. After each call OpenBLAS keeps its idle threads
// spinning on sched_yield for a while, and this solver calls it between
// its own two-thread products: on a million grid sites on two processors
// the spinning took 18 s of system time and the run 3 s longer. One thread
// also keeps to a run's thread count for the factor and the solves.
class OneBlasThread {
 public:
  OneBlasThread() {
    get_ = reinterpret_cast<int (*)()>(dlsym(RTLD_DEFAULT, "openblas_get_num_threads"));
    set_ = reinterpret_cast<void (*)(int)>(dlsym(RTLD_DEFAULT, "openblas_set_num_threads"));
    if (get_ && set_) {
      before_ = get_();
      set_(1);
    }
  }
  ~OneBlasThread() {
    if (get_ && set_ && before_ > 1) set_(before_);
  }
  OneBlasThread(const OneBlasThread&) = delete;
  OneBlasThread& operator=(const OneBlasThread&) = delete;

 private:
  int (*get_)() = nullptr;
  void (*set_)(int) = nullptr;
  int before_ = 0;
};

// Bytes of memory the machine has (0 where it will not say).
double machine_memory() {
  const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGESIZE);
  return pages > 0 && size > 0 ? static_cast<double>(pages) * static_cast<double>(size) : 0.0;
}

// The solver proper, on an analysed factor, with B's largest eigenvalue
// estimated already.
Status solve_shifted(const TruncatedGower& op, ShiftInvert& t, double perron, int k, LeadingPairs& out,
                     Progress* progress, double residual_tolerance) {
  const long n = op.size();
  out = LeadingPairs{};
  const Basis basis = basis_for(k, n);
  if (k < 1 || basis.most < k + 2 * kWidth) return fail("the shift-invert solver needs more sites for k");
  if (progress) progress->stage("eigen-solver");
  const double lower = op.lower_bound(), upper = op.upper_bound();
  const double width = upper - lower;
  pcnm::Team team(pcnm::usable_processors() >= 2 ? 2 : 1);
  const OneBlasThread one_blas_thread;
  std::uint64_t products = kPerronSteps, solves = 0;
  try {
    bool factored = false;
    double gap = kFirstGap * width;
    for (int attempt = 0; attempt < kShiftTries && !factored; ++attempt, gap *= 10) {
      if (progress) progress->poll();
      factored = t.factor(perron + gap);
    }
    if (!factored) return fail("no shift made the shifted matrix positive definite");
    const double sigma = t.shift();
    ++solves;

    Tall tall(team, n, basis.most);
    std::uint64_t seed = 5000;
    std::vector<double> v(static_cast<std::size_t>(n) * basis.most), w(static_cast<std::size_t>(n) * kWidth);
    const auto col = [n](std::vector<double>& base, long j) { return base.data() + static_cast<std::size_t>(j) * n; };
    Matrix h = Matrix::Zero(basis.most, basis.most);
    fill_random(v.data(), static_cast<std::size_t>(n) * kWidth, 1);
    for (long j = 0; j < kWidth; ++j) {
      double* c = col(v, j);
      const double mean = std::accumulate(c, c + n, 0.0) / static_cast<double>(n);
      for (long i = 0; i < n; ++i) c[i] -= mean;
    }
    orthonormalize(tall, v.data(), kWidth, nullptr, 0, seed);
    long m = kWidth;
    const double aim_share = kConvergedShare * residual_tolerance;
    Matrix ritz;  // of the basis less its newest block, when converged
    long converged_basis = 0;
    bool near = false;  // the last step's bound within kExactWithin of the aim
    for (int step = 0; step < kMostSteps; ++step) {
      if (progress) progress->poll();
      const long last = m - kWidth;
      // Near convergence, Z'Z for Z = (sigma I - G) V_last, before the
      // solve takes w: the residuals on G below need it, and one product a
      // column with the block in w costs half the two a column that
      // V_last' (sigma I - G)^2 V_last would, with one pass over w instead
      // of one over V_last a column.
      Matrix zz;
      if (near) {
        // A column at a time: a block product would lay out tiles of its
        // own, 256 bytes a site.
        for (long j = 0; j < kWidth; ++j) {
          op.apply_block(col(v, last + j), w.data() + static_cast<std::size_t>(j) * n, 1, -1, sigma);
        }
        products += kWidth;
        zz = tall.cross(w.data(), kWidth, w.data(), kWidth);
        zz = (zz + zz.transpose()).eval() / 2;
      }
      t.solve(col(v, last), w.data(), kWidth);
      solves += kWidth;
      // The new column block of V' T V, projected out twice, always. T's
      // top eigenvalue stands thousands of times above the k-th, so a
      // block's part along the top is that many times its other parts, and
      // one pass leaves rounding of its size along the basis. Projecting
      // again only where a column shrank a hundredfold let that residue
      // build up over restarts: the top Ritz value of a 60 x 38 grid grew
      // without bound and the run never converged.
      const Matrix coupling = tall.project_out_twice(w.data(), kWidth, v.data(), m);
      h.block(0, last, m, kWidth) = coupling;
      h.block(last, 0, kWidth, m) = coupling.transpose();
      const Matrix diag = h.block(last, last, kWidth, kWidth);
      h.block(last, last, kWidth, kWidth) = (diag + diag.transpose()) / 2;

      // The Ritz pairs of the basis less its newest block, whose residuals
      // T y - theta y lie in the newest block: V_b' T V_b = H_b and
      // T V_b = V_b H_b + V_last E. On G: G y - (sigma - 1/theta) y =
      // (sigma I - G)(T y - theta y) / theta.
      const long b = last;
      if (b >= k) {
        Eigen::SelfAdjointEigenSolver<Matrix> e(h.topLeftCorner(b, b));
        const Matrix s = e.eigenvectors().rowwise().reverse();
        const Eigen::VectorXd theta = e.eigenvalues().reverse();
        const Matrix es = h.block(last, 0, kWidth, b) * s.leftCols(k);
        double scale = 0;
        for (long j = 0; j < k; ++j) scale = std::max(scale, std::fabs(sigma - 1 / theta[j]));
        const double aim = aim_share * scale;
        double worst_bound = 0;
        for (long j = 0; j < k; ++j) {
          worst_bound = std::max(worst_bound, (sigma - lower) * es.col(j).norm() / theta[j]);
        }
        bool done = worst_bound <= aim;
        near = worst_bound <= kExactWithin * aim;
        if (!done && zz.size() > 0) {
          double worst = 0;
          for (long j = 0; j < k; ++j) {
            const double r2 = es.col(j).dot(zz * es.col(j));
            worst = std::max(worst, std::sqrt(std::max(r2, 0.0)) / theta[j]);
          }
          done = worst <= aim;
          if (progress) {
            char text[96];
            std::snprintf(text, sizeof text, "residual %.2g of the largest eigenvalue, %llu solves", worst / scale,
                          static_cast<unsigned long long>(solves));
            progress->detail(text);
          }
        }
        if (done) {
          ritz = s.leftCols(k);
          converged_basis = b;
          break;
        }
      }

      // The next block, orthonormal to the basis: projected already, it
      // needs only orthonormalizing within itself, unless a column was lost
      // to rounding (an invariant subspace reached) and drawn again.
      if (!orthonormalize_within(tall, w.data(), kWidth)) orthonormalize(tall, w.data(), kWidth, v.data(), m, seed);
      if (m + kWidth <= basis.most) {
        std::copy_n(w.data(), static_cast<std::size_t>(n) * kWidth, col(v, m));
        m += kWidth;
        continue;
      }
      // Thick restart: the leading Ritz vectors of the whole basis, whose
      // residuals lie along the next block (Stewart's Krylov-Schur).
      Eigen::SelfAdjointEigenSolver<Matrix> e(h.topLeftCorner(m, m));
      const Matrix s = e.eigenvectors().rowwise().reverse().leftCols(basis.keep);
      tall.times(v.data(), m, s);
      h.setZero();
      for (long j = 0; j < basis.keep; ++j) h(j, j) = e.eigenvalues()[m - 1 - j];
      std::copy_n(w.data(), static_cast<std::size_t>(n) * kWidth, col(v, basis.keep));
      m = basis.keep + kWidth;
    }
    if (converged_basis == 0) return fail("the shift-invert eigen-solver did not converge");
    tall.times(v.data(), converged_basis, ritz);
    v.resize(static_cast<std::size_t>(n) * k);

    out.products = products;
    out.solves = solves;
    out.method = "shift-invert";
    out.block = static_cast<int>(basis.most);
    out.shift = sigma;
    out.factor_entries = t.factor_entries();
    // Fresh products a column at a time, through the block's first.
    return finish_leading_pairs(op, tall, v, k, w.data(), 1, residual_tolerance, out);
  } catch (const std::bad_alloc&) {
    return fail("the shift-invert eigen-solver ran out of memory");
  } catch (const std::logic_error& e) {
    // A solve CHOLMOD refused: the block solver may still succeed.
    return fail(std::string("the shift-invert eigen-solver failed: ") + e.what());
  }
}

}  // namespace

Status shift_invert_leading_eigenpairs(const TruncatedGower& op, int k, LeadingPairs& out, Progress* progress,
                                       double residual_tolerance) {
  out = LeadingPairs{};
  try {
    if (progress) progress->stage("eigen-solver");
    ShiftInvert t(op);
    if (progress) progress->poll();
    return solve_shifted(op, t, largest_of_b(op, kPerronSteps), k, out, progress, residual_tolerance);
  } catch (const std::bad_alloc&) {
    return fail("the shift-invert eigen-solver ran out of memory");
  }
}

Status gower_leading_eigenpairs(const TruncatedGower& op, int k, LeadingPairs& out, Progress* progress,
                                double residual_tolerance) {
  const long n = op.size();
  const long b = block_size(k);
  const Basis basis = basis_for(k, n);
  if (k >= 1 && n >= kShiftInvertLeast && 4 * b <= n && basis.most >= k + 2 * kWidth) {
    const double lower = op.lower_bound(), upper = op.upper_bound();
    if (progress) progress->stage("eigen-solver");
    const double perron = largest_of_b(op, kPerronSteps);
    if (upper - perron <= kLatticeShare * (upper - lower)) {
      try {
        ShiftInvert t(op);
        const double dn = static_cast<double>(n);
        // The factor, the basis and the block after it, z and a column
        // for each thread.
        const double shift_bytes = 8 * (t.factor_entries() + dn * static_cast<double>(basis.most + kWidth + 3));
        const double block_bytes = dn * static_cast<double>(16 * b + 264);
        if (shift_bytes <= kMemoryShare * block_bytes || shift_bytes <= kMachineShare * machine_memory()) {
          if (progress) progress->poll();
          if (solve_shifted(op, t, perron, k, out, progress, residual_tolerance).ok()) return {};
        }
      } catch (const std::bad_alloc&) {
        // The block solver needs less.
      }
    }
  }
  return leading_eigenpairs(op, op.lower_bound(), op.upper_bound(), k, out, progress, residual_tolerance);
}

}  // namespace ortelix::large
