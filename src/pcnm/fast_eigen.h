// Fast Householder reduction and QL iteration. They perform, element by
// element, the floating-point operations of tred2_reference and
// tqli_reference in the same order, and so give the same bits; only the
// order in which independent elements are visited differs (blocks that stay
// in cache, several elements per vector register, two threads).
#pragma once

#include "base/index.h"

#include "pcnm/fast_kernels.h"

namespace ortelix::pcnm {

struct FastOptions {
  // 0: two threads when the processor has two and a step is large enough to
  // pay for the hand-over; 1 or 2: exactly that many for every step, however
  // small (the tests use this to exercise the split on small matrices).
  int threads = 0;
  // Instruction set of the inner loops; kAuto takes the widest this
  // processor runs. The results do not depend on it.
  Isa isa = Isa::kAuto;
};

// Same contract as tred2_reference.
void tred2_fast(double* a, Index n, Index ld, double* diag, double* offdiag, FastOptions options = {});

// The two phases of tred2_fast, apart for the benchmark: the reduction
// (diag holds each row's h, offdiag the sub-diagonal) and the accumulation
// of Q from what the reduction left in `a` and `diag`.
void householder_reduce_fast(double* a, Index n, Index ld, double* diag, double* offdiag, FastOptions options = {});
void householder_accumulate_fast(double* a, Index n, Index ld, double* diag, double* offdiag, FastOptions options = {});

// Same contract as tqli_reference; on failure the matrix holds every
// rotation made up to the give-up, as the reference leaves it.
bool tqli_fast(double* diag, double* offdiag, Index n, Index ld, double* a, FastOptions options = {});

}  // namespace ortelix::pcnm
