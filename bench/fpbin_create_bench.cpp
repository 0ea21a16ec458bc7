// Fast database creation from the NCI sample set (first_5K.smi): the whole
// KvCreateFastFPDatabaseFile on 1 and 2 threads, next to a plain serial loop
// that reads and fingerprints the same molecules without writing any file.
// Reported as molecules per second (wall-clock time, since the work runs on
// worker threads); the summary prints the 2-thread speed-up over 1 thread
// (goal: at least 1.8x on a machine with two free cores) and the cost of the
// file machinery against the plain loop. On a shared machine the wall-clock
// speed-up is capped by the cores actually free, so the summary also gives
// molecules per second of process CPU time: equal values on 1 and 2 threads
// mean the threads do not slow each other down (no contention).
//
// Warnings about unparsable records of the set are dropped.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "kvchem/mol.h"
#include "kvchem/moldb.h"
#include "kvsystem/error.h"
#include "kvsystem/platform.h"
#include "varnex/fpbin_create.h"
#include "varnex/generation.h"

namespace {

using namespace Varnex;

const std::string kNci5K = std::string(VARNEX_RDKIT_DATA_DIR) + "/NCI/first_5K.smi";

const std::string& OutputPath() {
  static const std::string path =
      (std::filesystem::temp_directory_path() / ("varnex_create_bench_" + std::to_string(::getpid()) + ".fpbin"))
          .string();
  return path;
}

unsigned NumMolecules() {
  static const unsigned count = [] {
    KvChem::KvMolDatabase mols;
    return mols.Open(kNci5K) ? mols.GetMaxMolIdx() : 0u;
  }();
  return count;
}

void SetRate(benchmark::State& state) {
  state.counters["mols_per_s"] =
      benchmark::Counter(static_cast<double>(NumMolecules()), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_CreateFastDatabase(benchmark::State& state) {
  if (NumMolecules() == 0) {
    state.SkipWithError("cannot read first_5K.smi");
    return;
  }
  KvCreateFastFPDatabaseOptions options(KvGetFPType(KvFPType::Path));
  options.SetNumProcessors(static_cast<unsigned>(state.range(0)));
  for (auto _ : state) {
    if (!KvCreateFastFPDatabaseFile(OutputPath(), kNci5K, options)) state.SkipWithError("creation failed");
  }
  SetRate(state);
}
BENCHMARK(BM_CreateFastDatabase)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(3.0);

// Baseline: parse and fingerprint every molecule on the calling thread.
void BM_PlainLoop_ReadAndFingerprint(benchmark::State& state) {
  KvChem::KvMolDatabase mols;
  if (!mols.Open(kNci5K)) {
    state.SkipWithError("cannot read first_5K.smi");
    return;
  }
  const KvFPTypeBase* type = KvGetFPType(KvFPType::Path);
  KvChem::KvMol mol;
  KvFingerPrint fp;
  for (auto _ : state) {
    std::size_t bits = 0;
    for (unsigned i = 0; i < mols.GetMaxMolIdx(); ++i)
      if (mols.GetMolecule(mol, i) && KvMakeFP(fp, mol, type)) bits += fp.CountBits();
    benchmark::DoNotOptimize(bits);
  }
  SetRate(state);
}
BENCHMARK(BM_PlainLoop_ReadAndFingerprint)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(3.0);

class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      auto it = run.counters.find("mols_per_s");
      if (it == run.counters.end()) continue;
      if (run.run_type != Run::RT_Iteration && run.aggregate_name != "median") continue;
      rate[run.run_name.str()] = it->second.value;
      const double cpuSeconds = run.GetAdjustedCPUTime() / 1e3;  // per iteration, in ms
      if (cpuSeconds > 0) cpuRate[run.run_name.str()] = NumMolecules() / cpuSeconds;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> rate;
  std::map<std::string, double> cpuRate;  // molecules per second of process CPU time
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::printf("creation: %u molecules of %s, default path fingerprints, %u processors\n", NumMolecules(),
              kNci5K.c_str(), KvSystem::KvGetNumProcessors());
  KvSystem::KvSetErrorSink([](KvSystem::KvErrorLevel, const std::string&) {});
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::filesystem::remove(OutputPath());

  auto get = [&](const std::string& name, const std::map<std::string, double>& from = {}) {
    const auto& rates = from.empty() ? reporter.rate : from;
    auto it = rates.find(name);
    return it == rates.end() ? -1.0 : it->second;
  };
  const std::string oneName = "BM_CreateFastDatabase/1/min_time:3.000/process_time/real_time";
  const std::string twoName = "BM_CreateFastDatabase/2/min_time:3.000/process_time/real_time";
  const double one = get(oneName);
  const double two = get(twoName);
  const double plain = get("BM_PlainLoop_ReadAndFingerprint/min_time:3.000/process_time/real_time");
  if (one > 0 && two > 0)
    std::printf("creation: 1 thread %.0f mols/s, 2 threads %.0f mols/s; speed-up %.2fx (goal 1.8x)\n", one, two,
                two / one);
  if (one > 0 && plain > 0)
    std::printf("1-thread creation against the plain read-and-fingerprint loop (%.0f mols/s): ratio %.2fx\n", plain,
                one / plain);
  const double oneCpu = get(oneName, reporter.cpuRate);
  const double twoCpu = get(twoName, reporter.cpuRate);
  if (oneCpu > 0 && twoCpu > 0)
    std::printf("per CPU second: 1 thread %.0f mols, 2 threads %.0f mols; ratio %.2fx (1.0 = no contention)\n", oneCpu,
                twoCpu, twoCpu / oneCpu);
  return 0;
}
