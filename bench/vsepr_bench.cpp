// VSEPR fingerprint speed on the NCI sample set: the molecule setup (typing,
// walks, flattening) in microseconds per molecule, against two baselines
// measured in the same run on the same molecules: parsing them from SMILES
// (what every caller pays before any fingerprint) and RDKit's Morgan
// fingerprint of radius 2 (2048 bits).
//
// Molecules are parsed once before timing. The setup is also split into its
// typing step and the rest, and the plain (not forced-out) walk and the
// count Tanimoto are timed for reference.

#include <benchmark/benchmark.h>

#include <DataStructs/ExplicitBitVect.h>
#include <GraphMol/Fingerprints/MorganFingerprints.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_util.h"
#include "kvchem/mol.h"
#include "varnex/vsepr_fingerprint.h"
#include "vsepr/vsepr_internal.h"

namespace {

using Varnex::KvVseprFingerprint;
using Varnex::KvVseprOptions;

struct Data {
  std::vector<std::string> smiles;
  std::vector<KvChem::KvMol> mols;
  std::vector<std::unique_ptr<RDKit::ROMol>> rdkitMols;
  std::vector<KvVseprFingerprint> fingerprints;
};

Data& GetData() {
  static Data* data = [] {
    auto* d = new Data;
    VarnexBench::ForEachNciMol([d](const std::string& smiles, KvChem::KvMol mol, std::unique_ptr<RDKit::ROMol> rd) {
      d->smiles.push_back(smiles);
      d->fingerprints.emplace_back(mol, KvVseprOptions());
      d->mols.push_back(std::move(mol));
      d->rdkitMols.push_back(std::move(rd));
    });
    return d;
  }();
  return *data;
}

void BM_Parse_Smiles(benchmark::State& state) {
  Data& d = GetData();
  VarnexBench::RunPerMolecule(state, d.smiles, [](const std::string& smiles) {
    KvChem::KvMol mol;
    KvChem::KvSmilesToMol(smiles, mol);
    return mol.NumAtoms();
  });
}

void BM_RDKit_Morgan2(benchmark::State& state) {
  Data& d = GetData();
  VarnexBench::RunOwnedPerMolecule(state, d.rdkitMols, [](const auto& mol) {
    return RDKit::MorganFingerprints::getFingerprintAsBitVect(*mol, 2, 2048);
  });
}

void BM_Vsepr_MolSetup(benchmark::State& state) {
  Data& d = GetData();
  KvVseprFingerprint fp;
  const KvVseprOptions options;  // defaults: paths of up to 8 atoms, forced out, stereo aware
  VarnexBench::RunPerMolecule(state, d.mols, [&](const KvChem::KvMol& mol) {
    fp.Setup(mol, options);
    return fp.GetVolume();
  });
}

void BM_Vsepr_MolSetupPlainWalk(benchmark::State& state) {
  Data& d = GetData();
  KvVseprFingerprint fp;
  const KvVseprOptions options = KvVseprOptions().SetForcePathsOut(false);
  VarnexBench::RunPerMolecule(state, d.mols, [&](const KvChem::KvMol& mol) {
    fp.Setup(mol, options);
    return fp.GetVolume();
  });
}

void BM_Vsepr_TypingOnly(benchmark::State& state) {
  Data& d = GetData();
  std::vector<std::uint64_t> types;
  VarnexBench::RunPerMolecule(state, d.mols, [&types](const KvChem::KvMol& mol) {
    Varnex::VseprDetail::TypeAtoms(mol, true, types);
    return types.data();
  });
}

// Tanimoto of each fingerprint with the next one.
void BM_Vsepr_Tanimoto(benchmark::State& state) {
  Data& d = GetData();
  for (auto _ : state) {
    double sum = 0;
    for (size_t i = 1; i < d.fingerprints.size(); ++i) sum += d.fingerprints[i - 1].GetTanimoto(d.fingerprints[i]);
    benchmark::DoNotOptimize(sum);
  }
  VarnexBench::PerItem(state, d.fingerprints.size() - 1);
}

BENCHMARK(BM_Parse_Smiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RDKit_Morgan2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Vsepr_MolSetup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Vsepr_MolSetupPlainWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Vsepr_TypingOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Vsepr_Tanimoto)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  std::printf("molecules: %zu\n", GetData().mols.size());
  VarnexBench::CounterReporter reporter("per_mol", 1e6);  // microseconds per molecule
  if (!VarnexBench::RunBenchmarks(argc, argv, reporter)) return 1;

  const double parse = reporter.Get("BM_Parse_Smiles"), morgan = reporter.Get("BM_RDKit_Morgan2");
  const double setup = reporter.Get("BM_Vsepr_MolSetup"), typing = reporter.Get("BM_Vsepr_TypingOnly");
  if (setup > 0) {
    std::printf("\nVSEPR molecule setup (defaults): %.2f us/mol", setup);
    if (parse > 0) std::printf("; SMILES parse %.2f us/mol, setup/parse %.2fx", parse, setup / parse);
    if (morgan > 0) std::printf("; RDKit Morgan r2 %.2f us/mol, setup/Morgan %.2fx", morgan, setup / morgan);
    std::printf("\n");
    if (typing > 0) std::printf("of the setup: typing %.2f us/mol, walks and flattening %.2f us/mol\n", typing,
                                setup - typing);
  }
  return 0;
}
