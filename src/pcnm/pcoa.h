// Principal coordinate analysis of a (truncated) distance matrix.
#pragma once

#include "base/expected.h"
#include "base/index.h"

namespace ortelix::pcnm {

struct PcoaResult {
  double positive_sum = 0;
  double negative_sum = 0;
  double trace = 0;
  Index npcnm = 0;  // eigenvalues not below kPositive, counted from the end
};

// Turns the strict upper triangle of `d` (n x n, leading dimension ld; not
// changed) into principal coordinates in `a`: a(i, j) is object i on axis j,
// axes in decreasing order of eigenvalue (near-equal ones, within kTol, in
// the reverse of the order the QL step returned them), each eigenvector
// scaled by the single-precision square root of |eigenvalue|. `eigval`
// receives the sorted eigenvalues; iord, offdiag, colmean and work are
// workspace of at least n elements. Fails, with the QL step's own words,
// when an eigenvalue has not converged after 50 iterations.
Expected<PcoaResult> pcoa(Index n, Index ld, Index* iord, const double* d, double* eigval, double* offdiag,
                          double* a, double* colmean, double* work);

// Gower centring in place of the symmetric n x n matrix `a`:
// a(i, j) = ((a(i, j) - mean_i) - mean_j) + grand mean. `colmean` receives
// the column means.
void gower(double* a, double* colmean, Index n, Index ld);

}  // namespace ortelix::pcnm
