// The path fingerprint and the path id generators.
//
// The molecule is flattened once into index arrays (neighbour lists in CSR
// form, start atoms); the enumeration then runs on those arrays and the type
// numbers alone, with an explicit stack of (atom, neighbour cursor, prefix)
// per depth and no allocation per path.

#include "varnex/pathfp.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <type_traits>
#include <utility>

#include "generators/feature_records.h"
#include "generators/graph_driver.h"
#include "generators/scratch.h"
#include "kvsystem/error.h"
#include "system/messages.h"

namespace Varnex {

constexpr unsigned kMaxGeneratorBonds = 20;

// Declared in graph_driver.h.
constexpr GraphGenerator kPathGenerator{
    KvFPType::Path,
    "KvMakePathFP()",
    kMaxGeneratorBonds,
    {Msg::kPathBits,
     Msg::kPathMin,
     Msg::kPathMax,
     Msg::kPathMinAboveMax},
    Msg::kPathType,
    false};

namespace {

// Position weights: the atom at position k of a path is weighted by entry
// 2k + 1, the bond leading into it by entry 2k.
constexpr std::array<std::uint32_t, 51> kWeights = {
    0,    947,  983,  1019, 1049, 1087, 1109, 1153, 1193, 1229, 1277, 1297, 1321, 1381, 1429, 1453, 1487,
    1523, 1559, 1597, 1619, 1663, 1699, 1741, 1783, 1823, 1871, 1901, 1949, 1993, 2017, 2063, 2089, 2131,
    2161, 2221, 2267, 2293, 2339, 2371, 2399, 2441, 2477, 2543, 2591, 2633, 2671, 2693, 2719, 2749, 2791};
// The longest path the weights cover.
constexpr unsigned kMaxWeightedBonds = (kWeights.size() - 2) / 2;

// The molecule reduced to what the enumeration needs, carved from scratch
// memory: neighbours of atom a are nbrAtom/nbrBond[offsets[a] .. offsets[a+1]).
struct FlatGraph {
  unsigned numAtoms = 0;
  unsigned* offsets = nullptr;
  unsigned* nbrAtom = nullptr;
  unsigned* nbrBond = nullptr;
  unsigned* starts = nullptr;  // start atoms in iteration order
  unsigned numStarts = 0;
};

std::size_t FlatGraphBytes(unsigned numAtoms, unsigned numBonds) {
  return ScratchBytes<unsigned>(numAtoms + 1) + 2 * ScratchBytes<unsigned>(2 * std::size_t{numBonds}) +
         ScratchBytes<unsigned>(numAtoms) + ScratchBytes<unsigned char>(numAtoms + 1);
}

// Fills `g` from the molecule: neighbour lists ordered by bond index, and the
// heavy atoms as start atoms, skipping an atom whose non-zero symmetry class
// an earlier start atom had.
void BuildFlatGraph(const KvChem::KvMolBase& mol, ScratchCarver& carve, FlatGraph& g) {
  const auto atoms = mol.Atoms();
  const auto bonds = mol.Bonds();
  const unsigned n = mol.GetMaxAtomIdx();
  g.numAtoms = n;
  g.offsets = carve.Take<unsigned>(n + 1);
  g.nbrAtom = carve.Take<unsigned>(2 * std::size_t{bonds.size()});
  g.nbrBond = carve.Take<unsigned>(2 * std::size_t{bonds.size()});
  g.starts = carve.Take<unsigned>(n);
  unsigned char* usedClass = carve.Take<unsigned char>(n + 1);

  std::fill(g.offsets, g.offsets + n + 1, 0u);
  for (const KvChem::KvBondBase* bond : bonds) {
    ++g.offsets[bond->GetBeginAtom()->GetIdx() + 1];
    ++g.offsets[bond->GetEndAtom()->GetIdx() + 1];
  }
  for (unsigned a = 0; a < n; ++a) g.offsets[a + 1] += g.offsets[a];
  // Fill using offsets[a] as the cursor of atom a, then shift back.
  for (const KvChem::KvBondBase* bond : bonds) {
    const unsigned b = bond->GetBeginAtom()->GetIdx();
    const unsigned e = bond->GetEndAtom()->GetIdx();
    g.nbrAtom[g.offsets[b]] = e;
    g.nbrBond[g.offsets[b]++] = bond->GetIdx();
    g.nbrAtom[g.offsets[e]] = b;
    g.nbrBond[g.offsets[e]++] = bond->GetIdx();
  }
  for (unsigned a = n; a > 0; --a) g.offsets[a] = g.offsets[a - 1];
  g.offsets[0] = 0;

  std::fill(usedClass, usedClass + n + 1, static_cast<unsigned char>(0));
  g.numStarts = 0;
  for (const KvChem::KvAtomBase* atom : atoms) {
    if (atom->IsHydrogen()) continue;
    const unsigned cls = atom->GetSymmetryClass();
    if (cls != 0 && cls <= n) {
      if (usedClass[cls]) continue;
      usedClass[cls] = 1;
    }
    g.starts[g.numStarts++] = atom->GetIdx();
  }
}

// Depth-first enumeration of all paths of up to `maxBonds` bonds from each
// start atom. The policy builds the path's id incrementally:
//   Start(atom)                   the id of the 0-bond path at depth 0;
//   Extend(depth, bond, atom)     the id at `depth` from the one at depth - 1;
//   Emit(depth)                   hands out the id at `depth`.
template <typename Policy>
void EnumeratePaths(const FlatGraph& g, unsigned minBonds, unsigned maxBonds, Policy& policy) {
  ScratchHeap heap;
  const std::size_t bytes = ScratchBytes<unsigned char>(g.numAtoms) + 2 * ScratchBytes<unsigned>(maxBonds + 1);
  ScratchCarver carve(VARNEX_SCRATCH(heap, bytes));
  unsigned char* visited = carve.Take<unsigned char>(g.numAtoms);
  unsigned* atomAt = carve.Take<unsigned>(maxBonds + 1);
  unsigned* cursor = carve.Take<unsigned>(maxBonds + 1);
  std::fill(visited, visited + g.numAtoms, static_cast<unsigned char>(0));

  for (unsigned s = 0; s < g.numStarts; ++s) {
    const unsigned start = g.starts[s];
    policy.Start(start);
    if (minBonds == 0) policy.Emit(0);
    if (maxBonds == 0) continue;
    visited[start] = 1;
    atomAt[0] = start;
    cursor[0] = g.offsets[start];
    unsigned depth = 0;
    for (;;) {
      const unsigned atom = atomAt[depth];
      if (cursor[depth] == g.offsets[atom + 1]) {  // all neighbours done: back up
        visited[atom] = 0;
        if (depth == 0) break;
        --depth;
        continue;
      }
      const unsigned k = cursor[depth]++;
      const unsigned next = g.nbrAtom[k];
      if (visited[next]) continue;
      const unsigned nextDepth = depth + 1;
      policy.Extend(nextDepth, g.nbrBond[k], next);
      if (nextDepth >= minBonds) policy.Emit(nextDepth);
      if (nextDepth < maxBonds) {
        visited[next] = 1;
        depth = nextDepth;
        atomAt[depth] = next;
        cursor[depth] = g.offsets[next];
      }
    }
  }
}

// Numeric ids: the wrapping sum of weighted type numbers.
template <typename Sink>
class NumericIds {
 public:
  NumericIds(const unsigned* atomTypes, const unsigned* bondTypes, Sink sink)
      : atomTypes_(atomTypes), bondTypes_(bondTypes), sink_(sink) {}
  void Start(unsigned atom) { id_[0] = atomTypes_[atom] * kWeights[1]; }
  void Extend(unsigned depth, unsigned bond, unsigned atom) {
    id_[depth] = id_[depth - 1] + bondTypes_[bond] * kWeights[2 * depth] + atomTypes_[atom] * kWeights[2 * depth + 1];
  }
  void Emit(unsigned depth) { sink_(id_[depth]); }

