// What the benchmark programs share: the NCI sample molecules, per-item
// counters, and a reporter that keeps one counter of every run for the
// summary ratios each program prints against its same-run baseline.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace VarnexBench {

// The SMILES of RDKit's NCI sample set (first_5K.smi), in file order; read
// once.
inline const std::vector<std::string>& NciSmiles() {
  static const std::vector<std::string> smiles = [] {
    std::vector<std::string> out;
    std::ifstream in(std::string(VARNEX_RDKIT_DATA_DIR) + "/NCI/first_5K.smi");
    for (std::string line; std::getline(in, line);) {
      std::istringstream fields(line);
      std::string s;
      if (fields >> s) out.push_back(std::move(s));
    }
    return out;
  }();
  return smiles;
}

// Counter `name`: `count` items per iteration, shown as CPU time per item
// with an SI prefix ("12.3u").
inline void PerItem(benchmark::State& state, std::size_t count, const char* name = "per_mol") {
  state.counters[name] = benchmark::Counter(
      static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The console output, and the value of one counter of every run by run name,
// multiplied by `scale` (1e6 turns seconds per item into microseconds). With
// --benchmark_repetitions the median replaces the single runs.
class CounterReporter : public benchmark::ConsoleReporter {
 public:
  explicit CounterReporter(std::string counter, double scale = 1.0) : counter_(std::move(counter)), scale_(scale) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto it = run.counters.find(counter_);
      if (it == run.counters.end()) continue;
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median")
        values_[run.run_name.str()] = it->second.value * scale_;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // The kept value of a run, or -1 when it did not run.
  double Get(const std::string& run) const {
    const auto it = values_.find(run);
    return it == values_.end() ? -1.0 : it->second;
  }

 private:
  std::string counter_;
  double scale_;
  std::map<std::string, double> values_;
};

// Runs the benchmarks the command line selects through `reporter`; false
// (after a message) on arguments Google Benchmark does not know.
inline bool RunBenchmarks(int argc, char** argv, benchmark::BenchmarkReporter& reporter) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return false;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return true;
}

}  // namespace VarnexBench
