#include "des/des_kernel.h"

namespace lorvante::des {

bool KernelAvailable(Kernel kernel) {
  switch (kernel) {
    case Kernel::kTable:
    case Kernel::kPortable:
      return true;
    case Kernel::kAvx2:
#if defined(LORVANTE_DES_AVX2)
      // Also checks that the operating system saves the AVX registers.
      return __builtin_cpu_supports("avx2");
#else
      return false;
#endif
  }
  return false;
}

std::vector<Kernel> AvailableKernels() {
  std::vector<Kernel> kernels;
  for (const Kernel k : {Kernel::kTable, Kernel::kPortable, Kernel::kAvx2})
    if (KernelAvailable(k)) kernels.push_back(k);
  return kernels;
}

Kernel BestKernel() {
  static const Kernel best = AvailableKernels().back();
  return best;
}

const char* KernelName(Kernel kernel) {
  switch (kernel) {
    case Kernel::kTable:
      return "table";
    case Kernel::kPortable:
      return "portable";
    case Kernel::kAvx2:
      return "avx2";
  }
  return "?";
}

}  // namespace lorvante::des
