// Dense work on tall blocks of vectors (n rows, a few hundred columns at
// most), shared by the block eigen-solvers: products over the rows split in
// two fixed halves, so that the results do not depend on the threads, and
// orthonormalization.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include <Eigen/Core>

#include "base/expected.h"
#include "large/block_dense.h"
#include "large/lanczos.h"
#include "pcnm/team.h"

namespace ortelix::large {

using Matrix = Eigen::MatrixXd;

// Rows of one piece of an in-place product with a small matrix.
constexpr long kChunk = 512;

// Dense products over the rows of tall blocks (column-major, leading
// dimension n): a cross product is the sum of the two halves'.
class Tall {
 public:
  Tall(pcnm::Team& team, long n, long most_columns)
      : team_(team), kernels_(dense_kernels()), n_(n), mid_(n / 2), split_(n >= 4096) {
    for (Matrix& t : scratch_) t.resize(std::min(kChunk, n), most_columns);
  }
  long n() const { return n_; }

  // X' Y, X with a columns and Y with c.
  Matrix cross(const double* x, long a, const double* y, long c) {
    Matrix part[2] = {Matrix(a, c), Matrix(a, c)};
    team_.run(split_, [&](int p) {
      const long r0 = p == 0 ? 0 : mid_, h = (p == 0 ? mid_ : n_) - r0;
      kernels_.cross(x + r0, y + r0, h, n_, a, c, part[p].data());
    });
    return part[0] + part[1];
  }

  // The first c columns of X become X M (M: a x c, c <= a).
  void times(double* x, long a, const Matrix& m) {
    team_.run(split_, [&](int p) {
      const long r0 = p == 0 ? 0 : mid_, h = (p == 0 ? mid_ : n_) - r0;
      kernels_.times(x + r0, h, n_, a, m.data(), m.cols(), scratch_[p].data(), kChunk);
    });
  }

  // X -= V C.
  void subtract(double* x, long a, const double* v, long l, const Matrix& c) {
    team_.run(split_, [&](int p) {
      const long r0 = p == 0 ? 0 : mid_, h = (p == 0 ? mid_ : n_) - r0;
      kernels_.subtract(x + r0, v + r0, h, n_, a, l, c.data());
    });
  }

  // X (a columns) loses its parts along the l orthonormal columns of V,
  // twice, as rounding leaves the first pass's remainder along V at the
  // size of its rounding (classical Gram-Schmidt, reorthogonalized);
  // returns V' X as it was (the sum of both passes' coefficients). Three
  // passes over V instead of four: the first subtraction and the second
  // cross product go a piece of rows at a time, the piece of V in cache for
  // the second. Where V is a tall basis and X a few columns, reading V is
  // the whole cost.
  Matrix project_out_twice(double* x, long a, const double* v, long l) {
    const Matrix first = cross(v, l, x, a);
    // Pieces of V of at most 48 K numbers (384 KB), whole cache lines.
    const long piece = std::clamp(49152 / std::max(l, 1L), 64L, 1024L) / 8 * 8;
    Matrix part[2] = {Matrix(l, a), Matrix(l, a)};
    team_.run(split_, [&](int p) {
      const long r0 = p == 0 ? 0 : mid_, h = (p == 0 ? mid_ : n_) - r0;
      kernels_.subtract_cross(x + r0, v + r0, h, n_, a, l, first.data(), piece, part[p].data());
    });
    const Matrix second = part[0] + part[1];
    subtract(x, a, v, l, second);
    return first + second;
  }

  // Squared norms of the columns of Y - X diag(theta) (theta null: of X).
  std::vector<double> column_norms2(const double* y, const double* x, const double* theta, long a) {
    std::vector<double> part[2];
    team_.run(split_, [&](int p) {
      const long r0 = p == 0 ? 0 : mid_, r1 = p == 0 ? mid_ : n_;
      part[p].assign(static_cast<std::size_t>(a), 0.0);
      for (long j = 0; j < a; ++j) {
        const double* yc = y + static_cast<std::size_t>(j) * n_;
        const double* xc = x ? x + static_cast<std::size_t>(j) * n_ : nullptr;
        double s = 0;
        for (long r = r0; r < r1; ++r) {
          const double d = xc ? yc[r] - theta[j] * xc[r] : yc[r];
          s += d * d;
        }
        part[p][j] = s;
      }
    });
    for (long j = 0; j < a; ++j) part[0][j] += part[1][j];
    return part[0];
  }

  void scale_columns(double* x, long a, const std::vector<double>& factor) {
    team_.run(split_, [&](int p) {
      const long r0 = p == 0 ? 0 : mid_, r1 = p == 0 ? mid_ : n_;
      for (long j = 0; j < a; ++j) {
        double* xc = x + static_cast<std::size_t>(j) * n_;
        for (long r = r0; r < r1; ++r) xc[r] *= factor[j];
      }
    });
  }

 private:
  pcnm::Team& team_;
  const DenseKernels& kernels_;
  long n_, mid_;
  bool split_;
  Matrix scratch_[2];
};

// Uniform numbers in [-1, 1) from a seed, the same with every library.
void fill_random(double* x, std::size_t count, std::uint64_t seed);

// Makes the a columns at x orthonormal and orthogonal to the l columns at
// v (orthonormal already); a column lost to rounding is drawn again at
// random (seeds from ++seed).
void orthonormalize(Tall& tall, double* x, long a, const double* v, long l, std::uint64_t& seed);

// The a columns at x made orthonormal among themselves (SVQB, twice), when
// none is lost to rounding: false otherwise, x then unusable.
bool orthonormalize_within(Tall& tall, double* x, long a);

// Gives the pages of v beyond its size back to the system, its capacity
// kept: a vector cut from a wide workspace would otherwise hold the whole
// of it (and copying it into a vector of its size would, for a while,
// hold both).
void release_spare(std::vector<double>& v);

// The last step of the block eigen-solvers: the Rayleigh quotients and
// residual norms ||G v - lambda v|| of the first k columns of v (n rows
// each, unit or not) on fresh products with op, `width` columns at a time
// through y (n x width at least), then those columns in decreasing order of
// their quotients, in place. Sets out's values, largest_residual and
// vectors (v, cut to k columns) and counts the products; fails where a
// residual exceeds `tolerance` times the largest |eigenvalue|.
Status finish_leading_pairs(const SymmetricOperator& op, Tall& tall, std::vector<double>& v, int k, double* y,
                            long width, double tolerance, LeadingPairs& out);

}  // namespace ortelix::large
