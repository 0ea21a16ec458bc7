// Fingerprint types and type strings.
//
// A fingerprint type is an immutable object that names the kind of a
// fingerprint (path, tree, circular, their unhashed forms, MACCS 166 keys,
// Lingo), the version of the generating algorithm and the generation
// parameters. Types are interned: each kind has one process-wide registry that
// hands out exactly one object per distinct (version, parameters), so two
// fingerprints have the same type exactly when their type pointers are equal.
//
// Ownership: type objects belong to their registries and live until the
// library is unloaded. Callers hold `const KvFPTypeBase*` and never free it.
//
// Thread safety: every function here may be called from any thread. Each
// registry has its own lock; the types themselves are immutable.
//
// Every type has a textual form, the type string, for example
//   Path,ver=2.0.0,size=4096,bonds=0-5,atype=AtmNum|Arom|Chiral|FCharge|HvyDeg|Hyb|EqHalo,btype=Order|Chiral
// which files and records store and which the parsers below read back.
#pragma once

#include <cstdint>
#include <string>

namespace Varnex {

// Fingerprint kind codes (unsigned 32-bit).
namespace KvFPType {
inline constexpr unsigned MACCS166 = 101;
inline constexpr unsigned Path = 102;
inline constexpr unsigned Lingo = 103;
inline constexpr unsigned Circular = 104;
inline constexpr unsigned Tree = 105;
inline constexpr unsigned UnhashedPath = 9000;
inline constexpr unsigned UnhashedCircular = 9001;
inline constexpr unsigned UnhashedTree = 9002;
// Older codes of MACCS166, Path and Lingo. Only the binary record reader
// accepts them; they have version 0 and name no type.
inline constexpr unsigned LegacyMACCS166 = 1;
inline constexpr unsigned LegacyPath = 2;
inline constexpr unsigned LegacyLingo = 3;
}  // namespace KvFPType

// Current algorithm versions: major in bits 12-15, minor in bits 4-11, patch
// in bits 0-3 (0x2020 is "2.2.0").
inline constexpr unsigned short KvMACCS166FPVersion = 0x2020;
inline constexpr unsigned short KvGraphFPVersion = 0x2000;  // every kind but MACCS166

// Packs graph generation parameters into the parameter word:
// (bits << 44) + (atom type << 24) + (bond type << 16) + (minimum << 8) + maximum.
// The fields are not masked: distances and bond types must fit 0-255, atom
// types and bits 0-65535. Unhashed kinds pass bits = 0.
constexpr std::uint64_t KvMakeFPParameterWord(unsigned bits, unsigned minimum, unsigned maximum,
                                              unsigned atomType, unsigned bondType) {
  return (static_cast<std::uint64_t>(bits) << 44) + (static_cast<std::uint64_t>(atomType) << 24) +
         (static_cast<std::uint64_t>(bondType) << 16) + (static_cast<std::uint64_t>(minimum) << 8) +
         static_cast<std::uint64_t>(maximum);
}

// Abstract root of the eight type classes. Immutable; not copyable.
class KvFPTypeBase {
 public:
  explicit KvFPTypeBase(unsigned short version) : version_(version) {}
  virtual ~KvFPTypeBase();
  KvFPTypeBase(const KvFPTypeBase&) = delete;
  KvFPTypeBase& operator=(const KvFPTypeBase&) = delete;

  // The kind code (KvFPType).
  virtual unsigned GetFPType() const = 0;
  // The type string; parsing it gives back the same kind, version and parameters.
  virtual std::string GetFPTypeString() const = 0;

  unsigned short GetFPVersion() const { return version_; }
  // The version as "major.minor.patch" in decimal.
  std::string GetFPVersionString() const;
  // The number of bits of the fingerprints of this type: the size of a hashed
  // graph type, 166 for MACCS166, 0 where the size varies with the molecule
  // (Lingo and unhashed kinds, which store text). Never parses the type string.
  unsigned GetNumBits() const;

 private:
  unsigned short version_;
};

// Common part of the six graph kinds: the parameter word and its fields.
// Instances are made by the registries; use the KvGet...FPType functions.
class KvFPGraphTypeBase : public KvFPTypeBase {
 public:
  KvFPGraphTypeBase(unsigned short version, std::uint64_t parameterWord)
      : KvFPTypeBase(version), word_(parameterWord) {}

  std::uint64_t GetParameterWord() const { return word_; }
  unsigned GetMaxDistance() const { return static_cast<unsigned>(word_ & 0xFF); }
  unsigned GetMinDistance() const { return static_cast<unsigned>((word_ >> 8) & 0xFF); }
  unsigned GetBondTypes() const { return static_cast<unsigned>((word_ >> 16) & 0xFF); }
  unsigned GetAtomTypes() const { return static_cast<unsigned>((word_ >> 24) & 0xFFFF); }
  // Number of bits (the size field); always 0 for the unhashed kinds. The
  // same as KvFPTypeBase::GetNumBits.
  unsigned GetNumBits() const { return static_cast<unsigned>((word_ >> 44) & 0xFFFF); }

