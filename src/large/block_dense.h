// The block solver's dense products over tall blocks, built once for
// every processor and once for AVX2 (the build compiles block_dense.cc
// twice); dense_kernels() picks the widest the processor runs.
#pragma once

namespace ortelix::large {

struct DenseKernels {
  // out (a x c) = X' Y, X and Y of `rows` rows (leading dimension ld).
  void (*cross)(const double* x, const double* y, long rows, long ld, long a, long c, double* out);
  // The first c columns of X become X M (M: a x c, c <= a), by pieces of
  // at most `piece` rows through `scratch` (piece x c).
  void (*times)(double* x, long rows, long ld, long a, const double* m, long c, double* scratch, long piece);
  // X (a columns) -= V C (V: l columns, C: l x a).
  void (*subtract)(double* x, const double* v, long rows, long ld, long a, long l, const double* c);
  // X -= V C, then out (l x a) = V' X, by pieces of at most `piece` rows:
  // each piece of V is read from memory once for both.
  void (*subtract_cross)(double* x, const double* v, long rows, long ld, long a, long l, const double* c, long piece,
                         double* out);
};

const DenseKernels& dense_kernels();

}  // namespace ortelix::large
