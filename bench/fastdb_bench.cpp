// Fast database search over 1,000,000 default path fingerprints (4096 bits)
// of the NCI sample set, every figure against a baseline measured in the
// same run:
//
// - top-10 searches for queries without close neighbours (molecules 4000 and
//   on of the set; the database holds molecules 0-3999, repeated) and for
//   queries with near-duplicates (molecules of the database), memory-mapped
//   and in memory, against the unpruned scan of every record;
// - cutoff 0.8 and 0.7 searches without a limit, against top-10;
// - 1,000 queries as one batch against 1,000 single searches;
// - a full scan of every record (GetRawScores) against a plain sum over the
//   same bytes in memory;
// - the time per record left after the bit-count bound;
// - two threads against one (wall clock) for the batch, and, paired query
//   by query, for single searches through the batch call and SortedSearch;
// - opening in memory against reading the file.
//
// The file is cached as /tmp/varnex_fastdb_bench_1M.fpbin (rebuilt when
// missing or not readable). Times are CPU time per query unless the name
// says real_time (threads; their CPU time is the whole process's). The
// machine may be shared: run with --benchmark_repetitions and the summary
// takes medians. The last figures, with the load they were taken under, are
// in bench/README.md.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_util.h"
#include "database/hitlist.h"
#include "fastdb/engine/engine.h"
#include "fastdb/kernels/kernels.h"
#include "fastdb/kernels/scoring.h"
#include "fastdb/storage/word_buffer.h"
#include "kvchem/mol.h"
#include "kvchem/moldb.h"
#include "kvsystem/error.h"
#include "kvsystem/iterator.h"
#include "varnex/fastdb.h"
#include "varnex/fpbin.h"
#include "varnex/generation.h"