 private:
  std::uint64_t word_;
};

// Hashed linear paths (kind 102).
class KvFPPathType final : public KvFPGraphTypeBase {
 public:
  using KvFPGraphTypeBase::KvFPGraphTypeBase;
  unsigned GetFPType() const override;
  std::string GetFPTypeString() const override;
};

// Hashed branched trees (kind 105).
class KvFPTreeType final : public KvFPGraphTypeBase {
 public:
  using KvFPGraphTypeBase::KvFPGraphTypeBase;
  unsigned GetFPType() const override;
  std::string GetFPTypeString() const override;
};

// Hashed circular atom environments (kind 104); distances are radii.
class KvFPCircularType final : public KvFPGraphTypeBase {
 public:
  using KvFPGraphTypeBase::KvFPGraphTypeBase;
  unsigned GetFPType() const override;
  std::string GetFPTypeString() const override;
};

// Unhashed paths (kind 9000).
class KvFPUnhashedPathType final : public KvFPGraphTypeBase {
 public:
  using KvFPGraphTypeBase::KvFPGraphTypeBase;
  unsigned GetFPType() const override;
  std::string GetFPTypeString() const override;
};

// Unhashed trees (kind 9002).
class KvFPUnhashedTreeType final : public KvFPGraphTypeBase {
 public:
  using KvFPGraphTypeBase::KvFPGraphTypeBase;
  unsigned GetFPType() const override;
  std::string GetFPTypeString() const override;
};

// Unhashed circular environments (kind 9001).
class KvFPUnhashedCircularType final : public KvFPGraphTypeBase {
 public:
  using KvFPGraphTypeBase::KvFPGraphTypeBase;
  unsigned GetFPType() const override;
  std::string GetFPTypeString() const override;
};

// The 166 MACCS structural keys (kind 101): a version only.
class KvFPMACCS166Type final : public KvFPTypeBase {
 public:
  using KvFPTypeBase::KvFPTypeBase;
  unsigned GetFPType() const override;
  std::string GetFPTypeString() const override;
};

// Lingo substrings (kind 103): a version only.
class KvFPLingoType final : public KvFPTypeBase {
 public:
  using KvFPTypeBase::KvFPTypeBase;
  unsigned GetFPType() const override;
  std::string GetFPTypeString() const override;
};

// ---- Creation: the registry's type for the arguments, created on first
// request. Never null; the arguments are not validated. Thread-safe.
const KvFPTypeBase* KvGetPathFPType(unsigned short version, unsigned bits, unsigned minimum, unsigned maximum,
                                    unsigned atomType, unsigned bondType);
const KvFPTypeBase* KvGetPathFPType(unsigned bits, unsigned minimum, unsigned maximum, unsigned atomType,
                                    unsigned bondType);
const KvFPTypeBase* KvGetTreeFPType(unsigned short version, unsigned bits, unsigned minimum, unsigned maximum,
                                    unsigned atomType, unsigned bondType);
const KvFPTypeBase* KvGetTreeFPType(unsigned bits, unsigned minimum, unsigned maximum, unsigned atomType,
                                    unsigned bondType);
const KvFPTypeBase* KvGetCircularFPType(unsigned short version, unsigned bits, unsigned minimum, unsigned maximum,
                                        unsigned atomType, unsigned bondType);
const KvFPTypeBase* KvGetCircularFPType(unsigned bits, unsigned minimum, unsigned maximum, unsigned atomType,
                                        unsigned bondType);
const KvFPTypeBase* KvGetUnhashedPathFPType(unsigned short version, unsigned minimum, unsigned maximum,
                                            unsigned atomType, unsigned bondType);
const KvFPTypeBase* KvGetUnhashedTreeFPType(unsigned short version, unsigned minimum, unsigned maximum,
                                            unsigned atomType, unsigned bondType);
const KvFPTypeBase* KvGetUnhashedCircularFPType(unsigned short version, unsigned minimum, unsigned maximum,
                                                unsigned atomType, unsigned bondType);
const KvFPTypeBase* KvGetMACCS166FPType(unsigned short version);
const KvFPTypeBase* KvGetLingoFPType(unsigned short version);

// ---- Type string prefixes (static texts owned by the library).
const char* KvGetPathFPStringPrefix();              // "Path"
const char* KvGetTreeFPStringPrefix();              // "Tree"
const char* KvGetCircularFPStringPrefix();          // "Circular"
const char* KvGetUnhashedPathFPStringPrefix();      // "UHPath"
const char* KvGetUnhashedTreeFPStringPrefix();      // "UHTree"
const char* KvGetUnhashedCircularFPStringPrefix();  // "UHCircular"
const char* KvGetMACCS166FPStringPrefix();          // "MACCS166"
const char* KvGetLingoFPStringPrefix();             // "Lingo"

// ---- Parsers. Each fills its out-parameters from a type string and returns
// true, or reports a warning naming the fault and returns false. Unset
// numeric outputs are 0xFFFFFFFF; the version starts at 0.
[[nodiscard]] bool KvGetPathFPTypeParams(const std::string& typeString, unsigned short& version, unsigned& bits, unsigned& minimum,
                           unsigned& maximum, unsigned& atomType, unsigned& bondType);
[[nodiscard]] bool KvGetTreeFPTypeParams(const std::string& typeString, unsigned short& version, unsigned& bits, unsigned& minimum,
                           unsigned& maximum, unsigned& atomType, unsigned& bondType);
[[nodiscard]] bool KvGetCircularFPTypeParams(const std::string& typeString, unsigned short& version, unsigned& bits,
                               unsigned& minimum, unsigned& maximum, unsigned& atomType, unsigned& bondType);
[[nodiscard]] bool KvGetUnhashedPathFPTypeParams(const std::string& typeString, unsigned short& version, unsigned& minimum,
                                   unsigned& maximum, unsigned& atomType, unsigned& bondType);
[[nodiscard]] bool KvGetUnhashedTreeFPTypeParams(const std::string& typeString, unsigned short& version, unsigned& minimum,
                                   unsigned& maximum, unsigned& atomType, unsigned& bondType);
[[nodiscard]] bool KvGetUnhashedCircularFPTypeParams(const std::string& typeString, unsigned short& version, unsigned& minimum,
                                       unsigned& maximum, unsigned& atomType, unsigned& bondType);
// The bare prefix ("MACCS166", "Lingo") parses with version 0.
[[nodiscard]] bool KvGetMACCS166FPTypeParams(const std::string& typeString, unsigned short& version);
[[nodiscard]] bool KvGetLingoFPTypeParams(const std::string& typeString, unsigned short& version);

// The kind a type string starts with (its prefix), or 0 when none. No message.
unsigned KvGetFPTypeFromString(const std::string& typeString);

// ---- Default and VS types. `vsVersion` 0 means 2. Null with a warning for an
// unknown kind or VS version.
const KvFPTypeBase* KvGetFPType(unsigned kind, bool vs = false, unsigned vsVersion = 0);
// The type used by the VS fingerprint functions (Path, Circular, Tree only).
const KvFPTypeBase* KvGetVSFPType(unsigned kind, unsigned vsVersion = 0);
// The registry type of a type string; null for an unknown prefix (no message),
// a failed parse or a version other than the kind's current one (warnings).
const KvFPTypeBase* KvGetFPType(const std::string& typeString);

// Whether a type string parses; an old version is still valid but warned about.
bool KvIsValidFPTypeString(const std::string& typeString);
// The version in a type string; 0 for an unknown or failed string and for the
// unhashed kinds.
unsigned short KvGetFPTypeVersion(const std::string& typeString);

// The kind prefix for MACCS166, Path, Lingo, Circular and Tree types, else
// (null, unhashed or unparsable types) "UNKNOWN".
std::string KvGetFingerPrintName(const KvFPTypeBase* type);
// The number of bits of a type (MACCS166 166, Lingo 0, hashed graph kinds
// their size), 0 for null, unhashed or unparsable types.
unsigned KvGetFingerPrintSize(const KvFPTypeBase* type);

// ---- Versions.
// The current version of a kind; 0 for the legacy codes; 0 with a warning for
// an unknown kind.
unsigned short KvGetFingerPrintVersion(unsigned kind);
// The version number of "major.minor.patch"; 0 for a string that
// KvIsValidFingerPrintVersion rejects.
unsigned short KvGetFingerPrintVersion(const std::string& versionString);
// "major.minor.patch" of a version number.
std::string KvGetFingerPrintVersionString(unsigned short version);
// True for three dot-separated decimal numbers, major < 15, minor < 255 and
// patch < 15.
bool KvIsValidFingerPrintVersion(const std::string& versionString);

// The parameters of a type string or type object, as plain values.
// Only the kinds 101-105 are parsed; unhashed kinds and unknown strings give
// an invalid object. Fields keep what the parser wrote even when it failed.
class KvFPTypeParams {
 public:
  explicit KvFPTypeParams(const std::string& typeString);
  // A null type gives all fields 0 and invalid; otherwise the type's string is parsed.
  explicit KvFPTypeParams(const KvFPTypeBase* type);

  bool IsValid() const { return valid_; }
  unsigned GetFPType() const { return kind_; }
  unsigned short GetVersion() const { return version_; }
  unsigned GetNumBits() const { return bits_; }
  unsigned GetMinDistance() const { return minimum_; }
  unsigned GetMaxDistance() const { return maximum_; }
  unsigned GetAtomTypes() const { return atomTypes_; }
  unsigned GetBondTypes() const { return bondTypes_; }

 private:
  void Parse(const std::string& typeString);

  bool valid_ = false;
  std::uint32_t kind_ = 0;
  std::uint16_t version_ = 0;
  std::uint32_t bits_ = 0;
  std::uint32_t minimum_ = 0;
  std::uint32_t maximum_ = 0;
  std::uint32_t atomTypes_ = 0;
  std::uint32_t bondTypes_ = 0;
};

}  // namespace Varnex
