// The scan kernel of the library's instruction-set choice.

#include "fastdb/kernels/kernels.h"

namespace Varnex {
namespace {

constexpr const KvScanKernel* kKernels[KvScanKernelId::Count] = {&kKvScanKernelSoftware, &kKvScanKernelPopCnt,
                                                                 &kKvScanKernelAvx2, &kKvScanKernelAvx512};

}  // namespace

const KvScanKernel* KvGetScanKernel(unsigned id) { return KernelRunsHere(id) ? kKernels[id] : nullptr; }

const KvScanKernel& KvGetActiveScanKernel() { return *kKernels[ActiveKernel()]; }

bool KvSetActiveScanKernel(unsigned id) { return SetActiveKernel(id); }

}  // namespace Varnex
