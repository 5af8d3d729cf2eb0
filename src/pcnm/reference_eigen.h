// The reference eigen-decomposition: a literal transcription of the
// Householder reduction and the implicit-shift QL iteration with this
// system's tolerances. Kept for good: the product's fast kernels must give
// the same bits, and the tests and the benchmark prove it against these.
#pragma once

#include "base/index.h"

namespace ortelix::pcnm {

// Householder reduction of the symmetric n x n matrix `a` (column-major,
// leading dimension ld; only the lower triangle is read, the upper one is
// scratch). On return `a` holds the orthogonal Q, `diag` the diagonal and
// `offdiag` the sub-diagonal (offdiag[0] = 0; offdiag[i] is element
// (i, i-1), 0-based) of the tridiagonal matrix.
//
// Differences from the textbook form, each of which changes results: a row
// whose scale is below kTol is left as it is, and the accumulation skips a
// step whose h is at most kTol in magnitude.
void tred2_reference(double* a, Index n, Index ld, double* diag, double* offdiag);

// QL with implicit shifts on the tridiagonal (diag, offdiag) left by
// tred2, applying every rotation to `a`. On return diag holds the
// eigenvalues (unsorted) and column i of `a` the unit eigenvector of
// diag[i]; offdiag is destroyed. Returns false when one eigenvalue has not
// converged after 50 iterations (the matrix is then half-way).
//
// The convergence test is absolute (|offdiag| < kTol), and the choice
// between the two forms of a rotation uses kTol as a margin.
bool tqli_reference(double* diag, double* offdiag, Index n, Index ld, double* a);

}  // namespace ortelix::pcnm
