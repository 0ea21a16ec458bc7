// The instruction-set choice: processor support, VARNEX_KERNEL, the active id.

#include "similarity/kernel_choice.h"

#include <array>
#include <atomic>
#include <cstdlib>

#include "kvsystem/error.h"
#include "kvsystem/platform.h"

namespace Varnex {
namespace {

std::array<bool, ScanKernelId::Count> DetectSupport() {
  const KvSystem::KvCpuFeatures& cpu = KvSystem::KvGetCpuFeatures();
  std::array<bool, ScanKernelId::Count> support{};
  support[ScanKernelId::Software] = true;
  // Every kernel above software counts single words with POPCNT.
  support[ScanKernelId::PopCnt] = cpu.popcnt;
  support[ScanKernelId::Avx2] = cpu.popcnt && cpu.avx2;
  support[ScanKernelId::Avx512] = cpu.popcnt && cpu.avx512vpopcntdq;
  return support;
}

unsigned Fastest() {
  for (unsigned id = ScanKernelId::Count; id-- > 0;) {
    if (KernelRunsHere(id)) return id;
  }
  return ScanKernelId::Software;
}

std::atomic<unsigned>& Active() {
  static std::atomic<unsigned> active{ChooseKernel(std::getenv("VARNEX_KERNEL"))};
  return active;
}

}  // namespace

unsigned ParseScanKernelName(const std::string& name) {
  for (unsigned id = 0; id < ScanKernelId::Count; ++id) {
    if (name == KernelName(id)) return id;
  }
  return ScanKernelId::Count;
}

bool KernelRunsHere(unsigned id) {
  static const std::array<bool, ScanKernelId::Count> support = DetectSupport();
  return id < ScanKernelId::Count && support[id];
}

unsigned ChooseKernel(const char* forced) {
  if (forced == nullptr || *forced == '\0') return Fastest();
  const unsigned id = ParseScanKernelName(forced);
  if (KernelRunsHere(id)) return id;
  const unsigned fallback = Fastest();
  KvSystem::KvThrow()->Warning("VARNEX_KERNEL=%s : kernel unknown or not supported by this processor, using %s!",
                               forced, KernelName(fallback));
  return fallback;
}

unsigned ActiveKernel() { return Active().load(std::memory_order_relaxed); }

bool SetActiveKernel(unsigned id) {
  if (!KernelRunsHere(id)) return false;
  Active().store(id, std::memory_order_relaxed);
  return true;
}

}  // namespace Varnex
