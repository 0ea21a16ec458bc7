// Building the feature records that the id generators hand out on request.
//
// Only runs when a caller asked for records, so it may use the molecule's
// objects; the plain generators never reach it.
#pragma once

#include <cstdint>
#include <vector>

#include "kvchem/mol.h"
#include "varnex/feature_records.h"

namespace Varnex {

// Appends the record of the `k` atoms (indices into `mol`) with identifier
// `id`: the atoms in the given order and, for each atom, the first of its
// bonds that leads to an atom earlier in that order.
inline void AppendFeatureRecord(KvFPFeatureRecords& records, const KvChem::KvMolBase& mol, const unsigned* atoms,
                                  unsigned k, std::uint32_t id) {
  thread_local std::vector<unsigned> place;  // per atom index: 1 + place in the set, 0 when outside
  if (place.size() < mol.GetMaxAtomIdx()) place.resize(mol.GetMaxAtomIdx(), 0);
  std::vector<const KvChem::KvAtomBase*> setAtoms;
  std::vector<const KvChem::KvBondBase*> setBonds;
  setAtoms.reserve(k);
  setBonds.reserve(k);
  for (unsigned i = 0; i < k; ++i) place[atoms[i]] = i + 1;
  for (unsigned i = 0; i < k; ++i) {
    const KvChem::KvAtomBase* atom = mol.GetAtom(atoms[i]);
    setAtoms.push_back(atom);
    for (const KvChem::KvBondBase* bond : atom->GetBonds()) {
      const KvChem::KvAtomBase* other = bond->GetBeginAtom() == atom ? bond->GetEndAtom() : bond->GetBeginAtom();
      const unsigned p = place[other->GetIdx()];
      if (p != 0 && p <= i) {
        setBonds.push_back(bond);
        break;
      }
    }
  }
  for (unsigned i = 0; i < k; ++i) place[atoms[i]] = 0;
  records.emplace_back(std::move(setAtoms), std::move(setBonds), &mol, id);
}

}  // namespace Varnex
