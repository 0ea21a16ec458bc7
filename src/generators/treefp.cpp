// The tree fingerprint and the tree identifier generators.
//
// Fragments grow one atom at a time from each start atom: any unmarked heavy
// neighbour of any atom already in the fragment may join. The same atom set
// is reached along many growth orders, so a set is accepted only the first
// time its key sum (wrapping sum of per-atom 32-bit keys) is seen; a flat
// open-addressing set of the sums, reused per thread, keeps that test cheap.

#include "varnex/treefp.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "generators/canonical_string.h"
#include "generators/feature_records.h"
#include "generators/graph_driver.h"
#include "generators/subgraph_hash.h"
#include "system/messages.h"

namespace Varnex {

constexpr unsigned kMaxGeneratorBonds = 20;

// Declared in graph_driver.h.
constexpr GraphGenerator kTreeGenerator{
    KvFPType::Tree,
    "KvMakeTreeFP()",
    kMaxGeneratorBonds,
    {Msg::kTreeBits,
     Msg::kTreeMin,
     Msg::kTreeMax,
     Msg::kTreeMinAboveMax},
    Msg::kTreeType,
    true};

namespace {

// Weights of a two-atom fragment: the path weights of atom, bond, atom.
constexpr std::uint32_t kFirstAtomWeight = 947;
constexpr std::uint32_t kBondWeight = 983;
constexpr std::uint32_t kSecondAtomWeight = 1019;

// Bob Jenkins' and Thomas Wang's 32-bit integer hashes; their sum is the key
// of an atom index.
constexpr std::uint32_t JenkinsHash(std::uint32_t a) {
  a = (a + 0x7ED55D16u) + (a << 12);
  a = (a ^ 0xC761C23Cu) ^ (a >> 19);
  a = (a + 0x165667B1u) + (a << 5);
  a = (a + 0xD3A2646Cu) ^ (a << 9);
  a = (a + 0xFD7046C5u) + (a << 3);
  a = (a ^ 0xB55A4F09u) ^ (a >> 16);
  return a;
}
constexpr std::uint32_t WangHash(std::uint32_t key) {
  key = ~key + (key << 15);
  key = key ^ (key >> 12);
  key = key + (key << 2);
  key = key ^ (key >> 4);
  key = key * 2057u;
  key = key ^ (key >> 16);
  return key;
}
constexpr std::uint32_t AtomKey(unsigned index) { return JenkinsHash(index) + WangHash(index); }

// A set of 32-bit keys with linear probing. Keys are well mixed already, so
// their low bits pick the slot. Slot value 0 means empty; key 0 has a flag.
class KeySet {
 public:
  void Clear(std::size_t expected) {
    std::size_t capacity = 64;
    while (capacity < 2 * expected) capacity *= 2;
    slots_.assign(capacity, 0);
    count_ = 0;
    hasZero_ = false;
  }
  // Inserts `key`; false when it was already there.
  bool Insert(std::uint32_t key) {
    if (key == 0) {
      if (hasZero_) return false;
      hasZero_ = true;
      return true;
    }
    if (2 * (count_ + 1) > slots_.size()) Grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = key & mask;; i = (i + 1) & mask) {
      if (slots_[i] == key) return false;
      if (slots_[i] == 0) {
        slots_[i] = key;
        ++count_;
        return true;
      }
    }
  }

 private:
  void Grow() {
    std::vector<std::uint32_t> old(slots_.size() * 2, 0);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (std::uint32_t key : old) {
      if (key == 0) continue;
      std::size_t i = key & mask;
      while (slots_[i] != 0) i = (i + 1) & mask;
      slots_[i] = key;
    }
  }

  std::vector<std::uint32_t> slots_;
  std::size_t count_ = 0;
  bool hasZero_ = false;
};

struct TreeScratch {
  HeavyNeighbourTable table;
  SubgraphHasher hasher;
  KeySet seen;
  std::vector<unsigned> roots;
  std::vector<std::uint32_t> keys;    // per atom index
  std::vector<unsigned char> marked;  // per atom index
};

TreeScratch& ThreadScratch() {
  thread_local TreeScratch scratch;
  return scratch;
}

// Enumerates the fragments of minBonds to maxBonds bonds (maxBonds >= 1) and
// hands each to record(atoms, count, lastBond) in order of discovery;
// `lastBond` is the bond by which the last atom joined.
template <typename Record>
class FragmentEnumerator {
 public:
  FragmentEnumerator(TreeScratch& s, unsigned minBonds, unsigned maxBonds, Record& record)
      : s_(s), g_(s.table), minBonds_(minBonds), maxBonds_(maxBonds), record_(record) {}

