// Fingerprint type classes, their registries and the type-string writers.

#include <cstdio>
#include <utility>

#include "core/fptype_internal.h"
#include "kvsystem/error.h"
#include "varnex/fptype_flags.h"
#include "varnex/fptypes.h"

namespace Varnex {
namespace {

using FPTypeDetail::KvFPTypeRegistry;
using GraphKey = std::pair<unsigned short, std::uint64_t>;

// Fields a graph parameter word may use: bits 0-39 always, 44-59 (the size)
// only for hashed kinds. Everything else must stay clear.
constexpr std::uint64_t kHashedWordMask = 0x0FFFF0FFFFFFFFFFull;
constexpr std::uint64_t kUnhashedWordMask = 0x000000FFFFFFFFFFull;

// One registry per kind. Function-local statics, so that a lookup made from
// another translation unit's static initialiser still finds its registry.
template <typename Type>
KvFPTypeRegistry<GraphKey>& GraphRegistry() {
  static KvFPTypeRegistry<GraphKey> registry;
  return registry;
}
template <typename Type>
KvFPTypeRegistry<unsigned short>& VersionRegistry() {
  static KvFPTypeRegistry<unsigned short> registry;
  return registry;
}

template <typename Type>
const KvFPTypeBase* InternGraph(unsigned short version, std::uint64_t word) {
  return GraphRegistry<Type>().Get({version, word}, [&] { return new Type(version, word); });
}
template <typename Type>
const KvFPTypeBase* InternVersion(unsigned short version) {
  return VersionRegistry<Type>().Get(version, [&] { return new Type(version); });
}

// Writes a graph type string. `hashed` kinds write "size"; `distanceKey` is
// "bonds" or "radius". Stray bits outside the fields are reported with
// `strayMessage` and left out of the text.
std::string WriteGraphTypeString(const char* prefix, bool hashed, const char* distanceKey, unsigned short version,
                                 std::uint64_t word, const char* strayMessage) {
  const std::uint64_t mask = hashed ? kHashedWordMask : kUnhashedWordMask;
  if ((word & ~mask) != 0) KvSystem::KvThrow()->Warning("%s", strayMessage);
  word &= mask;
  const unsigned maximum = static_cast<unsigned>(word & 0xFF);
  const unsigned minimum = static_cast<unsigned>((word >> 8) & 0xFF);
  const unsigned bondType = static_cast<unsigned>((word >> 16) & 0xFF);
  const unsigned atomType = static_cast<unsigned>((word >> 24) & 0xFFFF);
  const unsigned bits = static_cast<unsigned>((word >> 44) & 0xFFFF);

  std::string text = prefix;
  text += ",ver=";
  text += KvGetFingerPrintVersionString(version);
  if (hashed) {
    text += ",size=";
    text += std::to_string(bits);
  }
  text += ',';
  text += distanceKey;
  text += '=';
  text += std::to_string(minimum);
  text += '-';
  text += std::to_string(maximum);
  text += ",atype=";
  text += KvGetFPAtomType(atomType);
  text += ",btype=";
  text += KvGetFPBondType(bondType);
  return text;
}

std::string WriteVersionTypeString(const char* prefix, unsigned short version) {
  return std::string(prefix) + ",ver=" + KvGetFingerPrintVersionString(version);
}

}  // namespace

KvFPTypeBase::~KvFPTypeBase() = default;

std::string KvFPTypeBase::GetFPVersionString() const { return KvGetFingerPrintVersionString(version_); }

std::string KvGetFingerPrintVersionString(unsigned short version) {
  char text[24];
  std::snprintf(text, sizeof text, "%u.%u.%u", static_cast<unsigned>(version >> 12),
                static_cast<unsigned>((version >> 4) & 0xFF), static_cast<unsigned>(version & 0xF));
  return text;
}

// ---- Kind codes and type strings of the eight classes.

unsigned KvFPPathType::GetFPType() const { return KvFPType::Path; }
std::string KvFPPathType::GetFPTypeString() const {
  return WriteGraphTypeString(KvGetPathFPStringPrefix(), true, "bonds", GetFPVersion(), GetParameterWord(),
                              "Unrecognised data in KvFPPathType!");
}

unsigned KvFPTreeType::GetFPType() const { return KvFPType::Tree; }
std::string KvFPTreeType::GetFPTypeString() const {
  return WriteGraphTypeString(KvGetTreeFPStringPrefix(), true, "bonds", GetFPVersion(), GetParameterWord(),
                              "Unrecognised data in KvFPTreeType!");
}

unsigned KvFPCircularType::GetFPType() const { return KvFPType::Circular; }
std::string KvFPCircularType::GetFPTypeString() const {
  return WriteGraphTypeString(KvGetCircularFPStringPrefix(), true, "radius", GetFPVersion(), GetParameterWord(),
                              "Unrecognised data in KvFPCircularType!");
}

unsigned KvFPUnhashedPathType::GetFPType() const { return KvFPType::UnhashedPath; }
std::string KvFPUnhashedPathType::GetFPTypeString() const {
  return WriteGraphTypeString(KvGetUnhashedPathFPStringPrefix(), false, "bonds", GetFPVersion(), GetParameterWord(),
                              "Unrecognised data!");
}

unsigned KvFPUnhashedTreeType::GetFPType() const { return KvFPType::UnhashedTree; }
std::string KvFPUnhashedTreeType::GetFPTypeString() const {
  return WriteGraphTypeString(KvGetUnhashedTreeFPStringPrefix(), false, "bonds", GetFPVersion(), GetParameterWord(),
                              "Unrecognised data!");
}

unsigned KvFPUnhashedCircularType::GetFPType() const { return KvFPType::UnhashedCircular; }
std::string KvFPUnhashedCircularType::GetFPTypeString() const {
  return WriteGraphTypeString(KvGetUnhashedCircularFPStringPrefix(), false, "radius", GetFPVersion(),
                              GetParameterWord(), "Unrecognised data!");
}

unsigned KvFPMACCS166Type::GetFPType() const { return KvFPType::MACCS166; }
std::string KvFPMACCS166Type::GetFPTypeString() const {
  return WriteVersionTypeString(KvGetMACCS166FPStringPrefix(), GetFPVersion());
}

unsigned KvFPLingoType::GetFPType() const { return KvFPType::Lingo; }
std::string KvFPLingoType::GetFPTypeString() const {
  return WriteVersionTypeString(KvGetLingoFPStringPrefix(), GetFPVersion());
}

// ---- Prefixes.

const char* KvGetPathFPStringPrefix() { return "Path"; }
const char* KvGetTreeFPStringPrefix() { return "Tree"; }
const char* KvGetCircularFPStringPrefix() { return "Circular"; }
const char* KvGetUnhashedPathFPStringPrefix() { return "UHPath"; }
const char* KvGetUnhashedTreeFPStringPrefix() { return "UHTree"; }
const char* KvGetUnhashedCircularFPStringPrefix() { return "UHCircular"; }
const char* KvGetMACCS166FPStringPrefix() { return "MACCS166"; }
const char* KvGetLingoFPStringPrefix() { return "Lingo"; }

// ---- Creation.

const KvFPTypeBase* KvGetPathFPType(unsigned short version, unsigned bits, unsigned minimum, unsigned maximum,
                                    unsigned atomType, unsigned bondType) {
  return InternGraph<KvFPPathType>(version, KvMakeFPParameterWord(bits, minimum, maximum, atomType, bondType));
}
const KvFPTypeBase* KvGetPathFPType(unsigned bits, unsigned minimum, unsigned maximum, unsigned atomType,
                                    unsigned bondType) {
  return KvGetPathFPType(KvGraphFPVersion, bits, minimum, maximum, atomType, bondType);
}

const KvFPTypeBase* KvGetTreeFPType(unsigned short version, unsigned bits, unsigned minimum, unsigned maximum,
                                    unsigned atomType, unsigned bondType) {
  return InternGraph<KvFPTreeType>(version, KvMakeFPParameterWord(bits, minimum, maximum, atomType, bondType));
}
const KvFPTypeBase* KvGetTreeFPType(unsigned bits, unsigned minimum, unsigned maximum, unsigned atomType,
                                    unsigned bondType) {
  return KvGetTreeFPType(KvGraphFPVersion, bits, minimum, maximum, atomType, bondType);
}

const KvFPTypeBase* KvGetCircularFPType(unsigned short version, unsigned bits, unsigned minimum, unsigned maximum,
                                        unsigned atomType, unsigned bondType) {
  return InternGraph<KvFPCircularType>(version, KvMakeFPParameterWord(bits, minimum, maximum, atomType, bondType));
}
const KvFPTypeBase* KvGetCircularFPType(unsigned bits, unsigned minimum, unsigned maximum, unsigned atomType,
                                        unsigned bondType) {
  return KvGetCircularFPType(KvGraphFPVersion, bits, minimum, maximum, atomType, bondType);
}

const KvFPTypeBase* KvGetUnhashedPathFPType(unsigned short version, unsigned minimum, unsigned maximum,
                                            unsigned atomType, unsigned bondType) {
  return InternGraph<KvFPUnhashedPathType>(version, KvMakeFPParameterWord(0, minimum, maximum, atomType, bondType));
}
const KvFPTypeBase* KvGetUnhashedTreeFPType(unsigned short version, unsigned minimum, unsigned maximum,
                                            unsigned atomType, unsigned bondType) {
  return InternGraph<KvFPUnhashedTreeType>(version, KvMakeFPParameterWord(0, minimum, maximum, atomType, bondType));
}
const KvFPTypeBase* KvGetUnhashedCircularFPType(unsigned short version, unsigned minimum, unsigned maximum,
                                                unsigned atomType, unsigned bondType) {
  return InternGraph<KvFPUnhashedCircularType>(version,
                                               KvMakeFPParameterWord(0, minimum, maximum, atomType, bondType));
}

const KvFPTypeBase* KvGetMACCS166FPType(unsigned short version) { return InternVersion<KvFPMACCS166Type>(version); }
const KvFPTypeBase* KvGetLingoFPType(unsigned short version) { return InternVersion<KvFPLingoType>(version); }

}  // namespace Varnex