namespace {

using namespace Varnex;

constexpr std::size_t kRecords = 1000000;
constexpr std::size_t kDatabaseMolecules = 4000;
constexpr std::size_t kQueries = 16;
constexpr std::size_t kBatch = 1000;
const char* const kCachePath = "/tmp/varnex_fastdb_bench_1M.fpbin";

struct Data {
  std::unique_ptr<KvFastFPDatabase> mapped;
  std::unique_ptr<KvFastFPDatabase> loaded;
  std::unique_ptr<FastFPMemoryMapDatabaseImpl> engine;  // the same file, for the plain loops
  std::vector<KvFingerPrint> distant;                     // molecules 4000 and on
  std::vector<KvFingerPrint> near;                        // molecules of the database
  std::vector<KvFingerPrint> batch;                       // kBatch queries, distant ones repeated
  double recordBytes = 0;
};

bool CacheIsUsable(const KvFPTypeBase* type) {
  if (!std::filesystem::exists(kCachePath)) return false;
  KvSystem::KvErrorSink previous = KvSystem::KvSetErrorSink([](KvSystem::KvErrorLevel, const std::string&) {});
  const KvFastFPDatabaseParams params(kCachePath);
  KvSystem::KvSetErrorSink(previous);
  return params.IsValid() && params.NumFingerPrints() == kRecords && params.GetFPTypeBase() == type &&
         params.GetFileSize() == KvGetFPDatabaseFileSize(kRecords, type);
}

void WriteCache(const std::vector<KvFingerPrint>& unique, const KvFPTypeBase* type) {
  VarnexBench::WriteFastDatabase(kCachePath, type, kRecords,
                                 [&](std::size_t i) -> const KvFingerPrint& { return unique[i % unique.size()]; });
}

Data& GetData() {
  static Data* data = [] {
    auto* d = new Data;
    const KvFPTypeBase* type = KvGetFPType(KvFPType::Path, false, 0);
    KvChem::KvMolDatabase molecules;
    if (!molecules.Open(std::string(VARNEX_RDKIT_DATA_DIR) + "/NCI/first_5K.smi")) return d;
    std::vector<KvFingerPrint> unique;
    KvSystem::KvErrorSink previous = KvSystem::KvSetErrorSink([](KvSystem::KvErrorLevel, const std::string&) {});
    for (unsigned i = 0; i < molecules.GetMaxMolIdx(); ++i) {
      KvChem::KvMol mol;
      KvFingerPrint fp;
      if (!molecules.GetMolecule(mol, i) || !KvMakeFP(fp, mol, type)) continue;
      (unique.size() < kDatabaseMolecules ? unique : d->distant).push_back(std::move(fp));
    }
    KvSystem::KvSetErrorSink(previous);
    if (unique.empty() || d->distant.empty()) return d;
    for (std::size_t q = 0; q < kBatch; ++q) d->batch.push_back(d->distant[q % d->distant.size()]);
    d->distant.resize(std::min(kQueries, d->distant.size()));
    for (std::size_t q = 0; q < kQueries; ++q) d->near.push_back(unique[q * 97 % unique.size()]);
    if (!CacheIsUsable(type)) {
      std::printf("writing %s ...\n", kCachePath);
      WriteCache(unique, type);
    }
    d->mapped = std::make_unique<KvFastFPDatabase>(kCachePath, KvFastFPDatabaseMemoryType::MemoryMapped);
    d->loaded = std::make_unique<KvFastFPDatabase>(kCachePath, KvFastFPDatabaseMemoryType::InMemory);
    d->engine = std::make_unique<FastFPMemoryMapDatabaseImpl>(kCachePath);
    d->recordBytes = static_cast<double>(d->engine->View().stride);
    return d;
  }();
  return *data;
}

bool Ready(benchmark::State& state) {
  const Data& data = GetData();
  if (data.mapped && data.mapped->IsValid() && data.loaded->IsValid()) return true;
  state.SkipWithError("no database");
  return false;
}

const KvFastFPDatabase& Database(int memoryType) {
  return memoryType == KvFastFPDatabaseMemoryType::InMemory ? *GetData().loaded : *GetData().mapped;
}

// Queries (or records) per iteration, as a rate.
void SetRate(benchmark::State& state, double items) {
  state.counters["per_s"] = benchmark::Counter(items, benchmark::Counter::kIsIterationInvariantRate);
}

// ---- Single searches (the specified calls, on the caller's thread).

void Top10(benchmark::State& state, const std::vector<KvFingerPrint>& queries) {
  if (!Ready(state)) return;
  const KvFastFPDatabase& db = Database(static_cast<int>(state.range(0)));
  const KvFPDatabaseOptions options(10, KvSimMeasure::Tanimoto);
  std::size_t q = 0;
  for (auto _ : state) {
    auto hits = KvSystem::KvCollect(db.GetSortedScores(queries[q++ % queries.size()], options));
    benchmark::DoNotOptimize(hits.data());
  }
  SetRate(state, 1);
}
void BM_Top10_Distant(benchmark::State& state) { Top10(state, GetData().distant); }
void BM_Top10_Near(benchmark::State& state) { Top10(state, GetData().near); }
BENCHMARK(BM_Top10_Distant)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Top10_Near)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Every hit above a cutoff (x 0.01), no limit.
void BM_Cutoff_Distant(benchmark::State& state) {
  if (!Ready(state)) return;
  Data& data = GetData();
  KvFPDatabaseOptions options(0, KvSimMeasure::Tanimoto);
  options.SetCutoff(static_cast<float>(state.range(0)) / 100.0f);
  std::size_t q = 0;
  for (auto _ : state) {
    auto hits = KvSystem::KvCollect(data.mapped->GetSortedScores(data.distant[q++ % data.distant.size()], options));
    benchmark::DoNotOptimize(hits.data());
  }
  SetRate(state, 1);
}
BENCHMARK(BM_Cutoff_Distant)->Arg(80)->Arg(70)->Unit(benchmark::kMillisecond);

// Baseline: the same top-10 search scoring every record in file order.
void BM_Baseline_Top10_Unpruned(benchmark::State& state) {
  if (!Ready(state)) return;
  Data& data = GetData();
  const KvFPDatabaseOptions options(10, KvSimMeasure::Tanimoto);
  std::size_t q = 0;
  for (auto _ : state) {
    auto hits = KvSystem::KvCollect(
        data.engine->GetSortedScores(data.distant[q++ % data.distant.size()], options, /*prune=*/false));
    benchmark::DoNotOptimize(hits.data());
  }
  SetRate(state, 1);
}
BENCHMARK(BM_Baseline_Top10_Unpruned)->Unit(benchmark::kMillisecond);

// ---- Full scans: every score, against a plain sum over the same bytes.

void BM_FullScan_RawScores(benchmark::State& state) {
  if (!Ready(state)) return;
  const KvFastFPDatabase& db = Database(static_cast<int>(state.range(0)));
  const KvFPDatabaseOptions options(0, KvSimMeasure::Tanimoto);
  std::size_t q = 0;
  for (auto _ : state) {
    auto* scores = db.GetRawScores(GetData().distant[q++ % GetData().distant.size()], options);
    benchmark::DoNotOptimize(scores);
    delete scores;
  }
  SetRate(state, kRecords);
}
BENCHMARK(BM_FullScan_RawScores)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Baseline: a plain sum of every record word of the mapping.
void BM_Baseline_PlainSum(benchmark::State& state) {
  if (!Ready(state)) return;
  const RecordView view = GetData().engine->View();
  const std::size_t words = static_cast<std::size_t>(view.n * view.stride / 8);
  for (auto _ : state) {
    std::uint64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    for (std::size_t w = 0; w + 4 <= words; w += 4) {
      std::uint64_t x[4];
      std::memcpy(x, view.records + 8 * w, sizeof x);
      s0 += x[0];
      s1 += x[1];
      s2 += x[2];
      s3 += x[3];
    }
    benchmark::DoNotOptimize(s0 + s1 + s2 + s3);
  }
  SetRate(state, kRecords);
}
BENCHMARK(BM_Baseline_PlainSum)->Unit(benchmark::kMillisecond);

