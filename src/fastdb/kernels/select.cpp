// Choice of the scan kernel by processor feature, once per process.

#include <array>
#include <atomic>
#include <cstdlib>

#include "fastdb/kernels/kernels.h"
#include "kvsystem/error.h"
#include "kvsystem/platform.h"

namespace Varnex {
namespace {

std::array<bool, KvScanKernelId::Count> DetectSupport() {
  const KvSystem::KvCpuFeatures& cpu = KvSystem::KvGetCpuFeatures();
  std::array<bool, KvScanKernelId::Count> support{};
  support[KvScanKernelId::Software] = true;
  support[KvScanKernelId::PopCnt] = cpu.popcnt;
  support[KvScanKernelId::Avx2] = cpu.popcnt && cpu.avx2;
  support[KvScanKernelId::Avx512] = cpu.avx512vpopcntdq;
  return support;
}

const std::array<bool, KvScanKernelId::Count>& Support() {
  static const std::array<bool, KvScanKernelId::Count> support = DetectSupport();
  return support;
}

const KvScanKernel* KernelOf(unsigned id) {
  switch (id) {
    case KvScanKernelId::Software:
      return &kKvScanKernelSoftware;
    case KvScanKernelId::PopCnt:
      return &kKvScanKernelPopCnt;
    case KvScanKernelId::Avx2:
      return &kKvScanKernelAvx2;
    case KvScanKernelId::Avx512:
      return &kKvScanKernelAvx512;
    default:
      return nullptr;
  }
}

const KvScanKernel* Fastest() {
  for (unsigned id = KvScanKernelId::Count; id-- > 0;) {
    if (const KvScanKernel* kernel = KvGetScanKernel(id)) return kernel;
  }
  return &kKvScanKernelSoftware;
}

const KvScanKernel* InitialKernel() {
  const char* forced = std::getenv("VARNEX_KERNEL");
  if (forced == nullptr || *forced == '\0') return Fastest();
  if (const KvScanKernel* kernel = KvGetScanKernel(KvParseScanKernelName(forced))) return kernel;
  const KvScanKernel* fallback = Fastest();
  KvSystem::KvThrow()->Warning("VARNEX_KERNEL=%s : kernel unknown or not supported by this processor, using %s!",
                               forced, fallback->name);
  return fallback;
}

std::atomic<const KvScanKernel*>& Active() {
  static std::atomic<const KvScanKernel*> active{InitialKernel()};
  return active;
}

}  // namespace

unsigned KvParseScanKernelName(const std::string& name) {
  for (unsigned id = 0; id < KvScanKernelId::Count; ++id) {
    if (name == KernelOf(id)->name) return id;
  }
  return KvScanKernelId::Count;
}

const KvScanKernel* KvGetScanKernel(unsigned id) {
  if (id >= KvScanKernelId::Count || !Support()[id]) return nullptr;
  return KernelOf(id);
}

const KvScanKernel& KvGetActiveScanKernel() { return *Active().load(std::memory_order_acquire); }

bool KvSetActiveScanKernel(unsigned id) {
  const KvScanKernel* kernel = KvGetScanKernel(id);
  if (kernel == nullptr) return false;
  Active().store(kernel, std::memory_order_release);
  return true;
}

}  // namespace Varnex
