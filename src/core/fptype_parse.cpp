// Type-string parsers, version arithmetic, default and VS types, and the
// string-level queries (KvGetFPType, KvIsValidFPTypeString, ...).

#include <cstdint>
#include <string_view>
#include <utility>

#include "core/fptype_internal.h"
#include "kvsystem/error.h"
#include "varnex/fptype_flags.h"
#include "varnex/fptypes.h"

namespace Varnex {
namespace {

using FPTypeDetail::kUnset;
using FPTypeDetail::ParseDecimal;
using FPTypeDetail::Split;

KvSystem::KvErrorHandler& Throw() { return *KvSystem::KvThrow(); }

// What distinguishes the six graph grammars.
struct GraphGrammar {
  const char* prefix;
  bool hashed;              // has a "size" entry
  const char* distanceKey;  // "bonds" or "radius"
  bool acceptsNumBits;      // the unhashed path also takes a "numbits" entry
};

constexpr GraphGrammar kPathGrammar{"Path", true, "bonds", false};
constexpr GraphGrammar kTreeGrammar{"Tree", true, "bonds", false};
constexpr GraphGrammar kCircularGrammar{"Circular", true, "radius", false};
constexpr GraphGrammar kUnhashedPathGrammar{"UHPath", false, "bonds", true};
constexpr GraphGrammar kUnhashedTreeGrammar{"UHTree", false, "bonds", false};
constexpr GraphGrammar kUnhashedCircularGrammar{"UHCircular", false, "radius", false};

bool ParseGraphTypeString(const GraphGrammar& grammar, const std::string& text, unsigned short& version,
                          unsigned& bits, unsigned& minimum, unsigned& maximum, unsigned& atomType,
                          unsigned& bondType) {
  const char* prefix = grammar.prefix;
  version = 0;
  bits = grammar.hashed ? kUnset : 0;
  minimum = maximum = atomType = bondType = kUnset;

  const auto entries = Split(text, ',', false);
  if (entries.empty()) {
    Throw().Warning("Missing fingerprint type!");
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
      Throw().Warning("Invalid string can not be tokenized for `%s` type!", prefix);
      return false;
    }
    const std::string_view key = keyValue[0];
    const std::string value(keyValue[1]);
    if (key == "ver") {
      if (!KvIsValidFingerPrintVersion(value)) {
        Throw().Warning("Invalid version for `%s` type!", prefix);
        return false;
      }
      version = KvGetFingerPrintVersion(value);
      versionSeen = true;
    } else if ((grammar.hashed && key == "size") || (grammar.acceptsNumBits && key == "numbits")) {
      if (!ParseDecimal(value, bits)) {
        Throw().Warning("Invalid fingerprint size for `%s` type!", prefix);
        return false;
      }
    } else if (key == grammar.distanceKey) {
      const auto range = Split(value, '-', true);
      if (range.size() != 2) {
        Throw().Warning("Invalid fingerprint distance for `%s` type!", prefix);
        return false;
      }
      if (!ParseDecimal(range[0], minimum)) {
        Throw().Warning("Invalid fingerprint minimum distance for `%s` type!", prefix);
        return false;
      }
      if (!ParseDecimal(range[1], maximum)) {
        Throw().Warning("Invalid fingerprint maximum distance for `%s` type!", prefix);
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
      Throw().Warning("'%s' is not a valid fingerprint type primitive!", name.c_str());
      return false;
    }
  }

  if (!kindSeen) {
    Throw().Warning("Missing fingerprint type!");
    return false;
  }
  if (!versionSeen) {
    Throw().Warning("Missing fingerprint version!");
    return false;
  }
  if (bits == kUnset || (grammar.hashed && bits == 0)) {
    Throw().Warning("Size cannot be initialized for `%s` type!", prefix);
    return false;
  }
  if (minimum == kUnset || maximum == kUnset) {
    Throw().Warning("Min or max distance cannot be initialized for `%s` type!", prefix);
    return false;
  }
  if (atomType == kUnset) {
    Throw().Warning("Atom type cannot be initialized for `%s` type!", prefix);
    return false;
  }
  if (bondType == kUnset) {
    Throw().Warning("Bond type cannot be initialized for `%s` type!", prefix);
    return false;
  }
  if (atomType == 0 && bondType == 0) {
    Throw().Warning("The atom and bond type cannot be both None for `%s` type!", prefix);
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
      Throw().Warning("Invalid `%s` type string!", prefix);
      return false;
    }
    if (keyValue[0] == "ver") {
      const std::string value(keyValue[1]);
      if (!KvIsValidFingerPrintVersion(value)) {
        Throw().Warning("Invalid version for `%s` type!", prefix);
        return false;
      }
      version = KvGetFingerPrintVersion(value);
    }
  }
  if (!kindSeen) {
    Throw().Warning("Invalid fingerprint type string!");
    return false;
  }
  if (version == 0xFFFF) {
    Throw().Warning("Version number cannot be initialized for `%s` type!", prefix);
    return false;
  }
  return true;
}

bool IsUnhashedKind(unsigned kind) {
  return kind == KvFPType::UnhashedPath || kind == KvFPType::UnhashedCircular || kind == KvFPType::UnhashedTree;
}

// Everything a parser of any kind can produce.
struct ParsedType {
  unsigned short version = 0;
  unsigned bits = 0;
  unsigned minimum = 0;
  unsigned maximum = 0;
  unsigned atomType = 0;
  unsigned bondType = 0;
};

// Parses `text` with the parser of `kind`. False for a failed parse or a kind
// without a parser.
bool ParseAny(unsigned kind, const std::string& text, ParsedType& out) {
  switch (kind) {
    case KvFPType::MACCS166:
      return KvGetMACCS166FPTypeParams(text, out.version);
    case KvFPType::Lingo:
      return KvGetLingoFPTypeParams(text, out.version);
    case KvFPType::Path:
      return KvGetPathFPTypeParams(text, out.version, out.bits, out.minimum, out.maximum, out.atomType,
                                   out.bondType);
    case KvFPType::Tree:
      return KvGetTreeFPTypeParams(text, out.version, out.bits, out.minimum, out.maximum, out.atomType,
                                   out.bondType);
    case KvFPType::Circular:
      return KvGetCircularFPTypeParams(text, out.version, out.bits, out.minimum, out.maximum, out.atomType,
                                       out.bondType);
    case KvFPType::UnhashedPath:
      return KvGetUnhashedPathFPTypeParams(text, out.version, out.minimum, out.maximum, out.atomType,
                                           out.bondType);
    case KvFPType::UnhashedTree:
      return KvGetUnhashedTreeFPTypeParams(text, out.version, out.minimum, out.maximum, out.atomType,
                                           out.bondType);
    case KvFPType::UnhashedCircular:
      return KvGetUnhashedCircularFPTypeParams(text, out.version, out.minimum, out.maximum, out.atomType,
                                               out.bondType);
    default:
      return false;
  }
}

// The registry type of parsed graph parameters.
const KvFPTypeBase* InternParsed(unsigned kind, const ParsedType& p) {
  switch (kind) {
    case KvFPType::Path:
      return KvGetPathFPType(p.version, p.bits, p.minimum, p.maximum, p.atomType, p.bondType);
    case KvFPType::Tree:
      return KvGetTreeFPType(p.version, p.bits, p.minimum, p.maximum, p.atomType, p.bondType);
    case KvFPType::Circular:
      return KvGetCircularFPType(p.version, p.bits, p.minimum, p.maximum, p.atomType, p.bondType);
    case KvFPType::UnhashedPath:
      return KvGetUnhashedPathFPType(p.version, p.minimum, p.maximum, p.atomType, p.bondType);
    case KvFPType::UnhashedTree:
      return KvGetUnhashedTreeFPType(p.version, p.minimum, p.maximum, p.atomType, p.bondType);
    case KvFPType::UnhashedCircular:
      return KvGetUnhashedCircularFPType(p.version, p.minimum, p.maximum, p.atomType, p.bondType);
    case KvFPType::MACCS166:
      return KvGetMACCS166FPType(p.version);
    case KvFPType::Lingo:
      return KvGetLingoFPType(p.version);
    default:
      return nullptr;
  }
}

// The three numbers of "major.minor.patch", if it is a valid version string.
bool SplitVersion(const std::string& text, unsigned& major, unsigned& minor, unsigned& patch) {
  const auto pieces = Split(text, '.', true);
  return pieces.size() == 3 && ParseDecimal(pieces[0], major) && ParseDecimal(pieces[1], minor) &&
         ParseDecimal(pieces[2], patch) && major < 15 && minor < 255 && patch < 15;
}

}  // namespace

