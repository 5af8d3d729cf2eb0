#include "large/lanczos.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include <Eigen/Core>
#include <Eigen/Eigenvalues>
#include <Spectra/SymEigsSolver.h>

#include "large/block_solver.h"
#include "large/progress.h"

namespace ortelix::large {
namespace {

// Products with the operator per application of the filter, at most. Each
// application costs `kDegree` passes over the near pairs and saves the
// solver Lanczos steps, each of which orthogonalizes against all the
// vectors it keeps. Where the products are dear (many near pairs a site)
// the amplification bound below keeps the degree lower anyway; on a grid,
// where they are cheap, 40 took 100 000 sites 11% faster than 20, and 60
// or 80 slower again.
constexpr int kDegree = 40;

// The filter amplifies the largest eigenvalue at most this many times more
// than the cut: a Krylov basis holds a direction only to the rounding of
// the largest, so too wide a range would leave the k-th eigenvector
// accurate to a few digits where one large group of sites stands out.
constexpr double kAmplification = 1e5;

// How many times the filter must raise the k-th eigenvalue above the
// largest value it leaves the eigenvalues it damps (1).
constexpr double kLift = 10;

// The runs that only place the cut may amplify far more: they need a bound
// on the k-th eigenvalue, not accurate eigenvectors, and a wide range
// brings the top of a crowded spectrum out in fewer of them.
constexpr double kSharpeningAmplification = 1e8;

// At most this many runs to place the cut. They stop sooner once a run
// brings the bound less than 70% closer to the top, or once the k-th
// Ritz vector's residual is within 10% of the distance from the bound to
// the top: there is an eigenvalue within the residual of the bound, so the
// next run could move it only a little.
constexpr int kSharpenings = 6;
constexpr double kLeastGain = 0.3;
constexpr double kSettled = 0.1;

// Spectra's convergence test on the filtered operator: a Ritz pair is taken
// once its residual estimate is below this times its Ritz value.
constexpr double kSolverTolerance = 1e-10;

// From this order on, the block solver: below it the products are too
// cheap for their pass over the operator to matter, and the Lanczos
// basis too small for its orthogonalization to.
constexpr long kBlockLeast = 5000;

// The operators in the form Spectra takes them.
class Plain {
 public:
  using Scalar = double;
  Plain(const SymmetricOperator& op, Progress* progress) : op_(op), progress_(progress) {}
  Eigen::Index rows() const { return op_.size(); }
  Eigen::Index cols() const { return op_.size(); }
  void perform_op(const double* x, double* y) const {
    op_.apply(x, y);
    ++products;
    if (progress_) {
      progress_->detail(std::to_string(products) + " products");
      // The products are nearly all of the solver's time: a caller that
      // cannot end the process (an embedding interpreter) stops it here.
      progress_->poll();
    }
  }
  mutable std::uint64_t products = 0;

 private:
  const SymmetricOperator& op_;
  Progress* progress_;
};

// The Chebyshev polynomial of degree m of the operator that maps [lower,
// cut] onto [-1, 1], scaled by its value at `upper` so that nothing
// overflows (the three-term recurrence of Zhou and Saad, 2007).
class Filter {
 public:
  using Scalar = double;
  Filter(const Plain& op, int m, double lower, double cut, double upper)
      : op_(op), m_(m), e_((cut - lower) / 2), c_((cut + lower) / 2), sigma1_(e_ / (upper - c_)),
        y0_(op.rows()), y1_(op.rows()), w_(op.rows()) {}
  Eigen::Index rows() const { return op_.rows(); }
  Eigen::Index cols() const { return op_.cols(); }
  void perform_op(const double* x, double* y) const {
    const long n = op_.rows();
    double sigma = sigma1_;
    const double tau = 2 / sigma1_;
    op_.perform_op(x, w_.data());
    for (long i = 0; i < n; ++i) {
      y0_[i] = x[i];
      y1_[i] = (w_[i] - c_ * x[i]) * (sigma / e_);
    }
    for (int step = 2; step <= m_; ++step) {
      const double next = 1 / (tau - sigma);
      op_.perform_op(y1_.data(), w_.data());
      for (long i = 0; i < n; ++i) {
        const double v = (2 * next / e_) * (w_[i] - c_ * y1_[i]) - (sigma * next) * y0_[i];
        y0_[i] = y1_[i];
        y1_[i] = v;
      }
      sigma = next;
    }
    std::copy(y1_.begin(), y1_.end(), y);
  }