// ---- Batches and threads (wall clock).

// 1,000 queries top-10 in one call.
void BM_Batch1000_Top10(benchmark::State& state) {
  if (!Ready(state)) return;
  KvFPDatabaseOptions options(10, KvSimMeasure::Tanimoto);
  options.SetNumProcessors(static_cast<unsigned>(state.range(0)));
  for (auto _ : state) {
    auto hits = GetData().mapped->GetSortedScoresMany(GetData().batch, options);
    benchmark::DoNotOptimize(hits.data());
  }
  SetRate(state, kBatch);
}
BENCHMARK(BM_Batch1000_Top10)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->MinTime(2.0);

// Baseline: the same 1,000 queries as single searches.
void BM_Baseline_Single1000_Top10(benchmark::State& state) {
  if (!Ready(state)) return;
  const KvFPDatabaseOptions options(10, KvSimMeasure::Tanimoto);
  for (auto _ : state) {
    for (const KvFingerPrint& query : GetData().batch) {
      auto hits = KvSystem::KvCollect(GetData().mapped->GetSortedScores(query, options));
      benchmark::DoNotOptimize(hits.data());
    }
  }
  SetRate(state, kBatch);
}
BENCHMARK(BM_Baseline_Single1000_Top10)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// Two threads against one, paired: every iteration searches one query on
// one thread and on two, in turns (which goes first alternates; range(1)
// = 0), or all the queries on one thread and then on two (range(1) = 1: the
// searches of a run follow each other, so the pool's helper is still
// awake), so that load from the machine's other tenants, which drifts over
// seconds, weighs on both alike. A single query goes through the batch call
// (the threaded entry of single searches), top-10 or every hit above a
// cutoff; the last case is SortedSearch, which scores every record into a
// histogram. Counters: the wall time per search on one and on two threads,
// and their ratio over the whole run.
enum TwoThreadCase { kTop10Distant, kTop10Near, kCutoff70Distant, kCutoff80Near, kSortedSearch, kTwoThreadCases };
const char* const kTwoThreadCaseNames[] = {"top-10, far", "top-10, near", "cutoff 0.7, far", "cutoff 0.8, near",
                                           "SortedSearch"};

