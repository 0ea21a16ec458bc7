// Every record against every record: the full matrix, the score histogram
// and the variogram.
//
// The matrix and the histogram go through tiles: a block of kTile records
// (the rows) is scored against one block of records after the other, so
// each block is read from memory once per block of rows, not once per row.
// Symmetric measures compute each unordered pair once. Row blocks are
// claimed by options.GetNumProcessors() threads; the histogram merges their
// counts, which do not depend on the order. The variogram adds its sums in
// the one defined order (row by row), so it runs on the calling thread.

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <vector>

#include "fastdb/engine/engine.h"
#include "fastdb/engine/scan_loop.h"
#include "fastdb/engine/workers.h"
#include "kvsystem/error.h"
#include "system/messages.h"

namespace Varnex {
namespace {

constexpr std::uint64_t kTile = 256;

// Which pairs (i as the query, j as the record) a routine needs.
enum class Pairs {
  All,            // every ordered pair
  UpperWithSelf,  // j >= i
  Upper,          // j > i
};

// Calls sink(i, j, value) for the pairs of `which`, on `threads` threads;
// each thread gets its own sink from makeSink(), handed back to done(sink)
// on that thread once its share is over.
template <typename MakeSink, typename Done>
void ForEachPair(const KvFastFPDatabaseImplBase& engine, const KvFPDatabaseOptions& options, Pairs which,
                 unsigned threads, MakeSink&& makeSink, Done&& done) {
  const RecordView view = engine.View();
  const std::size_t w = static_cast<std::size_t>(view.words);
  const std::uint64_t blocks = (view.n + kTile - 1) / kTile;
  std::atomic<std::uint64_t> next{0};
  KvRunWorkers(
      static_cast<unsigned>(std::min<std::uint64_t>(threads, std::max<std::uint64_t>(blocks, 1))), [&](unsigned) {
        auto sink = makeSink();
        const ScanKernel& kernel = GetActiveScanKernel();
        std::vector<std::uint64_t> rows(kTile * w);
        std::vector<std::uint64_t> rowBits(kTile);
        std::uint32_t common[kTile];
        for (std::uint64_t r = KvClaim(next, blocks); r < blocks; r = KvClaim(next, blocks)) {
          const std::uint64_t r0 = r * kTile, r1 = std::min(view.n, r0 + kTile);
          for (std::uint64_t i = r0; i < r1; ++i) {
            std::memcpy(rows.data() + (i - r0) * w, RecordWords(view.At(i)), 8 * w);
            rowBits[i - r0] = kernel.popCount(rows.data() + (i - r0) * w, w);
          }
          // A row block against a large database is seconds of work: the
          // cancel flag is read per tile.
          for (std::uint64_t c = which == Pairs::All ? 0 : r; c < blocks && !KvSystem::KvCancelRequested(); ++c) {
            const std::uint64_t c0 = c * kTile, c1 = std::min(view.n, c0 + kTile);
            for (std::uint64_t i = r0; i < r1; ++i) {
              std::uint64_t j0 = c0;
              if (which == Pairs::UpperWithSelf) j0 = std::max(c0, i);
              if (which == Pairs::Upper) j0 = std::max(c0, i + 1);
              if (j0 >= c1) continue;
              kernel.intersectRun(RecordWords(view.At(j0)), view.stride, c1 - j0, rows.data() + (i - r0) * w, w,
                                  common);
              WithScoreFunctor(
                  options.GetSimFunc(), MakeScoreContext(rowBits[i - r0], view.words, options),
                  [&](const auto& score) {
                    for (std::uint64_t j = j0; j < c1; ++j) {
                      sink(i, j, score(static_cast<double>(common[j - j0]), static_cast<double>(view.Count(j))));
                    }
                  });
            }
          }
        }
        done(sink);
      });
}

}  // namespace

KvSystem::KvIterBase<float>* KvFastFPDatabaseImplBase::GetAllScores(const KvFPDatabaseOptions& options) const {
  const RecordView view = View();
  if (view.n == 0 || view.records == nullptr) return KvSystem::KvMakeEmptyIter<float>();
  const std::size_t n = static_cast<std::size_t>(view.n);
  std::vector<float> matrix;
  try {
    if (n > std::numeric_limits<std::size_t>::max() / n) throw std::bad_alloc();
    matrix.resize(n * n);
  } catch (const std::exception&) {
    KvSystem::KvThrow()->Warning("%s : not enough system memory to store results!", "KvFastFPDatabase::GetAllScores()");
    return KvSystem::KvMakeEmptyIter<float>();
  }
  // A symmetric measure scores each pair once, written twice.
  const bool symmetric = options.GetSimMeasure().symmetric;
  ForEachPair(
      *this, options, symmetric ? Pairs::UpperWithSelf : Pairs::All, options.GetNumProcessors(),
      [&] {
        return [&](std::uint64_t i, std::uint64_t j, double value) {
          const float s = static_cast<float>(value);
          matrix[i * n + j] = s;
          if (symmetric) matrix[j * n + i] = s;
        };
      },
      [](auto&) {});
  return KvSystem::KvMakeVectorIter(std::move(matrix));
}

void KvFastFPDatabaseImplBase::GetHistogram(KvFPHistogram& out, const KvFPDatabaseOptions& options,
                                            std::size_t nbins) const {
  out = KvFPHistogram(nbins, 0.0, 1.0);
  const RecordView view = View();
  if (view.records == nullptr && view.n > 0) {
    KvSystem::KvThrow()->Warning(Msg::kNoFilePointer, "KvFastFPDatabase::GetHistogram()");
    return;
  }
  // Unordered pairs without the diagonal; for an asymmetric measure
  // (Tversky) every ordered pair, the diagonal included.
  const bool symmetric = options.GetSimMeasure().symmetric;
  std::mutex mutex;
  struct Counter {
    KvFPHistogram histogram;
    void operator()(std::uint64_t, std::uint64_t, double value) { histogram.AddSample(value); }
  };
  ForEachPair(
      *this, options, symmetric ? Pairs::Upper : Pairs::All, options.GetNumProcessors(),
      [&] { return Counter{KvFPHistogram(nbins, 0.0, 1.0)}; },
      [&](Counter& counter) {
        std::lock_guard<std::mutex> lock(mutex);
        out += counter.histogram;
      });
}

void KvFastFPDatabaseImplBase::GetVariogram(KvFPVariogram& out, const std::vector<float>& values,
                                            const KvFPDatabaseOptions& options, std::size_t nbins) const {
  out = KvFPVariogram(nbins, 0.0, 1.0);
  const RecordView view = View();
  if (view.records == nullptr && view.n > 0) {
    KvSystem::KvThrow()->Warning(Msg::kNoFilePointer, "KvFastFPDatabase::GetVariogram()");
    return;
  }
  if (values.size() < view.n) {
    KvSystem::KvThrow()->Warning("%s : fewer values (%d) than fingerprints (%d)!", "KvFastFPDatabase::GetVariogram()",
                                 static_cast<int>(values.size()), static_cast<int>(view.n));
    return;
  }
  const ScanKernel& kernel = GetActiveScanKernel();
  QueryWords query;
  for (std::uint64_t i = 0; i < view.n; ++i) {
    RecordAsQuery(i, query);
    WithScoreFunctor(
        options.GetSimFunc(), MakeScoreContext(query.bits, view.words, options), [&](const auto& score) {
          ScanRange(kernel, view, i + 1, view.n, query.words.data(), score, [&](std::uint64_t j, double value) {
            const float s = static_cast<float>(value);
            out.AddSample(1.0f - s, values[i] - values[j]);
          });
        });
  }
}

}  // namespace Varnex
