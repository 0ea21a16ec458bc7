// Back-pointers from working copies to the caller's molecule.
//
// While an OriginTag lives, every atom and bond of the caller's molecule
// carries its own address under the tag "__oriptr". A copy of the molecule
// inherits that data (also through hydrogen folding, which moves attached
// data with the atoms), so an atom or bond of the copy leads back to the
// caller's. The guard removes the data again however the call ends.
#pragma once

#include <vector>

#include "kvchem/mol.h"
#include "kvchem/substruct.h"
#include "kvsystem/base.h"

namespace Varnex {

inline KvSystem::KvTag OriginTagKey() {
  static const KvSystem::KvTag tag = KvSystem::KvGetTag("__oriptr");
  return tag;
}

class OriginTag {
 public:
  explicit OriginTag(const KvChem::KvMolBase& mol) : mol_(mol) {
    const KvSystem::KvTag tag = OriginTagKey();
    for (KvChem::KvAtomBase* atom : mol.Atoms())
      atom->SetData(new KvSystem::KvBaseDataT<const KvChem::KvAtomBase*>(tag, atom));
    for (KvChem::KvBondBase* bond : mol.Bonds())
      bond->SetData(new KvSystem::KvBaseDataT<const KvChem::KvBondBase*>(tag, bond));
  }
  ~OriginTag() {
    const KvSystem::KvTag tag = OriginTagKey();
    for (KvChem::KvAtomBase* atom : mol_.Atoms()) atom->DeleteData(tag);
    for (KvChem::KvBondBase* bond : mol_.Bonds()) bond->DeleteData(tag);
  }
  OriginTag(const OriginTag&) = delete;
  OriginTag& operator=(const OriginTag&) = delete;

 private:
  const KvChem::KvMolBase& mol_;
};

// The caller's atom or bond behind one of a working copy; null without a tag.
template <typename T>
const T* Origin(const T* item) {
  if (item == nullptr) return nullptr;
  const auto* data = item->template FindDataT<const T*>(OriginTagKey());
  return data != nullptr ? data->GetData() : nullptr;
}

// The caller's atoms and bonds behind a set of a working copy, in set order;
// items without an origin are left out.
inline KvChem::KvAtomBondSet TranslateSet(const KvChem::KvAtomBondSet& set) {
  KvChem::KvAtomBondSet out;
  for (const KvChem::KvAtomBase* atom : set.GetAtoms())
    if (const KvChem::KvAtomBase* origin = Origin(atom)) out.AddAtom(origin);
  for (const KvChem::KvBondBase* bond : set.GetBonds())
    if (const KvChem::KvBondBase* origin = Origin(bond)) out.AddBond(origin);
  return out;
}

// A match pairing the k-th atoms (and bonds) of two sets of working copies,
// as far as both have them, translated to the callers' molecules.
inline KvChem::KvMatch PairSets(const std::vector<const KvChem::KvAtomBase*>& atomsA,
                                  const std::vector<const KvChem::KvBondBase*>& bondsA,
                                  const std::vector<const KvChem::KvAtomBase*>& atomsB,
                                  const std::vector<const KvChem::KvBondBase*>& bondsB) {
  KvChem::KvMatch match;
  for (size_t k = 0; k < atomsA.size() && k < atomsB.size(); ++k) {
    const KvChem::KvAtomBase* a = Origin(atomsA[k]);
    match.AddAtomPair({a, Origin(atomsB[k]), a != nullptr ? a->GetIdx() : 0u});
  }
  for (size_t k = 0; k < bondsA.size() && k < bondsB.size(); ++k) {
    const KvChem::KvBondBase* b = Origin(bondsA[k]);
    match.AddBondPair({b, Origin(bondsB[k]), b != nullptr ? b->GetIdx() : 0u});
  }
  return match;
}

}  // namespace Varnex
