// Correlations among the PCNM variables over the objects of the analysis,
// when supplementary objects took part in building them.
#pragma once

#include "base/index.h"

#include <cstdint>

namespace ortelix::pcnm {

struct CorrelResult {
  // Number (1-based) of the first variable whose standard deviation is
  // below kTol; 0 when every variable varies. When set, nothing after the
  // standard deviations has been done.
  Index zero_variance = 0;
  double largest = 0;  // largest |correlation| between two different variables
};

// The standardization of correl alone: vsum, vsumsq, vmean and vsd receive
// the sums, sums of squares, means and standard deviations (divisor n - 1)
// of columns 1..nvar over rows 1..n; then, unless a standard deviation is
// below kTol, each column becomes (x - mean) / sd in place. Returns the
// 1-based number of the first variable without variance, or 0.
Index standardize(Index n, Index nvar, double* x, Index ld, double* vsum,
                         double* vsumsq, double* vmean, double* vsd);

// Standardizes columns 1..nvar of x over rows 1..n in place (mean 0,
// standard deviation 1 with divisor n - 1), puts their transpose in xprime
// and their correlation matrix in corlin. A variance that rounding makes
// negative, or NaN, counts as no variance. Needs n >= 2.
CorrelResult correl(Index n, Index nvar, double* x, Index ld, double* vsum, double* vsumsq,
                    double* vmean, double* vsd, double* corlin, double* xprime);

// c = a b for an m x k matrix a and a k x q matrix b, all with leading
// dimension ld; each c(r, s) summed over t in increasing order from 0.
void produit(const double* a, const double* b, double* c, Index m, Index k, Index q,
             Index ld);

}  // namespace ortelix::pcnm
