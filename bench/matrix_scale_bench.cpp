// The nearest-neighbour matrix (GetSparseMatrix, the engine of `varnex
// matrix -limit 10`) at the sizes users bring, against row-by-row single
// searches of a sample of rows in the same run:
//
// - a database of N distinct 4096-bit path records: the NCI sample set
//   repeated, every copy with a few random bits flipped (so no two records
//   are equal and a row's top 10 are not all exact copies);
// - the matrix on T threads, wall and process CPU time;
// - S sample rows searched one by one (top 10, one thread), whose time
//   per row times N is the row-by-row estimate, and whose answers must
//   equal the matrix rows (the same scores rank by rank; the same records
//   wherever the score is above the row's last).
//
//   bench_matrix_scale_bench [records [threads [flips [sample [way]]]]]
//
// `way` picks how the matrix is built: "auto" (the library's choice by
// size), "tiles", "rows", or "both": tiles, then rows, their CPU time
// compared in the same run and their pairs checked equal.
//
// Defaults: 100000 records, 2 threads, 3 flipped bits, 200 sample rows;
// 0 threads skips the matrix (the row-by-row estimate alone, for sizes
// where the matrix takes too long). The database is cached as
// /tmp/varnex_matrix_<records>_<flips>.fpbin.

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "bench_util.h"
#include "fastdb/engine/engine.h"
#include "kvchem/mol.h"
#include "kvchem/moldb.h"
#include "kvsystem/error.h"
#include "kvsystem/iterator.h"
#include "varnex/fastdb.h"
#include "varnex/fpbin.h"
#include "varnex/generation.h"

namespace {

using namespace Varnex;

double ProcessSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}
double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::vector<KvFingerPrint> NciFingerPrints(const KvFPTypeBase* type) {
  std::vector<KvFingerPrint> fps;
  KvChem::KvMolDatabase molecules;
  if (!molecules.Open(std::string(VARNEX_RDKIT_DATA_DIR) + "/NCI/first_5K.smi")) return fps;
  KvSystem::KvErrorSink previous = KvSystem::KvSetErrorSink([](KvSystem::KvErrorLevel, const std::string&) {});
  for (unsigned i = 0; i < molecules.GetMaxMolIdx(); ++i) {
    KvChem::KvMol mol;
    KvFingerPrint fp;
    if (molecules.GetMolecule(mol, i) && KvMakeFP(fp, mol, type) && fp.CountBits() > 0) fps.push_back(std::move(fp));
  }
  KvSystem::KvSetErrorSink(previous);
  return fps;
}

