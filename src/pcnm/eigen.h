// The product's eigen-decomposition kernels. They give, bit for bit, the
// results of tred2_reference and tqli_reference (reference_eigen.h), whose
// contracts they share.
#pragma once

#include "base/index.h"

namespace ortelix::pcnm {

void tred2(double* a, Index n, Index ld, double* diag, double* offdiag);
bool tqli(double* diag, double* offdiag, Index n, Index ld, double* a);

}  // namespace ortelix::pcnm
