#include "pcnm/eigen.h"

#include "pcnm/reference_eigen.h"

namespace ortelix::pcnm {

void tred2(double* a, int n, int ld, double* diag, double* offdiag) { tred2_reference(a, n, ld, diag, offdiag); }

bool tqli(double* diag, double* offdiag, int n, int ld, double* a) { return tqli_reference(diag, offdiag, n, ld, a); }

}  // namespace ortelix::pcnm
