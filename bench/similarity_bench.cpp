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
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

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
    std::ifstream in(std::string(VARNEX_RDKIT_DATA_DIR) + "/NCI/first_5K.smi");
    std::string line;
    while (d->fps.size() < kMolecules && std::getline(in, line)) {
      std::istringstream fields(line);
      std::string smiles;
      KvChem::KvMol mol;
      if (!(fields >> smiles) || !KvChem::KvSmilesToMol(smiles, mol)) continue;
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

void SetPerPair(benchmark::State& state, std::size_t pairs) {
  state.counters["per_pair"] = benchmark::Counter(static_cast<double>(pairs),
                                                  benchmark::Counter::kIsIterationInvariantRate |
                                                      benchmark::Counter::kInvert);
}

void BM_Varnex_Tanimoto(benchmark::State& state) {
  const auto& fps = GetData().fps;
  const std::size_t n = fps.size();
  for (auto _ : state) {
    float sum = 0.0f;
    for (std::size_t i = 0; i < n; ++i) sum += KvTanimoto(fps[i], fps[(i + kStride) % n]);
    benchmark::DoNotOptimize(sum);
  }
  SetPerPair(state, n);
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
  SetPerPair(state, n);
}
BENCHMARK(BM_RDKit_Tanimoto);

// The counting alone: 0 software, 1 instruction (when the processor has it).
void BM_Varnex_PairCounts(benchmark::State& state) {
  const auto& fps = GetData().fps;
  const std::size_t n = fps.size();
  const bool instruction = state.range(0) == 1;
  if (instruction && !KvHasPopCountInstruction()) {
    state.SkipWithError("no population-count instruction");
    return;
  }
  const auto count = instruction ? &KvCountBitPairsInstruction : &KvCountBitPairsSoftware;
  for (auto _ : state) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const KvFingerPrint& a = fps[i];
      const KvFingerPrint& b = fps[(i + kStride) % n];
      sum += count(a.GetBytes(), b.GetBytes(), a.NumWords() * 4).onBoth;
    }
    benchmark::DoNotOptimize(sum);
  }
  SetPerPair(state, n);
}
BENCHMARK(BM_Varnex_PairCounts)->DenseRange(0, 1);

class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      auto it = run.counters.find("per_pair");
      if (it == run.counters.end()) continue;
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median")
        nanosPerPair[run.run_name.str()] = it->second.value * 1e9;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> nanosPerPair;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::printf("fingerprints: %zu of %zu bits\n", GetData().fps.size(),
              GetData().fps.empty() ? std::size_t{0} : GetData().fps[0].GetSize());
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const auto& t = reporter.nanosPerPair;
  auto get = [&](const std::string& name) {
    auto it = t.find(name);
    return it == t.end() ? -1.0 : it->second;
  };
  const double varnex = get("BM_Varnex_Tanimoto"), rdkit = get("BM_RDKit_Tanimoto");
  if (varnex > 0 && rdkit > 0)
    std::printf("\nTanimoto, 4096 bits: Varnex %.1f ns/pair, RDKit %.1f ns/pair; speed-up %.2fx\n", varnex, rdkit,
                rdkit / varnex);
  const double software = get("BM_Varnex_PairCounts/0"), instruction = get("BM_Varnex_PairCounts/1");
  if (software > 0 && instruction > 0)
    std::printf("pair counts alone: software %.1f ns/pair, instruction %.1f ns/pair\n", software, instruction);
  return 0;
}
