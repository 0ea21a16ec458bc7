// Shared set-up of the fuzz targets: messages are dropped, so that the
// fuzzer measures the readers and not the error sink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "kvsystem/error.h"

namespace VarnexFuzz {

inline void SilenceMessages() {
  KvSystem::KvSetErrorSink([](KvSystem::KvErrorLevel, const std::string&) {});
}

inline std::string ToString(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace VarnexFuzz