 private:
  const unsigned* atomTypes_;
  const unsigned* bondTypes_;
  Sink sink_;
  std::array<std::uint32_t, kMaxWeightedBonds + 1> id_{};
};

// Text ids: the type strings along the path, concatenated in one buffer that
// is cut back to the prefix length of the depth being extended.
template <typename Sink>
class TextIds {
 public:
  TextIds(const std::vector<std::string>& atomTypes, const std::vector<std::string>& bondTypes, Sink sink)
      : atomTypes_(atomTypes), bondTypes_(bondTypes), sink_(sink) {}
  void Start(unsigned atom) {
    text_ = atomTypes_[atom];
    length_[0] = text_.size();
  }
  void Extend(unsigned depth, unsigned bond, unsigned atom) {
    text_.resize(length_[depth - 1]);
    text_ += bondTypes_[bond];
    text_ += atomTypes_[atom];
    length_[depth] = text_.size();
  }
  void Emit(unsigned /*depth*/) { sink_(text_); }

 private:
  const std::vector<std::string>& atomTypes_;
  const std::vector<std::string>& bondTypes_;
  Sink sink_;
  std::string text_;
  std::array<std::size_t, kMaxWeightedBonds + 1> length_{};
};

// The atoms of the current path, for feature records: wraps an id policy and
// notes each atom as the enumeration places it.
struct PathTrace {
  std::array<unsigned, kMaxWeightedBonds + 1> atoms{};
  unsigned length = 0;
};

template <typename Inner>
class TracedIds {
 public:
  TracedIds(Inner inner, PathTrace& trace) : inner_(std::move(inner)), trace_(trace) {}
  void Start(unsigned atom) {
    trace_.atoms[0] = atom;
    inner_.Start(atom);
  }
  void Extend(unsigned depth, unsigned bond, unsigned atom) {
    trace_.atoms[depth] = atom;
    inner_.Extend(depth, bond, atom);
  }
  void Emit(unsigned depth) {
    trace_.length = depth + 1;
    inner_.Emit(depth);
  }

