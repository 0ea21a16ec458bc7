// The general pattern functions: choose the member of the type's kind.

#include "kvsystem/error.h"
#include "varnex/patterns.h"
#include "system/messages.h"

namespace Varnex {
namespace {

using KvSystem::KvIterBase;

enum class Member { Path, Tree, Circular, MACCS, None };

// The member for `type`; warns (naming `name`) and gives None when the kind
// has no member. MACCS has no patterns.
Member Choose(const KvFPTypeBase* type, const char* name, bool maccsAllowed) {
  if (type == nullptr) {
    KvSystem::KvThrow()->Warning(Msg::kTypePointer, name);
    return Member::None;
  }
  switch (type->GetFPType()) {
    case KvFPType::MACCS166:
      if (maccsAllowed) return Member::MACCS;
      KvSystem::KvThrow()->Warning(Msg::kPatternsMACCS, name);
      return Member::None;
    case KvFPType::Path:
      return Member::Path;
    case KvFPType::Lingo:
      KvSystem::KvThrow()->Warning(Msg::kPatternsLingo, name);
      return Member::None;
    case KvFPType::Circular:
      return Member::Circular;
    case KvFPType::Tree:
      return Member::Tree;
    default:
      KvSystem::KvThrow()->Warning(Msg::kPatternsUnknownType, name);
      return Member::None;
  }
}

}  // namespace

KvIterBase<KvChem::KvAtomBondSet>* KvGetFPCoverage(const KvChem::KvMolBase& mol, const KvFPTypeBase* type,
                                                   bool unique) {
  if (!mol.IsValid()) return KvSystem::KvMakeEmptyIter<KvChem::KvAtomBondSet>();
  switch (Choose(type, "KvGetFPCoverage()", true)) {
    case Member::Path:
      return KvGetPathFPCoverage(mol, type, unique);
    case Member::Tree:
      return KvGetTreeFPCoverage(mol, type, unique);
    case Member::Circular:
      return KvGetCircularFPCoverage(mol, type, unique);
    case Member::MACCS:
      return KvGetMACCSFPCoverage(mol, type, unique);
    case Member::None:
      break;
  }
  return KvSystem::KvMakeEmptyIter<KvChem::KvAtomBondSet>();
}

KvIterBase<KvChem::KvMatchBase>* KvGetFPOverlap(const KvChem::KvMolBase& molA, const KvChem::KvMolBase& molB,
                                                const KvFPTypeBase* type) {
  if (!molA.IsValid() || !molB.IsValid()) return KvSystem::KvMakeEmptyIter<KvChem::KvMatchBase>();
  switch (Choose(type, "KvGetFPOverlap()", true)) {
    case Member::Path:
      return KvGetPathFPOverlap(molA, molB, type);
    case Member::Tree:
      return KvGetTreeFPOverlap(molA, molB, type);
    case Member::Circular:
      return KvGetCircularFPOverlap(molA, molB, type);
    case Member::MACCS:
      return KvGetMACCSFPOverlap(molA, molB, type);
    case Member::None:
      break;
  }
  return KvSystem::KvMakeEmptyIter<KvChem::KvMatchBase>();
}

KvIterBase<KvFPPattern>* KvGetFPPatterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  if (!mol.IsValid()) return KvSystem::KvMakeEmptyIter<KvFPPattern>();
  switch (Choose(type, "KvGetFPPatterns()", false)) {
    case Member::Path:
      return KvGetPathFPPatterns(mol, type);
    case Member::Tree:
      return KvGetTreeFPPatterns(mol, type);
    case Member::Circular:
      return KvGetCircularFPPatterns(mol, type);
    case Member::MACCS:
    case Member::None:
      break;
  }
  return KvSystem::KvMakeEmptyIter<KvFPPattern>();
}

}  // namespace Varnex
