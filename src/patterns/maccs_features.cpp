// Coverage and overlap of the MACCS keys: element keys give single atoms,
// SMARTS keys their unique matches, all on a prepared working copy whose
// atoms and bonds lead back to the caller's molecule.

#include <array>
#include <exception>
#include <memory>
#include <set>
#include <vector>

#include "kvsystem/error.h"
#include "patterns/feature_key.h"
#include "patterns/origin_tag.h"
#include "varnex/maccs.h"
#include "varnex/patterns.h"
#include "varnex/preparation.h"

namespace Varnex {
namespace {

using KvSystem::KvIterBase;

// Atomic numbers with per-molecule atom lists.
constexpr unsigned kAtomicNumbers = 120;

struct MaccsWorking {
  explicit MaccsWorking(const KvChem::KvMolBase& mol) : tag(mol), copy(mol) {
    KvPrepareForFingerprinting(copy, KvFPType::MACCS166);
  }
  OriginTag tag;
  KvChem::KvGraphMol copy;
};

bool IsMaccs(const KvFPTypeBase* type) { return type != nullptr && type->GetFPType() == KvFPType::MACCS166; }

// The atoms of `mol` by atomic number, for numbers that have an element key.
std::array<std::vector<const KvChem::KvAtomBase*>, kAtomicNumbers> KeyedAtoms(const KvChem::KvMolBase& mol) {
  std::array<std::vector<const KvChem::KvAtomBase*>, kAtomicNumbers> atoms;
  for (const KvChem::KvAtomBase* atom : mol.Atoms()) {
    const unsigned z = atom->GetAtomicNum();
    if (z < kAtomicNumbers && KvGetMACCSElementKey(z) != 0) atoms[z].push_back(atom);
  }
  return atoms;
}

// The atoms and bonds of a match, on its target side.
KvChem::KvAtomBondSet TargetSet(const KvChem::KvMatchBase& match) {
  KvChem::KvAtomBondSet set;
  for (const KvChem::KvAtomPair& pair : match.GetAtomPairs()) set.AddAtom(pair.target);
  for (const KvChem::KvBondPair& pair : match.GetBondPairs()) set.AddBond(pair.target);
  return set;
}

std::vector<KvChem::KvAtomBondSet> KeyMatches(const MACCSKey& key, const KvChem::KvMolBase& mol) {
  std::vector<KvChem::KvAtomBondSet> sets;
  if (!key.search || !key.search->IsValid()) return sets;
  for (const KvChem::KvMatchBase& match : KvSystem::KvCollect(key.search->Match(mol, true)))
    sets.push_back(TargetSet(match));
  return sets;
}

}  // namespace

KvIterBase<KvChem::KvAtomBondSet>* KvGetMACCSFPCoverage(const KvChem::KvMolBase& mol, const KvFPTypeBase* type,
                                                        bool unique) {
  try {
    if (!IsMaccs(type) || !mol.IsValid()) return KvSystem::KvMakeEmptyIter<KvChem::KvAtomBondSet>();
    MaccsWorking work(mol);
    std::vector<KvChem::KvAtomBondSet> candidates;
    std::array<bool, kAtomicNumbers> zSeen{};
    for (const KvChem::KvAtomBase* atom : work.copy.Atoms()) {
      const unsigned z = atom->GetAtomicNum();
      if (KvGetMACCSElementKey(z) == 0) continue;
      if (unique && z < kAtomicNumbers) {
        if (zSeen[z]) continue;
        zSeen[z] = true;
      }
      candidates.emplace_back(std::vector<const KvChem::KvAtomBase*>{atom}, std::vector<const KvChem::KvBondBase*>{});
    }
    for (const MACCSKey& key : KvGetMACCSKeyList()) {
      std::vector<KvChem::KvAtomBondSet> sets = KeyMatches(key, work.copy);
      if (unique && sets.size() > 1) sets.resize(1);
      for (KvChem::KvAtomBondSet& set : sets) candidates.push_back(std::move(set));
    }
    std::set<KvFeatureKey> seen;
    std::vector<KvChem::KvAtomBondSet> kept;
    for (const KvChem::KvAtomBondSet& set : candidates)
      if (seen.insert(KvMakeFeatureKey(set)).second) kept.push_back(KvTranslateSet(set));
    return KvSystem::KvMakeVectorIter(std::move(kept));
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("%s : %s", "KvGetMACCSFPCoverage()", e.what());
    return KvSystem::KvMakeEmptyIter<KvChem::KvAtomBondSet>();
  }
}

KvIterBase<KvChem::KvMatchBase>* KvGetMACCSFPOverlap(const KvChem::KvMolBase& molA, const KvChem::KvMolBase& molB,
                                                     const KvFPTypeBase* type) {
  try {
    if (!IsMaccs(type) || !molA.IsValid() || !molB.IsValid())
      return KvSystem::KvMakeEmptyIter<KvChem::KvMatchBase>();
    MaccsWorking workA(molA);
    MaccsWorking workB(molB);
    std::vector<KvChem::KvMatchBase> matches;
    const auto atomsA = KeyedAtoms(workA.copy);
    const auto atomsB = KeyedAtoms(workB.copy);
    for (unsigned z = 0; z < kAtomicNumbers; ++z)
      for (const KvChem::KvAtomBase* a : atomsA[z])
        for (const KvChem::KvAtomBase* b : atomsB[z]) matches.push_back(KvPairSets({a}, {}, {b}, {}));
    for (const MACCSKey& key : KvGetMACCSKeyList()) {
      const std::vector<KvChem::KvAtomBondSet> setsA = KeyMatches(key, workA.copy);
      if (setsA.empty()) continue;
      const std::vector<KvChem::KvAtomBondSet> setsB = KeyMatches(key, workB.copy);
      for (const KvChem::KvAtomBondSet& a : setsA)
        for (const KvChem::KvAtomBondSet& b : setsB)
          matches.push_back(KvPairSets(a.GetAtoms(), a.GetBonds(), b.GetAtoms(), b.GetBonds()));
    }
    return KvSystem::KvMakeVectorIter(std::move(matches));
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("%s : %s", "KvGetMACCSFPOverlap()", e.what());
    return KvSystem::KvMakeEmptyIter<KvChem::KvMatchBase>();
  }
}

}  // namespace Varnex
