// Test helper: fingerprints made by hand, for comparing without a molecule:
// bit ranges, and texts as the Lingo and unhashed generators store them.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "varnex/fingerprint.h"
#include "varnex/fptypes.h"

namespace VarnexTest {

// `size` bits under `type` with the half-open ranges [first, last) on.
inline Varnex::KvFingerPrint RangesFP(const Varnex::KvFPTypeBase* type, unsigned size,
                                      std::initializer_list<std::pair<unsigned, unsigned>> ranges) {
  Varnex::KvFingerPrint fp;
  fp.SetSize(size);
  for (auto [first, last] : ranges)
    for (unsigned i = first; i < last; ++i) fp.SetBitOn(i);
  fp.SetFPTypeBase(type);
  return fp;
}

// `text` and its terminating zero byte under `type`, written as given.
inline Varnex::KvFingerPrint TextFP(const Varnex::KvFPTypeBase* type, const std::string& text) {
  Varnex::KvFingerPrint fp;
  fp.SetData(text.c_str(), 8 * (text.size() + 1));
  fp.SetFPTypeBase(type);
  return fp;
}

inline Varnex::KvFingerPrint LingoText(const std::string& text) {
  return TextFP(Varnex::KvGetLingoFPType(Varnex::KvGraphFPVersion), text);
}

// The stored form of an unhashed fingerprint: the identifiers in the order
// given, each followed by a space, spaces up to a multiple of 4 bytes, the
// last byte zero; path fingerprints add one more zero byte.
inline Varnex::KvFingerPrint UnhashedText(const Varnex::KvFPTypeBase* type, const std::vector<std::string>& ids) {
  std::string text;
  for (const std::string& id : ids) text += id + " ";
  while (text.size() % 4 != 0) text += ' ';
  if (!text.empty()) text.back() = '\0';
  if (type->GetFPType() == Varnex::KvFPType::UnhashedPath) text.push_back('\0');
  Varnex::KvFingerPrint fp;
  fp.SetData(text.data(), 8 * text.size());
  fp.SetFPTypeBase(type);
  return fp;
}

}  // namespace VarnexTest
