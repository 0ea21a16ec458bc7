// The fingerprint generation entry: dispatch by kind and the VS variants.

#include "varnex/generation.h"

#include <exception>

#include "generators/graph_driver.h"
#include "kvsystem/error.h"
#include "varnex/circularfp.h"
#include "varnex/fptype_flags.h"
#include "varnex/lingofp.h"
#include "varnex/maccs.h"
#include "varnex/pathfp.h"
#include "varnex/treefp.h"
#include "varnex/unhashedfp.h"
#include "system/messages.h"

namespace Varnex {
namespace {

// The one place where kinds meet their generators. A kind whose generator is
// not part of the library yet answers false, leaving fp as it was.
bool Dispatch(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  switch (type->GetFPType()) {
    case KvFPType::Path:
      return KvMakePathFP(fp, mol, type);
    case KvFPType::MACCS166:
      return KvMakeMACCS166FP(fp, mol);
    case KvFPType::Lingo:
      return KvMakeLingoFP(fp, mol);
    case KvFPType::Circular:
      return KvMakeCircularFP(fp, mol, type);
    case KvFPType::Tree:
      return KvMakeTreeFP(fp, mol, type);
    case KvFPType::UnhashedPath:
      return KvMakeUnhashedPathFP(fp, mol, type);
    case KvFPType::UnhashedCircular:
      return KvMakeUnhashedCircularFP(fp, mol, type);
    case KvFPType::UnhashedTree:
      return KvMakeUnhashedTreeFP(fp, mol, type);
    default:
      return false;
  }
}

}  // namespace

bool KvMakeFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  if (type == nullptr) return false;
  return Dispatch(fp, mol, type);
}

bool KvMakeFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned kind, bool vs) {
  const KvFPTypeBase* type = KvGetFPType(kind, vs, 1);
  if (type == nullptr) {
    KvSystem::KvThrow()->Warning(Msg::kMakeUnknown);
    return false;
  }
  if (vs) {
    if (kind == KvFPType::Circular) {
      KvSystem::KvThrow()->Warning(Msg::kMakeCircularVS, static_cast<int>(kind));
    } else if (kind == KvFPType::Path || kind == KvFPType::Tree) {
      KvSystem::KvThrow()->Info(Msg::kMakeVSDeprecated,
                                static_cast<int>(kind));
    }
  }
  return KvMakeFP(fp, mol, type);
}

void KvReadyForFingerprinting(KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  try {
    ReadyGraphMol(mol, type);
  } catch (const std::exception&) {
    // The generator will prepare a copy and report what goes wrong there.
  }
}

unsigned KvPerceptionForFingerprinting(const KvFPTypeBase* type) {
  const auto* graph = dynamic_cast<const KvFPGraphTypeBase*>(type);
  const bool hashedGraph = graph != nullptr && (graph->GetFPType() == KvFPType::Path ||
                                                graph->GetFPType() == KvFPType::Tree ||
                                                graph->GetFPType() == KvFPType::Circular);
  if (!hashedGraph || (graph->GetAtomTypes() & KvFPAtomType::Hyb)) return KvChem::KvPerception::Read;
  return KvChem::KvPerception::Read & ~KvChem::KvPerception::Hybridization;
}

bool KvMakeVSFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned kind, unsigned vsVersion) {
  if (vsVersion == 0) vsVersion = 2;
  if (vsVersion >= 3) {
    KvSystem::KvThrow()->Warning(Msg::kMakeVSUnknownVersion, static_cast<int>(vsVersion));
    return false;
  }
  const KvFPTypeBase* type = KvGetVSFPType(kind, vsVersion);
  if (type == nullptr) {
    KvSystem::KvThrow()->Warning(Msg::kMakeVSUnknown);
    return false;
  }
  return KvMakeFP(fp, mol, type);
}

}  // namespace Varnex
