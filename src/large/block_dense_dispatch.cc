#include "large/block_dense.h"

namespace ortelix::large {
namespace generic {
extern const DenseKernels kernels;
}
namespace avx2 {
extern const DenseKernels kernels;
}

const DenseKernels& dense_kernels() {
  static const DenseKernels& chosen = __builtin_cpu_supports("avx2") ? avx2::kernels : generic::kernels;
  return chosen;
}

}  // namespace ortelix::large
