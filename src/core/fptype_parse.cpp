// Type-string parsers, version arithmetic, default and VS types, and the
// string-level queries (KvGetFPType, KvIsValidFPTypeString, ...).

#include <cstdint>
#include <string_view>
#include <utility>

#include "core/fptype_internal.h"
#include "kvsystem/error.h"
#include "varnex/fpkinds.h"
#include "varnex/fptype_flags.h"
#include "varnex/fptypes.h"
#include "system/messages.h"

namespace Varnex {
namespace {

using FPTypeDetail::kUnset;
using FPTypeDetail::ParseDecimal;
using FPTypeDetail::Split;

// Parses the type string of a graph kind (the grammar of `kind`: "size" for
// hashed kinds, the distance key, and "numbits" for the unhashed path).
bool ParseGraphTypeString(const KvFPKind& kind, const std::string& text, unsigned short& version, unsigned& bits,
                          unsigned& minimum, unsigned& maximum, unsigned& atomType, unsigned& bondType) {
  const char* prefix = kind.prefix;
  const bool hashed = kind.layout == KvFPParamLayout::Hashed;
  const bool acceptsNumBits = kind.code == KvFPType::UnhashedPath;
  version = 0;
  bits = hashed ? kUnset : 0;
  minimum = maximum = atomType = bondType = kUnset;

  const auto entries = Split(text, ',', false);
  if (entries.empty()) {
    KvSystem::KvThrow()->Warning(Msg::kMissingType);
    return false;
  }
  bool kindSeen = false;
  bool versionSeen = false;
  for (const std::string_view entry : entries) {
    if (entry == prefix) {
      kindSeen = true;
      continue;
    }
    const auto keyValue = Split(entry, '=', true);
    if (keyValue.size() != 2) {
      KvSystem::KvThrow()->Warning(Msg::kCannotTokenize, prefix);
      return false;
    }
    const std::string_view key = keyValue[0];
    const std::string value(keyValue[1]);
    if (key == "ver") {
      if (!KvIsValidFingerPrintVersion(value)) {
        KvSystem::KvThrow()->Warning(Msg::kInvalidVersion, prefix);
        return false;
      }
      version = KvGetFingerPrintVersion(value);
      versionSeen = true;
    } else if ((hashed && key == "size") || (acceptsNumBits && key == "numbits")) {
      if (!ParseDecimal(value, bits)) {
        KvSystem::KvThrow()->Warning(Msg::kInvalidSize, prefix);
        return false;
      }
    } else if (key == kind.distanceKey) {
      const auto range = Split(value, '-', true);
      if (range.size() != 2) {
        KvSystem::KvThrow()->Warning(Msg::kInvalidDistance, prefix);
        return false;
      }
      if (!ParseDecimal(range[0], minimum)) {
        KvSystem::KvThrow()->Warning(Msg::kInvalidMinDistance, prefix);
        return false;
      }
      if (!ParseDecimal(range[1], maximum)) {
        KvSystem::KvThrow()->Warning(Msg::kInvalidMaxDistance, prefix);
        return false;
      }
    } else if (key == "atype") {
      if (!KvIsValidFPAtomType(value)) return false;
      atomType = KvGetFPAtomType(value);
    } else if (key == "btype") {
      if (!KvIsValidFPBondType(value)) return false;
      bondType = KvGetFPBondType(value);
    } else {
      const std::string name(key);
      KvSystem::KvThrow()->Warning(Msg::kInvalidPrimitive, name.c_str());
      return false;
    }
  }

  if (!kindSeen) {
    KvSystem::KvThrow()->Warning(Msg::kMissingType);
    return false;
  }
  if (!versionSeen) {
    KvSystem::KvThrow()->Warning(Msg::kMissingVersion);
    return false;
  }
  if (bits == kUnset || (hashed && bits == 0)) {
    KvSystem::KvThrow()->Warning(Msg::kNoSize, prefix);
    return false;
  }
  if (minimum == kUnset || maximum == kUnset) {
    KvSystem::KvThrow()->Warning(Msg::kNoDistance, prefix);
    return false;
  }
  if (atomType == kUnset) {
    KvSystem::KvThrow()->Warning(Msg::kNoAtomType, prefix);
    return false;
  }
  if (bondType == kUnset) {
    KvSystem::KvThrow()->Warning(Msg::kNoBondType, prefix);
    return false;
  }
  if (atomType == 0 && bondType == 0) {
    KvSystem::KvThrow()->Warning(Msg::kBothTypesNone, prefix);
    return false;
  }
  return true;
}

// MACCS166 and Lingo: a prefix and a version; other keys are ignored.
bool ParseVersionTypeString(const char* prefix, const std::string& text, unsigned short& version) {
  version = 0xFFFF;
  if (text == prefix) {
    version = 0;
    return true;
  }
  bool kindSeen = false;
  for (const std::string_view entry : Split(text, ',', false)) {
    if (entry == prefix) {
      kindSeen = true;
      continue;
    }
    const auto keyValue = Split(entry, '=', true);
    if (keyValue.size() != 2) {
      KvSystem::KvThrow()->Warning(Msg::kInvalidKindString, prefix);
      return false;
    }
    if (keyValue[0] == "ver") {
      const std::string value(keyValue[1]);
      if (!KvIsValidFingerPrintVersion(value)) {
        KvSystem::KvThrow()->Warning(Msg::kInvalidVersion, prefix);
        return false;
      }
      version = KvGetFingerPrintVersion(value);
    }
  }
  if (!kindSeen) {
    KvSystem::KvThrow()->Warning(Msg::kInvalidTypeString);
    return false;
  }
  if (version == 0xFFFF) {
    KvSystem::KvThrow()->Warning(Msg::kNoVersion, prefix);
    return false;
  }
  return true;
}

// Everything a parser of any kind can produce.
struct ParsedType {
  unsigned short version = 0;
  KvFPGraphParams params;
};

// Parses `text` with the grammar of `kind`.
bool ParseAny(const KvFPKind& kind, const std::string& text, ParsedType& out) {
  if (!kind.IsGraph()) return ParseVersionTypeString(kind.prefix, text, out.version);
  return ParseGraphTypeString(kind, text, out.version, out.params.bits, out.params.minimum, out.params.maximum,
                              out.params.atomTypes, out.params.bondTypes);
}

// The kind a type string starts with; null when none.
const KvFPKind* KindOfString(const std::string& typeString) {
  const std::string_view text(typeString);
  for (const KvFPKind& kind : KvGetFPKinds())
    if (text.starts_with(kind.prefix)) return &kind;
  return nullptr;
}

// The three numbers of "major.minor.patch", if it is a valid version string.
bool SplitVersion(const std::string& text, unsigned& major, unsigned& minor, unsigned& patch) {
  const auto pieces = Split(text, '.', true);
  return pieces.size() == 3 && ParseDecimal(pieces[0], major) && ParseDecimal(pieces[1], minor) &&
         ParseDecimal(pieces[2], patch) && major < 15 && minor < 255 && patch < 15;
}

}  // namespace

// ---- Parsers.

namespace {

bool ParseGraph(unsigned code, const std::string& typeString, unsigned short& version, unsigned& bits,
                unsigned& minimum, unsigned& maximum, unsigned& atomType, unsigned& bondType) {
  return ParseGraphTypeString(*KvFindFPKind(code), typeString, version, bits, minimum, maximum, atomType, bondType);
}

bool ParseUnhashed(unsigned code, const std::string& typeString, unsigned short& version, unsigned& minimum,
                   unsigned& maximum, unsigned& atomType, unsigned& bondType) {
  unsigned bits = 0;
  return ParseGraph(code, typeString, version, bits, minimum, maximum, atomType, bondType);
}

}  // namespace

bool KvGetPathFPTypeParams(const std::string& typeString, unsigned short& version, unsigned& bits, unsigned& minimum,
                           unsigned& maximum, unsigned& atomType, unsigned& bondType) {
  return ParseGraph(KvFPType::Path, typeString, version, bits, minimum, maximum, atomType, bondType);
}
bool KvGetTreeFPTypeParams(const std::string& typeString, unsigned short& version, unsigned& bits, unsigned& minimum,
                           unsigned& maximum, unsigned& atomType, unsigned& bondType) {
  return ParseGraph(KvFPType::Tree, typeString, version, bits, minimum, maximum, atomType, bondType);
}
bool KvGetCircularFPTypeParams(const std::string& typeString, unsigned short& version, unsigned& bits,
                               unsigned& minimum, unsigned& maximum, unsigned& atomType, unsigned& bondType) {
  return ParseGraph(KvFPType::Circular, typeString, version, bits, minimum, maximum, atomType, bondType);
}
bool KvGetUnhashedPathFPTypeParams(const std::string& typeString, unsigned short& version, unsigned& minimum,
                                   unsigned& maximum, unsigned& atomType, unsigned& bondType) {
  return ParseUnhashed(KvFPType::UnhashedPath, typeString, version, minimum, maximum, atomType, bondType);
}
bool KvGetUnhashedTreeFPTypeParams(const std::string& typeString, unsigned short& version, unsigned& minimum,
                                   unsigned& maximum, unsigned& atomType, unsigned& bondType) {
  return ParseUnhashed(KvFPType::UnhashedTree, typeString, version, minimum, maximum, atomType, bondType);
}
bool KvGetUnhashedCircularFPTypeParams(const std::string& typeString, unsigned short& version, unsigned& minimum,
                                       unsigned& maximum, unsigned& atomType, unsigned& bondType) {
  return ParseUnhashed(KvFPType::UnhashedCircular, typeString, version, minimum, maximum, atomType, bondType);
}
bool KvGetMACCS166FPTypeParams(const std::string& typeString, unsigned short& version) {
  return ParseVersionTypeString(KvGetMACCS166FPStringPrefix(), typeString, version);
}
bool KvGetLingoFPTypeParams(const std::string& typeString, unsigned short& version) {
  return ParseVersionTypeString(KvGetLingoFPStringPrefix(), typeString, version);
}

unsigned KvGetFPTypeFromString(const std::string& typeString) {
  const KvFPKind* kind = KindOfString(typeString);
  return kind != nullptr ? kind->code : 0;
}

// ---- Versions.

unsigned short KvGetFingerPrintVersion(unsigned code) {
  for (const KvFPKind& kind : KvGetFPKinds()) {
    if (kind.code == code) return kind.version;
    if (kind.legacyCode != 0 && kind.legacyCode == code) return 0;
  }
  KvSystem::KvThrow()->Warning(Msg::kVersionUnknownType, "KvGetFingerPrintVersion");
  return 0;
}

unsigned short KvGetFingerPrintVersion(const std::string& versionString) {
  unsigned major = 0, minor = 0, patch = 0;
  if (!SplitVersion(versionString, major, minor, patch)) return 0;
  return static_cast<unsigned short>((major * 256 + minor) * 16 + patch);
}

bool KvIsValidFingerPrintVersion(const std::string& versionString) {
  unsigned major = 0, minor = 0, patch = 0;
  return SplitVersion(versionString, major, minor, patch);
}

// ---- Default and VS types.

const KvFPTypeBase* KvGetFPType(unsigned code, bool vs, unsigned vsVersion) {
  if (vsVersion == 0) vsVersion = 2;
  if (vs && vsVersion > 2) {
    KvSystem::KvThrow()->Warning(Msg::kGetTypeUnknownVS);
    return nullptr;
  }
  const unsigned short version = KvGetFingerPrintVersion(code);  // warns about an unknown code
  const KvFPKind* kind = KvFindFPKind(code);
  if (kind == nullptr) {
    KvSystem::KvThrow()->Warning(Msg::kGetTypeUnknown);
    return nullptr;
  }
  if (vs && kind->hasVS) return KvGetVSFPType(code, vsVersion);
  return kind->intern(version, kind->defaults);
}

const KvFPTypeBase* KvGetVSFPType(unsigned code, unsigned vsVersion) {
  if (vsVersion == 0) vsVersion = 2;
  if (vsVersion != 1 && vsVersion != 2) {
    KvSystem::KvThrow()->Warning(Msg::kGetVSTypeUnknownVS);
    return nullptr;
  }
  const KvFPKind* kind = KvFindFPKind(code);
  if (kind == nullptr || !kind->hasVS) {
    KvSystem::KvThrow()->Warning(Msg::kGetVSTypeNone,
                                 static_cast<int>(code));
    return nullptr;
  }
  return kind->intern(kind->version, kind->vs[vsVersion - 1]);
}

// ---- String-level queries.

const KvFPTypeBase* KvGetFPType(const std::string& typeString) {
  const KvFPKind* kind = KindOfString(typeString);
  if (kind == nullptr) return nullptr;
  ParsedType parsed;
  // Values too wide for their fields of the parameter word would give a
  // type that names another one (size=65537 would be size=1).
  const KvFPGraphParams& p = parsed.params;
  auto fits = [&] {
    const bool sized = kind->layout == KvFPParamLayout::Hashed;
    return (!sized || p.bits <= 0xFFFF) && p.minimum <= 0xFF && p.maximum <= 0xFF && p.atomTypes <= 0xFFFF &&
           p.bondTypes <= 0xFF;
  };
  if (!ParseAny(*kind, typeString, parsed) || (kind->IsGraph() && !fits())) {
    if (kind->IsGraph()) KvSystem::KvThrow()->Warning(Msg::kGetTypeBadString);
    return nullptr;
  }
  if (parsed.version != kind->version) {
    if (kind->IsGraph())
      KvSystem::KvThrow()->Warning(Msg::kGetTypeOldVersion);
    else
      KvSystem::KvThrow()->Error(Msg::kGetTypeOldVersion);
    return nullptr;
  }
  return kind->intern(parsed.version, parsed.params);
}

bool KvIsValidFPTypeString(const std::string& typeString) {
  const KvFPKind* kind = KindOfString(typeString);
  if (kind == nullptr) return false;
  ParsedType parsed;
  if (!ParseAny(*kind, typeString, parsed)) return false;
  if (parsed.version != kind->version)
    KvSystem::KvThrow()->Warning(Msg::kValidStringOldVersion);
  return true;
}

unsigned short KvGetFPTypeVersion(const std::string& typeString) {
  const KvFPKind* kind = KindOfString(typeString);
  if (kind == nullptr || kind->layout == KvFPParamLayout::Unhashed) return 0;
  ParsedType parsed;
  return ParseAny(*kind, typeString, parsed) ? parsed.version : 0;
}

// ---- KvFPTypeParams, names and sizes.

KvFPTypeParams::KvFPTypeParams(const std::string& typeString) { Parse(typeString); }

KvFPTypeParams::KvFPTypeParams(const KvFPTypeBase* type) {
  if (type != nullptr) Parse(type->GetFPTypeString());
}

void KvFPTypeParams::Parse(const std::string& typeString) {
  const KvFPKind* kind = KindOfString(typeString);
  if (kind == nullptr) return;
  kind_ = kind->code;
  // The unhashed kinds are named but not parsed here.
  if (kind->layout == KvFPParamLayout::Unhashed) return;
  ParsedType parsed;
  valid_ = ParseAny(*kind, typeString, parsed);
  version_ = parsed.version;
  bits_ = kind->fixedBits != 0 ? kind->fixedBits : parsed.params.bits;
  minimum_ = parsed.params.minimum;
  maximum_ = parsed.params.maximum;
  atomTypes_ = parsed.params.atomTypes;
  bondTypes_ = parsed.params.bondTypes;
}

std::string KvGetFingerPrintName(const KvFPTypeBase* type) {
  const KvFPTypeParams params(type);
  return params.IsValid() ? KvFindFPKind(params.GetFPType())->prefix : "UNKNOWN";
}

unsigned KvGetFingerPrintSize(const KvFPTypeBase* type) {
  const KvFPTypeParams params(type);
  return params.IsValid() ? params.GetNumBits() : 0;
}

}  // namespace Varnex
