// The block kernels behind the ECB decryption, and the choice among them at run time.
#pragma once

#include <vector>

namespace lorvante::des {

enum class Kernel {
  kTable,     // the table-driven library routine; also serves short runs of blocks
  kPortable,  // bitsliced, 64 blocks per batch, plain C++
  kAvx2,      // bitsliced, 256 blocks per batch, AVX2
};

// Whether this processor can run `kernel`.
bool KernelAvailable(Kernel kernel);
// The kernels this processor can run, slowest first.
std::vector<Kernel> AvailableKernels();
// The fastest kernel this processor can run.
Kernel BestKernel();
// A short lower-case name ("table", "portable", "avx2").
const char* KernelName(Kernel kernel);

}  // namespace lorvante::des