  void Run() {
    const unsigned n = g_.NumAtoms();
    s_.keys.resize(n);
    for (unsigned a = 0; a < n; ++a) s_.keys[a] = AtomKey(a);
    s_.marked.assign(n, 0);
    s_.seen.Clear(std::size_t{n} * 16);
    for (const unsigned root : s_.roots) {
      fragment_[0] = root;
      keySum_[0] = s_.keys[root];
      s_.marked[root] = 1;
      Grow(0);
      s_.marked[root] = 0;
    }
  }

 private:
  // Extends the fragment whose last filled place is `p` by one atom.
  void Grow(unsigned p) {
    const unsigned next = p + 1;
    for (unsigned j = 0; j <= p; ++j) {
      const unsigned atom = fragment_[j];
      for (unsigned slot = g_.Begin(atom); slot < g_.End(atom); ++slot) {
        const unsigned nbr = g_.NbrAtom(slot);
        if (s_.marked[nbr]) continue;
        const std::uint32_t key = keySum_[p] + s_.keys[nbr];
        if (!s_.seen.Insert(key)) continue;
        fragment_[next] = nbr;
        if (next >= minBonds_) record_(fragment_, next + 1, g_.NbrBond(slot));
        if (next < maxBonds_) {
          s_.marked[nbr] = 1;
          keySum_[next] = key;
          Grow(next);
          s_.marked[nbr] = 0;
        }
      }
    }
  }

  TreeScratch& s_;
  const HeavyNeighbourTable& g_;
  unsigned minBonds_;
  unsigned maxBonds_;
  Record& record_;
  unsigned fragment_[kMaxGeneratorBonds + 1] = {};
  std::uint32_t keySum_[kMaxGeneratorBonds + 1] = {};
};

template <typename Record>
void EnumerateFragments(TreeScratch& s, unsigned minBonds, unsigned maxBonds, Record&& record) {
  FragmentEnumerator<std::remove_reference_t<Record>> enumerator(s, minBonds, maxBonds, record);
  enumerator.Run();
}

// Sets up the scratch for `mol`; false when the type arrays do not cover it.
template <typename TypeVector>
bool Prepare(const char* name, TreeScratch& s, const KvChem::KvMolBase& mol, const TypeVector& atomTypes,
             const TypeVector& bondTypes) {
  if (!TypesCoverMol(name, mol, atomTypes, bondTypes)) return false;
  s.table.Build(mol);
  CollectRootAtoms(mol, s.roots);
  return true;
}

// Numeric identifiers through sink(id, atoms, count), in emission order.
// REQUIRES: maxBonds <= kMaxGeneratorBonds.
template <typename Sink>
void GenerateNumericIds(TreeScratch& s, const KvChem::KvMolBase& mol, const unsigned* atomTypes,
                        const unsigned* bondTypes, unsigned minBonds, unsigned maxBonds, Sink&& sink) {
  if (minBonds == 0)
    for (unsigned a = 0, n = mol.GetMaxAtomIdx(); a < n; ++a) sink(atomTypes[a], &a, 1u);
  if (maxBonds == 0) return;
  s.hasher.Reset(s.table, atomTypes, bondTypes);
  EnumerateFragments(s, minBonds, maxBonds, [&](const unsigned* atoms, unsigned count, unsigned lastBond) {
    if (count == 2) {
      const std::uint32_t ta = atomTypes[atoms[0]], tb = atomTypes[atoms[1]];
      sink(bondTypes[lastBond] * kBondWeight + std::max(ta, tb) * kFirstAtomWeight +
               std::min(ta, tb) * kSecondAtomWeight,
           atoms, count);
    } else {
      sink(s.hasher.Hash(atoms, count), atoms, count);
    }
  });
}

// The tree fingerprint of `params` (repaired by the driver).
bool MakeTreeFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPGraphParams& params) {
  return MakeGraphFP(kTreeGenerator, fp, mol, params,
                       [](const KvChem::KvMolBase& work, const std::vector<unsigned>& atomTypes,
                          const std::vector<unsigned>& bondTypes, const KvFPGraphParams& repaired, auto& setBit) {
                         TreeScratch& s = ThreadScratch();
                         if (!Prepare(kTreeGenerator.name, s, work, atomTypes, bondTypes)) return false;
                         GenerateNumericIds(s, work, atomTypes.data(), bondTypes.data(), repaired.minimum,
                                            repaired.maximum,
                                            [&setBit](std::uint32_t id, const unsigned*, unsigned) { setBit(id); });
                         return true;
                       });
}