 private:
  const Plain& op_;
  int m_;
  double e_, c_, sigma1_;
  mutable std::vector<double> y0_, y1_, w_;
};

// What the solver knows of the top of the spectrum before its main run.
struct Estimate {
  double bound = 0;       // at most the k-th eigenvalue
  double top = 0;         // about the largest
  Eigen::VectorXd start;  // a start vector for the next run
  double residual = 0;    // ||G u - bound u|| of the k-th Ritz vector u
};

// The operator compressed to the span of the k columns of v (orthonormal,
// as a Lanczos run leaves its Ritz vectors): its eigenvalues, of which
// the k-th is at most the operator's k-th.
Estimate rayleigh_ritz(const Plain& op, const Eigen::MatrixXd& v) {
  const Eigen::Index n = v.rows(), k = v.cols();
  Eigen::MatrixXd w(n, k);
  for (Eigen::Index j = 0; j < k; ++j) op.perform_op(v.col(j).data(), w.col(j).data());
  Eigen::MatrixXd h = v.transpose() * w;
  h = (h + h.transpose()) / 2;
  Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> small(h);
  Estimate e;
  e.bound = small.eigenvalues()[0];
  e.top = small.eigenvalues()[k - 1];
  e.start = (v * small.eigenvectors()).rowwise().sum();
  const Eigen::VectorXd y = small.eigenvectors().col(0);  // the k-th, for the bound
  e.residual = (w * y - e.bound * (v * y)).norm();
  return e;
}

struct Cut {
  double at = 0;   // the filter damps [lower, at]
  int degree = 1;  // 1: no filter
};

Cut cut_for(const Estimate& e, double lower, double upper, double amplification = kAmplification) {
  // Below the bound, so that the k-th eigenvalue is strictly in the part
  // the filter amplifies, and far enough below that the filter lifts it
  // clear of the damped eigenvalues: the solver tests its vectors on the
  // filtered operator, where a vector that mixes the k-th eigenvector with
  // one just below the cut would pass for converged.
  for (double margin = 1e-3; margin < 1; margin *= 2) {
    Cut c;
    c.at = e.bound - margin * (e.bound - lower);
    if (!(c.at - lower > 1e-8 * (upper - lower) && upper > c.at)) return Cut{};
    // T_m grows like cosh(m acosh y) above the cut, y = 1 there.
    const auto y = [&](double lambda) { return (2 * lambda - (c.at + lower)) / (c.at - lower); };
    const double y_top = y(e.top);
    c.degree = y_top > 1 ? std::clamp(static_cast<int>(std::acosh(amplification) / std::acosh(y_top)), 1, kDegree)
                         : kDegree;
    if (c.degree == 1 || std::cosh(c.degree * std::acosh(y(e.bound))) >= kLift) return c;
  }
  return Cut{};
}

}  // namespace

Status leading_eigenpairs(const SymmetricOperator& op, double lower, double upper, int k,
                                              LeadingPairs& out, Progress* progress, double residual_tolerance) {
  const long n = op.size();
  if (k >= 1 && n >= kBlockLeast && 4L * block_size(k) <= n) {
    return block_leading_eigenpairs(op, lower, upper, k, out, progress, residual_tolerance);
  }
  return lanczos_leading_eigenpairs(op, lower, upper, k, out, progress, residual_tolerance);
}

Status lanczos_leading_eigenpairs(const SymmetricOperator& op, double lower, double upper, int k,
                                                      LeadingPairs& out, Progress* progress,
                                                      double residual_tolerance) {
  const long n = op.size();
  if (k < 1 || k > n - 2) return fail("the eigen-solver needs 1 <= k <= n - 2");
  const Eigen::Index ncv = std::min<Eigen::Index>(n, std::max(2 * k + 1, k + 16));
  Plain plain(op, progress);
  out = LeadingPairs{};
  try {
    if (progress) progress->stage("eigen-solver");
    // Where to cut: below the k-th eigenvalue, and as close to it as can be
    // known cheaply. A short Lanczos factorization (k + 16 steps) on the
    // operator gives a first bound; each run of ncv steps on the filter the
    // last bound allows gives a closer one. On a grid the leading
    // eigenvalues crowd within a few thousandths of the spectrum's width,
    // and the bound needs three or four runs to get among them; sites
    // spread at random need one. Each bound is the k-th
    // eigenvalue of the operator compressed to k orthonormal vectors, never
    // above the k-th eigenvalue (Courant and Fischer). Each run starts from
    // the sum of the vectors of the one before, already rich in the wanted
    // directions.
    Estimate estimate;
    {
      Spectra::SymEigsSolver<Plain> first(plain, k, std::min<Eigen::Index>(n, k + 16));
      first.init();
      first.compute(Spectra::SortRule::LargestAlge, 1, 1e300);
      estimate = rayleigh_ritz(plain, first.eigenvectors());
    }
    Cut cut = cut_for(estimate, lower, upper, kSharpeningAmplification);
    for (int round = 0; round < kSharpenings && cut.degree > 1; ++round) {
      Filter filter(plain, cut.degree, lower, cut.at, upper);
      Spectra::SymEigsSolver<Filter> closer(filter, k, ncv);
      closer.init(estimate.start.data());
      closer.compute(Spectra::SortRule::LargestAlge, 1, 1e300);
      const Estimate sharper = rayleigh_ritz(plain, closer.eigenvectors());
      const double before = estimate.top - estimate.bound;
      if (sharper.bound > estimate.bound) estimate = sharper;
      cut = cut_for(estimate, lower, upper, kSharpeningAmplification);
      const double after = estimate.top - estimate.bound;
      if (after > kLeastGain * before || estimate.residual <= kSettled * after) break;
    }
    cut = cut_for(estimate, lower, upper);

    Eigen::MatrixXd vectors;  // n x k
    if (cut.degree > 1) {
      Filter filter(plain, cut.degree, lower, cut.at, upper);
      Spectra::SymEigsSolver<Filter> solver(filter, k, ncv);
      solver.init(estimate.start.data());
      solver.compute(Spectra::SortRule::LargestAlge, 1000, kSolverTolerance);
      if (solver.info() != Spectra::CompInfo::Successful) return fail("the eigen-solver did not converge");
      vectors = solver.eigenvectors();
      out.degree = cut.degree;
      out.cut = cut.at;
    } else {
      Spectra::SymEigsSolver<Plain> solver(plain, k, ncv);
      solver.init(estimate.start.data());
      solver.compute(Spectra::SortRule::LargestAlge, 10000, kSolverTolerance);
      if (solver.info() != Spectra::CompInfo::Successful) return fail("the eigen-solver did not converge");
      vectors = solver.eigenvectors();
    }
    const bool filtered = cut.degree > 1;

    // Rayleigh quotients and residuals, then decreasing order.
    std::vector<double> values(static_cast<std::size_t>(k)), residuals(static_cast<std::size_t>(k));
    std::vector<double> w(static_cast<std::size_t>(n));
    for (int j = 0; j < k; ++j) {
      const double* v = vectors.data() + static_cast<std::size_t>(j) * n;
      plain.perform_op(v, w.data());
      double vv = 0, vw = 0;
      for (long i = 0; i < n; ++i) {
        vv += v[i] * v[i];
        vw += v[i] * w[i];
      }
      const double lambda = vw / vv;
      double rr = 0;
      for (long i = 0; i < n; ++i) {
        const double r = w[i] - lambda * v[i];
        rr += r * r;
      }
      values[j] = lambda;
      residuals[j] = std::sqrt(rr / vv);
    }
    std::vector<int> rank(static_cast<std::size_t>(k));
    std::iota(rank.begin(), rank.end(), 0);
    std::stable_sort(rank.begin(), rank.end(), [&](int a, int b) { return values[a] > values[b]; });
    out.vectors.resize(static_cast<std::size_t>(k) * n);
    for (int j = 0; j < k; ++j) {
      out.values.push_back(values[rank[j]]);
      std::copy_n(vectors.data() + static_cast<std::size_t>(rank[j]) * n, n,
                  out.vectors.data() + static_cast<std::size_t>(j) * n);
      out.largest_residual = std::max(out.largest_residual, residuals[rank[j]]);
    }
    if (filtered && out.values[k - 1] <= cut.at) {
      return fail("the eigen-solver's filter lost some of the leading eigenvalues");
    }
    const double scale = std::max(std::fabs(out.values[0]), std::fabs(out.values[k - 1]));
    if (!(out.largest_residual <= residual_tolerance * scale)) {
      char ratio[32];
      std::snprintf(ratio, sizeof ratio, "%.2g", out.largest_residual / scale);
      return fail(std::string("the eigen-solver's eigenvectors are not accurate enough (residual ") + ratio +
             " times the largest eigenvalue)");
    }
  } catch (const std::exception& e) {
    return fail(std::string("the eigen-solver failed: ") + e.what());
  }
  out.products = plain.products;
  out.method = "lanczos";
  return {};
}

}  // namespace ortelix::large
