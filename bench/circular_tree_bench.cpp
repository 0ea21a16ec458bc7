// Circular and tree fingerprint speed on the NCI sample set, against RDKit's
// Morgan fingerprint and its branched-subgraph fingerprint on the same
// molecules in the same run.
//
//   circular, radii 0-2, 2048 bits   vs  Morgan radius 2, 2048 bits (the same
//                                         neighbourhoods)
//   circular, default type           vs  Morgan radius 2, 4096 bits
//   tree, default type (0-4 bonds)   vs  RDKFingerprintMol, subgraphs of 1-4
//                                         bonds, 4096 bits, one bit per subgraph
//
// Molecules are parsed once before timing; every Varnex figure includes the
// molecule copy and preparation that each call makes.

#include <benchmark/benchmark.h>

#include <DataStructs/ExplicitBitVect.h>
#include <GraphMol/Fingerprints/Fingerprints.h>
#include <GraphMol/Fingerprints/MorganFingerprints.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_util.h"
#include "kvchem/mol.h"
#include "varnex/circularfp.h"
#include "varnex/generation.h"
#include "varnex/treefp.h"
#include "varnex/typing.h"

namespace {

using namespace Varnex;

struct Data {
  std::vector<KvChem::KvMol> mols;
  std::vector<std::unique_ptr<RDKit::ROMol>> rdkitMols;
};

Data& GetData() {
  static Data* data = [] {
    auto* d = new Data;
    VarnexBench::ForEachNciMol([d](const std::string&, KvChem::KvMol mol, std::unique_ptr<RDKit::ROMol> rd) {
      d->mols.push_back(std::move(mol));
      d->rdkitMols.push_back(std::move(rd));
    });
    return d;
  }();
  return *data;
}

// Argument: number of bits.
void BM_RDKit_Morgan2(benchmark::State& state) {
  Data& d = GetData();
  const auto bits = static_cast<unsigned>(state.range(0));
  VarnexBench::RunOwnedPerMolecule(state, d.rdkitMols, [bits](const auto& mol) {
    return RDKit::MorganFingerprints::getFingerprintAsBitVect(*mol, 2, bits);
  });
}

void BM_Varnex_Circular02_2048(benchmark::State& state) {
  Data& d = GetData();
  VarnexBench::RunFingerprintPerMolecule(state, d.mols, [](KvFingerPrint& fp, const KvChem::KvMol& mol) {
    return KvMakeCircularFP(fp, mol, 2048, 0, 2, KvFPAtomType::DefaultCircularAtom, KvFPBondType::DefaultCircularBond);
  });
}

void BM_Varnex_CircularDefault(benchmark::State& state) {
  Data& d = GetData();
  VarnexBench::RunFingerprintPerMolecule(state, d.mols, [](KvFingerPrint& fp, const KvChem::KvMol& mol) {
    return KvMakeCircularFP(fp, mol);
  });
}

void BM_RDKit_Branched1to4(benchmark::State& state) {
  Data& d = GetData();
  VarnexBench::RunOwnedPerMolecule(state, d.rdkitMols, [](const auto& mol) {
    return RDKit::RDKFingerprintMol(*mol, 1, 4, 4096, 1, true, 0.0, 128, true);
  });
}

void BM_Varnex_TreeDefault(benchmark::State& state) {
  Data& d = GetData();
  VarnexBench::RunFingerprintPerMolecule(state, d.mols, [](KvFingerPrint& fp, const KvChem::KvMol& mol) {
    return KvMakeTreeFP(fp, mol);
  });
}

// The fixed cost every Varnex generator pays before its own work: the private
// copy, its preparation, and the circular typing.
void BM_Varnex_CopyPrepareType(benchmark::State& state) {
  Data& d = GetData();
  std::vector<unsigned> at, bt;
  VarnexBench::RunPerMolecule(state, d.mols, [&](const KvChem::KvMol& mol) {
    KvChem::KvGraphMol copy(mol);
    KvPrepareForFingerprinting(copy, KvFPType::Circular);
    KvGetFingerprintAtomTypes(at, bt, copy, KvFPAtomType::DefaultCircularAtom, KvFPBondType::DefaultCircularBond);
    return at.data();
  });
}

BENCHMARK(BM_RDKit_Morgan2)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Varnex_Circular02_2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Varnex_CircularDefault)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RDKit_Branched1to4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Varnex_TreeDefault)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Varnex_CopyPrepareType)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  std::printf("molecules: %zu\n", GetData().mols.size());
  VarnexBench::CounterReporter reporter("per_mol", 1e6);  // microseconds per molecule
  if (!VarnexBench::RunBenchmarks(argc, argv, reporter)) return 1;

  auto line = [](const char* what, double baseline, const char* baselineName, double ours) {
    if (baseline > 0 && ours > 0)
      std::printf("%-34s %8.2f us/mol   %-30s %8.2f us/mol   ratio (RDKit / Varnex) %.2f\n", what, ours,
                  baselineName, baseline, baseline / ours);
  };
  std::printf("\n");
  line("Varnex circular r0-2, 2048 bits:", reporter.Get("BM_RDKit_Morgan2/2048"), "RDKit Morgan r2, 2048 bits:",
       reporter.Get("BM_Varnex_Circular02_2048"));
  line("Varnex circular default (r0-5):", reporter.Get("BM_RDKit_Morgan2/4096"), "RDKit Morgan r2, 4096 bits:",
       reporter.Get("BM_Varnex_CircularDefault"));
  line("Varnex tree default (0-4 bonds):", reporter.Get("BM_RDKit_Branched1to4"), "RDKit branched 1-4, 4096:",
       reporter.Get("BM_Varnex_TreeDefault"));
  const double fixed = reporter.Get("BM_Varnex_CopyPrepareType");
  if (fixed > 0) std::printf("of which copy, preparation and typing: %.2f us/mol\n", fixed);
  return 0;
}
