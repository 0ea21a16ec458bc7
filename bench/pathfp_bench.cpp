// Path fingerprint speed on the NCI sample set, against RDKit's linear-path
// fingerprint (paths of 1-5 bonds, 4096 bits, no branches) on the same
// molecules in the same run.
//
// Molecules are parsed once before timing. Besides the whole generator, the
// steps it consists of are timed as cumulative stages (copy; + preparation;
// + symmetry perception; + typing), and the enumeration alone on molecules
// prepared and typed beforehand, so that the summary can say where the time
// goes.

#include <benchmark/benchmark.h>

#include <GraphMol/Fingerprints/Fingerprints.h>
#include <DataStructs/ExplicitBitVect.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_util.h"
#include "kvchem/mol.h"
#include "kvchem/perception.h"
#include "varnex/generation.h"
#include "varnex/pathfp.h"
#include "varnex/typing.h"

namespace {

using namespace Varnex;

struct Data {
  std::vector<KvChem::KvMol> mols;
  std::vector<std::unique_ptr<RDKit::ROMol>> rdkitMols;
  // Prepared, symmetry-perceived and typed copies for the enumeration stage.
  std::vector<KvChem::KvMol> prepared;
  std::vector<KvChem::KvMol> preparedNoSymmetry;
  std::vector<std::vector<unsigned>> atomTypes, bondTypes;
};

Data& GetData() {
  static Data* data = [] {
    auto* d = new Data;
    VarnexBench::ForEachNciMol([d](const std::string&, KvChem::KvMol mol, std::unique_ptr<RDKit::ROMol> rd) {
      d->mols.push_back(std::move(mol));
      d->rdkitMols.push_back(std::move(rd));
    });
    for (const auto& mol : d->mols) {
      KvChem::KvMol copy(mol);
      KvPrepareForFingerprinting(copy, KvFPType::Path);
      d->preparedNoSymmetry.push_back(copy);
      if (mol.NumAtoms() > 20) KvChem::KvPerceiveSymmetry(copy, true, false);
      std::vector<unsigned> at, bt;
      KvGetFingerprintAtomTypes(at, bt, copy, KvFPAtomType::DefaultPathAtom, KvFPBondType::DefaultPathBond);
      d->prepared.push_back(std::move(copy));
      d->atomTypes.push_back(std::move(at));
      d->bondTypes.push_back(std::move(bt));
    }
    return d;
  }();
  return *data;
}

void BM_RDKit_LinearPaths(benchmark::State& state) {
  Data& d = GetData();
  VarnexBench::RunOwnedPerMolecule(state, d.rdkitMols, [](const auto& mol) {
    return RDKit::RDKFingerprintMol(*mol, 1, 5, 4096, 2, true, 0.0, 128, false);
  });
}

void BM_Varnex_PathFP(benchmark::State& state) {
  Data& d = GetData();
  VarnexBench::RunFingerprintPerMolecule(state, d.mols, [](KvFingerPrint& fp, const KvChem::KvMol& mol) {
    return KvMakePathFP(fp, mol);
  });
}

// Cumulative stages of the generator: 0 copy, 1 + preparation, 2 + symmetry,
// 3 + typing.
void BM_Varnex_Stage(benchmark::State& state) {
  Data& d = GetData();
  const int stage = static_cast<int>(state.range(0));
  std::vector<unsigned> at, bt;
  VarnexBench::RunPerMolecule(state, d.mols, [&](const KvChem::KvMol& mol) {
    KvChem::KvGraphMol copy(mol);
    if (stage >= 1) KvPrepareForFingerprinting(copy, KvFPType::Path);
    if (stage >= 2 && mol.NumAtoms() > 20) KvChem::KvPerceiveSymmetry(copy, true, false);
    if (stage >= 3)
      KvGetFingerprintAtomTypes(at, bt, copy, KvFPAtomType::DefaultPathAtom, KvFPBondType::DefaultPathBond);
    return copy.NumAtoms();
  });
}

// The enumeration alone (flattening the graph and walking the paths) on
// molecules prepared and typed before timing.
// Argument 1: with the symmetry classes of the generator (molecules of more
// than 20 atoms); 0: without, every heavy atom a start atom.
void BM_Varnex_Enumeration(benchmark::State& state) {
  Data& d = GetData();
  const auto& mols = state.range(0) ? d.prepared : d.preparedNoSymmetry;
  std::vector<unsigned> ids;
  ids.reserve(1 << 16);
  for (auto _ : state) {
    for (size_t i = 0; i < mols.size(); ++i) {
      ids.clear();
      KvPathIdGeneratorStack(ids, mols[i], d.atomTypes[i], d.bondTypes[i], 0, 5);
      benchmark::DoNotOptimize(ids.data());
    }
  }
  VarnexBench::PerItem(state, d.prepared.size());
}

BENCHMARK(BM_RDKit_LinearPaths)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Varnex_PathFP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Varnex_Stage)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Varnex_Enumeration)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  std::printf("molecules: %zu\n", GetData().mols.size());
  VarnexBench::CounterReporter reporter("per_mol", 1e6);  // microseconds per molecule
  if (!VarnexBench::RunBenchmarks(argc, argv, reporter)) return 1;

  const double rdkit = reporter.Get("BM_RDKit_LinearPaths");
  const double varnex = reporter.Get("BM_Varnex_PathFP");
  if (rdkit > 0 && varnex > 0) {
    std::printf("\nRDKit linear paths 1-5: %.2f us/mol; Varnex path 0-5: %.2f us/mol; speed-up %.2fx\n", rdkit,
                varnex, rdkit / varnex);
  }
  const double s0 = reporter.Get("BM_Varnex_Stage/0"), s1 = reporter.Get("BM_Varnex_Stage/1"), s2 = reporter.Get("BM_Varnex_Stage/2"),
               s3 = reporter.Get("BM_Varnex_Stage/3"), en = reporter.Get("BM_Varnex_Enumeration/1"),
               enAll = reporter.Get("BM_Varnex_Enumeration/0");
  if (s0 > 0 && s1 > 0 && s2 > 0 && s3 > 0 && varnex > 0) {
    std::printf("where the time goes (us/mol): copy %.2f, preparation %.2f, symmetry %.2f, typing %.2f, "
                "enumeration and bits %.2f\n"
                "enumeration alone, into a vector: %.2f with symmetry classes, %.2f without\n",
                s0, s1 - s0, s2 - s1, s3 - s2, varnex - s3, en, enAll);
  }
  return 0;
}
