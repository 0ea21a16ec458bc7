// MACCS 166-key fingerprint speed on the NCI sample set, against RDKit's own
// MACCS keys on the same molecules in the same run.
//
// Molecules are parsed once before timing. Besides the generator itself, the
// key bits are timed without the pattern screens (every SMARTS key searched),
// to show what the screens save. The summary also counts the molecules whose
// 166 keys equal RDKit's: informative only, the two key sets are defined
// differently in places.

#include <benchmark/benchmark.h>

#include <DataStructs/ExplicitBitVect.h>
#include <GraphMol/Fingerprints/MACCS.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_util.h"
#include "generators/maccs_internal.h"
#include "kvchem/mol.h"
#include "varnex/generation.h"
#include "varnex/maccs.h"

namespace {

using namespace Varnex;

struct Data {
  std::vector<KvChem::KvMol> mols;
  std::vector<std::unique_ptr<RDKit::ROMol>> rdkitMols;
  // Prepared copies, for timing the key bits without preparation.
  std::vector<KvChem::KvMol> prepared;
};

Data& GetData() {
  static Data* data = [] {
    auto* d = new Data;
    VarnexBench::ForEachNciMol([d](const std::string&, KvChem::KvMol mol, std::unique_ptr<RDKit::ROMol> rd) {
      KvChem::KvMol copy(mol);
      KvPrepareForFingerprinting(copy, KvFPType::MACCS166);
      d->mols.push_back(std::move(mol));
      d->rdkitMols.push_back(std::move(rd));
      d->prepared.push_back(std::move(copy));
    });
    return d;
  }();
  return *data;
}

void BM_RDKit_MACCS(benchmark::State& state) {
  Data& d = GetData();
  VarnexBench::RunOwnedPerMolecule(state, d.rdkitMols, [](const auto& mol) {
    return RDKit::MACCSFingerprints::getFingerprintAsBitVect(*mol);
  });
}

void BM_Varnex_MACCS(benchmark::State& state) {
  Data& d = GetData();
  VarnexBench::RunFingerprintPerMolecule(state, d.mols, [](KvFingerPrint& fp, const KvChem::KvMol& mol) {
    return KvMakeMACCS166FP(fp, mol);
  });
}

// The key bits on prepared molecules; argument 1 with the screens, 0 without.
void BM_Varnex_KeyBits(benchmark::State& state) {
  Data& d = GetData();
  const bool screen = state.range(0) != 0;
  KvFingerPrint fp;
  fp.SetSize(KvMACCS166NumBits);
  VarnexBench::RunPerMolecule(state, d.prepared, [&](const KvChem::KvMol& mol) {
    fp.ClearBits();
    Maccs::SetKeyBits(fp, mol, screen);
    return fp.GetWords();
  });
}

BENCHMARK(BM_RDKit_MACCS)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Varnex_MACCS)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Varnex_KeyBits)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

// Molecules whose keys 1-166 equal RDKit's (RDKit keeps key k in bit k), and
// the keys that differ most often.
void PrintAgreement() {
  Data& d = GetData();
  size_t same = 0;
  std::vector<size_t> differs(KvMACCS166NumBits + 1, 0);
  KvFingerPrint fp;
  for (size_t i = 0; i < d.mols.size(); ++i) {
    if (!KvMakeMACCS166FP(fp, d.mols[i])) continue;
    std::unique_ptr<ExplicitBitVect> rd(RDKit::MACCSFingerprints::getFingerprintAsBitVect(*d.rdkitMols[i]));
    bool equal = true;
    for (unsigned key = 1; key <= KvMACCS166NumBits; ++key) {
      if (fp.IsBitOn(key - 1) == rd->getBit(key)) continue;
      equal = false;
      ++differs[key];
    }
    if (equal) ++same;
  }
  std::printf("identical keys to RDKit: %zu of %zu molecules (%.1f%%)\n", same, d.mols.size(),
              100.0 * static_cast<double>(same) / static_cast<double>(d.mols.size()));
  std::multimap<size_t, unsigned, std::greater<>> byCount;
  for (unsigned key = 1; key <= KvMACCS166NumBits; ++key)
    if (differs[key] > 0) byCount.emplace(differs[key], key);
  std::printf("keys that differ most often (key: molecules):");
  size_t shown = 0;
  for (const auto& [count, key] : byCount) {
    if (shown++ == 8) break;
    std::printf(" %u: %zu", key, count);
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::printf("molecules: %zu\n", GetData().mols.size());
  VarnexBench::CounterReporter reporter("per_mol", 1e6);  // microseconds per molecule
  if (!VarnexBench::RunBenchmarks(argc, argv, reporter)) return 1;

  const double rdkit = reporter.Get("BM_RDKit_MACCS");
  const double varnex = reporter.Get("BM_Varnex_MACCS");
  if (rdkit > 0 && varnex > 0)
    std::printf("\nRDKit MACCS: %.2f us/mol; Varnex MACCS166: %.2f us/mol; speed-up %.2fx\n", rdkit, varnex,
                rdkit / varnex);
  const double unscreened = reporter.Get("BM_Varnex_KeyBits/0"), screened = reporter.Get("BM_Varnex_KeyBits/1");
  if (unscreened > 0 && screened > 0)
    std::printf("key bits on prepared molecules: %.2f us/mol with screens, %.2f without (%.2fx)\n", screened,
                unscreened, unscreened / screened);
  PrintAgreement();
  return 0;
}
