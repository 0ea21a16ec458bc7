// The subgraph identifier hash shared by the tree and circular fingerprints,
// and the flat molecule graph both of them walk.
//
// The hash gives a set of atoms an identifier that depends only on the type
// numbers of its atoms and bonds and on how they are connected, never on the
// order of the atoms: every atom's label is refined floor(k / 2) times from
// its neighbours' labels within the set (sorted, so neighbour order does not
// matter), then the sorted final labels are combined with position weights.
//
// Thread safety: one table and one hasher per thread; they hold scratch state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kvchem/mol.h"

namespace Varnex {

// Multiplier i of the subgraph hash. Entries 0 to 49 are the fixed primes
// 947, 983, ..., 2791. Sets with more than 48 non-zero labels (and atoms with
// more than 50 neighbours in a set) need further entries; from 50 on, entry i
// is an odd number drawn from a bijective 32-bit integer mixer of i. Odd, so
// that multiplying by it is invertible modulo 2^32 and no label's bits are
// lost; mixed, so that consecutive entries differ in about half their bits
// and the weighted sum of a large environment stays spread over all 32 bits.
// The sequence is fixed: it is part of the fingerprint format.
std::uint32_t SubgraphMultiplier(std::size_t i);

// The heavy-atom graph of a molecule as flat arrays: for each atom, its
// neighbours that are not hydrogens, as (neighbour index, bond index) pairs
// in the order in which the molecule lists the atom's bonds.
class HeavyNeighbourTable {
 public:
  // Rebuilds the table for `mol`, reusing the storage of earlier builds.
  void Build(const KvChem::KvMolBase& mol);

  unsigned NumAtoms() const { return numAtoms_; }
  // Neighbour slots of `atom`: [Begin(atom), End(atom)).
  unsigned Begin(unsigned atom) const { return offsets_[atom]; }
  unsigned End(unsigned atom) const { return offsets_[atom + 1]; }
  unsigned Degree(unsigned atom) const { return offsets_[atom + 1] - offsets_[atom]; }
  unsigned NbrAtom(unsigned slot) const { return nbrAtom_[slot]; }
  unsigned NbrBond(unsigned slot) const { return nbrBond_[slot]; }
  unsigned MaxDegree() const { return maxDegree_; }
  std::size_t NumSlots() const { return nbrAtom_.size(); }

 private:
  unsigned numAtoms_ = 0;
  unsigned maxDegree_ = 0;
  std::vector<unsigned> offsets_;
  std::vector<unsigned> nbrAtom_;
  std::vector<unsigned> nbrBond_;
};

// The start atoms of the tree and circular enumerations: the heavy atoms in
// molecule order, leaving out an atom whose non-zero symmetry class an
// earlier start atom had. `roots` is overwritten.
void CollectRootAtoms(const KvChem::KvMolBase& mol, std::vector<unsigned>& roots);

// Hashes atom sets of one molecule. Bind it to a neighbour table and the
// type number arrays (indexed by atom and bond index) with Reset; the arrays
// must outlive the calls to Hash.
class SubgraphHasher {
 public:
  void Reset(const HeavyNeighbourTable& table, const unsigned* atomTypes, const unsigned* bondTypes);

  // The identifier of the `k` distinct atoms at `atoms` (any order, k >= 1).
  // Bonds between any two atoms of the set count, ring closures included.
  std::uint32_t Hash(const unsigned* atoms, unsigned k);

 private:
  static constexpr unsigned kNotInSet = 0xFFFFFFFFu;

  const HeavyNeighbourTable* table_ = nullptr;
  const unsigned* atomTypes_ = nullptr;
  const unsigned* bondTypes_ = nullptr;
  std::vector<unsigned> position_;       // per atom index: place in the set, or kNotInSet
  std::vector<std::uint32_t> cur_;       // labels, per place
  std::vector<std::uint32_t> next_;
  std::vector<unsigned> localOffsets_;   // in-set adjacency by place
  std::vector<unsigned> localNbr_;
  std::vector<std::uint32_t> localBond_;
  std::vector<std::uint32_t> values_;    // one atom's neighbour values
};

}  // namespace Varnex
