// Platform services: processor count, scratch threshold, version registry.
// Every function here is thread-safe.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace KvSystem {

// The number of processors this process may run on (at least 1).
unsigned KvGetNumProcessors();

// The byte size up to which scratch arrays go on the stack; larger ones go on
// the heap.
std::size_t KvGetAllocaThreshold();

// The processor features the library's kernels choose from, tested once per
// process. A vector feature is reported only when the operating system also
// saves its registers, so a reported feature is usable. Off x86-64 all are
// false.
struct KvCpuFeatures {
  bool popcnt = false;           // POPCNT
  bool avx2 = false;             // AVX2
  bool avx512vpopcntdq = false;  // AVX-512 foundation with VPOPCNTDQ
};
const KvCpuFeatures& KvGetCpuFeatures();

// The version record of one component of the toolkit.
class KvVersion {
 public:
  KvVersion() = default;
  KvVersion(std::string toolkit, std::string component, std::string release)
      : toolkit_(std::move(toolkit)), component_(std::move(component)), release_(std::move(release)) {}
  const std::string& GetToolkit() const { return toolkit_; }
  const std::string& GetComponent() const { return component_; }
  const std::string& GetRelease() const { return release_; }
  // "toolkit component release".
  std::string ToString() const { return toolkit_ + " " + component_ + " " + release_; }
  bool operator==(const KvVersion&) const = default;

 private:
  std::string toolkit_;
  std::string component_;
  std::string release_;
};

using KvVersionFunction = KvVersion (*)();

// Keeps `function` and calls it whenever the registry is listed. Registering
// the same function twice keeps it once. Returns true, so that a static
// initialiser can hold the result.
bool KvRegisterVersion(KvVersionFunction function);

// The records of every registered component, in registration order.
std::vector<KvVersion> KvGetRegisteredVersions();

}  // namespace KvSystem
