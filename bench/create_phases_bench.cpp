// Where creation spends its time per molecule, on the NCI sample set with the
// default path type (4096 bits), CPU time per molecule of one thread:
//
// - the toolkit's parser alone (RDKit SmilesToMol without sanitisation), the
//   floor no reader of SMILES gets below;
// - the toolkit's full parse (sanitisation and the stereo perception that
//   flags every possible stereocentre): the way molecules were read before;
// - KvSmilesToMol: our parse with the perception the fingerprints read;
// - the fingerprint of a parsed molecule (KvMakeFP), and the same after the
//   molecule was readied in place, as the creation job does;
// - one record as the creation job makes it (read the record, ready it,
//   fingerprint it), and one of the default circular type, whose molecules
//   creation reads without hybridisation, against the full read.
//
// The summary prints each phase and the share of a record left in the
// toolkit's parser. The toolkit's full parse is the baseline of our
// perception; creation as a whole is compared with the previous program on
// the same million molecules (bench/README.md).

#include <benchmark/benchmark.h>

#include <GraphMol/MolOps.h>
#include <GraphMol/RWMol.h>
#include <GraphMol/SmilesParse/SmilesParse.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench_util.h"
#include "kvchem/mol.h"
#include "kvchem/moldb.h"
#include "kvsystem/error.h"
#include "varnex/fptypes.h"
#include "varnex/generation.h"