// Copy i of the set with `flips` random bits flipped, drawn again until the
// record differs from every one before it.
void WriteDatabase(const std::string& path, const std::vector<KvFingerPrint>& unique, const KvFPTypeBase* type,
                   std::size_t records, unsigned flips) {
  std::mt19937_64 random(29);
  std::unordered_set<std::string> seen;
  KvFingerPrint fp;
  VarnexBench::WriteFastDatabase(path, type, records, [&](std::size_t i) -> const KvFingerPrint& {
    for (;;) {
      fp = unique[i % unique.size()];
      for (unsigned f = 0; f < flips; ++f) {
        const std::size_t bit = random() % fp.GetSize();
        fp.IsBitOn(bit) ? fp.SetBitOff(bit) : fp.SetBitOn(bit);
      }
      if (seen.insert(std::string(reinterpret_cast<const char*>(fp.GetBytes()), fp.NumWords() * 4)).second) return fp;
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t records = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000;
  const unsigned threads = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 2;
  const unsigned flips = argc > 3 ? static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)) : 3;
  const std::size_t sample = argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 200;
  const KvFPTypeBase* type = KvGetFPType(KvFPType::Path, false, 0);
  const std::string path = "/tmp/varnex_matrix_" + std::to_string(records) + "_" + std::to_string(flips) + ".fpbin";
  if (!std::filesystem::exists(path)) {
    const std::vector<KvFingerPrint> unique = NciFingerPrints(type);
    if (unique.empty()) {
      std::fprintf(stderr, "no NCI molecules\n");
      return 1;
    }
    std::printf("writing %s ...\n", path.c_str());
    WriteDatabase(path, unique, type, records, flips);
  }
  const KvFastFPDatabase db(path, KvFastFPDatabaseMemoryType::InMemory);
  if (!db.IsValid()) return 1;

  const std::string way = argc > 5 ? argv[5] : "auto";
  KvFPDatabaseOptions options(10, KvSimMeasure::Tanimoto);
  options.SetNumProcessors(threads);
  // Builds the matrix the given way (rows from `rowsFrom` records on).
  auto build = [&](std::uint64_t rowsFrom, double& wall, double& cpu) {
    SetMatrixRowsFrom(rowsFrom);
    wall = WallSeconds();
    cpu = ProcessSeconds();
    std::vector<KvSimScorePair> built =
        threads == 0 ? std::vector<KvSimScorePair>{} : KvSystem::KvCollect(db.GetSparseMatrix(options));
    wall = WallSeconds() - wall;
    cpu = ProcessSeconds() - cpu;
    return built;
  };
  double wall = 0, cpu = 0;
  const std::uint64_t rowsFrom =
      way == "tiles" || way == "both" ? ~std::uint64_t{0} : way == "rows" ? 0 : MatrixRowsFrom();
  const std::vector<KvSimScorePair> pairs = build(rowsFrom, wall, cpu);
  if (way == "both" && threads != 0) {
    double rowsWall = 0, rowsCpu = 0;
    const std::vector<KvSimScorePair> rows = build(0, rowsWall, rowsCpu);
    bool equal = rows.size() == pairs.size();
    for (std::size_t k = 0; equal && k < rows.size(); ++k)
      equal = rows[k].GetIdxA() == pairs[k].GetIdxA() && rows[k].GetIdxB() == pairs[k].GetIdxB() &&
              rows[k].GetScore() == pairs[k].GetScore();
    std::printf("tiles: %.1f s wall, %.1f s CPU; rows: %.1f s wall, %.1f s CPU; rows take %.2fx the tiles' CPU; "
                "pairs %s\n",
                wall, cpu, rowsWall, rowsCpu, rowsCpu / cpu, equal ? "identical" : "DIFFERENT");
    if (!equal) return 1;
  }

  // Row-by-row on one thread: the sample rows, spread over the file.
  KvFPDatabaseOptions single(10, KvSimMeasure::Tanimoto);
  std::vector<std::size_t> rowStart(records + 1, 0);
  for (const KvSimScorePair& p : pairs) ++rowStart[p.GetIdxA() + 1];
  for (std::size_t r = 1; r <= records; ++r) rowStart[r] += rowStart[r - 1];
  std::size_t differing = 0;
  double singleCpu = 0;
  for (std::size_t s = 0; s < sample; ++s) {
    const std::size_t row = s * (records / sample) + s % 7;
    double start = ProcessSeconds();
    const auto hits = KvSystem::KvCollect(db.GetSortedScores(row, single));
    singleCpu += ProcessSeconds() - start;
    const std::size_t begin = rowStart[row], end = rowStart[row + 1];
    // The same scores rank by rank; the same records above the row's last
    // score (equal scores come in any order in a search).
    bool same = threads == 0 || hits.size() == end - begin;
    std::multiset<std::size_t> searched, listed;
    for (std::size_t k = 0; threads != 0 && same && k < hits.size(); ++k) {
      const float score = static_cast<float>(pairs[begin + k].GetScore());
      same = static_cast<float>(hits[k].GetScore()) == score;
      if (score != static_cast<float>(pairs[end - 1].GetScore())) {
        searched.insert(hits[k].GetIdx());
        listed.insert(pairs[begin + k].GetIdxB());
      }
    }
    same = threads == 0 || (same && searched == listed);
    differing += !same;
  }
  const double perRow = singleCpu / static_cast<double>(sample);
  std::printf("%zu records (%u bits flipped per copy), limit 10, %u threads: %zu pairs\n", records, flips, threads,
              pairs.size());
  if (threads == 0) cpu = 0;
  std::printf("matrix: %.1f s wall, %.1f s process CPU\n", wall, cpu);
  std::printf(
      "row by row (estimate from %zu rows, one thread): %.3f ms per row, %.1f s CPU for all rows, %.2fx the "
      "matrix's CPU\n",
      sample, perRow * 1e3, perRow * static_cast<double>(records), perRow * static_cast<double>(records) / cpu);
  std::printf("sample rows differing from the row-by-row search: %zu of %zu\n", differing, sample);
  return differing == 0 ? 0 : 1;
}
