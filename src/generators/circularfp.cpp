// The circular fingerprint and the circular identifier generators.
//
// The molecule is flattened once into a heavy-neighbour table. Each start
// atom's environments grow by breadth-first levels in one queue, so the
// environment of radius r is the queue's prefix after level r; it is hashed
// as soon as it is complete. Scratch storage is per thread and reused from
// molecule to molecule, so the walk allocates nothing per environment.

#include "varnex/circularfp.h"

#include <algorithm>
#include <cstdint>

#include "generators/canonical_string.h"
#include "generators/feature_records.h"
#include "generators/graph_driver.h"
#include "generators/subgraph_hash.h"
#include "system/messages.h"

namespace Varnex {

constexpr unsigned kMaxGeneratorRadius = 10;

// Declared in graph_driver.h.
constexpr GraphGenerator kCircularGenerator{
    KvFPType::Circular,
    "KvMakeCircularFP()",
    kMaxGeneratorRadius,
    {Msg::kCircularBits,
     Msg::kCircularMin,
     Msg::kCircularMax,
     Msg::kCircularMinAboveMax},
    Msg::kCircularType,
    false};

namespace {

struct CircularScratch {
  HeavyNeighbourTable table;
  SubgraphHasher hasher;
  std::vector<unsigned> roots;
  std::vector<unsigned> queue;
  std::vector<unsigned char> visited;
};

CircularScratch& ThreadScratch() {
  thread_local CircularScratch scratch;
  return scratch;
}

// Calls emit(atoms, k) for every environment of radius minRadius (at least
// 1) to maxRadius of every start atom, in emission order: radius by radius
// per start atom, stopping after the first radius that added no atom (that
// environment is still emitted).
template <typename Emit>
void WalkEnvironments(CircularScratch& s, unsigned minRadius, unsigned maxRadius, Emit&& emit) {
  const HeavyNeighbourTable& g = s.table;
  s.queue.resize(g.NumAtoms());
  s.visited.assign(g.NumAtoms(), 0);
  unsigned* queue = s.queue.data();
  unsigned char* visited = s.visited.data();
  for (const unsigned root : s.roots) {
    queue[0] = root;
    visited[root] = 1;
    unsigned levelBegin = 0, levelEnd = 1, size = 1;
    for (unsigned r = 1; r <= maxRadius; ++r) {
      for (unsigned q = levelBegin; q < levelEnd; ++q) {
        const unsigned atom = queue[q];
        for (unsigned slot = g.Begin(atom); slot < g.End(atom); ++slot) {
          const unsigned nbr = g.NbrAtom(slot);
          if (visited[nbr]) continue;
          visited[nbr] = 1;
          queue[size++] = nbr;
        }
      }
      levelBegin = levelEnd;
      levelEnd = size;
      if (r >= minRadius) emit(queue, size);
      if (levelBegin == levelEnd) break;
    }
    for (unsigned q = 0; q < size; ++q) visited[queue[q]] = 0;
  }
}

// Sets up the scratch for `mol`; false when the type arrays do not cover it.
template <typename TypeVector>
bool Prepare(const char* name, CircularScratch& s, const KvChem::KvMolBase& mol, const TypeVector& atomTypes,
             const TypeVector& bondTypes) {
  if (!TypesCoverMol(name, mol, atomTypes, bondTypes)) return false;
  s.table.Build(mol);
  CollectRootAtoms(mol, s.roots);
  return true;
}

// Room for every identifier: one per atom at radius 0 and per start atom
// and emitted radius; radii beyond the atom count add nothing new.
std::size_t ExpectedIds(unsigned n, unsigned minRadius, unsigned maxRadius) {
  const unsigned top = std::min(maxRadius, n + 1);
  return top >= minRadius ? std::size_t{top - minRadius + 1} * n : 0;
}

// Numeric identifiers through sink(id, atoms, k), in emission order.
template <typename Sink>
void GenerateNumericIds(CircularScratch& s, const KvChem::KvMolBase& mol, const unsigned* atomTypes,
                        const unsigned* bondTypes, unsigned minRadius, unsigned maxRadius, Sink&& sink) {
  const unsigned n = mol.GetMaxAtomIdx();
  if (minRadius == 0)
    for (unsigned a = 0; a < n; ++a) sink(atomTypes[a], &a, 1u);
  if (maxRadius == 0) return;
  s.hasher.Reset(s.table, atomTypes, bondTypes);
  WalkEnvironments(s, minRadius, maxRadius, [&](const unsigned* atoms, unsigned k) {
    sink(k == 1 ? atomTypes[atoms[0]] : s.hasher.Hash(atoms, k), atoms, k);
  });
}

// The circular fingerprint of `params` (repaired by the driver).
bool MakeCircularFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPGraphParams& params) {
  return MakeGraphFP(kCircularGenerator, fp, mol, params,
                       [](const KvChem::KvMolBase& work, const std::vector<unsigned>& atomTypes,
                          const std::vector<unsigned>& bondTypes, const KvFPGraphParams& repaired, auto& setBit) {
                         CircularScratch& s = ThreadScratch();
                         if (!Prepare(kCircularGenerator.name, s, work, atomTypes, bondTypes)) return false;
                         GenerateNumericIds(s, work, atomTypes.data(), bondTypes.data(), repaired.minimum,
                                            repaired.maximum,
                                            [&setBit](std::uint32_t id, const unsigned*, unsigned) { setBit(id); });
                         return true;
                       });
}

}  // namespace