// The frame of both tree id generators: after the checks, run(s, limit) with
// the prepared scratch and maxBonds clamped to kMaxGeneratorBonds.
template <typename Id, typename TypeVector, typename Run>
unsigned RunTreeIdGenerator(std::vector<Id>& ids, const KvChem::KvMolBase& mol, const TypeVector& atomTypes,
                            const TypeVector& bondTypes, unsigned maxBonds, KvFPFeatureRecords* records, Run&& run) {
  static constexpr const char* kName = "KvTreeIdGenerator()";
  return RunIdGeneratorFrame(kName, ids, records, mol, [&] {
    ids.reserve(1024);
    TreeScratch& s = ThreadScratch();
    if (!Prepare(kName, s, mol, atomTypes, bondTypes)) return;
    run(s, std::min(maxBonds, kMaxGeneratorBonds));
  });
}

}  // namespace

unsigned KvTreeIdGenerator(std::vector<unsigned>& ids, const KvChem::KvMolBase& mol, std::vector<unsigned>& atomTypes,
                           std::vector<unsigned>& bondTypes, unsigned minBonds, unsigned maxBonds,
                           unsigned /*atomFlags*/, unsigned /*bondFlags*/, KvFPFeatureRecords* records) {
  return RunTreeIdGenerator(ids, mol, atomTypes, bondTypes, maxBonds, records, [&](TreeScratch& s, unsigned limit) {
    CollectNumericIds(ids, records, mol, [&](auto&& sink) {
      GenerateNumericIds(s, mol, atomTypes.data(), bondTypes.data(), minBonds, limit, sink);
    });
  });
}

unsigned KvTreeIdGenerator(std::vector<std::string>& ids, const KvChem::KvMolBase& mol,
                           std::vector<std::string>& atomTypes, std::vector<std::string>& bondTypes, unsigned minBonds,
                           unsigned maxBonds, unsigned /*atomFlags*/, unsigned /*bondFlags*/,
                           KvFPFeatureRecords* records) {
  return RunTreeIdGenerator(ids, mol, atomTypes, bondTypes, maxBonds, records, [&](TreeScratch& s, unsigned limit) {
    auto record = [&](const unsigned* atoms, unsigned count) {
      if (records != nullptr)
        AppendFeatureRecord(*records, mol, atoms, count, static_cast<std::uint32_t>(ids.size()));
    };
    if (minBonds == 0)
      for (unsigned a = 0, n = mol.GetMaxAtomIdx(); a < n; ++a) {
        record(&a, 1);
        ids.push_back(atomTypes[a]);
      }
    if (limit > 0) {
      CanonicalStringBuilder canonical(mol, s.table, atomTypes, bondTypes);
      EnumerateFragments(s, minBonds, limit, [&](const unsigned* atoms, unsigned count, unsigned lastBond) {
        record(atoms, count);
        if (count == 2) {
          const std::string& a = atomTypes[atoms[0]];
          const std::string& b = atomTypes[atoms[1]];
          const bool aFirst = !(a < b);
          ids.push_back((aFirst ? a : b) + bondTypes[lastBond] + (aFirst ? b : a));
        } else {
          ids.push_back(canonical.Build(atoms, count));
        }
      });
    }
  });
}

bool KvMakeTreeFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol) {
  return MakeTreeFP(fp, mol, KvFindFPKind(KvFPType::Tree)->defaults);
}

bool KvMakeTreeFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  KvFPGraphParams params;
  return GraphParamsOf(kTreeGenerator, type, params) && MakeTreeFP(fp, mol, params);
}

bool KvMakeTreeFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned bits, unsigned minBonds, unsigned maxBonds,
                  unsigned atomFlags, unsigned bondFlags) {
  return MakeTreeFP(fp, mol, {bits, minBonds, maxBonds, atomFlags, bondFlags});
}

}  // namespace Varnex
