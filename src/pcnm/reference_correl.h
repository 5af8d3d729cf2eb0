// The correlation check as written in the design, one element after the
// other. Kept for good beside the literal eigen kernels: the product's
// correl must give the same bits, and the tests and the benchmark prove it
// against this one.
#pragma once

#include "base/index.h"

#include <cstdint>

#include "pcnm/correl.h"

namespace ortelix::pcnm {

void produit_reference(const double* a, const double* b, double* c, Index m, Index k, Index q,
                       Index ld);

CorrelResult correl_reference(Index n, Index nvar, double* x, Index ld, double* vsum,
                              double* vsumsq, double* vmean, double* vsd, double* corlin, double* xprime);

}  // namespace ortelix::pcnm
