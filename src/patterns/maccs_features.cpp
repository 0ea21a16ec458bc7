// Coverage and overlap of the MACCS keys: element keys give single atoms,
// SMARTS keys their unique matches, all on a prepared working copy whose
// atoms and bonds lead back to the caller's molecule.

#include <algorithm>
#include <array>
#include <exception>
#include <memory>
#include <set>
#include <vector>

#include "kvchem/perception.h"
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

// The atoms labelled `label` and the bonds between them that `keep` accepts.
template <typename Keep>
KvChem::KvAtomBondSet LabelledSet(const KvChem::KvMolBase& mol, const std::vector<unsigned>& labels, unsigned label,
                                  Keep keep) {
  KvChem::KvAtomBondSet set;
  for (const KvChem::KvAtomBase* atom : mol.Atoms())
    if (labels[atom->GetIdx()] == label) set.AddAtom(atom);
  for (const KvChem::KvBondBase* bond : mol.Bonds())
    if (labels[bond->GetBeginAtom()->GetIdx()] == label && labels[bond->GetEndAtom()->GetIdx()] == label && keep(bond))
      set.AddBond(bond);
  return set;
}

}  // namespace

KvIterBase<KvFPPattern>* KvGetMACCSFPPatterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  try {
    if (!IsMaccs(type) || !mol.IsValid()) return KvSystem::KvMakeEmptyIter<KvFPPattern>();
    MaccsWorking work(mol);
    std::vector<KvFPPattern> patterns;
    const auto add = [&](unsigned key, const KvChem::KvAtomBondSet& set) {
      const KvChem::KvAtomBondSet origin = TranslateSet(set);
      patterns.emplace_back(origin.GetAtoms(), origin.GetBonds(), KvGetMACCSKeyPattern(key), key, key - 1);
    };
    for (const KvChem::KvAtomBase* atom : work.copy.Atoms())
      if (const unsigned key = KvGetMACCSElementKey(atom->GetAtomicNum()))
        add(key, KvChem::KvAtomBondSet({atom}, {}));
    for (const MACCSKey& key : KvGetMACCSKeyList()) {
      const std::vector<KvChem::KvAtomBondSet> sets = KeyMatches(key, work.copy);
      for (const KvChem::KvAtomBondSet& set : sets) add(key.key, set);
      if (key.countKey != 0 && sets.size() >= 2)
        for (const KvChem::KvAtomBondSet& set : sets) add(key.countKey, set);
    }
    // The keys of the whole molecule: its components, its aromatic ring systems.
    std::vector<unsigned> labels;
    const unsigned components = KvChem::KvDetermineComponents(work.copy, labels);
    if (work.copy.NumAtoms() > 1 && components > 1)
      for (unsigned c = 1; c <= components; ++c)
        add(KvMACCSSeveralComponentsKey, LabelledSet(work.copy, labels, c, [](const KvChem::KvBondBase*) { return true; }));
    const unsigned systems = KvChem::KvDetermineAromaticRingSystems(work.copy, labels);
    for (unsigned key : {KvMACCSAromaticRingSystemKey, KvMACCSSeveralAromaticRingSystemsKey}) {
      if (systems < (key == KvMACCSAromaticRingSystemKey ? 1u : 2u)) continue;
      for (unsigned s = 1; s <= systems; ++s)
        add(key, LabelledSet(work.copy, labels, s, [](const KvChem::KvBondBase* b) { return b->IsAromatic(); }));
    }
    std::stable_sort(patterns.begin(), patterns.end(),
                     [](const KvFPPattern& a, const KvFPPattern& b) { return a.GetBit() < b.GetBit(); });
    return KvSystem::KvMakeVectorIter(std::move(patterns));
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("%s : %s", "KvGetMACCSFPPatterns()", e.what());
    return KvSystem::KvMakeEmptyIter<KvFPPattern>();
  }
}

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
    std::set<FeatureKey> seen;
    std::vector<KvChem::KvAtomBondSet> kept;
    for (const KvChem::KvAtomBondSet& set : candidates)
      if (seen.insert(MakeFeatureKey(set)).second) kept.push_back(TranslateSet(set));
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
        for (const KvChem::KvAtomBase* b : atomsB[z]) matches.push_back(PairSets({a}, {}, {b}, {}));
    for (const MACCSKey& key : KvGetMACCSKeyList()) {
      const std::vector<KvChem::KvAtomBondSet> setsA = KeyMatches(key, workA.copy);
      if (setsA.empty()) continue;
      const std::vector<KvChem::KvAtomBondSet> setsB = KeyMatches(key, workB.copy);
      for (const KvChem::KvAtomBondSet& a : setsA)
        for (const KvChem::KvAtomBondSet& b : setsB)
          matches.push_back(PairSets(a.GetAtoms(), a.GetBonds(), b.GetAtoms(), b.GetBonds()));
    }
    return KvSystem::KvMakeVectorIter(std::move(matches));
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("%s : %s", "KvGetMACCSFPOverlap()", e.what());
    return KvSystem::KvMakeEmptyIter<KvChem::KvMatchBase>();
  }
}

}  // namespace Varnex