namespace {

using namespace Varnex;

const std::string kNci5K = std::string(VARNEX_RDKIT_DATA_DIR) + "/NCI/first_5K.smi";

struct Data {
  std::vector<std::string> smiles;  // those that parse
  std::vector<KvChem::KvMol> mols;
  KvChem::KvMolDatabase file;
};

Data& GetData() {
  static Data* data = [] {
    auto* d = new Data;
    for (const std::string& smiles : VarnexBench::NciSmiles()) {
      KvChem::KvMol mol;
      if (!KvChem::KvSmilesToMol(smiles, mol)) continue;
      d->smiles.push_back(smiles);
      d->mols.push_back(std::move(mol));
    }
    if (!d->file.Open(kNci5K)) d->smiles.clear();
    return d;
  }();
  return *data;
}

const KvFPTypeBase* PathType() { return KvGetFPType(KvFPType::Path, false, 0); }

RDKit::SmilesParserParams ToolkitParams(bool sanitize) {
  RDKit::SmilesParserParams params;
  params.removeHs = false;
  params.parseName = false;
  params.allowCXSMILES = false;
  params.sanitize = sanitize;
  return params;
}

void ToolkitParse(benchmark::State& state, bool sanitize) {
  const auto params = ToolkitParams(sanitize);
  VarnexBench::RunPerMolecule(state, GetData().smiles, [&](const std::string& smiles) {
    std::unique_ptr<RDKit::RWMol> mol;
    try {
      mol.reset(RDKit::SmilesToMol(smiles, params));
    } catch (...) {
    }
    return mol != nullptr;
  });
}
void BM_ToolkitParserAlone(benchmark::State& state) { ToolkitParse(state, false); }
void BM_Baseline_ToolkitFullParse(benchmark::State& state) { ToolkitParse(state, true); }

// The toolkit's part of KvSmilesToMol: its parser and sanitisation (every
// NCI molecule is unmarked, so no stereo perception).
void BM_ToolkitPartialParse(benchmark::State& state) {
  const auto params = ToolkitParams(false);
  VarnexBench::RunPerMolecule(state, GetData().smiles, [&](const std::string& smiles) {
    std::unique_ptr<RDKit::RWMol> mol;
    try {
      mol.reset(RDKit::SmilesToMol(smiles, params));
      RDKit::MolOps::sanitizeMol(*mol);
    } catch (...) {
    }
    return mol != nullptr;
  });
}

void BM_KvSmilesToMol(benchmark::State& state) {
  KvChem::KvMol mol;
  VarnexBench::RunPerMolecule(state, GetData().smiles,
                              [&](const std::string& smiles) { return KvChem::KvSmilesToMol(smiles, mol); });
}

// On a private copy of each parsed molecule, as any caller's KvMakeFP.
void BM_Fingerprint(benchmark::State& state) {
  const KvFPTypeBase* type = PathType();
  VarnexBench::RunFingerprintPerMolecule(state, GetData().mols, [&](KvFingerPrint& fp, const KvChem::KvMol& mol) {
    return KvMakeFP(fp, mol, type);
  });
}

// Readying in place and the fingerprint, on copies made before timing.
void BM_ReadyInPlaceAndFingerprint(benchmark::State& state) {
  const KvFPTypeBase* type = PathType();
  KvFingerPrint fp;
  std::vector<KvChem::KvMol> mols;
  for (auto _ : state) {
    state.PauseTiming();
    mols.assign(GetData().mols.begin(), GetData().mols.end());  // the old copies go here, untimed
    state.ResumeTiming();
    for (KvChem::KvMol& mol : mols) {
      KvReadyForFingerprinting(mol, type);
      benchmark::DoNotOptimize(KvMakeFP(fp, mol, type));
    }
  }
  VarnexBench::PerItem(state, GetData().mols.size());
}

// One record as the creation job makes it, its molecule read with
// `perception`.
void Record(benchmark::State& state, const KvFPTypeBase* type, unsigned perception) {
  const Data& d = GetData();
  KvChem::KvMol mol;
  KvFingerPrint fp;
  for (auto _ : state) {
    for (unsigned i = 0; i < d.file.GetMaxMolIdx(); ++i) {
      if (!d.file.GetMolecule(mol, i, perception)) continue;
      KvReadyForFingerprinting(mol, type);
      benchmark::DoNotOptimize(KvMakeFP(fp, mol, type));
    }
  }
  VarnexBench::PerItem(state, d.file.GetMaxMolIdx());
}
void BM_Record(benchmark::State& state) { Record(state, PathType(), KvPerceptionForFingerprinting(PathType())); }

// A record of the default circular type, whose atom types read no
// hybridisation: read the full way, and the way creation reads it.
const KvFPTypeBase* CircularType() { return KvGetFPType(KvFPType::Circular, false, 0); }
void BM_CircularRecordFullRead(benchmark::State& state) { Record(state, CircularType(), KvChem::KvPerception::Read); }
void BM_CircularRecord(benchmark::State& state) {
  Record(state, CircularType(), KvPerceptionForFingerprinting(CircularType()));
}

BENCHMARK(BM_ToolkitParserAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_ToolkitFullParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolkitPartialParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KvSmilesToMol)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fingerprint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadyInPlaceAndFingerprint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Record)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CircularRecordFullRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CircularRecord)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  KvSystem::KvSetErrorSink([](KvSystem::KvErrorLevel, const std::string&) {});
  std::printf("phases of creation: %zu NCI molecules, default path fingerprints\n", GetData().smiles.size());
  VarnexBench::CounterReporter reporter("per_mol", 1e6);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const double parser = reporter.Get("BM_ToolkitParserAlone");
  const double full = reporter.Get("BM_Baseline_ToolkitFullParse");
  const double partial = reporter.Get("BM_ToolkitPartialParse");
  const double parse = reporter.Get("BM_KvSmilesToMol");
  const double fingerprint = reporter.Get("BM_Fingerprint");
  const double ready = reporter.Get("BM_ReadyInPlaceAndFingerprint");
  const double record = reporter.Get("BM_Record");
  const double circularFull = reporter.Get("BM_CircularRecordFullRead");
  const double circular = reporter.Get("BM_CircularRecord");
  if (parser <= 0 || full <= 0 || partial <= 0 || parse <= 0 || fingerprint <= 0 || ready <= 0 || record <= 0 ||
      circularFull <= 0 || circular <= 0)
    return 0;
  std::printf("\nper molecule (CPU, us): toolkit parser %.1f; perception %.1f (the toolkit's full perception "
              "%.1f); our molecule around it %.1f; fingerprint %.1f on a private copy, %.1f readied in place\n",
              parser, partial - parser, full - parser, parse - partial, fingerprint, ready);
  std::printf("record as created now: %.1f us, %.0f%% of it in the toolkit's parser, %.0f%% in the toolkit's parser "
              "and perception\n",
              record, 100.0 * parser / record, 100.0 * partial / record);
  std::printf("default circular record: %.1f us read without hybridisation, %.1f us read the full way (%.2fx)\n",
              circular, circularFull, circularFull / circular);
  return 0;
}
