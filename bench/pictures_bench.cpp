// Pictures of the patterns behind a fingerprint's bits: KvDrawFPPatterns
// (patterns, one drawing per bit, the captioned grid) over NCI molecules
// against a plain loop that lays each molecule out once and draws one panel
// per bit with RDKit's MolDraw2DSVG directly (the atoms per bit found before
// timing), in the same run. Reported as CPU time per panel; the summary
// prints the ratio of the plain loop's time to the library's.

#include <GraphMol/Depictor/RDDepictor.h>
#include <GraphMol/MolDraw2D/MolDraw2DSVG.h>
#include <GraphMol/MolDraw2D/MolDraw2DUtils.h>
#include <GraphMol/SmilesParse/SmilesParse.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "bench_util.h"
#include "kvchem/mol.h"
#include "kvsystem/iterator.h"
#include "varnex/pictures.h"

namespace {

using namespace Varnex;

constexpr std::size_t kMolecules = 40;

struct Molecule {
  KvChem::KvMol mol;
  std::unique_ptr<RDKit::RWMol> rdkit;
  std::vector<std::vector<int>> atomsPerBit;  // for the plain loop
};

std::vector<Molecule>& GetData() {
  static std::vector<Molecule>* data = [] {
    auto* d = new std::vector<Molecule>;
    for (const std::string& smiles : VarnexBench::NciSmiles()) {
      if (d->size() == kMolecules) break;
      Molecule m;
      if (!KvChem::KvSmilesToMol(smiles, m.mol)) continue;
      m.rdkit.reset(RDKit::SmilesToMol(smiles));
      if (!m.rdkit) continue;
      std::map<unsigned, std::set<int>> bits;
      for (const KvFPPattern& p : KvSystem::KvCollect(KvGetFPPatterns(m.mol, KvGetFPType(KvFPType::Path))))
        for (const KvChem::KvAtomBase* atom : p.GetAtoms()) bits[p.GetBit()].insert(static_cast<int>(atom->GetIdx()));
      for (const auto& [bit, atoms] : bits) m.atomsPerBit.emplace_back(atoms.begin(), atoms.end());
      d->push_back(std::move(m));
    }
    return d;
  }();
  return *data;
}

std::size_t TotalPanels() {
  std::size_t n = 0;
  for (const Molecule& m : GetData()) n += m.atomsPerBit.size();
  return n;
}


void BM_KvDrawFPPatterns(benchmark::State& state) {
  const KvFPTypeBase* type = KvGetFPType(KvFPType::Path);
  for (auto _ : state)
    for (const Molecule& m : GetData()) {
      const std::string svg = KvDrawFPPatterns(m.mol, type);
      benchmark::DoNotOptimize(svg.data());
    }
  VarnexBench::PerItem(state, TotalPanels(), "per_panel");
}
BENCHMARK(BM_KvDrawFPPatterns)->Unit(benchmark::kMillisecond);

// The baseline: one layout per molecule, one RDKit drawing per bit.
void BM_PlainLoop_RDKitPanels(benchmark::State& state) {
  for (auto _ : state)
    for (const Molecule& m : GetData()) {
      RDKit::RWMol mol(*m.rdkit);
      RDDepict::compute2DCoords(mol);
      RDKit::MolDraw2DUtils::prepareMolForDrawing(mol);
      for (const std::vector<int>& atoms : m.atomsPerBit) {
        RDKit::MolDraw2DSVG drawer(260, 200, -1, -1, true);
        drawer.drawMolecule(mol, "", &atoms);
        drawer.finishDrawing();
        const std::string svg = drawer.getDrawingText();
        benchmark::DoNotOptimize(svg.data());
      }
    }
  VarnexBench::PerItem(state, TotalPanels(), "per_panel");
}
BENCHMARK(BM_PlainLoop_RDKitPanels)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  std::printf("%zu NCI molecules, %zu panels (one per path fingerprint bit)\n", GetData().size(), TotalPanels());
  VarnexBench::CounterReporter reporter("per_panel", 1e6);
  if (!VarnexBench::RunBenchmarks(argc, argv, reporter)) return 1;
  const double lib = reporter.Get("BM_KvDrawFPPatterns"), plain = reporter.Get("BM_PlainLoop_RDKitPanels");
  if (lib > 0 && plain > 0)
    std::printf("KvDrawFPPatterns %.0f us per panel, plain RDKit loop %.0f us per panel; ratio %.2fx\n", lib, plain,
                plain / lib);
  return 0;
}
