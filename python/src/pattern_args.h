// The arguments explain() and draw() share.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

#include "varnex/fptypes.h"

namespace VarnexPy {

// Whether the patterns of a kind set bits (Lingo and the unhashed kinds keep
// texts instead).
inline bool HasBits(unsigned kind) {
  namespace KvFPType = Varnex::KvFPType;
  return kind != KvFPType::Lingo && kind != KvFPType::UnhashedPath && kind != KvFPType::UnhashedTree &&
         kind != KvFPType::UnhashedCircular;
}

// The `bit` argument of `function`: -1 for None. ValueError outside 0 to
// 65535, or for a kind without bits.
inline long long CheckBit(const char* function, const pybind11::object& bit, bool hasBits) {
  if (bit.is_none()) return -1;
  const long long value = bit.cast<long long>();
  if (value < 0 || value > 65535)
    throw pybind11::value_error(std::string(function) + ": bit must be between 0 and 65535");
  if (!hasBits)
    throw pybind11::value_error(std::string(function) + ": Lingo and unhashed fingerprints have no bits");
  return value;
}

}  // namespace VarnexPy
