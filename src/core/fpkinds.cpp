// The table of fingerprint kinds.

#include "varnex/fpkinds.h"

#include "kvsystem/error.h"
#include "varnex/fptype_flags.h"
#include "system/messages.h"

namespace Varnex {
namespace {

using Layout = KvFPParamLayout;

// Fields a graph parameter word may use: bits 0-39 always, 44-59 (the size)
// only for hashed kinds.
constexpr std::uint64_t kHashedWordMask = 0x0FFFF0FFFFFFFFFFull;
constexpr std::uint64_t kUnhashedWordMask = 0x000000FFFFFFFFFFull;

const KvFPTypeBase* InternMACCS166(unsigned short version, const KvFPGraphParams&) {
  return KvGetMACCS166FPType(version);
}
const KvFPTypeBase* InternLingo(unsigned short version, const KvFPGraphParams&) { return KvGetLingoFPType(version); }
const KvFPTypeBase* InternPath(unsigned short version, const KvFPGraphParams& p) {
  return KvGetPathFPType(version, p.bits, p.minimum, p.maximum, p.atomTypes, p.bondTypes);
}
const KvFPTypeBase* InternTree(unsigned short version, const KvFPGraphParams& p) {
  return KvGetTreeFPType(version, p.bits, p.minimum, p.maximum, p.atomTypes, p.bondTypes);
}
const KvFPTypeBase* InternCircular(unsigned short version, const KvFPGraphParams& p) {
  return KvGetCircularFPType(version, p.bits, p.minimum, p.maximum, p.atomTypes, p.bondTypes);
}
const KvFPTypeBase* InternUnhashedPath(unsigned short version, const KvFPGraphParams& p) {
  return KvGetUnhashedPathFPType(version, p.minimum, p.maximum, p.atomTypes, p.bondTypes);
}
const KvFPTypeBase* InternUnhashedTree(unsigned short version, const KvFPGraphParams& p) {
  return KvGetUnhashedTreeFPType(version, p.minimum, p.maximum, p.atomTypes, p.bondTypes);
}
const KvFPTypeBase* InternUnhashedCircular(unsigned short version, const KvFPGraphParams& p) {
  return KvGetUnhashedCircularFPType(version, p.minimum, p.maximum, p.atomTypes, p.bondTypes);
}

namespace A = KvFPAtomType;
namespace B = KvFPBondType;

constexpr KvFPGraphParams kPathDefaults{4096, 0, 5, A::DefaultPathAtom, B::DefaultPathBond};
constexpr KvFPGraphParams kTreeDefaults{4096, 0, 4, A::DefaultTreeAtom, B::DefaultTreeBond};
constexpr KvFPGraphParams kCircularDefaults{4096, 0, 5, A::DefaultCircularAtom, B::DefaultCircularBond};
constexpr KvFPGraphParams kPathVS{4096, 0, 5, A::AtmNum | A::Arom | A::Chiral | A::HvyDeg | A::EqHalo,
                                  B::Order | B::Chiral};
constexpr KvFPGraphParams kTreeVS{4096, 0, 4, A::AtmNum | A::Arom | A::Chiral | A::HvyDeg, B::Order};
constexpr KvFPGraphParams kCircularVS1{4096, 0, 5, A::AtmNum | A::Arom | A::Chiral | A::EqHalo | A::HCount, B::Order};
constexpr KvFPGraphParams kCircularVS2{4096, 0, 5, A::AtmNum | A::Arom | A::Chiral | A::EqHalo, B::Order};

// Unhashed defaults: those of the hashed partner without a size.
constexpr KvFPGraphParams Unhashed(KvFPGraphParams p) {
  p.bits = 0;
  return p;
}

// In the order of prefix matching (no prefix is a prefix of another one, so
// the order matters only in principle).
constexpr KvFPKind kKinds[] = {
    {.code = KvFPType::MACCS166,
     .legacyCode = KvFPType::LegacyMACCS166,
     .prefix = "MACCS166",
     .version = KvMACCS166FPVersion,
     .layout = Layout::VersionOnly,
     .fixedBits = 166,
     .intern = &InternMACCS166},
    {.code = KvFPType::Lingo,
     .legacyCode = KvFPType::LegacyLingo,
     .prefix = "Lingo",
     .version = KvGraphFPVersion,
     .layout = Layout::VersionOnly,
     .intern = &InternLingo},
    {.code = KvFPType::Path,
     .legacyCode = KvFPType::LegacyPath,
     .prefix = "Path",
     .version = KvGraphFPVersion,
     .layout = Layout::Hashed,
     .distanceKey = "bonds",
     .wordMask = kHashedWordMask,
     .strayMessage = Msg::kStrayPathBits,
     .defaults = kPathDefaults,
     .hasVS = true,
     .vs = {kPathVS, kPathVS},
     .intern = &InternPath},
    {.code = KvFPType::Circular,
     .prefix = "Circular",
     .version = KvGraphFPVersion,
     .layout = Layout::Hashed,
     .distanceKey = "radius",
     .wordMask = kHashedWordMask,
     .strayMessage = Msg::kStrayCircularBits,
     .defaults = kCircularDefaults,
     .hasVS = true,
     .vs = {kCircularVS1, kCircularVS2},
     .intern = &InternCircular},
    {.code = KvFPType::Tree,
     .prefix = "Tree",
     .version = KvGraphFPVersion,
     .layout = Layout::Hashed,
     .distanceKey = "bonds",
     .wordMask = kHashedWordMask,
     .strayMessage = Msg::kStrayTreeBits,
     .defaults = kTreeDefaults,
     .hasVS = true,
     .vs = {kTreeVS, kTreeVS},
     .intern = &InternTree},
    {.code = KvFPType::UnhashedPath,
     .prefix = "UHPath",
     .version = KvGraphFPVersion,
     .layout = Layout::Unhashed,
     .distanceKey = "bonds",
     .wordMask = kUnhashedWordMask,
     .strayMessage = Msg::kStrayBits,
     .defaults = Unhashed(kPathDefaults),
     .intern = &InternUnhashedPath},
    {.code = KvFPType::UnhashedCircular,
     .prefix = "UHCircular",
     .version = KvGraphFPVersion,
     .layout = Layout::Unhashed,
     .distanceKey = "radius",
     .wordMask = kUnhashedWordMask,
     .strayMessage = Msg::kStrayBits,
     .defaults = Unhashed(kCircularDefaults),
     .intern = &InternUnhashedCircular},
    {.code = KvFPType::UnhashedTree,
     .prefix = "UHTree",
     .version = KvGraphFPVersion,
     .layout = Layout::Unhashed,
     .distanceKey = "bonds",
     .wordMask = kUnhashedWordMask,
     .strayMessage = Msg::kStrayBits,
     .defaults = Unhashed(kTreeDefaults),
     .intern = &InternUnhashedTree},
};

}  // namespace

std::span<const KvFPKind> KvGetFPKinds() { return kKinds; }

const KvFPKind* KvFindFPKind(unsigned code) {
  // Direct positions in kKinds of the codes 101-105 and 9000-9002: measures
  // ask per pair of fingerprints.
  static constexpr unsigned char kHashedOrder[] = {0, 2, 1, 3, 4};
  static constexpr unsigned char kUnhashedOrder[] = {5, 6, 7};
  if (code >= KvFPType::MACCS166 && code <= KvFPType::Tree) return &kKinds[kHashedOrder[code - KvFPType::MACCS166]];
  if (code >= KvFPType::UnhashedPath && code <= KvFPType::UnhashedTree)
    return &kKinds[kUnhashedOrder[code - KvFPType::UnhashedPath]];
  return nullptr;
}

static_assert(kKinds[0].code == KvFPType::MACCS166 && kKinds[1].code == KvFPType::Lingo &&
              kKinds[2].code == KvFPType::Path && kKinds[3].code == KvFPType::Circular &&
              kKinds[4].code == KvFPType::Tree && kKinds[5].code == KvFPType::UnhashedPath &&
              kKinds[6].code == KvFPType::UnhashedCircular && kKinds[7].code == KvFPType::UnhashedTree);

bool KvReportStrayParameterBits(const KvFPGraphTypeBase& type) {
  const KvFPKind* kind = KvFindFPKind(type.GetFPType());
  if (kind == nullptr || (type.GetParameterWord() & ~kind->wordMask) == 0) return false;
  KvSystem::KvThrow()->Warning("%s", kind->strayMessage);
  return true;
}

}  // namespace Varnex
