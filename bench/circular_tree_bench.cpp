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
#include <GraphMol/SmilesParse/SmilesParse.h>

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
    for (const std::string& smiles : VarnexBench::NciSmiles()) {
      KvChem::KvMol mol;
      if (!KvChem::KvSmilesToMol(smiles, mol)) continue;
      std::unique_ptr<RDKit::ROMol> rd;
      try {
        rd.reset(RDKit::SmilesToMol(smiles));
      } catch (...) {
      }
      if (!rd) continue;
      d->mols.push_back(std::move(mol));
      d->rdkitMols.push_back(std::move(rd));
    }
    return d;
  }();
  return *data;
}

// Argument: number of bits.
void BM_RDKit_Morgan2(benchmark::State& state) {
  Data& d = GetData();
  const auto bits = static_cast<unsigned>(state.range(0));
  for (auto _ : state) {
    for (const auto& mol : d.rdkitMols) {
      std::unique_ptr<ExplicitBitVect> fp(RDKit::MorganFingerprints::getFingerprintAsBitVect(*mol, 2, bits));
      benchmark::DoNotOptimize(fp.get());
    }
  }
  VarnexBench::PerItem(state, d.rdkitMols.size());
}

void BM_Varnex_Circular02_2048(benchmark::State& state) {
  Data& d = GetData();
  KvFingerPrint fp;
  for (auto _ : state) {
    for (const auto& mol : d.mols) {
      benchmark::DoNotOptimize(
          KvMakeCircularFP(fp, mol, 2048, 0, 2, KvFPAtomType::DefaultCircularAtom, KvFPBondType::DefaultCircularBond));
      benchmark::DoNotOptimize(fp.GetWords());
    }
  }
  VarnexBench::PerItem(state, d.mols.size());
}

void BM_Varnex_CircularDefault(benchmark::State& state) {
  Data& d = GetData();
  KvFingerPrint fp;
  for (auto _ : state) {
    for (const auto& mol : d.mols) {
      benchmark::DoNotOptimize(KvMakeCircularFP(fp, mol));
      benchmark::DoNotOptimize(fp.GetWords());
    }
  }
  VarnexBench::PerItem(state, d.mols.size());
}

void BM_RDKit_Branched1to4(benchmark::State& state) {
  Data& d = GetData();
  for (auto _ : state) {
    for (const auto& mol : d.rdkitMols) {
      std::unique_ptr<ExplicitBitVect> fp(RDKit::RDKFingerprintMol(*mol, 1, 4, 4096, 1, true, 0.0, 128, true));
      benchmark::DoNotOptimize(fp.get());
    }
  }
  VarnexBench::PerItem(state, d.rdkitMols.size());
}

void BM_Varnex_TreeDefault(benchmark::State& state) {
  Data& d = GetData();
  KvFingerPrint fp;
  for (auto _ : state) {
    for (const auto& mol : d.mols) {
      benchmark::DoNotOptimize(KvMakeTreeFP(fp, mol));
      benchmark::DoNotOptimize(fp.GetWords());
    }
  }
  VarnexBench::PerItem(state, d.mols.size());
}

// The fixed cost every Varnex generator pays before its own work: the private
// copy, its preparation, and the circular typing.
void BM_Varnex_CopyPrepareType(benchmark::State& state) {
  Data& d = GetData();
  std::vector<unsigned> at, bt;
  for (auto _ : state) {
    for (const auto& mol : d.mols) {
      KvChem::KvGraphMol copy(mol);
      KvPrepareForFingerprinting(copy, KvFPType::Circular);
      KvGetFingerprintAtomTypes(at, bt, copy, KvFPAtomType::DefaultCircularAtom, KvFPBondType::DefaultCircularBond);
      benchmark::DoNotOptimize(at.data());
    }
  }
  VarnexBench::PerItem(state, d.mols.size());
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
