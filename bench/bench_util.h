// What the benchmark programs share: the NCI sample molecules (also parsed by
// both Varnex and RDKit), the per-molecule timing loops, per-item counters,
// and a reporter that keeps one counter of every run for the summary ratios
// each program prints against its same-run baseline.
#pragma once

#include <benchmark/benchmark.h>

#include <GraphMol/ROMol.h>
#include <GraphMol/SmilesParse/SmilesParse.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "kvchem/mol.h"
#include "varnex/fingerprint.h"
#include "varnex/fpbin.h"

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

// Calls add(smiles, mol, rdkitMol) for every NCI sample molecule that both
// Varnex and RDKit parse, in file order, so baselines and Varnex runs see the
// same molecules.
template <typename Add>
void ForEachNciMol(Add&& add) {
  for (const std::string& smiles : NciSmiles()) {
    KvChem::KvMol mol;
    if (!KvChem::KvSmilesToMol(smiles, mol)) continue;
    std::unique_ptr<RDKit::ROMol> rd;
    try {
      rd.reset(RDKit::SmilesToMol(smiles));
    } catch (...) {
    }
    if (!rd) continue;
    add(smiles, std::move(mol), std::move(rd));
  }
}

// Counter `name`: `count` items per iteration, shown as CPU time per item
// with an SI prefix ("12.3u").
inline void PerItem(benchmark::State& state, std::size_t count, const char* name = "per_mol") {
  state.counters[name] = benchmark::Counter(
      static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Times `make(item)` for every item of `items` in each iteration and counts
// per item. The result is kept from being optimised away; steps that write
// into a caller's object return a pointer to what they wrote.
template <typename Items, typename Make>
void RunPerMolecule(benchmark::State& state, const Items& items, Make&& make) {
  for (auto _ : state) {
    for (const auto& item : items) {
      auto result = make(item);
      benchmark::DoNotOptimize(result);
    }
  }
  PerItem(state, items.size());
}

// RunPerMolecule for a generator that returns a new object (RDKit's bit
// vectors): the object is owned and freed inside the timed loop.
template <typename Items, typename Make>
void RunOwnedPerMolecule(benchmark::State& state, const Items& items, Make&& make) {
  RunPerMolecule(state, items, [&make](const auto& item) {
    return std::unique_ptr<std::remove_pointer_t<decltype(make(item))>>(make(item));
  });
}

// RunPerMolecule for a Varnex generator make(fp, mol) that writes into one
// reused fingerprint.
template <typename Mols, typename Make>
void RunFingerprintPerMolecule(benchmark::State& state, const Mols& mols, Make&& make) {
  Varnex::KvFingerPrint fp;
  RunPerMolecule(state, mols, [&](const auto& mol) {
    benchmark::DoNotOptimize(make(fp, mol));
    return fp.GetWords();
  });
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

// Writes a fast database of `count` records of `type` to `path` (whole, by
// renaming a temporary file): record i holds fingerprint(i) and molecule
// index i, and the header names the NCI sample file.
template <typename Fingerprint>
void WriteFastDatabase(const std::string& path, const Varnex::KvFPTypeBase* type, std::size_t count,
                       Fingerprint&& fingerprint) {
  const std::string temporary = path + ".part";
  {
    Varnex::KvFastFPDatabaseParams params;
    params.SetFPTypeBase(type);
    params.SetNumFingerPrints(count);
    params.SetMolDatabaseFilename("first_5K.smi");
    std::ofstream out(temporary, std::ios::binary);
    out << Varnex::KvWriteFastFPDatabaseHeaderBlob(params);
    for (std::size_t i = 0; i < count; ++i) out << Varnex::KvWriteFastFingerPrintBlob(i, fingerprint(i));
  }
  std::filesystem::rename(temporary, path);
}

}  // namespace VarnexBench
