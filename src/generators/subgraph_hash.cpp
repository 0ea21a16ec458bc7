// The subgraph identifier hash and the flat heavy-atom graph.

#include "generators/subgraph_hash.h"

#include <algorithm>
#include <array>

namespace Varnex {
namespace {

constexpr std::array<std::uint32_t, 50> kPrimes = {
    947,  983,  1019, 1049, 1087, 1109, 1153, 1193, 1229, 1277, 1297, 1321, 1381, 1429, 1453, 1487, 1523,
    1559, 1597, 1619, 1663, 1699, 1741, 1783, 1823, 1871, 1901, 1949, 1993, 2017, 2063, 2089, 2131, 2161,
    2221, 2267, 2293, 2339, 2371, 2399, 2441, 2477, 2543, 2591, 2633, 2671, 2693, 2719, 2749, 2791};

// A bijective 32-bit mixer (two multiply-xorshift rounds; every output bit
// depends on every input bit).
constexpr std::uint32_t Mix32(std::uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x;
}

constexpr std::uint32_t ExtendedMultiplier(std::size_t i) {
  return Mix32(static_cast<std::uint32_t>(i)) | 1u;
}

// The first entries precomputed; environments larger than this are rare.
constexpr std::size_t kTableSize = 1024;
constexpr std::array<std::uint32_t, kTableSize> MakeMultipliers() {
  std::array<std::uint32_t, kTableSize> table{};
  for (std::size_t i = 0; i < kTableSize; ++i) table[i] = i < kPrimes.size() ? kPrimes[i] : ExtendedMultiplier(i);
  return table;
}
constexpr std::array<std::uint32_t, kTableSize> kMultipliers = MakeMultipliers();

inline std::uint32_t Multiplier(std::size_t i) { return i < kTableSize ? kMultipliers[i] : ExtendedMultiplier(i); }

// Neighbour lists are short (heavy degree rarely above 4).
inline void InsertionSort(std::uint32_t* v, unsigned n) {
  for (unsigned i = 1; i < n; ++i) {
    const std::uint32_t x = v[i];
    unsigned j = i;
    for (; j > 0 && v[j - 1] > x; --j) v[j] = v[j - 1];
    v[j] = x;
  }
}

}  // namespace

std::uint32_t SubgraphMultiplier(std::size_t i) { return Multiplier(i); }

void HeavyNeighbourTable::Build(const KvChem::KvMolBase& mol) {
  numAtoms_ = mol.GetMaxAtomIdx();
  maxDegree_ = 0;
  offsets_.assign(numAtoms_ + 1, 0);
  nbrAtom_.clear();
  nbrBond_.clear();
  nbrAtom_.reserve(2 * std::size_t{mol.GetMaxBondIdx()});
  nbrBond_.reserve(2 * std::size_t{mol.GetMaxBondIdx()});
  for (const KvChem::KvAtomBase* atom : mol.Atoms()) {
    const unsigned a = atom->GetIdx();
    const auto bonds = atom->GetBonds();
    const auto nbrs = atom->GetNeighbors();
    for (std::size_t i = 0; i < bonds.size(); ++i) {
      if (nbrs[i]->IsHydrogen()) continue;
      nbrAtom_.push_back(nbrs[i]->GetIdx());
      nbrBond_.push_back(bonds[i]->GetIdx());
    }
    offsets_[a + 1] = static_cast<unsigned>(nbrAtom_.size());
    maxDegree_ = std::max(maxDegree_, offsets_[a + 1] - offsets_[a]);
  }
}

void CollectRootAtoms(const KvChem::KvMolBase& mol, std::vector<unsigned>& roots) {
  roots.clear();
  const unsigned n = mol.GetMaxAtomIdx();
  std::vector<bool> usedClass;
  for (const KvChem::KvAtomBase* atom : mol.Atoms()) {
    if (atom->IsHydrogen()) continue;
    const unsigned cls = atom->GetSymmetryClass();
    if (cls != 0) {
      if (usedClass.empty()) usedClass.assign(n + 2, false);
      if (cls < usedClass.size()) {
        if (usedClass[cls]) continue;
        usedClass[cls] = true;
      }
    }
    roots.push_back(atom->GetIdx());
  }
}

void SubgraphHasher::Reset(const HeavyNeighbourTable& table, const unsigned* atomTypes,
                             const unsigned* bondTypes) {
  table_ = &table;
  atomTypes_ = atomTypes;
  bondTypes_ = bondTypes;
  const unsigned n = table.NumAtoms();
  position_.assign(n, kNotInSet);
  cur_.resize(n);
  next_.resize(n);
  localOffsets_.resize(n + 1);
  localNbr_.resize(table.NumSlots());
  localBond_.resize(table.NumSlots());
  values_.resize(table.MaxDegree());
}

std::uint32_t SubgraphHasher::Hash(const unsigned* atoms, unsigned k) {
  const HeavyNeighbourTable& g = *table_;
  std::uint32_t* cur = cur_.data();
  std::uint32_t* next = next_.data();
  for (unsigned j = 0; j < k; ++j) {
    position_[atoms[j]] = j;
    cur[j] = atomTypes_[atoms[j]];
  }
  // The set's own adjacency by place, built once for all rounds.
  unsigned slots = 0;
  localOffsets_[0] = 0;
  for (unsigned j = 0; j < k; ++j) {
    const unsigned atom = atoms[j];
    for (unsigned s = g.Begin(atom), e = g.End(atom); s < e; ++s) {
      const unsigned place = position_[g.NbrAtom(s)];
      if (place == kNotInSet) continue;
      localNbr_[slots] = place;
      localBond_[slots] = bondTypes_[g.NbrBond(s)];
      ++slots;
    }
    localOffsets_[j + 1] = slots;
  }
  for (unsigned j = 0; j < k; ++j) position_[atoms[j]] = kNotInSet;

  std::uint32_t* values = values_.data();
  const unsigned* offsets = localOffsets_.data();
  const unsigned* nbr = localNbr_.data();
  const std::uint32_t* bond = localBond_.data();
  for (unsigned round = k / 2; round > 0; --round) {
    for (unsigned j = 0; j < k; ++j) {
      const unsigned begin = offsets[j];
      const unsigned count = offsets[j + 1] - begin;
      std::uint32_t label = cur[j];
      // One or two neighbours in the set (most atoms of a fragment) need no
      // sorting loop.
      if (count == 1) {
        label += (bond[begin] + cur[nbr[begin]]) * kMultipliers[0];
      } else if (count == 2) {
        const std::uint32_t a = bond[begin] + cur[nbr[begin]];
        const std::uint32_t b = bond[begin + 1] + cur[nbr[begin + 1]];
        label += std::min(a, b) * kMultipliers[0] + std::max(a, b) * kMultipliers[1];
      } else {
        for (unsigned t = 0; t < count; ++t) values[t] = bond[begin + t] + cur[nbr[begin + t]];
        InsertionSort(values, count);
        for (unsigned t = 0; t < count; ++t) label += values[t] * Multiplier(t);
      }
      next[j] = label;
    }
    std::swap(cur, next);
  }

  // Fragments are small: a plain insertion sort beats std::sort's set-up.
  if (k <= 32) {
    InsertionSort(cur, k);
  } else {
    std::sort(cur, cur + k);
  }
  std::uint32_t id = 0;
  std::size_t counter = 1;
  for (unsigned j = 0; j < k; ++j) {
    if (cur[j] == 0) continue;
    ++counter;
    id += cur[j] * Multiplier(counter);
  }
  return id;
}

}  // namespace Varnex
