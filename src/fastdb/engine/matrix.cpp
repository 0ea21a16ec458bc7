// The nearest-neighbour matrix: per record its k highest scores against all
// records, kept exactly as the neighbour lists define them
// (neighbour_list.h). Small limits under a search index go row by row
// (neighbour_rows.cpp); the rest, Manhattan among them, in tiles here.
//
// The work goes in steps over row blocks R of kTile records. A step first
// offers R's rows the records of one block in full (for symmetric measures
// the block R itself: every column before it was offered in earlier steps),
// then the tiles (R, C) of the columns still to come run on the worker
// threads. For symmetric measures a tile computes each pair once and offers
// it to both lists: the rows of C, which no other tile of the step touches,
// at once and in row order; the rows of R afterwards, from per-tile lists,
// tile by tile. A pair is skipped when neither list can take it: every list
// that is full keeps the counts of records whose best reachable score can
// still beat its lowest entry, an interval around the count where that
// bound peaks, refreshed as each step or tile starts; the pairs that
// pass go through the signature bound of the search index before the
// records themselves are compared.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include "fastdb/engine/engine.h"
#include "fastdb/engine/neighbour_list.h"
#include "fastdb/engine/scan_loop.h"
#include "fastdb/engine/workers.h"
#include "kvsystem/dots.h"
#include "kvsystem/error.h"
#include "system/messages.h"

namespace Varnex {
namespace {

constexpr const char* kSparseMatrix = "KvFastFPDatabase::GetSparseMatrix()";
// Records per block: a block of records (about 128 KB of 4096-bit ones)
// stays in cache while the rows of a tile are scored against it.
constexpr std::uint64_t kTile = 256;

template <typename Score>
class NeighbourMatrix {
 public:
  NeighbourMatrix(const RecordView& view, const SearchIndex& index, const KvFPDatabaseOptions& options,
                  NeighbourLists& rows)
      : view_(view),
        index_(index),
        options_(options),
        prune_(!index.Empty()),
        sigWords_(index.SignatureWords()),
        // A pair's score is the same both ways only when the stored counts
        // are the true ones (the index vouches for that).
        symmetric_(options.GetSimMeasure().symmetric && !index.Empty()),
        maxCount_(static_cast<std::uint32_t>(64 * view.words)),
        rows_(rows),
        ranges_(static_cast<std::size_t>(view.n), CountRange{0, maxCount_}),
        rangeFloor_(static_cast<std::size_t>(view.n), kNoFloor),
        queryBits_(static_cast<std::size_t>(view.n)) {
    if (prune_) {
      slotOf_.resize(static_cast<std::size_t>(view.n));
      for (std::uint64_t slot = 0; slot < view.n; ++slot)
        slotOf_[index.Order()[slot]] = static_cast<std::uint32_t>(slot);
    }
    const ScanKernel& kernel = GetActiveScanKernel();
    std::vector<std::uint64_t> words(static_cast<std::size_t>(view.words));
    for (std::uint64_t i = 0; i < view.n; ++i) {
      std::memcpy(words.data(), RecordWords(view.At(i)), 8 * words.size());
      queryBits_[i] = static_cast<std::uint32_t>(kernel.popCount(words.data(), words.size()));
    }
  }

  void Run(unsigned threads) {
    const std::uint64_t blocks = (view_.n + kTile - 1) / kTile;
    tileLists_.resize(static_cast<std::size_t>(blocks));
    for (std::uint64_t r = 0; r < blocks && !KvSystem::KvCancelRequested(); ++r) {
      const std::uint64_t r0 = r * kTile, r1 = std::min(view_.n, r0 + kTile);
      LoadRows(r0, r1);
      const std::uint64_t firstBlock = symmetric_ ? r : 0;
      FirstTile(r0, r1, firstBlock);
      // Snapshot of R's floors: a list only ever raises its floor, so a
      // candidate at or below it now will be refused later too.
      for (std::uint64_t i = r0; i < r1; ++i) {
        snapshot_[i - r0] = rows_[i].Floor();
        RefreshRange(i);
      }
      const std::uint64_t from = firstBlock + 1;
      std::atomic<std::uint64_t> next{from};
      KvRunWorkers(static_cast<unsigned>(std::min<std::uint64_t>(threads, std::max<std::uint64_t>(1, blocks - from))),
                   [&](unsigned) {
                     Scratch scratch(sigWords_);
                     for (std::uint64_t c = KvClaim(next, blocks); c < blocks; c = KvClaim(next, blocks))
                       Tile(r0, r1, c, scratch);
                   });
      if (KvSystem::KvCancelRequested()) return;  // tiles were skipped: the (discarded) rows end here
      std::atomic<std::uint64_t> nextRow{r0};
      KvRunWorkers(static_cast<unsigned>(std::min<std::uint64_t>(threads, r1 - r0)), [&](unsigned) {
        for (std::uint64_t i = nextRow.fetch_add(1); i < r1; i = nextRow.fetch_add(1)) {
          for (std::uint64_t c = from; c < blocks; ++c) {
            const TileList& list = tileLists_[c];
            for (std::uint32_t e = list.offsets[i - r0]; e < list.offsets[i - r0 + 1]; ++e)
              rows_[i].Offer(list.entries[e].score, list.entries[e].position);
          }
        }
      });
      // Every pair of R's rows has been offered: the rows are final.
      if (options_.GetProgress() != nullptr) options_.GetProgress()->Update(r1 - r0);
    }
  }

