// Shared set-up of the fuzz targets.
//
// A target is written once, as
//   VARNEX_FUZZ_TARGET(name) { ...; return 0; }
// with its properties checked by VarnexFuzz::Check, and built two ways: as a
// libFuzzer program (fuzz/CMakeLists.txt, clang, -DVARNEX_FUZZ=ON), where a
// broken property crashes the fuzzer, and into the fuzz regression test
// program (tests/fuzz/), where every input kept in
// tests/fuzz/regressions/<name>/ is run through it and a broken property is
// a test failure. Messages are dropped in the fuzzer, so that it measures
// the readers and not the error sink.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "kvsystem/error.h"

namespace VarnexFuzz {

using Target = int (*)(const std::uint8_t* data, std::size_t size);

inline void SilenceMessages() {
  KvSystem::KvSetErrorSink([](KvSystem::KvErrorLevel, const std::string&) {});
}

inline std::string ToString(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// A file of this process for the readers that take a path, in memory-backed
// /dev/shm when there is one, removed on destruction. `name` ends in the
// extension the reader needs.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& name) {
    const bool shm = std::filesystem::is_directory("/dev/shm");
    const std::string dir = shm ? std::string("/dev/shm") : std::filesystem::temp_directory_path().string();
    path_ = dir + "/varnex_fuzz_" + std::to_string(::getpid()) + "_" + name;
  }
  ~ScratchFile() { std::remove(path_.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Replaces the file's bytes; returns its path.
  const std::string& Write(const std::string& bytes) const {
    std::ofstream(path_, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path_;
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

#ifdef VARNEX_FUZZ_REGRESSION
// Defined by the regression test program.
void Register(const char* name, Target target);
void Fail(const char* what);
#else
inline void Fail(const char* what) {
  std::fprintf(stderr, "fuzz property broken: %s\n", what);
  std::abort();
}
#endif

// Reports `what` when `ok` is false.
inline void Check(bool ok, const char* what) {
  if (!ok) Fail(what);
}

}  // namespace VarnexFuzz

#ifdef VARNEX_FUZZ_REGRESSION
#define VARNEX_FUZZ_TARGET(name)                                                                 \
  static int VarnexFuzzTarget_##name(const std::uint8_t* data, std::size_t size);              \
  [[maybe_unused]] static const bool kVarnexFuzzRegistered_##name =                            \
      (VarnexFuzz::Register(#name, VarnexFuzzTarget_##name), true);                            \
  static int VarnexFuzzTarget_##name(const std::uint8_t* data, std::size_t size)
#else
#define VARNEX_FUZZ_TARGET(name)                                          \
  extern "C" int LLVMFuzzerInitialize(int*, char***) {                   \
    VarnexFuzz::SilenceMessages();                                       \
    return 0;                                                            \
  }                                                                      \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
#endif
