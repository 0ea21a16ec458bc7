// Identity keys of atom-bond sets, for dropping repeated sets and matches.
#pragma once

#include <algorithm>
#include <vector>

#include "kvchem/mol.h"
#include "kvchem/substruct.h"

namespace Varnex {

// Two sets are the same when they have the same atoms and the same bonds,
// whatever their order: sorted atom indices, a separator, sorted bond indices.
using FeatureKey = std::vector<unsigned>;

inline FeatureKey MakeFeatureKey(const KvChem::KvAtomBondSet& set) {
  FeatureKey key;
  key.reserve(set.NumAtoms() + set.NumBonds() + 1);
  for (const KvChem::KvAtomBase* atom : set.GetAtoms()) key.push_back(atom->GetIdx());
  std::sort(key.begin(), key.end());
  key.push_back(~0u);
  const size_t bondsBegin = key.size();
  for (const KvChem::KvBondBase* bond : set.GetBonds()) key.push_back(bond->GetIdx());
  std::sort(key.begin() + static_cast<std::ptrdiff_t>(bondsBegin), key.end());
  return key;
}

// Two matches are the same when they pair the same sequences of atoms and
// bonds: the paired index sequences, in order, with separators.
inline std::vector<unsigned> MakePairKey(const KvChem::KvAtomBondSet& a, const KvChem::KvAtomBondSet& b) {
  std::vector<unsigned> key;
  key.reserve(a.NumAtoms() + b.NumAtoms() + a.NumBonds() + b.NumBonds() + 3);
  const size_t atoms = std::min(a.NumAtoms(), b.NumAtoms());
  const size_t bonds = std::min(a.NumBonds(), b.NumBonds());
  for (size_t k = 0; k < atoms; ++k) key.push_back(a.GetAtoms()[k]->GetIdx());
  key.push_back(~0u);
  for (size_t k = 0; k < atoms; ++k) key.push_back(b.GetAtoms()[k]->GetIdx());
  key.push_back(~0u);
  for (size_t k = 0; k < bonds; ++k) key.push_back(a.GetBonds()[k]->GetIdx());
  key.push_back(~0u);
  for (size_t k = 0; k < bonds; ++k) key.push_back(b.GetBonds()[k]->GetIdx());
  return key;
}

}  // namespace Varnex
