#include "large/tall.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numeric>
#include <string>
#include <limits>
#include <random>

#include <sys/mman.h>
#include <unistd.h>

#include <Eigen/Eigenvalues>

namespace ortelix::large {

void fill_random(double* x, std::size_t count, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  for (std::size_t i = 0; i < count; ++i) x[i] = static_cast<double>(rng() >> 11) * 0x1p-52 - 1.0;
}

// Makes the a columns at x orthonormal and orthogonal to the l columns at
// v (orthonormal already): twice, each time projecting v out, then
// X <- X U S^(-1/2) from X'X = U S U' (Stathopoulos and Wu's SVQB), which
// unlike Cholesky tolerates columns that are nearly dependent. A column
// lost to rounding is drawn again at random.
void orthonormalize(Tall& tall, double* x, long a, const double* v, long l, std::uint64_t& seed) {
  const long n = tall.n();
  for (int attempt = 0; attempt < 4; ++attempt) {
    for (int pass = 0; pass < 2; ++pass) {
      if (l > 0) tall.subtract(x, a, v, l, tall.cross(v, l, x, a));
      Matrix s = tall.cross(x, a, x, a);
      s = (s + s.transpose()).eval() / 2;
      // Unit columns first, so that only dependence, not scale, is left.
      Eigen::VectorXd d = s.diagonal().cwiseMax(std::numeric_limits<double>::min()).cwiseSqrt().cwiseInverse();
      s = d.asDiagonal() * s * d.asDiagonal();
      Eigen::SelfAdjointEigenSolver<Matrix> e(s);
      const double top = e.eigenvalues()[a - 1];
      const Eigen::VectorXd root =
          e.eigenvalues().cwiseMax(1e-30 * std::max(top, 1e-300)).cwiseSqrt().cwiseInverse();
      const Matrix m = d.asDiagonal() * e.eigenvectors() * root.asDiagonal();
      tall.times(x, a, m);
    }
    const std::vector<double> norms = tall.column_norms2(x, nullptr, nullptr, a);
    bool lost = false;
    for (long j = 0; j < a; ++j) {
      if (!(std::fabs(norms[j] - 1) < 1e-6)) {
        fill_random(x + static_cast<std::size_t>(j) * n, static_cast<std::size_t>(n), ++seed);
        lost = true;
      }
    }
    if (!lost) return;
  }
}

// Within the block only: no pass over other vectors. A block whose columns
// are nearly dependent (the smallest eigenvalue of the Gram matrix of its
// unit columns under 1e-6) would have its rounding amplified by SVQB more
// than a thousandfold, and is left to orthonormalize.
bool orthonormalize_within(Tall& tall, double* x, long a) {
  for (int pass = 0; pass < 2; ++pass) {
    Matrix s = tall.cross(x, a, x, a);
    s = (s + s.transpose()).eval() / 2;
    if (!(s.diagonal().minCoeff() > 0)) return false;
    const Eigen::VectorXd d = s.diagonal().cwiseSqrt().cwiseInverse();
    s = d.asDiagonal() * s * d.asDiagonal();
    Eigen::SelfAdjointEigenSolver<Matrix> e(s);
    if (!(e.eigenvalues()[0] > 1e-6)) return false;
    const Matrix m = d.asDiagonal() * e.eigenvectors() * e.eigenvalues().cwiseSqrt().cwiseInverse().asDiagonal();
    tall.times(x, a, m);
  }
  return true;
}

void release_spare(std::vector<double>& v) {
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<std::uintptr_t>(v.data() + v.size());
  const auto end = reinterpret_cast<std::uintptr_t>(v.data() + v.capacity());
  const std::uintptr_t first = (begin + page - 1) / page * page, last = end / page * page;
  // The elements beyond the size are no one's: their pages may read as
  // zeros from now on.
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

Status finish_leading_pairs(const SymmetricOperator& op, Tall& tall, std::vector<double>& v, int k, double* y,
                            long width, double tolerance, LeadingPairs& out) {
  const long n = tall.n();
  const auto col = [&](long j) { return v.data() + static_cast<std::size_t>(j) * n; };
  std::vector<double> values(static_cast<std::size_t>(k)), residuals(static_cast<std::size_t>(k));
  for (long j0 = 0; j0 < k; j0 += width) {
    const long w = std::min<long>(width, k - j0);
    op.apply_block(col(j0), y, w);
    out.products += static_cast<std::uint64_t>(w);
    const Matrix vw = tall.cross(col(j0), w, y, w);
    const std::vector<double> vv = tall.column_norms2(col(j0), nullptr, nullptr, w);
    for (long j = 0; j < w; ++j) values[j0 + j] = vw(j, j) / vv[j];
    const std::vector<double> rr = tall.column_norms2(y, col(j0), values.data() + j0, w);
    for (long j = 0; j < w; ++j) residuals[j0 + j] = std::sqrt(rr[j] / vv[j]);
  }
  std::vector<int> rank(static_cast<std::size_t>(k));
  std::iota(rank.begin(), rank.end(), 0);
  std::stable_sort(rank.begin(), rank.end(), [&](int a, int c) { return values[a] > values[c]; });
  // Columns into their ranks in place, a cycle at a time, through y.
  std::vector<char> placed(static_cast<std::size_t>(k), 0);
  for (int j = 0; j < k; ++j) {
    if (placed[j] || rank[j] == j) continue;
    std::copy_n(col(j), n, y);
    int at = j;
    while (rank[at] != j) {
      std::copy_n(col(rank[at]), n, col(at));
      placed[at] = 1;
      at = rank[at];
    }
    std::copy_n(y, n, col(at));
    placed[at] = 1;
  }
  v.resize(static_cast<std::size_t>(n) * k);
  out.values.clear();
  out.largest_residual = 0;
  for (int j = 0; j < k; ++j) {
    out.values.push_back(values[rank[j]]);
    out.largest_residual = std::max(out.largest_residual, residuals[rank[j]]);
  }
  out.vectors = std::move(v);
  const double scale = std::max(std::fabs(out.values[0]), std::fabs(out.values[k - 1]));
  if (!(out.largest_residual <= tolerance * scale)) {
    char ratio[32];
    std::snprintf(ratio, sizeof ratio, "%.2g", out.largest_residual / scale);
    return fail(std::string("the eigen-solver's eigenvectors are not accurate enough (residual ") + ratio +
                " times the largest eigenvalue)");
  }
  return {};
}

}  // namespace ortelix::large