 private:
  // A worker's buffers: positions and counts of one row's candidates, the
  // signatures of the column block.
  struct Scratch {
    explicit Scratch(std::size_t sigWords)
        : positions(kTile), near(kTile), common(kTile), sigs(kTile * sigWords), sigBits(kTile), floors(kTile) {}
    std::vector<std::uint32_t> positions;
    std::vector<std::uint32_t> near;  // offsets in the block of the pairs the bit counts leave
    std::vector<std::uint32_t> common;
    std::vector<std::uint64_t> sigs;
    std::vector<std::uint32_t> sigBits;
    std::vector<float> floors;  // the column records' own floors when they take candidates here, else none
  };

  struct TileList {
    std::vector<RowNeighbours::Entry> entries;  // candidates for the rows of R, row by row, columns ascending
    std::vector<std::uint32_t> offsets;         // kTile + 1 per row of R
  };

  Score RowScore(std::uint64_t i) const { return Score{MakeScoreContext(queryBits_[i], view_.words, options_)}; }
  std::uint32_t CountOf(std::uint64_t j) const {
    return prune_ ? index_.Counts()[j] : static_cast<std::uint32_t>(view_.Count(j));
  }
  // Copies the signatures of records [first, last) to `sigs` (and their bit
  // counts to `bits`), in record order.
  void GatherSignatures(std::uint64_t first, std::uint64_t last, std::uint64_t* sigs, std::uint32_t* bits) const {
    for (std::uint64_t j = first; j < last; ++j) {
      const std::uint32_t slot = slotOf_[j];
      std::memcpy(sigs + (j - first) * sigWords_, index_.Signature(slot), 8 * sigWords_);
      bits[j - first] = index_.SignatureBits()[slot];
    }
  }

  void LoadRows(std::uint64_t r0, std::uint64_t r1) {
    const std::size_t w = static_cast<std::size_t>(view_.words);
    rowWords_.resize((r1 - r0) * w);
    for (std::uint64_t i = r0; i < r1; ++i)
      std::memcpy(rowWords_.data() + (i - r0) * w, RecordWords(view_.At(i)), 8 * w);
    snapshot_.assign(r1 - r0, kNoFloor);
    if (prune_) {
      rowSigs_.resize((r1 - r0) * sigWords_);
      rowSigBits_.resize(r1 - r0);
      GatherSignatures(r0, r1, rowSigs_.data(), rowSigBits_.data());
    }
  }
  const std::uint64_t* RowWords(std::uint64_t i, std::uint64_t r0) const {
    return rowWords_.data() + (i - r0) * view_.words;
  }

  void RefreshRange(std::uint64_t i) {
    if (!prune_) return;
    const float floor = rows_[i].Floor();
    if (floor == rangeFloor_[i]) return;
    ranges_[i] = AdmissibleCounts(RowScore(i), floor, maxCount_);
    rangeFloor_[i] = floor;
  }

  // Block c offered in full and at once to the rows of R.
  void FirstTile(std::uint64_t r0, std::uint64_t r1, std::uint64_t c) {
    const ScanKernel& kernel = GetActiveScanKernel();
    const std::uint64_t c0 = c * kTile, c1 = std::min(view_.n, c0 + kTile);
    std::vector<std::uint32_t> common(kTile);
    for (std::uint64_t i = r0; i < r1; ++i) {
      const Score score = RowScore(i);
      kernel.intersectRun(RecordWords(view_.At(c0)), view_.stride, c1 - c0, RowWords(i, r0),
                          static_cast<std::size_t>(view_.words), common.data());
      for (std::uint64_t j = c0; j < c1; ++j) {
        const double value = score(static_cast<double>(common[j - c0]), static_cast<double>(view_.Count(j)));
        rows_[i].Offer(static_cast<float>(value), static_cast<std::uint32_t>(j));
      }
    }
  }

