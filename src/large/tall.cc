#include "large/tall.h"

#include <cmath>
#include <limits>
#include <random>

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

}  // namespace ortelix::large
