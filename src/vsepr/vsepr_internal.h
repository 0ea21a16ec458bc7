// Internal helpers shared by the VSEPR type functions and the VSEPR
// fingerprint: the stereo refinement of a type and the per-molecule typing.
#pragma once

#include <cstddef>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "kvchem/mol.h"
#include "kvsystem/functional.h"
#include "vsepr/vsepr_table.h"

namespace Varnex::VseprDetail {

inline constexpr unsigned kStereoKind = 57;

// The VSEPRAroType id of an atom, read through the chemistry layer.
inline unsigned AroTypeOf(const KvChem::KvAtomBase& atom) {
  const unsigned atomicNum = atom.GetAtomicNum();
  // Hydrogens and the many atoms outside the nine elements stop here without
  // further queries.
  if (atomicNum < 6 || atomicNum > 53) return kNumAroTypes;
  const AtomKey key{atomicNum,        atom.GetHeavyValence(),      atom.GetHeavyDegree(),
                    atom.GetTotalHCount(), atom.GetFormalCharge(), atom.IsAromatic()};
  return TypeOfKey(key);
}

// The stereo answer (kind 57) of an atom with its neighbours ordered by
// their VSEPRAroType ids, ties in the molecule's neighbour order.
// `neighbourType(atom)` gives a neighbour's VSEPRAroType id.
template <typename NeighbourType>
unsigned StereoAnswer(const KvChem::KvAtomBase& atom, NeighbourType&& neighbourType) {
  // Only a specified tetrahedral centre has a non-zero answer; the chemistry
  // layer's IsChiral() is that same test and is far cheaper than typing the
  // neighbours.
  if (!atom.IsChiral()) return 0;
  const std::span<KvChem::KvAtomBase* const> neighbours = atom.GetNeighbors();
  struct Entry {
    unsigned type;
    const KvChem::KvAtomBase* atom;
  };
  // Neighbour lists are short: sort on the stack unless the atom is unusual.
  constexpr std::size_t kInline = 8;
  std::array<Entry, kInline> inlineEntries;
  std::array<const KvChem::KvAtomBase*, kInline> inlineOrdered;
  std::vector<Entry> heapEntries;
  std::vector<const KvChem::KvAtomBase*> heapOrdered;
  std::span<Entry> entries(inlineEntries.data(), neighbours.size());
  std::span<const KvChem::KvAtomBase*> ordered(inlineOrdered.data(), neighbours.size());
  if (neighbours.size() > kInline) {
    heapEntries.resize(neighbours.size());
    heapOrdered.resize(neighbours.size());
    entries = heapEntries;
    ordered = heapOrdered;
  }
  for (std::size_t i = 0; i < neighbours.size(); ++i) entries[i] = {neighbourType(*neighbours[i]), neighbours[i]};
  // Insertion sort: stable, so equal types keep the molecule's order.
  for (std::size_t i = 1; i < entries.size(); ++i) {
    const Entry e = entries[i];
    std::size_t j = i;
    for (; j > 0 && entries[j - 1].type > e.type; --j) entries[j] = entries[j - 1];
    entries[j] = e;
  }
  for (std::size_t i = 0; i < entries.size(); ++i) ordered[i] = entries[i].atom;
  return atom.GetStereo(std::span<const KvChem::KvAtomBase* const>(ordered), kStereoKind);
}

// The VSEPRAroStereoType id of an atom whose VSEPRAroType id is `aroType`
// and whose stereo answer is `stereo`.
constexpr unsigned RefineByStereo(unsigned aroType, unsigned stereo) {
  if (aroType >= kNumAroTypes) return kNumStereoTypes;
  if (stereo == 0) return aroType;
  if (kRVariant[aroType] != 0 && (stereo == 2 || stereo == 3)) return kRVariant[aroType] + (stereo - 2);
  return kNumStereoTypes;
}

inline unsigned StereoTypeOf(const KvChem::KvAtomBase& atom) {
  const unsigned aroType = AroTypeOf(atom);
  if (aroType >= kNumAroTypes) return kNumStereoTypes;
  return RefineByStereo(aroType, StereoAnswer(atom, [](const KvChem::KvAtomBase& n) { return AroTypeOf(n); }));
}

// Types every atom of `mol` into types[atom index] (resized to the atom-index
// bound). The same ids as GetType(atom) of the chosen space, but each atom is
// typed once: the stereo step reuses the neighbours' plain types.
void TypeAtoms(const KvChem::KvMolBase& mol, bool stereoAware, std::vector<std::uint64_t>& types);

// The atom-type function of the fingerprint: VSEPRAroStereoType::GetType when
// stereo aware, VSEPRAroType::GetType otherwise.
class GetVseprType final : public KvSystem::KvUnaryFunction<KvChem::KvAtomBase, unsigned> {
 public:
  explicit GetVseprType(bool stereoAware) : stereoAware_(stereoAware) {}
  unsigned operator()(const KvChem::KvAtomBase& atom) const override {
    return stereoAware_ ? StereoTypeOf(atom) : AroTypeOf(atom);
  }
  GetVseprType* CreateCopy() const override { return new GetVseprType(*this); }

 private:
  bool stereoAware_;
};

}  // namespace Varnex::VseprDetail