  // The tile (R, c): candidates for the rows of R into the tile's list; for
  // symmetric measures, straight into the lists of c's rows too.
  void Tile(std::uint64_t r0, std::uint64_t r1, std::uint64_t c, Scratch& scratch) {
    const ScanKernel& kernel = GetActiveScanKernel();
    const std::uint64_t c0 = c * kTile, c1 = std::min(view_.n, c0 + kTile);
    const bool feedColumns = symmetric_ && c0 >= r1;
    // Once per tile: a range found for a lower floor only screens less.
    if (feedColumns) {
      for (std::uint64_t j = c0; j < c1; ++j) RefreshRange(j);
    }
    if (prune_) {
      GatherSignatures(c0, c1, scratch.sigs.data(), scratch.sigBits.data());
      // Floors only rise while the tile feeds the column records, so the
      // ones read here stay safe to prune with.
      for (std::uint64_t j = c0; j < c1; ++j)
        scratch.floors[j - c0] = feedColumns ? rows_[j].Floor() : std::numeric_limits<float>::infinity();
    }
    std::uint32_t* positions = scratch.positions.data();
    std::uint32_t* common = scratch.common.data();
    TileList& list = tileLists_[c];
    list.entries.clear();
    list.offsets.assign(r1 - r0 + 1, 0);
    for (std::uint64_t i = r0; i < r1; ++i) {
      const Score score = RowScore(i);
      const float floor = snapshot_[i - r0];
      std::size_t m = 0;
      if (!prune_) {
        for (std::uint64_t j = c0; j < c1; ++j) positions[m++] = static_cast<std::uint32_t>(j);
      } else {
        m = Candidates(i, r0, c0, c1, feedColumns, score, floor, scratch);
      }
      if (m > 0) {
        kernel.intersectAt(view_.records + 16, view_.stride, positions, m, RowWords(i, r0),
                           static_cast<std::size_t>(view_.words), common);
      }
      for (std::size_t e = 0; e < m; ++e) {
        const std::uint32_t j = positions[e];
        const auto value =
            static_cast<float>(score(static_cast<double>(common[e]), static_cast<double>(view_.Count(j))));
        if (feedColumns) rows_[j].Offer(value, static_cast<std::uint32_t>(i));
        if (value > floor) list.entries.push_back({value, j});
      }
      list.offsets[i - r0 + 1] = static_cast<std::uint32_t>(list.entries.size());
    }
  }

  // The records of [c0, c1) that row i (whose list is at `floor` for this
  // step) or, when `feedColumns`, the record's own list may take, into
  // scratch.positions; returns their number. Pairs outside both lists'
  // bit-count ranges are dropped first; where the best scores need many
  // common bits, the signature bound on the common bits then decides for
  // the rest.
  std::size_t Candidates(std::uint64_t i, std::uint64_t r0, std::uint64_t c0, std::uint64_t c1, bool feedColumns,
                         const Score& score, float floor, Scratch& scratch) const {
    std::uint32_t* positions = scratch.positions.data();
    const std::uint32_t* counts = index_.Counts().data() + c0;
    const std::size_t width = static_cast<std::size_t>(c1 - c0);
    const std::uint32_t rowCount = CountOf(i);
    const CountRange own = ranges_[i];
    const CountRange* theirs = ranges_.data() + c0;
    // Whether the pair with column c0 + r is in either list's bit-count range.
    auto inRange = [&](std::size_t r) { return own.Holds(counts[r]) | (feedColumns && theirs[r].Holds(rowCount)); };
    std::size_t kept = 0;
    if constexpr (!kIncreasingInCommonBits<Score>) {
      for (std::size_t r = 0; r < width; ++r) {
        positions[kept] = static_cast<std::uint32_t>(c0 + r);
        kept += inRange(r);
      }
    } else {
      // The bit-count ranges first (integer tests over the block), then the
      // signature bound of the pairs they leave, in doubles.
      std::uint32_t* near = scratch.near.data();
      std::size_t m = 0;
      for (std::size_t r = 0; r < width; ++r) {
        near[m] = static_cast<std::uint32_t>(r);
        m += inRange(r);
      }
      if (m == 0) return 0;
      std::uint32_t* common = scratch.common.data();
      GetActiveScanKernel().intersectAt(reinterpret_cast<const std::uint8_t*>(scratch.sigs.data()), 8 * sigWords_,
                                          near, m, rowSigs_.data() + (i - r0) * sigWords_, sigWords_, common);
      const std::uint32_t rowExcess = rowCount - rowSigBits_[i - r0];
      const float* columnFloors = scratch.floors.data();
      // (A score that rounds to a float above a floor is above it as a
      // double too, so comparing the doubles keeps every candidate.)
      const double rowFloor = floor;
      for (std::size_t e = 0; e < m; ++e) {
        const std::uint32_t r = near[e];
        const std::uint32_t count = counts[r];
        const std::uint32_t bound =
            CommonBitsBound<std::uint32_t>(common[e], count, scratch.sigBits[r], rowCount, rowExcess);
        const double reach = WithBoundMargin<Score>(score(static_cast<double>(static_cast<std::int32_t>(bound)),
                                                          static_cast<double>(static_cast<std::int32_t>(count))),
                                                    true);
        positions[kept] = static_cast<std::uint32_t>(c0 + r);
        kept += reach > std::min(rowFloor, static_cast<double>(columnFloors[r]));
      }
    }
    return kept;
  }

