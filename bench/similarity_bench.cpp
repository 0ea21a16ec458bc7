// Tanimoto speed on 4096-bit path fingerprints of the NCI sample set, against
// RDKit's TanimotoSimilarity on ExplicitBitVects holding the same bits, in the
// same run. Also times the raw pair counts with each popcount form, to show
// how much of a comparison is counting and how much is the type check and
// the formula.
//
// Fingerprints are made once before timing; each iteration compares every
// fingerprint with the one 37 places further on.

#include <benchmark/benchmark.h>

#include <DataStructs/BitOps.h>
#include <DataStructs/ExplicitBitVect.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_util.h"
#include "kvchem/mol.h"
#include "similarity/popcount.h"
#include "varnex/pathfp.h"
#include "varnex/similarity.h"

namespace {

using namespace Varnex;

constexpr std::size_t kMolecules = 2000;
constexpr std::size_t kStride = 37;

struct Data {
  std::vector<KvFingerPrint> fps;
  std::vector<std::unique_ptr<ExplicitBitVect>> rdkitFps;
};

Data& GetData() {
  static Data* data = [] {
    auto* d = new Data;
    for (const std::string& smiles : VarnexBench::NciSmiles()) {
      if (d->fps.size() == kMolecules) break;
      KvChem::KvMol mol;
      if (!KvChem::KvSmilesToMol(smiles, mol)) continue;
      KvFingerPrint fp;
      if (!KvMakePathFP(fp, mol)) continue;
      auto bv = std::make_unique<ExplicitBitVect>(static_cast<unsigned>(fp.GetSize()));
      for (unsigned i = 0; i < fp.GetSize(); ++i)
        if (fp.IsBitOn(i)) bv->setBit(i);
      d->fps.push_back(std::move(fp));
      d->rdkitFps.push_back(std::move(bv));
    }
    return d;
  }();
  return *data;
}

void BM_Varnex_Tanimoto(benchmark::State& state) {
  const auto& fps = GetData().fps;
  const std::size_t n = fps.size();
  for (auto _ : state) {
    float sum = 0.0f;
    for (std::size_t i = 0; i < n; ++i) sum += KvTanimoto(fps[i], fps[(i + kStride) % n]);
    benchmark::DoNotOptimize(sum);
  }
  VarnexBench::PerItem(state, n, "per_pair");
}
BENCHMARK(BM_Varnex_Tanimoto);

void BM_RDKit_Tanimoto(benchmark::State& state) {
  const auto& fps = GetData().rdkitFps;
  const std::size_t n = fps.size();
  for (auto _ : state) {
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) sum += TanimotoSimilarity(*fps[i], *fps[(i + kStride) % n]);
    benchmark::DoNotOptimize(sum);
  }
  VarnexBench::PerItem(state, n, "per_pair");
}
BENCHMARK(BM_RDKit_Tanimoto);

// The counting alone: 0 software, 1 instruction (when the processor has it).
void BM_Varnex_PairCounts(benchmark::State& state) {
  const auto& fps = GetData().fps;
  const std::size_t n = fps.size();
  const bool instruction = state.range(0) == 1;
  if (instruction && !HasPopCountInstruction()) {
    state.SkipWithError("no population-count instruction");
    return;
  }
  const auto count = instruction ? &CountBitPairsInstruction : &CountBitPairsSoftware;
  for (auto _ : state) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const KvFingerPrint& a = fps[i];
      const KvFingerPrint& b = fps[(i + kStride) % n];
      sum += count(a.GetBytes(), b.GetBytes(), a.NumWords() * 4).onBoth;
    }
    benchmark::DoNotOptimize(sum);
  }
  VarnexBench::PerItem(state, n, "per_pair");
}
BENCHMARK(BM_Varnex_PairCounts)->DenseRange(0, 1);

}  // namespace

int main(int argc, char** argv) {
  std::printf("fingerprints: %zu of %zu bits\n", GetData().fps.size(),
              GetData().fps.empty() ? std::size_t{0} : GetData().fps[0].GetSize());
  VarnexBench::CounterReporter reporter("per_pair", 1e9);  // nanoseconds per pair
  if (!VarnexBench::RunBenchmarks(argc, argv, reporter)) return 1;

  const double varnex = reporter.Get("BM_Varnex_Tanimoto"), rdkit = reporter.Get("BM_RDKit_Tanimoto");
  if (varnex > 0 && rdkit > 0)
    std::printf("\nTanimoto, 4096 bits: Varnex %.1f ns/pair, RDKit %.1f ns/pair; speed-up %.2fx\n", varnex, rdkit,
                rdkit / varnex);
  const double software = reporter.Get("BM_Varnex_PairCounts/0"), instruction = reporter.Get("BM_Varnex_PairCounts/1");
  if (software > 0 && instruction > 0)
    std::printf("pair counts alone: software %.1f ns/pair, instruction %.1f ns/pair\n", software, instruction);
  return 0;
}
