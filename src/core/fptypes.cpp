// Fingerprint type classes, their registries and the type-string writers.

#include <cstdio>
#include <utility>

#include "core/fptype_internal.h"
#include "varnex/fpkinds.h"
#include "varnex/fptype_flags.h"
#include "varnex/fptypes.h"

namespace Varnex {
namespace {

using FPTypeDetail::FPTypeRegistry;
using GraphKey = std::pair<unsigned short, std::uint64_t>;

// One registry per kind. Function-local statics, so that a lookup made from
// another translation unit's static initialiser still finds its registry.
template <typename Type>
FPTypeRegistry<GraphKey>& GraphRegistry() {
  static FPTypeRegistry<GraphKey> registry;
  return registry;
}
template <typename Type>
FPTypeRegistry<unsigned short>& VersionRegistry() {
  static FPTypeRegistry<unsigned short> registry;
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

// Writes the type string of a graph type ("size" only for hashed kinds). Stray
// bits outside the kind's fields are reported and left out of the text.
std::string WriteGraphTypeString(const KvFPGraphTypeBase& type) {
  const KvFPKind& kind = *KvFindFPKind(type.GetFPType());
  KvReportStrayParameterBits(type);
  const std::uint64_t word = type.GetParameterWord() & kind.wordMask;
  const unsigned maximum = static_cast<unsigned>(word & 0xFF);
  const unsigned minimum = static_cast<unsigned>((word >> 8) & 0xFF);
  const unsigned bondType = static_cast<unsigned>((word >> 16) & 0xFF);
  const unsigned atomType = static_cast<unsigned>((word >> 24) & 0xFFFF);
  const unsigned bits = static_cast<unsigned>((word >> 44) & 0xFFFF);

  std::string text = kind.prefix;
  text += ",ver=";
  text += type.GetFPVersionString();
  if (kind.layout == KvFPParamLayout::Hashed) {
    text += ",size=";
    text += std::to_string(bits);
  }
  text += ',';
  text += kind.distanceKey;
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

std::string WriteVersionTypeString(unsigned code, unsigned short version) {
  return std::string(KvFindFPKind(code)->prefix) + ",ver=" + KvGetFingerPrintVersionString(version);
}

const char* PrefixOf(unsigned code) { return KvFindFPKind(code)->prefix; }

}  // namespace

KvFPTypeBase::~KvFPTypeBase() = default;

std::string KvFPTypeBase::GetFPVersionString() const { return KvGetFingerPrintVersionString(version_); }

unsigned KvFPTypeBase::GetNumBits() const {
  if (const auto* graph = dynamic_cast<const KvFPGraphTypeBase*>(this)) return graph->GetNumBits();
  const KvFPKind* kind = KvFindFPKind(GetFPType());
  return kind != nullptr ? kind->fixedBits : 0;
}

std::string KvGetFingerPrintVersionString(unsigned short version) {
  char text[24];
  std::snprintf(text, sizeof text, "%u.%u.%u", static_cast<unsigned>(version >> 12),
                static_cast<unsigned>((version >> 4) & 0xFF), static_cast<unsigned>(version & 0xF));
  return text;
}

// ---- Kind codes and type strings of the eight classes.

unsigned KvFPPathType::GetFPType() const { return KvFPType::Path; }
std::string KvFPPathType::GetFPTypeString() const { return WriteGraphTypeString(*this); }

unsigned KvFPTreeType::GetFPType() const { return KvFPType::Tree; }
std::string KvFPTreeType::GetFPTypeString() const { return WriteGraphTypeString(*this); }

unsigned KvFPCircularType::GetFPType() const { return KvFPType::Circular; }
std::string KvFPCircularType::GetFPTypeString() const { return WriteGraphTypeString(*this); }

unsigned KvFPUnhashedPathType::GetFPType() const { return KvFPType::UnhashedPath; }
std::string KvFPUnhashedPathType::GetFPTypeString() const { return WriteGraphTypeString(*this); }

unsigned KvFPUnhashedTreeType::GetFPType() const { return KvFPType::UnhashedTree; }
std::string KvFPUnhashedTreeType::GetFPTypeString() const { return WriteGraphTypeString(*this); }

unsigned KvFPUnhashedCircularType::GetFPType() const { return KvFPType::UnhashedCircular; }
std::string KvFPUnhashedCircularType::GetFPTypeString() const { return WriteGraphTypeString(*this); }

unsigned KvFPMACCS166Type::GetFPType() const { return KvFPType::MACCS166; }
std::string KvFPMACCS166Type::GetFPTypeString() const { return WriteVersionTypeString(GetFPType(), GetFPVersion()); }

unsigned KvFPLingoType::GetFPType() const { return KvFPType::Lingo; }
std::string KvFPLingoType::GetFPTypeString() const { return WriteVersionTypeString(GetFPType(), GetFPVersion()); }

// ---- Prefixes.

const char* KvGetPathFPStringPrefix() { return PrefixOf(KvFPType::Path); }
const char* KvGetTreeFPStringPrefix() { return PrefixOf(KvFPType::Tree); }
const char* KvGetCircularFPStringPrefix() { return PrefixOf(KvFPType::Circular); }
const char* KvGetUnhashedPathFPStringPrefix() { return PrefixOf(KvFPType::UnhashedPath); }
const char* KvGetUnhashedTreeFPStringPrefix() { return PrefixOf(KvFPType::UnhashedTree); }
const char* KvGetUnhashedCircularFPStringPrefix() { return PrefixOf(KvFPType::UnhashedCircular); }
const char* KvGetMACCS166FPStringPrefix() { return PrefixOf(KvFPType::MACCS166); }
const char* KvGetLingoFPStringPrefix() { return PrefixOf(KvFPType::Lingo); }

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
  return InternGraph<KvFPUnhashedCircularType>(version, KvMakeFPParameterWord(0, minimum, maximum, atomType, bondType));
}

const KvFPTypeBase* KvGetMACCS166FPType(unsigned short version) { return InternVersion<KvFPMACCS166Type>(version); }
const KvFPTypeBase* KvGetLingoFPType(unsigned short version) { return InternVersion<KvFPLingoType>(version); }

}  // namespace Varnex
