// The POPCNT scan kernel: one instruction per word, four accumulators.

#include "similarity/popcount.h"

#define KV_TARGET VARNEX_TARGET_POPCNT
#include "fastdb/kernels/scan_body.h"

namespace Varnex {

const ScanKernel kScanKernelPopCnt = MakeScanKernel<WordByWord<InstructionWord>>(ScanKernelId::PopCnt);

}  // namespace Varnex