 private:
  Inner inner_;
  PathTrace& trace_;
};

// Shared frame of the four id generators: checks the arrays, flattens the
// molecule and runs the enumeration with the given policy.
template <typename TypeVector, typename MakePolicy>
void GenerateIds(const char* name, const KvChem::KvMolBase& mol, const TypeVector& atomTypes,
                 const TypeVector& bondTypes, unsigned minBonds, unsigned maxBonds, MakePolicy makePolicy) {
  if (!mol.IsValid()) return;
  if (!TypesCoverMol(name, mol, atomTypes, bondTypes)) return;
  maxBonds = std::min(maxBonds, kMaxWeightedBonds);
  if (minBonds > maxBonds) return;
  ScratchHeap heap;
  const std::size_t bytes = FlatGraphBytes(mol.GetMaxAtomIdx(), mol.GetMaxBondIdx());
  ScratchCarver carve(VARNEX_SCRATCH(heap, bytes));
  FlatGraph graph;
  BuildFlatGraph(mol, carve, graph);
  auto policy = makePolicy();
  EnumeratePaths(graph, minBonds, maxBonds, policy);
}

// The stack generators with feature records: each id appended to `ids` gets
// the record of the current path.
template <typename Value, typename TypeVector>
void RunTracedIdGenerator(const char* name, std::vector<Value>& ids, const KvChem::KvMolBase& mol,
                          const TypeVector& atomTypes, const TypeVector& bondTypes, unsigned minBonds,
                          unsigned maxBonds, KvFPFeatureRecords& records) {
  PathTrace trace;
  auto add = [&](const Value& id) {
    std::uint32_t recordId;
    if constexpr (std::is_same_v<Value, unsigned>) {
      recordId = id;
    } else {
      recordId = static_cast<std::uint32_t>(ids.size());
    }
    AppendFeatureRecord(records, mol, trace.atoms.data(), trace.length, recordId);
    ids.push_back(id);
  };
  if constexpr (std::is_same_v<Value, unsigned>) {
    GenerateIds(name, mol, atomTypes, bondTypes, minBonds, maxBonds,
                [&] { return TracedIds(NumericIds<decltype(add)>(atomTypes.data(), bondTypes.data(), add), trace); });
  } else {
    GenerateIds(name, mol, atomTypes, bondTypes, minBonds, maxBonds,
                [&] { return TracedIds(TextIds<decltype(add)>(atomTypes, bondTypes, add), trace); });
  }
}

template <typename Output, typename TypeVector>
unsigned RunIdGenerator(const char* name, Output& ids, const KvChem::KvMolBase& mol, const TypeVector& atomTypes,
                        const TypeVector& bondTypes, unsigned minBonds, unsigned maxBonds,
                        KvFPFeatureRecords* records = nullptr) {
  try {
    using Value = typename Output::value_type;
    if constexpr (requires { ids.push_back(Value{}); }) {
      if (records != nullptr) {
        RunTracedIdGenerator(name, ids, mol, atomTypes, bondTypes, minBonds, maxBonds, *records);
        return static_cast<unsigned>(ids.size());
      }
    }
    auto add = [&ids](const Value& id) {
      if constexpr (requires { ids.push_back(id); }) {
        ids.push_back(id);
      } else {
        ids.insert(id);
      }
    };
    if constexpr (std::is_same_v<Value, unsigned>) {
      GenerateIds(name, mol, atomTypes, bondTypes, minBonds, maxBonds,
                  [&] { return NumericIds<decltype(add)>(atomTypes.data(), bondTypes.data(), add); });
    } else {
      GenerateIds(name, mol, atomTypes, bondTypes, minBonds, maxBonds,
                  [&] { return TextIds<decltype(add)>(atomTypes, bondTypes, add); });
    }
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("%s : %s", name, e.what());
  }
  return static_cast<unsigned>(ids.size());
}

// The path fingerprint of `params` (repaired by the driver).
bool MakePathFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPGraphParams& params) {
  return MakeGraphFP(kPathGenerator, fp, mol, params,
                       [](const KvChem::KvMolBase& work, const std::vector<unsigned>& atomTypes,
                          const std::vector<unsigned>& bondTypes, const KvFPGraphParams& repaired, auto& setBit) {
                         ScratchHeap heap;
                         const std::size_t bytes = FlatGraphBytes(work.GetMaxAtomIdx(), work.GetMaxBondIdx());
                         ScratchCarver carve(VARNEX_SCRATCH(heap, bytes));
                         FlatGraph graph;
                         BuildFlatGraph(work, carve, graph);
                         NumericIds policy(atomTypes.data(), bondTypes.data(), setBit);
                         EnumeratePaths(graph, repaired.minimum, repaired.maximum, policy);
                         return true;
                       });
}

}  // namespace

