// The fast inner loops compiled for one instruction set (see CMakeLists.txt
// for the flags of this file).
#include "pcnm/fast_kernels.h"

#define FAST_VLEN 4
namespace ortelix::pcnm::simd_avx2 {
#include "pcnm/fast_simd.h"
const FastKernels& kernels() { return kKernels; }
}  // namespace ortelix::pcnm::simd_avx2
