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

// The `bit` argument of `function` for fingerprints of `type`: -1 for None.
// TypeError for anything but an integer (numpy's included); ValueError
// outside the type's bits, or for a kind without bits.
inline long long CheckBit(const char* function, const pybind11::object& bit, const Varnex::KvFPTypeBase* type,
                          bool hasBits) {
  if (bit.is_none()) return -1;
  if (!PyIndex_Check(bit.ptr()) || PyBool_Check(bit.ptr()))
    throw pybind11::type_error(std::string(function) + ": bit must be an integer or None");
  const long long value = pybind11::reinterpret_steal<pybind11::object>(PyNumber_Index(bit.ptr())).cast<long long>();
  if (!hasBits)
    throw pybind11::value_error(std::string(function) + ": Lingo and unhashed fingerprints have no bits");
  const long long size = Varnex::KvGetFingerPrintSize(type);
  if (value < 0 || value >= size)
    throw pybind11::value_error(std::string(function) + ": bit " + std::to_string(value) + " is outside the " +
                                std::to_string(size) + " bits of the type (0 to " + std::to_string(size - 1) + ")");
  return value;
}

}  // namespace VarnexPy