unsigned KvPathIdGenerator(std::set<unsigned>& ids, const KvChem::KvMolBase& mol, std::vector<unsigned>& atomTypes,
                           std::vector<unsigned>& bondTypes, unsigned minBonds, unsigned maxBonds) {
  return RunIdGenerator("KvPathIdGenerator()", ids, mol, atomTypes, bondTypes, minBonds, maxBonds);
}

unsigned KvPathIdGeneratorStack(std::vector<unsigned>& ids, const KvChem::KvMolBase& mol,
                                std::vector<unsigned>& atomTypes, std::vector<unsigned>& bondTypes, unsigned minBonds,
                                unsigned maxBonds, KvFPFeatureRecords* records) {
  return RunIdGenerator("KvPathIdGeneratorStack()", ids, mol, atomTypes, bondTypes, minBonds, maxBonds, records);
}

unsigned KvPathIdGenerator(std::set<std::string>& ids, const KvChem::KvMolBase& mol,
                           std::vector<std::string>& atomTypes, std::vector<std::string>& bondTypes, unsigned minBonds,
                           unsigned maxBonds) {
  return RunIdGenerator("KvPathIdGenerator()", ids, mol, atomTypes, bondTypes, minBonds, maxBonds);
}

unsigned KvPathIdGeneratorStack(std::vector<std::string>& ids, const KvChem::KvMolBase& mol,
                                std::vector<std::string>& atomTypes, std::vector<std::string>& bondTypes,
                                unsigned minBonds, unsigned maxBonds, KvFPFeatureRecords* records) {
  return RunIdGenerator("KvPathIdGeneratorStack()", ids, mol, atomTypes, bondTypes, minBonds, maxBonds, records);
}

bool KvMakePathFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol) {
  return MakePathFP(fp, mol, KvFindFPKind(KvFPType::Path)->defaults);
}

bool KvMakePathFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  KvFPGraphParams params;
  return GraphParamsOf(kPathGenerator, type, params) && MakePathFP(fp, mol, params);
}

bool KvMakePathFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned bits, unsigned minBonds, unsigned maxBonds,
                  unsigned atomFlags, unsigned bondFlags) {
  return MakePathFP(fp, mol, {bits, minBonds, maxBonds, atomFlags, bondFlags});
}

}  // namespace Varnex
