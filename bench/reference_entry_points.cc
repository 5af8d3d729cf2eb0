// The entry points of the numerical core bound to the literal kernels: the
// program linked with these is the yardstick of bench/whole_run.sh.
#include "bench/literal_correl.h"
#include "pcnm/correl.h"
#include "pcnm/eigen.h"
#include "pcnm/reference_eigen.h"

namespace ortelix::pcnm {

void tred2(double* a, int n, int ld, double* diag, double* offdiag) { tred2_reference(a, n, ld, diag, offdiag); }

bool tqli(double* diag, double* offdiag, int n, int ld, double* a) { return tqli_reference(diag, offdiag, n, ld, a); }

void produit(const double* a, const double* b, double* c, std::int32_t m, std::int32_t k, std::int32_t q,
             std::int32_t ld) {
  bench::literal::produit(a, b, c, m, k, q, ld);
}

CorrelResult correl(std::int32_t n, std::int32_t nvar, double* x, std::int32_t ld, double* vsum, double* vsumsq,
                    double* vmean, double* vsd, double* corlin, double* xprime) {
  return bench::literal::correl(n, nvar, x, ld, vsum, vsumsq, vmean, vsd, corlin, xprime);
}

}  // namespace ortelix::pcnm
