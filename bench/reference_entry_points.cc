// The entry points of the numerical core bound to the literal kernels: the
// program linked with these is the yardstick of bench/whole_run.sh.
#include "pcnm/reference_correl.h"
#include "pcnm/correl.h"
#include "pcnm/eigen.h"
#include "pcnm/reference_eigen.h"

namespace ortelix::pcnm {

void tred2(double* a, Index n, Index ld, double* diag, double* offdiag) { tred2_reference(a, n, ld, diag, offdiag); }

bool tqli(double* diag, double* offdiag, Index n, Index ld, double* a) { return tqli_reference(diag, offdiag, n, ld, a); }

void produit(const double* a, const double* b, double* c, Index m, Index k, Index q,
             Index ld) {
  pcnm::produit_reference(a, b, c, m, k, q, ld);
}

CorrelResult correl(Index n, Index nvar, double* x, Index ld, double* vsum, double* vsumsq,
                    double* vmean, double* vsd, double* corlin, double* xprime) {
  return pcnm::correl_reference(n, nvar, x, ld, vsum, vsumsq, vmean, vsd, corlin, xprime);
}

}  // namespace ortelix::pcnm