// ---- Parsers.

bool KvGetPathFPTypeParams(const std::string& typeString, unsigned short& version, unsigned& bits, unsigned& minimum,
                           unsigned& maximum, unsigned& atomType, unsigned& bondType) {
  return ParseGraphTypeString(kPathGrammar, typeString, version, bits, minimum, maximum, atomType, bondType);
}
bool KvGetTreeFPTypeParams(const std::string& typeString, unsigned short& version, unsigned& bits, unsigned& minimum,
                           unsigned& maximum, unsigned& atomType, unsigned& bondType) {
  return ParseGraphTypeString(kTreeGrammar, typeString, version, bits, minimum, maximum, atomType, bondType);
}
bool KvGetCircularFPTypeParams(const std::string& typeString, unsigned short& version, unsigned& bits,
                               unsigned& minimum, unsigned& maximum, unsigned& atomType, unsigned& bondType) {
  return ParseGraphTypeString(kCircularGrammar, typeString, version, bits, minimum, maximum, atomType, bondType);
}
bool KvGetUnhashedPathFPTypeParams(const std::string& typeString, unsigned short& version, unsigned& minimum,
                                   unsigned& maximum, unsigned& atomType, unsigned& bondType) {
  unsigned bits = 0;
  return ParseGraphTypeString(kUnhashedPathGrammar, typeString, version, bits, minimum, maximum, atomType,
                              bondType);
}
bool KvGetUnhashedTreeFPTypeParams(const std::string& typeString, unsigned short& version, unsigned& minimum,
                                   unsigned& maximum, unsigned& atomType, unsigned& bondType) {
  unsigned bits = 0;
  return ParseGraphTypeString(kUnhashedTreeGrammar, typeString, version, bits, minimum, maximum, atomType,
                              bondType);
}
bool KvGetUnhashedCircularFPTypeParams(const std::string& typeString, unsigned short& version, unsigned& minimum,
                                       unsigned& maximum, unsigned& atomType, unsigned& bondType) {
  unsigned bits = 0;
  return ParseGraphTypeString(kUnhashedCircularGrammar, typeString, version, bits, minimum, maximum, atomType,
                              bondType);
}
bool KvGetMACCS166FPTypeParams(const std::string& typeString, unsigned short& version) {
  return ParseVersionTypeString(KvGetMACCS166FPStringPrefix(), typeString, version);
}
bool KvGetLingoFPTypeParams(const std::string& typeString, unsigned short& version) {
  return ParseVersionTypeString(KvGetLingoFPStringPrefix(), typeString, version);
}