  const RecordView& view_;
  const SearchIndex& index_;
  const KvFPDatabaseOptions& options_;
  const bool prune_;  // the index holds true bit counts and signatures
  const std::size_t sigWords_;
  const bool symmetric_;
  const std::uint32_t maxCount_;
  NeighbourLists& rows_;
  std::vector<CountRange> ranges_;
  std::vector<float> rangeFloor_;  // the floor each range was found for
  std::vector<std::uint32_t> queryBits_;
  std::vector<std::uint32_t> slotOf_;    // the index slot of each record
  std::vector<std::uint64_t> rowWords_;  // the words of R's rows
  std::vector<std::uint64_t> rowSigs_;   // and their signatures
  std::vector<std::uint32_t> rowSigBits_;
  std::vector<float> snapshot_;  // R's floors when its tiles start
  std::vector<TileList> tileLists_;
};

}  // namespace

KvSystem::KvIterBase<KvSimScorePair>* KvFastFPDatabaseImplBase::GetSparseMatrix(
    const KvFPDatabaseOptions& options) const {
  KvSystem::KvErrorHandler* report = KvSystem::KvThrow();
  const RecordView view = View();
  std::uint64_t k = options.GetLimit();
  if (k > view.n) {
    report->Warning(Msg::kMoreNeighbours, kSparseMatrix,
                    static_cast<int>(k), static_cast<int>(view.n));
    return KvSystem::KvMakeEmptyIter<KvSimScorePair>();
  }
  if (k == 0) {
    report->Warning(Msg::kAllScores, kSparseMatrix);
    if (!options.HasCutoff()) report->Warning(Msg::kNoCutoff, kSparseMatrix);
    k = view.n;
  }
  if (!KvIsValidSimMeasure(options.GetSimFunc())) {
    report->Warning(Msg::kUnknownMeasure, kSparseMatrix, static_cast<int>(options.GetSimFunc()));
    return KvSystem::KvMakeEmptyIter<KvSimScorePair>();
  }
  if (view.n == 0 || view.records == nullptr) return KvSystem::KvMakeEmptyIter<KvSimScorePair>();

  std::vector<KvSimScorePair> pairs;
  try {
    if (k > std::numeric_limits<std::size_t>::max() / view.n || view.n > std::numeric_limits<std::uint32_t>::max())
      throw std::bad_alloc();
    pairs.reserve(static_cast<std::size_t>(view.n * k));
    NeighbourLists lists(view.n, static_cast<std::size_t>(k));
    if (!SearchNeighbourRows(*this, options, static_cast<std::size_t>(k), lists)) {
      WithScoreFunctor(options.GetSimFunc(), ScoreContext{}, [&](const auto& prototype) {
        using Score = std::decay_t<decltype(prototype)>;
        NeighbourMatrix<Score>(view, index_, options, lists).Run(options.GetNumProcessors());
      });
    }
    // A cancelled call's rows are incomplete and its answer discarded.
    if (!KvSystem::KvCancelRequested()) lists.AppendPairs(view, options, pairs);
  } catch (const std::exception&) {
    report->Warning(Msg::kNoMemoryForResults, kSparseMatrix);
    return KvSystem::KvMakeEmptyIter<KvSimScorePair>();
  }
  if (pairs.empty()) return KvSystem::KvMakeEmptyIter<KvSimScorePair>();
  return KvSystem::KvMakeVectorIter(std::move(pairs));
}

}  // namespace Varnex
