// The leading eigenpairs of the truncated Gower operator through the
// inverse of sigma I - G, sigma just above its largest eigenvalue: the
// eigenvalues 1 / (sigma - lambda) of the inverse stand far apart at the top
// where those of G crowd within millionths of its spectrum's width.
#pragma once

#include <memory>

#include "base/expected.h"
#include "large/gower_operator.h"
#include "large/lanczos.h"

namespace ortelix::large {

class Progress;

// T = (sigma I - G)^-1 on the centred vectors, and T 1 = 0, from a sparse
// Cholesky factor of M = sigma I - B (CHOLMOD, supernodal, on a
// fill-reducing ordering of the near pairs).
//
// For r and x orthogonal to 1, G x = C B x, so that (sigma I - G) x =
// C M x: x = T r is the vector orthogonal to 1 with M x = r - gamma 1 for
// some gamma. Hence x = M^-1 r - gamma z with z = M^-1 1, and 1'x = 0 gives
// gamma = 1' M^-1 r / 1' z: one solve with M a column, and z solved once.
// (The same as the Sherman-Morrison-Woodbury formula for the rank-two
// update sigma I - G = M + 1 g'/n + g 1'/n - (1'g) 1 1'/n^2, g = B 1, on the
// centred vectors.) M must be positive definite: sigma above B's largest
// eigenvalue, which lies at or above G's (Cauchy's interlacing: G is B
// compressed to the centred vectors, and the constant vector adds 0).
class ShiftInvert {
 public:
  // The ordering and the pattern of the factor, for every shift.
  explicit ShiftInvert(const TruncatedGower& op);
  ~ShiftInvert();
  ShiftInvert(const ShiftInvert&) = delete;
  ShiftInvert& operator=(const ShiftInvert&) = delete;

  // Factors sigma I - B; false where it is not positive definite.
  bool factor(double sigma);
  double shift() const;
  long size() const;
  // Numbers the factor holds (its supernodes' dense blocks).
  double factor_entries() const;

  // x = T r for the b columns of r (size() rows each, column-major); r and
  // x must not overlap.
  void solve(const double* r, double* x, long b) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// B's largest eigenvalue from below: Lanczos from the constant vector,
// which leans on B's Perron vector (B's off-diagonal entries are
// positive), `steps` steps.
double largest_of_b(const TruncatedGower& op, int steps);

// As leading_eigenpairs (same checks on G itself), by a block Lanczos
// method with thick restarts (Krylov-Schur) on T. Fails, so that the caller
// may fall back on another solver, where no shift makes the factor
// positive definite or the method does not converge; a run whose progress
// is cancelled ends by Cancelled.
Status shift_invert_leading_eigenpairs(const TruncatedGower& op, int k, LeadingPairs& out,
                                       Progress* progress = nullptr, double residual_tolerance = 1e-9);

// The leading eigenpairs of a truncated Gower operator by whichever solver
// suits it: shift-invert where the sites lie as on a lattice and its factor
// fits, falling back on leading_eigenpairs (the block solver) otherwise or
// where it does not converge.
Status gower_leading_eigenpairs(const TruncatedGower& op, int k, LeadingPairs& out, Progress* progress = nullptr,
                                double residual_tolerance = 1e-9);

}  // namespace ortelix::large
