// Feature records: the atoms and bonds behind one identifier of the path,
// tree and circular id generators, handed out on request (patterns.h builds
// the fingerprint patterns from them).
//
// Thread safety: a record is a value; it points into a molecule that the
// caller keeps alive and unchanged while the record is used.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "kvchem/mol.h"
#include "kvchem/substruct.h"

namespace Varnex {

// A feature record of an identifier generator: the feature's atoms (in the
// generator's order) and a spanning tree of its bonds (for each atom, the
// first bond to an atom earlier in the set; ring closures inside the feature
// are left out), the molecule they belong to, and the identifier. The atoms
// and bonds are owned by `mol`. Numeric generators store the emitted
// identifier; text generators store the identifier's position in their output.
template <typename Id>
class KvFPAtomBondSet : public KvChem::KvAtomBondSet {
 public:
  KvFPAtomBondSet() = default;
  KvFPAtomBondSet(std::vector<const KvChem::KvAtomBase*> atoms, std::vector<const KvChem::KvBondBase*> bonds,
                  const KvChem::KvMolBase* mol, Id id)
      : KvAtomBondSet(std::move(atoms), std::move(bonds)), mol_(mol), id_(id) {}

  const KvChem::KvMolBase* GetMol() const { return mol_; }
  Id GetId() const { return id_; }
  KvFPAtomBondSet* CreateCopy() const override { return new KvFPAtomBondSet(*this); }

 private:
  const KvChem::KvMolBase* mol_ = nullptr;
  Id id_{};
};

using KvFPFeatureRecords = std::vector<KvFPAtomBondSet<std::uint32_t>>;

}  // namespace Varnex
