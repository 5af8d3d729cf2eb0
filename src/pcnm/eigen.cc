#include "pcnm/eigen.h"

#include "pcnm/fast_eigen.h"

namespace ortelix::pcnm {

void tred2(double* a, Index n, Index ld, double* diag, double* offdiag) { tred2_fast(a, n, ld, diag, offdiag); }

bool tqli(double* diag, double* offdiag, Index n, Index ld, double* a) { return tqli_fast(diag, offdiag, n, ld, a); }

}  // namespace ortelix::pcnm
