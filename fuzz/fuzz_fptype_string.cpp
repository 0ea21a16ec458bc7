// Fuzz target: arbitrary text as a fingerprint type string (KvGetFPType).
// A type it names must be named again by its own type string, and the text
// must count as valid with the type's kind as its prefix.
#include "fuzz_util.h"
#include "varnex/fptypes.h"

VARNEX_FUZZ_TARGET(fptype_string) {
  const std::string text = VarnexFuzz::ToString(data, size);
  const Varnex::KvFPTypeBase* type = Varnex::KvGetFPType(text);
  const bool valid = Varnex::KvIsValidFPTypeString(text);
  Varnex::KvGetFPTypeVersion(text);
  if (type == nullptr) return 0;
  VarnexFuzz::Check(valid, "a text that names a type is valid");
  VarnexFuzz::Check(Varnex::KvGetFPTypeFromString(text) == type->GetFPType(), "the prefix names the type's kind");
  const std::string canonical = type->GetFPTypeString();
  VarnexFuzz::Check(Varnex::KvGetFPType(canonical) == type, "a type's own string names it");
  return 0;
}
