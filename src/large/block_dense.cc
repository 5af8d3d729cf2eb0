// Compiled once per instruction set: BLOCK_DENSE_SET names the copy, and
// BLOCK_DENSE_EIGEN renames Eigen's namespace in the wider copies, so
// that the linker cannot merge their instantiations with the plain ones
// of the other files (or run one set's code on a processor without it).
#ifdef BLOCK_DENSE_EIGEN
#define Eigen BLOCK_DENSE_EIGEN
#endif
#include <Eigen/Core>

#include <algorithm>
#include <vector>

#include "large/block_dense.h"

#ifndef BLOCK_DENSE_SET
#define BLOCK_DENSE_SET generic
#endif

namespace ortelix::large::BLOCK_DENSE_SET {
namespace {

using Matrix = Eigen::MatrixXd;
using Block = Eigen::Map<Matrix, 0, Eigen::OuterStride<>>;
using ConstBlock = Eigen::Map<const Matrix, 0, Eigen::OuterStride<>>;

// Products with a block of exactly kNarrow columns (the shift-invert
// solver's block) are not Eigen's: for so few columns its products pack
// the whole tall operand into panels, and on a million grid sites the
// packing took as long as the arithmetic, a fifth of the run. Here the
// narrow block goes row-major a piece at a time, in the first-level cache,
// and each lane of a vector register keeps one of its columns: every sum
// runs over the rows in order, nothing is split or reassociated.
constexpr long kNarrow = 16;
constexpr long kPieceRows = 128;  // 16 KB of the narrow block

// The lanes of a vector register (four doubles with AVX, two in the plain
// copy), loaded and stored whatever the alignment.
#ifdef __AVX__
constexpr long kLanes = 4;
#else
constexpr long kLanes = 2;
#endif
typedef double Lanes __attribute__((vector_size(8 * kLanes)));
constexpr long kQuads = kNarrow / kLanes;
inline Lanes load(const double* p) {
  Lanes v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}
inline void store(double* p, Lanes v) { __builtin_memcpy(p, &v, sizeof v); }
inline Lanes splat(double x) {
  Lanes v;
  for (long i = 0; i < kLanes; ++i) v[i] = x;
  return v;
}

// Rows [0, count) of a narrow block (column-major, leading dimension ld)
// into dst, row-major.
void to_rows(const double* src, long count, long ld, double* dst) {
  for (long t = 0; t < kNarrow; ++t) {
    for (long r = 0; r < count; ++r) dst[r * kNarrow + t] = src[t * ld + r];
  }
}

// out (a x kNarrow) = X' Y, Y the narrow block: two columns of X at a
// time, their sums in eight registers through a piece.
void cross_narrow(const double* x, const double* y, long rows, long ld, long a, double* out) {
  std::vector<double> sum(static_cast<std::size_t>(a * kNarrow), 0.0);  // row-major
  alignas(64) double yt[kPieceRows * kNarrow];
  for (long r0 = 0; r0 < rows; r0 += kPieceRows) {
    const long h = std::min(kPieceRows, rows - r0);
    to_rows(y + r0, h, ld, yt);
    long j = 0;
    for (; j + 2 <= a; j += 2) {
      Lanes s0[kQuads], s1[kQuads];
#pragma GCC unroll 8
      for (long q = 0; q < kQuads; ++q) {
        s0[q] = load(&sum[j * kNarrow + q * kLanes]);
        s1[q] = load(&sum[(j + 1) * kNarrow + q * kLanes]);
      }
      const double* x0 = x + j * ld + r0;
      const double* x1 = x0 + ld;
      for (long r = 0; r < h; ++r) {
        const double* w = yt + r * kNarrow;
        const Lanes a0 = splat(x0[r]), a1 = splat(x1[r]);
#pragma GCC unroll 8
        for (long q = 0; q < kQuads; ++q) {
          const Lanes wq = load(w + q * kLanes);
          s0[q] += a0 * wq;
          s1[q] += a1 * wq;
        }
      }
#pragma GCC unroll 8
      for (long q = 0; q < kQuads; ++q) {
        store(&sum[j * kNarrow + q * kLanes], s0[q]);
        store(&sum[(j + 1) * kNarrow + q * kLanes], s1[q]);
      }
    }
    for (; j < a; ++j) {
      Lanes s0[kQuads];
#pragma GCC unroll 8
      for (long q = 0; q < kQuads; ++q) s0[q] = load(&sum[j * kNarrow + q * kLanes]);
      const double* x0 = x + j * ld + r0;
      for (long r = 0; r < h; ++r) {
        const Lanes a0 = splat(x0[r]);
#pragma GCC unroll 8
        for (long q = 0; q < kQuads; ++q) s0[q] += a0 * load(yt + r * kNarrow + q * kLanes);
      }
#pragma GCC unroll 8
      for (long q = 0; q < kQuads; ++q) store(&sum[j * kNarrow + q * kLanes], s0[q]);
    }
  }
  for (long j = 0; j < a; ++j) {
    for (long t = 0; t < kNarrow; ++t) out[t * a + j] = sum[j * kNarrow + t];
  }
}

// X (kNarrow columns) -= V C, V with l columns: a piece of X's rows at a
// time, row-major in the first-level cache, taking two columns of V at a
// time down the piece (one memory stream each); each element's
// subtractions in the order of V's columns.
void subtract_narrow(double* x, const double* v, long rows, long ld, long l, const double* c) {
  std::vector<double> ct(static_cast<std::size_t>(l * kNarrow));  // C row-major
  to_rows(c, l, l, ct.data());
  alignas(64) double xt[kPieceRows * kNarrow];
  for (long r0 = 0; r0 < rows; r0 += kPieceRows) {
    const long h = std::min(kPieceRows, rows - r0);
    to_rows(x + r0, h, ld, xt);
    long j = 0;
    for (; j + 2 <= l; j += 2) {
      Lanes c0[kQuads], c1[kQuads];
#pragma GCC unroll 8
      for (long q = 0; q < kQuads; ++q) {
        c0[q] = load(ct.data() + j * kNarrow + q * kLanes);
        c1[q] = load(ct.data() + (j + 1) * kNarrow + q * kLanes);
      }
      const double* v0 = v + j * ld + r0;
      const double* v1 = v0 + ld;
      for (long r = 0; r < h; ++r) {
        const Lanes a0 = splat(v0[r]), a1 = splat(v1[r]);
        double* xr = xt + r * kNarrow;
#pragma GCC unroll 8
        for (long q = 0; q < kQuads; ++q) store(xr + q * kLanes, (load(xr + q * kLanes) - a0 * c0[q]) - a1 * c1[q]);
      }
    }
    for (; j < l; ++j) {
      const double* v0 = v + j * ld + r0;
      for (long r = 0; r < h; ++r) {
        const Lanes a0 = splat(v0[r]);
        double* xr = xt + r * kNarrow;
#pragma GCC unroll 8
        for (long q = 0; q < kQuads; ++q) {
          store(xr + q * kLanes, load(xr + q * kLanes) - a0 * load(ct.data() + j * kNarrow + q * kLanes));
        }
      }
    }
    for (long t = 0; t < kNarrow; ++t) {
      for (long r = 0; r < h; ++r) x[t * ld + r0 + r] = xt[r * kNarrow + t];
    }
  }
}

void cross(const double* x, const double* y, long rows, long ld, long a, long c, double* out) {
  if (c == kNarrow) return cross_narrow(x, y, rows, ld, a, out);
  Eigen::Map<Matrix>(out, a, c).noalias() =
      ConstBlock(x, rows, a, Eigen::OuterStride<>(ld)).transpose() * ConstBlock(y, rows, c, Eigen::OuterStride<>(ld));
}

void times(double* x, long rows, long ld, long a, const double* m, long c, double* scratch, long piece) {
  const Eigen::Map<const Matrix> mm(m, a, c);
  for (long r = 0; r < rows; r += piece) {
    const long h = rows - r < piece ? rows - r : piece;
    Block block(x + r, h, a, Eigen::OuterStride<>(ld));
    Eigen::Map<Matrix> t(scratch, h, c);
    t.noalias() = block * mm;
    block.leftCols(c) = t;
  }
}

void subtract(double* x, const double* v, long rows, long ld, long a, long l, const double* c) {
  if (a == kNarrow) return subtract_narrow(x, v, rows, ld, l, c);
  Block(x, rows, a, Eigen::OuterStride<>(ld)).noalias() -=
      ConstBlock(v, rows, l, Eigen::OuterStride<>(ld)) * Eigen::Map<const Matrix>(c, l, a);
}

void subtract_cross(double* x, const double* v, long rows, long ld, long a, long l, const double* c, long piece,
                    double* out) {
  Eigen::Map<Matrix> acc(out, l, a);
  acc.setZero();
  for (long r = 0; r < rows; r += piece) {
    const long h = rows - r < piece ? rows - r : piece;
    subtract(x + r, v + r, h, ld, a, l, c);
    Matrix part(l, a);
    cross(v + r, x + r, h, ld, l, a, part.data());
    acc += part;
  }
}

}  // namespace

extern const DenseKernels kernels;
const DenseKernels kernels{cross, times, subtract, subtract_cross};

}  // namespace ortelix::large::BLOCK_DENSE_SET