unsigned KvCircularIdGenerator(std::vector<unsigned>& ids, const KvChem::KvMolBase& mol,
                               std::vector<unsigned>& atomTypes, std::vector<unsigned>& bondTypes, unsigned minRadius,
                               unsigned maxRadius, unsigned /*atomFlags*/, unsigned /*bondFlags*/,
                               KvFPFeatureRecords* records) {
  static constexpr const char* kName = "KvCircularIdGenerator()";
  return RunIdGeneratorFrame(kName, ids, records, mol, [&] {
    CircularScratch& s = ThreadScratch();
    if (!Prepare(kName, s, mol, atomTypes, bondTypes)) return;
    ids.reserve(ExpectedIds(mol.GetMaxAtomIdx(), minRadius, maxRadius));
    CollectNumericIds(ids, records, mol, [&](auto&& sink) {
      GenerateNumericIds(s, mol, atomTypes.data(), bondTypes.data(), minRadius, maxRadius, sink);
    });
  });
}

unsigned KvCircularIdGenerator(std::vector<std::string>& ids, const KvChem::KvMolBase& mol,
                               std::vector<std::string>& atomTypes, std::vector<std::string>& bondTypes,
                               unsigned minRadius, unsigned maxRadius, unsigned /*atomFlags*/, unsigned /*bondFlags*/,
                               KvFPFeatureRecords* records) {
  static constexpr const char* kName = "KvCircularIdGenerator()";
  return RunIdGeneratorFrame(kName, ids, records, mol, [&] {
    CircularScratch& s = ThreadScratch();
    if (!Prepare(kName, s, mol, atomTypes, bondTypes)) return;
    const unsigned n = mol.GetMaxAtomIdx();
    ids.reserve(ExpectedIds(n, minRadius, maxRadius));
    auto record = [&](const unsigned* atoms, unsigned k) {
      if (records != nullptr) AppendFeatureRecord(*records, mol, atoms, k, static_cast<std::uint32_t>(ids.size()));
    };
    if (minRadius == 0)
      for (unsigned a = 0; a < n; ++a) {
        record(&a, 1);
        ids.push_back(atomTypes[a]);
      }
    if (maxRadius > 0) {
      CanonicalStringBuilder canonical(mol, s.table, atomTypes, bondTypes);
      WalkEnvironments(s, minRadius, maxRadius, [&](const unsigned* atoms, unsigned k) {
        record(atoms, k);
        ids.push_back(k == 1 ? atomTypes[atoms[0]] : canonical.Build(atoms, k));
      });
    }
  });
}

bool KvMakeCircularFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol) {
  return MakeCircularFP(fp, mol, KvFindFPKind(KvFPType::Circular)->defaults);
}

bool KvMakeCircularFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  KvFPGraphParams params;
  return GraphParamsOf(kCircularGenerator, type, params) && MakeCircularFP(fp, mol, params);
}

bool KvMakeCircularFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned bits, unsigned minRadius,
                      unsigned maxRadius, unsigned atomFlags, unsigned bondFlags) {
  return MakeCircularFP(fp, mol, {bits, minRadius, maxRadius, atomFlags, bondFlags});
}

}  // namespace Varnex
