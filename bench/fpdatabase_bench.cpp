// Sorted search of the in-memory database: GetSortedScores over 100,000
// default path fingerprints (the NCI sample set, repeated) with limits 10 and
// 1000, against a plain loop that scores every fingerprint with KvTanimoto and
// sorts all scores, in the same run. Reported as fingerprints scored per
// second; the summary prints the ratio of the database to the plain loop.
//
// Fingerprints are made once before timing; each iteration searches with the
// next of 16 query fingerprints.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_util.h"
#include "kvchem/mol.h"
#include "varnex/fpdatabase.h"
#include "varnex/generation.h"
#include "varnex/similarity.h"

namespace {

using namespace Varnex;

constexpr std::size_t kDatabaseSize = 100000;
constexpr std::size_t kQueries = 16;

struct Data {
  std::unique_ptr<KvFPDatabase> db;
  std::vector<KvFingerPrint> fps;  // the same fingerprints, for the plain loop
  std::vector<KvFingerPrint> queries;
};

Data& GetData() {
  static Data* data = [] {
    auto* d = new Data;
    d->db = std::make_unique<KvFPDatabase>(KvFPType::Path);
    std::vector<KvFingerPrint> unique;
    for (const std::string& smiles : VarnexBench::NciSmiles()) {
      KvChem::KvMol mol;
      if (!KvChem::KvSmilesToMol(smiles, mol)) continue;
      KvFingerPrint fp;
      if (KvMakeFP(fp, mol, d->db->GetFPTypeBase())) unique.push_back(std::move(fp));
    }
    if (unique.empty()) return d;
    for (std::size_t i = 0; i < kDatabaseSize; ++i) {
      d->db->AddFP(unique[i % unique.size()]);
      d->fps.push_back(unique[i % unique.size()]);
    }
    for (std::size_t q = 0; q < kQueries; ++q) d->queries.push_back(unique[(q * 311) % unique.size()]);
    return d;
  }();
  return *data;
}

void SetRate(benchmark::State& state, std::size_t scored) {
  state.counters["fps_per_s"] =
      benchmark::Counter(static_cast<double>(scored), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Database_GetSortedScores(benchmark::State& state) {
  Data& data = GetData();
  if (data.queries.empty()) {
    state.SkipWithError("no fingerprints");
    return;
  }
  const auto limit = static_cast<unsigned>(state.range(0));
  std::size_t q = 0;
  for (auto _ : state) {
    auto hits = KvSystem::KvCollect(data.db->GetSortedScores(data.queries[q++ % kQueries], limit));
    benchmark::DoNotOptimize(hits.data());
  }
  SetRate(state, data.fps.size());
}
BENCHMARK(BM_Database_GetSortedScores)->Arg(10)->Arg(1000)->Unit(benchmark::kMillisecond);

// The baseline: score everything with KvTanimoto, sort everything, keep `limit`.
void BM_PlainLoop_TanimotoSortAll(benchmark::State& state) {
  Data& data = GetData();
  if (data.queries.empty()) {
    state.SkipWithError("no fingerprints");
    return;
  }
  const auto limit = static_cast<std::size_t>(state.range(0));
  std::size_t q = 0;
  for (auto _ : state) {
    const KvFingerPrint& query = data.queries[q++ % kQueries];
    std::vector<KvSimScore> scores;
    scores.reserve(data.fps.size());
    for (std::size_t i = 0; i < data.fps.size(); ++i) scores.emplace_back(i, KvTanimoto(query, data.fps[i]));
    std::sort(scores.begin(), scores.end(),
              [](const KvSimScore& a, const KvSimScore& b) { return a.GetScore() > b.GetScore(); });
    scores.resize(std::min(limit, scores.size()));
    benchmark::DoNotOptimize(scores.data());
  }
  SetRate(state, data.fps.size());
}
BENCHMARK(BM_PlainLoop_TanimotoSortAll)->Arg(10)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  std::printf("database: %zu path fingerprints of %zu bits\n", GetData().fps.size(),
              GetData().fps.empty() ? std::size_t{0} : GetData().fps[0].GetSize());
  VarnexBench::CounterReporter reporter("fps_per_s");
  if (!VarnexBench::RunBenchmarks(argc, argv, reporter)) return 1;
  for (const char* limit : {"10", "1000"}) {
    const double db = reporter.Get(std::string("BM_Database_GetSortedScores/") + limit);
    const double plain = reporter.Get(std::string("BM_PlainLoop_TanimotoSortAll/") + limit);
    if (db > 0 && plain > 0)
      std::printf("limit %s: GetSortedScores %.1f M fps/s, KvTanimoto + full sort %.1f M fps/s; ratio %.2fx\n", limit,
                  db / 1e6, plain / 1e6, db / plain);
  }
  return 0;
}
