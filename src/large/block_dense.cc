// Compiled once per instruction set: BLOCK_DENSE_SET names the copy, and
// BLOCK_DENSE_EIGEN renames Eigen's namespace in the wider copies, so
// that the linker cannot merge their instantiations with the plain ones
// of the other files (or run one set's code on a processor without it).
#ifdef BLOCK_DENSE_EIGEN
#define Eigen BLOCK_DENSE_EIGEN
#endif
#include <Eigen/Core>

#include "large/block_dense.h"

#ifndef BLOCK_DENSE_SET
#define BLOCK_DENSE_SET generic
#endif

namespace ortelix::large::BLOCK_DENSE_SET {
namespace {

using Matrix = Eigen::MatrixXd;
using Block = Eigen::Map<Matrix, 0, Eigen::OuterStride<>>;
using ConstBlock = Eigen::Map<const Matrix, 0, Eigen::OuterStride<>>;

void cross(const double* x, const double* y, long rows, long ld, long a, long c, double* out) {
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
  Block(x, rows, a, Eigen::OuterStride<>(ld)).noalias() -=
      ConstBlock(v, rows, l, Eigen::OuterStride<>(ld)) * Eigen::Map<const Matrix>(c, l, a);
}

}  // namespace

extern const DenseKernels kernels;
const DenseKernels kernels{cross, times, subtract};

}  // namespace ortelix::large::BLOCK_DENSE_SET
