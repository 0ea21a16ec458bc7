// Chemistry layer speed on the NCI sample set, against RDKit used directly on
// the same molecules in the same run:
// - SMILES parsing (KvSmilesToMol against RDKit::SmilesToMol with the same
//   parameters: sanitised, explicit hydrogens kept);
// - copying a parsed molecule (KvGraphMol against an RWMol copy);
// - preparing an already prepared molecule (hydrogen suppression, rings and
//   model-2 aromaticity, which return at once on recorded state) against
//   removeHs + SSSR + setAromaticity, which RDKit redoes every time;
// - copy and preparation together, the cost every generator pays per
//   fingerprint.

#include <benchmark/benchmark.h>

#include <GraphMol/GraphMol.h>
#include <GraphMol/MolOps.h>
#include <GraphMol/SmilesParse/SmilesParse.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_util.h"
#include "kvchem/mol.h"
#include "kvchem/perception.h"

namespace {

struct Data {
  std::vector<std::string> smiles;  // those both sides parse
  std::vector<KvChem::KvMol> mols;
  std::vector<std::unique_ptr<RDKit::RWMol>> rdkitMols;
};

RDKit::SmilesParserParams ParserParams() {
  RDKit::SmilesParserParams params;
  params.removeHs = false;
  params.parseName = false;
  params.allowCXSMILES = false;
  return params;
}

Data& GetData() {
  static Data* data = [] {
    auto* d = new Data;
    const auto params = ParserParams();
    for (const std::string& smiles : VarnexBench::NciSmiles()) {
      std::unique_ptr<RDKit::RWMol> rd;
      try {
        rd.reset(RDKit::SmilesToMol(smiles, params));
      } catch (...) {
      }
      if (!rd) continue;
      KvChem::KvMol mol;
      if (!KvChem::KvSmilesToMol(smiles, mol)) continue;
      d->smiles.push_back(smiles);
      d->mols.push_back(std::move(mol));
      d->rdkitMols.push_back(std::move(rd));
    }
    return d;
  }();
  return *data;
}

void KvPrepare(KvChem::KvMolBase& mol) {
  KvChem::KvSuppressHydrogens(mol, false, false, false);
  KvChem::KvFindRingAtomsAndBonds(mol);
  KvChem::KvAssignAromaticFlags(mol, 2, true, 0, false);
}

void RDKitPrepare(RDKit::RWMol& mol) {
  RDKit::MolOps::RemoveHsParameters ps;
  ps.showWarnings = false;
  RDKit::MolOps::removeHs(mol, ps, false);
  mol.getRingInfo()->reset();
  RDKit::MolOps::findSSSR(mol);
  RDKit::MolOps::setAromaticity(mol);
}

void BM_RDKit_ParseSmiles(benchmark::State& state) {
  Data& d = GetData();
  const auto params = ParserParams();
  for (auto _ : state)
    for (const auto& s : d.smiles) {
      std::unique_ptr<RDKit::RWMol> mol(RDKit::SmilesToMol(s, params));
      benchmark::DoNotOptimize(mol.get());
    }
  VarnexBench::PerItem(state, d.smiles.size());
}

void BM_Kv_ParseSmiles(benchmark::State& state) {
  Data& d = GetData();
  KvChem::KvMol mol;
  for (auto _ : state)
    for (const auto& s : d.smiles) {
      KvChem::KvSmilesToMol(s, mol);
      benchmark::DoNotOptimize(mol.NumAtoms());
    }
  VarnexBench::PerItem(state, d.smiles.size());
}

void BM_RDKit_Copy(benchmark::State& state) {
  Data& d = GetData();
  for (auto _ : state)
    for (const auto& mol : d.rdkitMols) {
      RDKit::RWMol copy(*mol);
      benchmark::DoNotOptimize(copy.getNumAtoms());
    }
  VarnexBench::PerItem(state, d.rdkitMols.size());
}

void BM_Kv_Copy(benchmark::State& state) {
  Data& d = GetData();
  for (auto _ : state)
    for (const auto& mol : d.mols) {
      KvChem::KvGraphMol copy(mol);
      benchmark::DoNotOptimize(copy.NumAtoms());
    }
  VarnexBench::PerItem(state, d.mols.size());
}

// Preparation alone, on copies made (and prepared once) before timing.
void BM_RDKit_PreparePrepared(benchmark::State& state) {
  Data& d = GetData();
  std::vector<RDKit::RWMol> copies;
  copies.reserve(d.rdkitMols.size());
  for (const auto& mol : d.rdkitMols) {
    copies.emplace_back(*mol);
    RDKitPrepare(copies.back());
  }
  for (auto _ : state)
    for (auto& mol : copies) {
      RDKitPrepare(mol);
      benchmark::DoNotOptimize(mol.getNumAtoms());
    }
  VarnexBench::PerItem(state, copies.size());
}

void BM_Kv_PreparePrepared(benchmark::State& state) {
  Data& d = GetData();
  std::vector<KvChem::KvGraphMol> copies;
  copies.reserve(d.mols.size());
  for (const auto& mol : d.mols) {
    copies.emplace_back(mol);
    KvPrepare(copies.back());
  }
  for (auto _ : state)
    for (auto& mol : copies) {
      KvPrepare(mol);
      benchmark::DoNotOptimize(mol.NumAtoms());
    }
  VarnexBench::PerItem(state, copies.size());
}

// Copy and preparation together.
void BM_RDKit_CopyAndPrepare(benchmark::State& state) {
  Data& d = GetData();
  for (auto _ : state)
    for (const auto& mol : d.rdkitMols) {
      RDKit::RWMol copy(*mol);
      RDKitPrepare(copy);
      benchmark::DoNotOptimize(copy.getNumAtoms());
    }
  VarnexBench::PerItem(state, d.rdkitMols.size());
}

void BM_Kv_CopyAndPrepare(benchmark::State& state) {
  Data& d = GetData();
  for (auto _ : state)
    for (const auto& mol : d.mols) {
      KvChem::KvGraphMol copy(mol);
      KvPrepare(copy);
      benchmark::DoNotOptimize(copy.NumAtoms());
    }
  VarnexBench::PerItem(state, d.mols.size());
}

BENCHMARK(BM_RDKit_ParseSmiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Kv_ParseSmiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RDKit_Copy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Kv_Copy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RDKit_PreparePrepared)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Kv_PreparePrepared)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RDKit_CopyAndPrepare)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Kv_CopyAndPrepare)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  std::printf("molecules: %zu\n", GetData().mols.size());
  VarnexBench::CounterReporter reporter("per_mol", 1e6);  // microseconds per molecule
  if (!VarnexBench::RunBenchmarks(argc, argv, reporter)) return 1;
  std::printf("\n%-28s %12s %12s %10s\n", "us per molecule", "RDKit", "KvChem", "ratio");
  for (const char* step : {"ParseSmiles", "Copy", "PreparePrepared", "CopyAndPrepare"}) {
    const double rdkit = reporter.Get(std::string("BM_RDKit_") + step);
    const double kv = reporter.Get(std::string("BM_Kv_") + step);
    if (rdkit > 0 && kv > 0)
      std::printf("%-28s %12.3f %12.3f %9.2fx%s\n", step, rdkit, kv, kv / rdkit,
                  kv < rdkit ? "  (KvChem faster)" : "");
  }
  return 0;
}
