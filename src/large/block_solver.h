// The leading eigenpairs of a large symmetric operator by a block method,
// for operators whose product with a block of vectors costs little more
// than one pass over their entries.
#pragma once

#include "base/expected.h"

#include <string>

#include "large/lanczos.h"

namespace ortelix::large {

// As leading_eigenpairs (same arguments, same checks), by Chebyshev-filtered
// subspace iteration (Zhou and Saad): a block of k vectors and a guard of
// more is filtered by a Chebyshev polynomial that stays within [-1, 1] on
// [lower, cut], the cut at the smallest Ritz value of the block, then
// compressed by Rayleigh-Ritz. Each vector gets the degree its residual
// still asks for; converged vectors are locked and no longer filtered.
// Where each row has few entries (a lattice), the start comes from the
// same problem on groups of consecutive rows (SymmetricOperator::
// coarsened), solved the same way down to a size a dense decomposition
// takes, then spread back over the rows of each group: the leading
// eigenvectors vary slowly from row to row. Elsewhere it is the leading
// Ritz vectors of a block Krylov space of a Chebyshev filter (Krylov-Schur
// restarts), its cut placed by a short Lanczos run's estimate of where
// 2 (k + guard) eigenvalues lie and kept only where the start's k-th Ritz
// value shows it below the k-th eigenvalue; random for small orders and
// where no cut estimated or shown safe lies above the bottom.
// `k` + the guard must be at most a quarter of the order.
Status block_leading_eigenpairs(const SymmetricOperator& op, double lower, double upper, int k,
                                                    LeadingPairs& out, Progress* progress = nullptr,
                                                    double residual_tolerance = 1e-9);

// The vectors the block solver iterates for k wanted ones.
int block_size(int k);

}  // namespace ortelix::large
