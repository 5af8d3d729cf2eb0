// The leading eigenpairs of a large symmetric operator.
#pragma once

#include "base/expected.h"

#include <cstdint>
#include <string>
#include <vector>

#include "large/gower_operator.h"

namespace ortelix::large {

class Progress;

struct LeadingPairs {
  std::vector<double> values;   // the k largest eigenvalues, decreasing
  std::vector<double> vectors;  // their unit eigenvectors, n x k, column-major
  std::uint64_t products = 0;   // products with the operator, in all
  int degree = 1;               // of the polynomial filter (1: none)
  double cut = 0;               // the filter damps [lower, cut]
  double largest_residual = 0;  // max over the pairs of ||G v - lambda v||
  std::string method;           // the solver that found them, for the run report
  int block = 0;                // block solver: vectors iterated (k and the guard)
  int iterations = 0;           // block solver: Rayleigh-Ritz steps on the operator itself
  int levels = 0;               // block solver: coarser problems solved for the start
  std::uint64_t krylov_columns = 0;  // block solver: built by a Krylov start (0: none)
  int restarts = 0;             // block solver: of the Krylov start's space
  int rejected_cuts = 0;        // block solver: estimated filter cuts its start showed too high
  double shift = 0;             // shift-invert: sigma
  double factor_entries = 0;    // shift-invert: numbers held by the Cholesky factor
  std::uint64_t solves = 0;     // shift-invert: columns solved with the factor
};

// The k largest eigenvalues of `op` (1 <= k <= n - 2) and their
// eigenvectors, every eigenvalue of `op` lying in [lower, upper].
//
// The top of a PCNM spectrum is crowded: its gaps are a tiny fraction of
// its width, and a Krylov space would have to grow large before it told
// them apart. So the implicitly restarted Lanczos method (Spectra) runs on
// a Chebyshev polynomial of the operator that stays within [-1, 1] below a
// cut and grows fast above it: the same eigenvectors, with the wanted
// eigenvalues far apart. A short Lanczos run on the operator, then one to
// a few on filters cut ever closer, place the cut just below the k-th
// eigenvalue.
// Large operators go to the block solver (block_solver.h) instead, whose
// products take a whole block per pass over the operator.
// Eigenvalues are the Rayleigh quotients of the converged vectors, checked
// by their residuals against `residual_tolerance` times the largest.
// Returns an error message, or nothing.
Status leading_eigenpairs(const SymmetricOperator& op, double lower, double upper, int k,
                                              LeadingPairs& out, Progress* progress = nullptr,
                                              double residual_tolerance = 1e-9);

// The same by the filtered Lanczos method alone, whatever the order.
Status lanczos_leading_eigenpairs(const SymmetricOperator& op, double lower, double upper, int k,
                                                      LeadingPairs& out, Progress* progress = nullptr,
                                                      double residual_tolerance = 1e-9);

}  // namespace ortelix::large
