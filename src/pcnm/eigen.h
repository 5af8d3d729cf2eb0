// The product's eigen-decomposition kernels. They give, bit for bit, the
// results of tred2_reference and tqli_reference (reference_eigen.h), whose
// contracts they share.
#pragma once

namespace ortelix::pcnm {

void tred2(double* a, int n, int ld, double* diag, double* offdiag);
bool tqli(double* diag, double* offdiag, int n, int ld, double* a);

}  // namespace ortelix::pcnm
