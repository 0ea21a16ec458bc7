// The portable scan kernel: bit-parallel counts, four words per step.

#define KV_TARGET
#include "fastdb/kernels/scan_body.h"

namespace Varnex {

const ScanKernel kScanKernelSoftware = MakeScanKernel<WordByWord<SoftwareWord>>(ScanKernelId::Software);

}  // namespace Varnex
