// The table of inner loops shared by the fast eigen kernels and the
// correlation check, one table per instruction set (fast_simd.h), chosen at
// run time. Plain types only: this header is compiled for every instruction
// set.
#pragma once

namespace ortelix::pcnm {

// Rotations first..first+count-1 of a record, applied in that order to the
// column pairs (top, top+1), (top-1, top), ... (0-based columns).
struct RotationSweep {
  int top;
  int count;
  long first;
};

// Width of the packed panels of the accumulation and of the row blocks of
// the rotations; each thread brings kPanel * (order of the matrix) doubles
// of scratch.
constexpr int kPanel = 32;

struct FastKernels {
  // Householder reduction: rank-2 update of the previous row (u, q; none when
  // u is null) on columns [0, ncols) and rows [r0, r1), fused with the
  // product p2 += A u2 of the next row for rows below lp (none when u2 is
  // null).
  void (*householder_pass)(double* a, long ld, int ncols, int r0, int r1, const double* u, const double* q,
                           const double* u2, double* p2, int lp);
  // Accumulation: steps [s0, s1) applied to the columns [j0, j1) of the
  // transposed matrix; U and V hold the vectors of the steps (row s - s0,
  // leading dimension uvld), active[s - s0] tells whether step s applies.
  void (*accumulate_columns)(double* a, long ld, int j0, int j1, int s0, int s1, const double* U, const double* V,
                             long uvld, const unsigned char* active, double* scratch);
  // QL: the recorded rotations, in order, on rows [r0, r1) of the columns
  // [0, ncols).
  void (*rotate_rows)(double* a, long ld, int ncols, int r0, int r1, const RotationSweep* sweeps, int nsweeps,
                      const double* c, const double* s, double* scratch);
  // c(r, s) = sum over t < k of at(r, t) b(t, s), at stored transposed.
  void (*cross_products)(const double* at, const double* b, double* c, long ld, int k, int r0, int r1, int s0,
                         int s1);
};

enum class Isa { kAuto, kGeneric, kAvx2, kAvx512 };

// Whether this processor runs the given instruction set (kAuto and
// kGeneric: always).
bool isa_supported(Isa isa);

// The table for an instruction set; kAuto picks the widest supported.
const FastKernels& fast_kernels(Isa isa);

}  // namespace ortelix::pcnm
