#include "kvsystem/platform.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <thread>

namespace KvSystem {

unsigned KvGetNumProcessors() {
  // Honour the CPU affinity mask (containers, taskset) before the machine total.
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return static_cast<unsigned>(count);
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

std::size_t KvGetAllocaThreshold() {
  // Small enough to leave deep recursion in the toolkit plenty of stack.
  return 16 * 1024;
}

namespace {
// __builtin_cpu_supports also checks (XGETBV) that the operating system
// saves the wide vector registers.
KvCpuFeatures DetectCpuFeatures() {
  KvCpuFeatures features;
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  features.popcnt = __builtin_cpu_supports("popcnt");
  features.avx2 = __builtin_cpu_supports("avx2");
  features.avx512vpopcntdq = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vpopcntdq");
#endif
  return features;
}
}  // namespace

const KvCpuFeatures& KvGetCpuFeatures() {
  static const KvCpuFeatures features = DetectCpuFeatures();
  return features;
}

namespace {
struct VersionRegistry {
  std::mutex mutex;
  std::vector<KvVersionFunction> functions;
};
VersionRegistry& Registry() {
  static VersionRegistry* registry = new VersionRegistry;  // outlives static teardown
  return *registry;
}
}  // namespace

bool KvRegisterVersion(KvVersionFunction function) {
  if (function == nullptr) return false;
  VersionRegistry& registry = Registry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  if (std::find(registry.functions.begin(), registry.functions.end(), function) == registry.functions.end())
    registry.functions.push_back(function);
  return true;
}

std::vector<KvVersion> KvGetRegisteredVersions() {
  std::vector<KvVersionFunction> functions;
  {
    VersionRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    functions = registry.functions;
  }
  std::vector<KvVersion> versions;
  versions.reserve(functions.size());
  for (KvVersionFunction function : functions) versions.push_back(function());
  return versions;
}

}  // namespace KvSystem
