// The scan kernel of the library's instruction-set choice.

#include "fastdb/kernels/kernels.h"

namespace Varnex {
namespace {

constexpr const ScanKernel* kKernels[ScanKernelId::Count] = {&kScanKernelSoftware, &kScanKernelPopCnt,
                                                                 &kScanKernelAvx2, &kScanKernelAvx512};

}  // namespace

const ScanKernel* GetScanKernel(unsigned id) { return KernelRunsHere(id) ? kKernels[id] : nullptr; }

const ScanKernel& GetActiveScanKernel() { return *kKernels[ActiveKernel()]; }

bool SetActiveScanKernel(unsigned id) { return SetActiveKernel(id); }

}  // namespace Varnex