void BM_TwoThreads(benchmark::State& state) {
  if (!Ready(state)) return;
  const auto which = static_cast<TwoThreadCase>(state.range(0));
  const Data& data = GetData();
  const std::vector<KvFingerPrint>& queries = (which == kTop10Near || which == kCutoff80Near) ? data.near : data.distant;
  const float cutoff = which == kCutoff70Distant ? 0.7f : (which == kCutoff80Near ? 0.8f : 0.0f);
  KvFPDatabaseOptions options(cutoff > 0 ? 0 : 10, KvSimMeasure::Tanimoto);
  if (cutoff > 0) options.SetCutoff(cutoff);
  auto search = [&](const KvFingerPrint& query, unsigned threads) {
    options.SetNumProcessors(threads);
    const auto start = std::chrono::steady_clock::now();
    if (which == kSortedSearch) {
      KvSimSearchResult result;
      data.loaded->SortedSearch(result, query, options);
      auto hits = KvSystem::KvCollect(result.GetSortedScores());
      benchmark::DoNotOptimize(hits.data());
    } else {
      auto hits = data.mapped->GetSortedScoresMany({query}, options);
      benchmark::DoNotOptimize(hits.data());
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  double one = 0, two = 0;
  std::size_t q = 0;
  for (auto _ : state) {
    if (state.range(1) == 0) {  // one query at a time
      const KvFingerPrint& query = queries[q % queries.size()];
      if (q++ % 2 == 0) {
        one += search(query, 1);
        two += search(query, 2);
      } else {
        two += search(query, 2);
        one += search(query, 1);
      }
    } else {  // every query on one thread, then every query on two
      for (const KvFingerPrint& query : queries) one += search(query, 1);
      for (const KvFingerPrint& query : queries) two += search(query, 2);
    }
  }
  const double searches = static_cast<double>(state.iterations() * (state.range(1) == 0 ? 1 : queries.size()));
  state.counters["one_ms"] = 1e3 * one / searches;
  state.counters["two_ms"] = 1e3 * two / searches;
  state.counters["speedup"] = one / two;
  state.SetLabel(kTwoThreadCaseNames[which]);
}
BENCHMARK(BM_TwoThreads)
    ->ArgsProduct({benchmark::CreateDenseRange(0, kTwoThreadCases - 1, 1), {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// ---- Opening.

void BM_Open(benchmark::State& state) {
  if (!Ready(state)) return;
  for (auto _ : state) {
    KvFastFPDatabase db(kCachePath, static_cast<unsigned>(state.range(0)));
    benchmark::DoNotOptimize(db.IsValid());
  }
  state.counters["GB_per_s"] = benchmark::Counter(static_cast<double>(std::filesystem::file_size(kCachePath)) / 1e9,
                                                  benchmark::Counter::kIsIterationInvariantRate);
}
// At least two seconds: one opening takes a quarter to nearly a second, and
// a single one can be off by a factor of three on a shared machine.
BENCHMARK(BM_Open)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->MinTime(2.0);

// Baseline: reading the file into fresh memory (huge pages offered, as the
// engine's) in 1 MB reads on one thread, with nothing checked or indexed.
// (Memory from malloc, on small pages, is far slower in a virtual machine
// that hands freed pages back to its host.)
void BM_Baseline_ReadFile(benchmark::State& state) {
  if (!Ready(state)) return;
  const std::size_t size = std::filesystem::file_size(kCachePath);
  for (auto _ : state) {
    WordBuffer bytes;
    bytes.Allocate((size + 7) / 8);
    std::ifstream in(kCachePath, std::ios::binary);
    char* data = reinterpret_cast<char*>(bytes.Data());
    for (std::size_t at = 0; at < size; at += 1 << 20) in.read(data + at, std::min<std::size_t>(1 << 20, size - at));
    benchmark::DoNotOptimize(bytes.Data());
  }
  state.counters["GB_per_s"] =
      benchmark::Counter(static_cast<double>(size) / 1e9, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Baseline_ReadFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// The records whose bit count alone does not rule them out of a top-10
// search: those of the bins whose best reachable score beats the query's
// 10th score. Their mean over the distant queries.
double RecordsAfterCountBound() {
  Data& data = GetData();
  const SearchIndex& index = data.engine->Index();
  const RecordView view = data.engine->View();
  const KvFPDatabaseOptions options(10, KvSimMeasure::Tanimoto);
  double total = 0;
  for (const KvFingerPrint& query : data.distant) {
    const auto hits = KvSystem::KvCollect(data.mapped->GetSortedScores(query, options));
    const double threshold = hits.empty() ? 0.0 : hits.back().GetScore();
    const QueryWords q = data.engine->MakeQuery(query);
    const TanimotoScore score{MakeScoreContext(q.bits, view.words, options)};
    for (std::size_t p = 0; p < index.NumBins(); ++p) {
      if (BestScore(score, static_cast<double>(p), true) > threshold)
        total += static_cast<double>(index.BinEnd(p) - index.BinBegin(p));
    }
  }
  return total / static_cast<double>(data.distant.size());
}

class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
        cpu[run.run_name.str()] = run.GetAdjustedCPUTime();
        auto it = run.counters.find("per_s");
        if (it != run.counters.end()) rate[run.run_name.str()] = it->second.value;
        it = run.counters.find("GB_per_s");
        if (it != run.counters.end()) rate[run.run_name.str()] = it->second.value;
        it = run.counters.find("speedup");
        if (it != run.counters.end()) speedup[run.run_name.str()] = it->second.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> rate;
  std::map<std::string, double> speedup;
  std::map<std::string, double> cpu;  // CPU time per iteration (of the whole process where the name says so)
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const Data& data = GetData();
  std::printf("database: %zu records of %.0f bytes (4096-bit path fingerprints); kernel %s; signatures of %zu words\n",
              kRecords, data.recordBytes, KvGetScanKernelName().c_str(),
              data.engine ? data.engine->Index().SignatureWords() : 0);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  // By name, the options Google Benchmark adds to it ("/min_time:2.000")
  // left out.
  auto find = [&](const std::map<std::string, double>& values, const std::string& name) {
    for (const auto& [run, value] : values) {
      std::string plain = run;
      const std::size_t option = plain.find("/min_time:");
      if (option != std::string::npos) plain.erase(option, plain.find('/', option + 1) - option);
      if (plain == name) return value;
    }
    return -1.0;
  };
  auto get = [&](const std::string& name) { return find(reporter.rate, name); };
  // Process CPU time of two threads against one: the work threads add. On a
  // busy machine wall clock cannot show a speed-up; this still does.
  auto work = [&](const std::string& name) {
    return find(reporter.cpu, name + "/2/process_time/real_time") /
           find(reporter.cpu, name + "/1/process_time/real_time");
  };
  auto ms = [&](const std::string& name) { return get(name) > 0 ? 1e3 / get(name) : -1.0; };
  std::printf("\nGoal figures (CPU time per query unless real_time):\n");
  const double distant = ms("BM_Top10_Distant/1"), unpruned = ms("BM_Baseline_Top10_Unpruned");
  std::printf("top-10, near-duplicates:      %.2f ms mapped, %.2f ms in memory (goal <= 3)\n", ms("BM_Top10_Near/1"),
              ms("BM_Top10_Near/2"));
  std::printf("top-10, no close neighbours:  %.2f ms mapped, %.2f ms in memory (goal <= 10); unpruned %.1f ms, %.1fx\n",
              distant, ms("BM_Top10_Distant/2"), unpruned, unpruned / distant);
  std::printf("cutoff 0.8 / 0.7, no limit:   %.2f / %.2f ms, %.2fx / %.2fx the top-10 time (goal <= 1)\n",
              ms("BM_Cutoff_Distant/80"), ms("BM_Cutoff_Distant/70"), ms("BM_Cutoff_Distant/80") / distant,
              ms("BM_Cutoff_Distant/70") / distant);
  std::printf(
      "1,000 queries as one batch:   %.2fx the throughput of 1,000 single searches, %.2fx by CPU time (goal >= 3)\n",
      get("BM_Batch1000_Top10/1/process_time/real_time") / get("BM_Baseline_Single1000_Top10/real_time"),
      find(reporter.cpu, "BM_Baseline_Single1000_Top10/real_time") /
          find(reporter.cpu, "BM_Batch1000_Top10/1/process_time/real_time"));
  std::printf("full scan (raw scores):       %.2f (mapped) / %.2f (in memory) of a plain sum's rate (goal >= 0.8)\n",
              get("BM_FullScan_RawScores/1") / get("BM_Baseline_PlainSum"),
              get("BM_FullScan_RawScores/2") / get("BM_Baseline_PlainSum"));
  if (data.engine && distant > 0) {
    const double records = RecordsAfterCountBound();
    std::printf("per record after the count bound: %.2f ns (%.0f records per query; goal <= 10)\n",
                distant * 1e6 / records, records);
  }
  // Two threads against one: wall-clock speed-up, and process CPU time
  // (1.00 = the second thread adds no work); single searches paired.
  std::printf("two threads against one (goal >= 1.8 wall):\n");
  const std::string batch = "BM_Batch1000_Top10";
  std::printf("  %-30s wall %.2fx, process CPU %.2f\n", "1,000 queries as one batch",
              get(batch + "/2/process_time/real_time") / get(batch + "/1/process_time/real_time"), work(batch));
  for (int c = 0; c < kTwoThreadCases; ++c) {
    const std::string name = "BM_TwoThreads/" + std::to_string(c);
    std::printf("  %-30s wall %.2fx one query at a time, %.2fx in runs of %zu\n", kTwoThreadCaseNames[c],
                find(reporter.speedup, name + "/0/real_time"), find(reporter.speedup, name + "/1/real_time"),
                kQueries);
  }
  // Opening: GB per second of wall time, and per second of process CPU time
  // (on a busy machine the helper thread of the in-memory opening may get
  // no core of its own).
  const double gb = std::filesystem::exists(kCachePath) ? std::filesystem::file_size(kCachePath) / 1e9 : 0.0;
  auto perCpu = [&](const std::string& name) {
    const double cpuMs = find(reporter.cpu, name);
    return cpuMs > 0 ? gb / (cpuMs / 1e3) : -1.0;
  };
  std::printf("opening (goal >= 2 GB/s in memory), wall / process CPU:\n");
  std::printf("  memory-mapped %.2f / %.2f GB/s, in memory %.2f / %.2f GB/s; reading the file %.2f / %.2f GB/s\n",
              get("BM_Open/1/process_time/real_time"), perCpu("BM_Open/1/process_time/real_time"),
              get("BM_Open/2/process_time/real_time"), perCpu("BM_Open/2/process_time/real_time"),
              get("BM_Baseline_ReadFile/process_time/real_time"),
              perCpu("BM_Baseline_ReadFile/process_time/real_time"));
  return 0;
}
