// The threshold form of the neighbour matrix: every pair of records whose
// score is at least the cutoff, row by row, each row as GetSparseMatrix
// would give it with limit 0 (best first, equal scores by the larger
// molecule index first).
//
// Each record is a query of the pruned scan (pruned_scan.h) with the cutoff
// as a fixed threshold, over the records of its own and larger bit counts
// from its own slot on: for symmetric measures every unordered pair once,
// its score entered into both rows. Tversky is asymmetric: every ordered
// pair, from all bins. Queries are claimed in runs by
// options.GetNumProcessors() threads, each collecting its pairs; the rows
// are sorted at the end.

#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <mutex>
#include <vector>

#include "fastdb/engine/engine.h"
#include "fastdb/engine/pruned_scan.h"
#include "fastdb/engine/scan_loop.h"
#include "fastdb/engine/workers.h"
#include "kvsystem/dots.h"
#include "kvsystem/error.h"
#include "system/messages.h"

namespace Varnex {
namespace {

// Queries claimed at a time.
constexpr std::uint64_t kQueriesPerClaim = 64;

struct Cell {
  std::uint32_t row;
  std::uint32_t column;
  float score;
};

// Takes the scores at or above a cutoff (all without one) into `cells`.
class CutoffSink {
 public:
  CutoffSink(bool hasCutoff, float cutoff, std::vector<Cell>& cells)
      : cutoff_(hasCutoff ? cutoff : -std::numeric_limits<float>::infinity()), cells_(cells) {}
  double Threshold() const { return cutoff_; }
  bool Admits(double score) const { return static_cast<float>(score) >= cutoff_; }
  void Take(std::uint64_t position, double score) {
    cells_.push_back({row_, static_cast<std::uint32_t>(position), static_cast<float>(score)});
    if (mirror_ && position != row_)
      cells_.push_back({static_cast<std::uint32_t>(position), row_, cells_.back().score});
  }
  void SetRow(std::uint64_t row, bool mirror) {
    row_ = static_cast<std::uint32_t>(row);
    mirror_ = mirror;
  }

 private:
  float cutoff_;
  std::vector<Cell>& cells_;
  std::uint32_t row_ = 0;
  bool mirror_ = false;
};

}  // namespace

KvSystem::KvIterBase<KvSimScorePair>* KvFastFPDatabaseImplBase::GetThresholdMatrix(
    const KvFPDatabaseOptions& options) const {
  const RecordView view = View();
  if (view.n == 0 || view.records == nullptr) return KvSystem::KvMakeEmptyIter<KvSimScorePair>();
  const bool symmetric = options.GetSimMeasure().symmetric;
  const std::uint64_t n = view.n;
  std::vector<std::vector<Cell>> collected;
  std::mutex mutex;
  try {
    if (index_.Empty() || n > std::numeric_limits<std::uint32_t>::max()) {
      // No bounds to prune with: every ordered pair, on the calling thread.
      const ScanKernel& kernel = GetActiveScanKernel();
      collected.emplace_back();
      CutoffSink sink(options.HasCutoff(), options.GetCutoff(), collected.back());
      QueryWords query;
      for (std::uint64_t row = 0; row < n && !KvSystem::KvCancelRequested(); ++row) {
        RecordAsQuery(row, query);
        sink.SetRow(row, false);
        WithScoreFunctor(
            options.GetSimFunc(), MakeScoreContext(query.bits, view.words, options), [&](const auto& score) {
              ScanRange(kernel, view, 0, n, query.words.data(), score, [&](std::uint64_t j, double value) {
                if (sink.Admits(value)) sink.Take(j, value);
              });
            });
        if (options.GetProgress() != nullptr) options.GetProgress()->Update(1);
      }
    } else {
      WithScoreFunctor(options.GetSimFunc(), ScoreContext{}, [&](const auto& prototype) {
        using Score = std::decay_t<decltype(prototype)>;
        std::atomic<std::uint64_t> next{0};
        KvRunWorkers(options.GetNumProcessors(), [&](unsigned) {
          std::vector<Cell> cells;
          CutoffSink sink(options.HasCutoff(), options.GetCutoff(), cells);
          QueryWords query;
          for (std::uint64_t first = KvClaim(next, n, kQueriesPerClaim); first < n;
               first = KvClaim(next, n, kQueriesPerClaim)) {
            for (std::uint64_t slot = first; slot < std::min(n, first + kQueriesPerClaim); ++slot) {
              const std::uint64_t row = index_.Order()[slot];
              RecordAsQuery(row, query);
              const Score score{MakeScoreContext(query.bits, view.words, options)};
              const PrunedQuery<Score> pruned(index_, view, query, score, true);
              sink.SetRow(row, symmetric);
              const std::size_t own = index_.Counts()[row];
              // The best reachable score falls beyond its peak, so the first
              // bin there that cannot reach the cutoff ends the row.
              const double peak = BestScorePeak(score);
              for (std::size_t p = symmetric ? own : 0; p < index_.NumBins(); ++p) {
                const std::uint64_t begin = p == own && symmetric ? slot : index_.BinBegin(p);
                if (!sink.Admits(pruned.Best(p))) {
                  if (static_cast<double>(p) > peak) break;
                  continue;
                }
                if (begin < index_.BinEnd(p)) pruned.ScanSlots(p, begin, index_.BinEnd(p), sink);
              }
            }
            if (KvSystem::KvDots* progress = options.GetProgress(); progress != nullptr)
              progress->Update(std::min(n, first + kQueriesPerClaim) - first);
          }
          std::lock_guard<std::mutex> lock(mutex);
          collected.push_back(std::move(cells));
        });
      });
    }

    // Rows in record order, each best first, equal scores by the larger
    // molecule index first.
    std::vector<std::uint64_t> rowStart(static_cast<std::size_t>(n) + 1, 0);
    for (const auto& cells : collected) {
      for (const Cell& cell : cells) ++rowStart[cell.row + 1];
    }
    for (std::size_t r = 1; r < rowStart.size(); ++r) rowStart[r] += rowStart[r - 1];
    std::vector<Cell> rows(static_cast<std::size_t>(rowStart.back()));
    std::vector<std::uint64_t> fill(rowStart.begin(), rowStart.end() - 1);
    for (auto& cells : collected) {
      for (const Cell& cell : cells) rows[fill[cell.row]++] = cell;
      std::vector<Cell>().swap(cells);
    }
    std::vector<KvSimScorePair> pairs;
    pairs.reserve(rows.size());
    for (std::uint64_t r = 0; r < n; ++r) {
      const auto begin = rows.begin() + static_cast<std::ptrdiff_t>(rowStart[r]);
      const auto end = rows.begin() + static_cast<std::ptrdiff_t>(rowStart[r + 1]);
      std::sort(begin, end, [&](const Cell& a, const Cell& b) {
        if (a.score != b.score) return a.score > b.score;
        return view.MolIdx(a.column) > view.MolIdx(b.column);
      });
      const std::uint64_t rowIdx = view.MolIdx(r);
      for (auto cell = begin; cell != end; ++cell)
        pairs.emplace_back(rowIdx, view.MolIdx(cell->column), static_cast<double>(cell->score));
    }
    if (pairs.empty()) return KvSystem::KvMakeEmptyIter<KvSimScorePair>();
    return KvSystem::KvMakeVectorIter(std::move(pairs));
  } catch (const std::exception&) {
    KvSystem::KvThrow()->Warning(Msg::kNoMemoryForResults,
                                 "KvFastFPDatabase::GetThresholdMatrix()");
    return KvSystem::KvMakeEmptyIter<KvSimScorePair>();
  }
}

}  // namespace Varnex