unsigned KvGetFPTypeFromString(const std::string& typeString) {
  // Order matters only in principle: no prefix is a prefix of another one.
  static constexpr std::pair<std::string_view, unsigned> kPrefixes[] = {
      {"MACCS166", KvFPType::MACCS166},     {"Lingo", KvFPType::Lingo},
      {"Path", KvFPType::Path},             {"Circular", KvFPType::Circular},
      {"Tree", KvFPType::Tree},             {"UHPath", KvFPType::UnhashedPath},
      {"UHCircular", KvFPType::UnhashedCircular}, {"UHTree", KvFPType::UnhashedTree},
  };
  const std::string_view text(typeString);
  for (const auto& [prefix, kind] : kPrefixes)
    if (text.substr(0, prefix.size()) == prefix) return kind;
  return 0;
}

// ---- Versions.

unsigned short KvGetFingerPrintVersion(unsigned kind) {
  switch (kind) {
    case KvFPType::MACCS166:
      return KvMACCS166FPVersion;
    case KvFPType::Path:
    case KvFPType::Lingo:
    case KvFPType::Circular:
    case KvFPType::Tree:
    case KvFPType::UnhashedPath:
    case KvFPType::UnhashedCircular:
    case KvFPType::UnhashedTree:
      return KvGraphFPVersion;
    case KvFPType::LegacyMACCS166:
    case KvFPType::LegacyPath:
    case KvFPType::LegacyLingo:
      return 0;
    default:
      Throw().Warning("%s : unknown fingerprint type!", "KvGetFingerPrintVersion");
      return 0;
  }
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

const KvFPTypeBase* KvGetFPType(unsigned kind, bool vs, unsigned vsVersion) {
  if (vsVersion == 0) vsVersion = 2;
  if (vs && vsVersion > 2) {
    Throw().Warning("KvGetFPType() unknown VS fingerprint version");
    return nullptr;
  }
  const unsigned short version = KvGetFingerPrintVersion(kind);
  switch (kind) {
    case KvFPType::Path:
      if (vs) return KvGetVSFPType(kind, vsVersion);
      return KvGetPathFPType(version, 4096, 0, 5, KvFPAtomType::DefaultPathAtom, KvFPBondType::DefaultPathBond);
    case KvFPType::Tree:
      if (vs) return KvGetVSFPType(kind, vsVersion);
      return KvGetTreeFPType(version, 4096, 0, 4, KvFPAtomType::DefaultTreeAtom, KvFPBondType::DefaultTreeBond);
    case KvFPType::Circular:
      if (vs) return KvGetVSFPType(kind, vsVersion);
      return KvGetCircularFPType(version, 4096, 0, 5, KvFPAtomType::DefaultCircularAtom,
                                 KvFPBondType::DefaultCircularBond);
    case KvFPType::UnhashedPath:
      return KvGetUnhashedPathFPType(version, 0, 5, KvFPAtomType::DefaultPathAtom, KvFPBondType::DefaultPathBond);
    case KvFPType::UnhashedCircular:
      return KvGetUnhashedCircularFPType(version, 0, 5, KvFPAtomType::DefaultCircularAtom,
                                         KvFPBondType::DefaultCircularBond);
    case KvFPType::UnhashedTree:
      return KvGetUnhashedTreeFPType(version, 0, 4, KvFPAtomType::DefaultTreeAtom, KvFPBondType::DefaultTreeBond);
    case KvFPType::MACCS166:
      return KvGetMACCS166FPType(version);
    case KvFPType::Lingo:
      return KvGetLingoFPType(version);
    default:
      Throw().Warning("KvGetFPType() unknown fingerprint type");
      return nullptr;
  }
}

const KvFPTypeBase* KvGetVSFPType(unsigned kind, unsigned vsVersion) {
  using namespace KvFPAtomType;
  if (vsVersion == 0) vsVersion = 2;
  if (vsVersion != 1 && vsVersion != 2) {
    Throw().Warning("KvGetVSFPType() unknown VS fingerprint version");
    return nullptr;
  }
  switch (kind) {
    case KvFPType::Path:
      return KvGetPathFPType(KvGraphFPVersion, 4096, 0, 5, AtmNum | Arom | Chiral | HvyDeg | EqHalo,
                             KvFPBondType::Order | KvFPBondType::Chiral);
    case KvFPType::Circular:
      return KvGetCircularFPType(KvGraphFPVersion, 4096, 0, 5,
                                 vsVersion == 1 ? (AtmNum | Arom | Chiral | EqHalo | HCount)
                                                : (AtmNum | Arom | Chiral | EqHalo),
                                 KvFPBondType::Order);
    case KvFPType::Tree:
      return KvGetTreeFPType(KvGraphFPVersion, 4096, 0, 4, AtmNum | Arom | Chiral | HvyDeg, KvFPBondType::Order);
    default:
      Throw().Warning("KvGetVSFPType: no VS fingerprint type defined for requested fingerprint type: %d",
                      static_cast<int>(kind));
      return nullptr;
  }
}

// ---- String-level queries.

const KvFPTypeBase* KvGetFPType(const std::string& typeString) {
  const unsigned kind = KvGetFPTypeFromString(typeString);
  if (kind == 0) return nullptr;
  ParsedType parsed;
  const bool versionOnly = kind == KvFPType::MACCS166 || kind == KvFPType::Lingo;
  if (!ParseAny(kind, typeString, parsed)) {
    if (!versionOnly) Throw().Warning("KvGetFPType() invalid fingerprint type string");
    return nullptr;
  }
  if (parsed.version != KvGetFingerPrintVersion(kind)) {
    if (versionOnly)
      Throw().Error("KvGetFPType() fingerprint type with old version number");
    else
      Throw().Warning("KvGetFPType() fingerprint type with old version number");
    return nullptr;
  }
  return InternParsed(kind, parsed);
}

bool KvIsValidFPTypeString(const std::string& typeString) {
  const unsigned kind = KvGetFPTypeFromString(typeString);
  if (kind == 0) return false;
  ParsedType parsed;
  if (!ParseAny(kind, typeString, parsed)) return false;
  if (parsed.version != KvGetFingerPrintVersion(kind))
    Throw().Warning("KvIsValidFPTypeString() fingerprint type with old version number");
  return true;
}

unsigned short KvGetFPTypeVersion(const std::string& typeString) {
  const unsigned kind = KvGetFPTypeFromString(typeString);
  if (kind == 0 || IsUnhashedKind(kind)) return 0;
  ParsedType parsed;
  return ParseAny(kind, typeString, parsed) ? parsed.version : 0;
}

// ---- KvFPTypeParams, names and sizes.

KvFPTypeParams::KvFPTypeParams(const std::string& typeString) { Parse(typeString); }

KvFPTypeParams::KvFPTypeParams(const KvFPTypeBase* type) {
  if (type != nullptr) Parse(type->GetFPTypeString());
}

void KvFPTypeParams::Parse(const std::string& typeString) {
  kind_ = KvGetFPTypeFromString(typeString);
  if (kind_ < KvFPType::MACCS166 || kind_ > KvFPType::Tree) return;
  ParsedType parsed;
  valid_ = ParseAny(kind_, typeString, parsed);
  version_ = parsed.version;
  bits_ = kind_ == KvFPType::MACCS166 ? 166 : parsed.bits;
  minimum_ = parsed.minimum;
  maximum_ = parsed.maximum;
  atomTypes_ = parsed.atomType;
  bondTypes_ = parsed.bondType;
}

std::string KvGetFingerPrintName(const KvFPTypeBase* type) {
  const KvFPTypeParams params(type);
  if (!params.IsValid()) return "UNKNOWN";
  switch (params.GetFPType()) {
    case KvFPType::MACCS166:
      return KvGetMACCS166FPStringPrefix();
    case KvFPType::Path:
      return KvGetPathFPStringPrefix();
    case KvFPType::Lingo:
      return KvGetLingoFPStringPrefix();
    case KvFPType::Circular:
      return KvGetCircularFPStringPrefix();
    case KvFPType::Tree:
      return KvGetTreeFPStringPrefix();
    default:
      return "UNKNOWN";
  }
}

unsigned KvGetFingerPrintSize(const KvFPTypeBase* type) {
  const KvFPTypeParams params(type);
  return params.IsValid() ? params.GetNumBits() : 0;
}

}  // namespace Varnex
