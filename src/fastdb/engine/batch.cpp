// Pruned sorted searches and hit counts, for one query or many, on one
// thread or several.
//
// Every query first searches on its own from the bin of its best reachable
// score outwards, always to the neighbouring bin with the better best score
// (the "seed"): with one query on one thread the seed is the whole search.
// Otherwise it stops once its hit list has a real threshold, and the bins
// it has not seen are swept. Queries of similar bit counts form blocks; a
// block visits the bins in the order of the best scores its middle query
// can reach there (so every query of it meets good records early, as in its
// own search), cut into chunks of about kSlotsPerChunk records (a bin may
// be cut between chunks). A work unit is one chunk for one block, and
// within it each run of 128 signatures is screened against all the block's
// queries at once (ScreenRun), so each signature and each record that
// passes is read from memory once for the whole block. Threads claim units
// from an atomic counter and search with hit lists of their own, one per
// query for the whole sweep, that also respect the best threshold any
// thread has published for the query; a thread publishes a list's
// threshold whenever it rises (a lock-free maximum) and merges the lists
// into the queries' under their locks at the end.
//
// A single query on several threads has no seed: the calling thread first
// searches the first records of its peak bin (when its threshold moves),
// then the rest is the same sweep with one block, in small chunks of the
// query's own best-first order, so that the threads share it evenly; the
// first chunk that cannot beat the published threshold ends it for all.
// When little is left to visit, no thread is started.
//
// Exactness: a private list drops a record only when the list itself, or
// some thread's list, holds `limit` records at least as good, so the
// merged result holds every score a full scan would keep (which of several
// equal scores at the limit is not defined, as in any sorted search).

#include <algorithm>
#include <atomic>
#include <mutex>
#include <numeric>
#include <optional>
#include <span>
#include <vector>

#include "fastdb/engine/engine.h"
#include "fastdb/engine/pruned_scan.h"
#include "fastdb/engine/scan_loop.h"
#include "fastdb/engine/workers.h"

namespace Varnex {
namespace {

// Queries searched together in one sweep unit: each run of signatures and
// each record a block reads comes from memory once for the whole block, so
// the fewer blocks the better: every query's threshold comes from its own
// seed, so one order of bins suits a wide range of bit counts. (512
// queries' signatures of 16 words, 64 KB, stay in the second-level cache.)
std::size_t QueriesPerBlock(std::size_t queries) { return std::clamp<std::size_t>(queries / 2, 16, 512); }
// Records per sweep chunk, at least.
constexpr std::uint64_t kSlotsPerChunk = 8192;
// Records per chunk of a single query shared among threads, at most: a
// thread that finds the threshold risen moves on after one chunk.
constexpr std::uint64_t kSlotsPerSharedChunk = 4096;
// Records a seed scores before it hands over to the sweep, at least (but
// no more than a sixteenth of the database, and at least four times the
// limit).
constexpr std::uint64_t kSeedRecords = 4096;
// Records of its peak bin a single query shared among threads searches on
// the calling thread first: enough to find a query's close neighbours
// among them (then no thread starts), few enough that the other thread is
// not kept waiting for a threshold that the shared sweep raises anyway.
constexpr std::uint64_t kLeadRecords = 1024;

std::uint64_t SlotLimit(const KvFPDatabaseOptions& options, std::uint64_t n) {
  return options.GetLimit() != 0 ? options.GetLimit() : n;
}

// Runs body(k) for every query k < queries, claimed one at a time by
// options.GetNumProcessors() threads (none after a cancel).
template <typename Body>
void ForEachQueryOnThreads(std::size_t queries, const KvFPDatabaseOptions& options, Body&& body) {
  std::atomic<std::size_t> next{0};
  KvRunWorkers(std::min<unsigned>(options.GetNumProcessors(), static_cast<unsigned>(queries)), [&](unsigned) {
    for (std::size_t k = KvClaim(next, queries); k < queries; k = KvClaim(next, queries)) body(k);
  });
}

// ---- Sinks (pruned_scan.h).

// A hit list, also bounded by a threshold shared with other threads, which
// it raises whenever its own rises.
class HitSink {
 public:
  HitSink(HitList<KvSimScore>& hits, const RecordView& view, std::atomic<double>& floor)
      : hits_(hits), view_(view), floor_(floor) {}
  double Threshold() const {
    const double own = hits_.ThresholdScore();
    const double shared = floor_.load(std::memory_order_relaxed);
    return hits_.IsBetter(shared, own) ? shared : own;
  }
  bool Admits(double score) const { return hits_.Limit() != 0 && hits_.IsBetter(score, Threshold()); }
  void Take(std::uint64_t position, double score) {
    const double before = hits_.ThresholdScore();
    hits_.Offer(KvSimScore(view_.MolIdx(position), score));
    if (hits_.ThresholdScore() != before) RaiseShared(floor_, hits_.ThresholdScore(), hits_.IsDescending());
  }

 private:
  HitList<KvSimScore>& hits_;
  const RecordView& view_;
  std::atomic<double>& floor_;
};

// Counts the scores strictly better than a fixed threshold.
class CountSink {
 public:
  CountSink(bool descending, double threshold) : descending_(descending), threshold_(threshold) {}
  double Threshold() const { return threshold_; }
  bool Admits(double score) const { return descending_ ? score > threshold_ : score < threshold_; }
  void Take(std::uint64_t, double) { ++count_; }
  std::uint64_t Count() const { return count_; }

 private:
  bool descending_;
  double threshold_;
  std::uint64_t count_ = 0;
};

// ---- One query's part of a batch.
struct QueryState {
  QueryWords words;
  std::uint32_t order = 0;  // position in the caller's list
  // The merged result: a hit list, or a count.
  std::optional<HitList<KvSimScore>> hits;
  std::uint64_t count = 0;
  std::atomic<double> floor{0.0};  // best threshold published for this query (RaiseShared)
  std::mutex mutex;                // guards hits and count
  // Bins [seenLo, seenHi] were searched by the seed (none when seenLo >
  // seenHi).
  std::size_t seenLo = 1;
  std::size_t seenHi = 0;
  bool done = false;  // the seed searched everything
};

// The batch driver: sorted searches (hit lists) or counts.
class BatchSearch {
 public:
  BatchSearch(const KvFastFPDatabaseImplBase& engine, const SearchIndex& index,
              const std::vector<const KvFingerPrint*>& queries, const KvFPDatabaseOptions& options, bool counting)
      : engine_(engine),
        index_(index),
        view_(engine.View()),
        options_(options),
        counting_(counting),
        states_(queries.size()),
        perBlock_(QueriesPerBlock(queries.size())) {
    for (std::size_t k = 0; k < queries.size(); ++k) {
      states_[k].words = engine.MakeQuery(*queries[k]);
      states_[k].order = static_cast<std::uint32_t>(k);
    }
    // Blocks of queries of similar bit counts visit similar bins.
    sorted_.resize(states_.size());
    std::iota(sorted_.begin(), sorted_.end(), 0);
    std::stable_sort(sorted_.begin(), sorted_.end(),
                     [&](std::size_t a, std::size_t b) { return states_[a].words.bits < states_[b].words.bits; });
    initial_ = KvGetScoreThreshold(options);
    for (QueryState& state : states_) {
      state.floor.store(initial_, std::memory_order_relaxed);
      if (!counting_) state.hits.emplace(NewHitList());
    }
  }

  void Run(unsigned threads) {
    WithScoreFunctor(options_.GetSimFunc(), ScoreContext{}, [&](const auto& prototype) {
      using Score = std::decay_t<decltype(prototype)>;
      RunWith<Score>(threads);
    });
  }

  std::vector<std::vector<KvSimScore>> TakeHits() {
    std::vector<std::vector<KvSimScore>> results(states_.size());
    // A cancelled call's answer is discarded: no time on sorting it.
    if (KvSystem::KvCancelRequested()) return results;
    for (QueryState& state : states_) {
      state.hits->Finish();
      results[state.order] = state.hits->TakeEntries();
    }
    return results;
  }
  std::vector<std::uint64_t> TakeCounts() const {
    std::vector<std::uint64_t> results(states_.size());
    for (const QueryState& state : states_) results[state.order] = state.count;
    return results;
  }

 private:
  // Reserves for the limit, but never for a whole large database: a search
  // with a cutoff and no limit that finds few hits stays small. A worker's
  // own lists, one per query, start smaller still.
  HitList<KvSimScore> NewHitList(std::size_t reserve = 1024) const {
    return HitList<KvSimScore>(static_cast<std::size_t>(SlotLimit(options_, view_.n)), options_, reserve);
  }

  template <typename Score>
  using Queries = std::vector<std::optional<PrunedQuery<Score>>>;

  template <typename Score>
  void RunWith(unsigned threads) {
    const std::size_t nq = states_.size();
    const std::uint64_t limit = SlotLimit(options_, view_.n);
    // A lone query on one thread searches best-first to the end; one shared
    // among threads leads with the best of its peak bin (below); otherwise
    // the seed stops once the threshold has moved (or at once when it never
    // will: counts and searches without a limit keep the initial one).
    const bool single = nq == 1;
    const bool alone = threads <= 1 && single;
    const bool thresholdMoves = !counting_ && limit < view_.n;
    const std::uint64_t seed = std::max(std::min(kSeedRecords, view_.n / 16), 4 * limit);
    const std::uint64_t budget = alone ? ~std::uint64_t{0} : (thresholdMoves && !single ? seed : 0);

    Queries<Score> queries(nq);
    std::atomic<std::size_t> nextSeed{0};
    KvRunWorkers(std::min<unsigned>(threads, static_cast<unsigned>(nq)), [&](unsigned) {
      for (std::size_t k = KvClaim(nextSeed, nq); k < nq; k = KvClaim(nextSeed, nq)) {
        const Score score{MakeScoreContext(states_[k].words.bits, view_.words, options_)};
        queries[k].emplace(index_, view_, states_[k].words, score, options_.GetDescendingOrder());
        SeedOne(*queries[k], states_[k], budget);
      }
    });

    // A cancelled call leaves queries unseeded: its (discarded) answer ends
    // here.
    if (KvSystem::KvCancelRequested()) return;
    if (std::all_of(states_.begin(), states_.end(), [](const QueryState& state) { return state.done; })) return;

    // Whether bin p can still beat a single query's published threshold.
    const PrunedQuery<Score>& only = *queries[sorted_[0]];
    QueryState& onlyState = states_[sorted_[0]];
    auto canBeat = [&](std::size_t p) {
      return only.IsBetter(only.Best(p), onlyState.floor.load(std::memory_order_relaxed));
    };
    // A single query shared among threads first searches the first records
    // of its peak bin on the calling thread: a search that ends among them
    // (a query with close neighbours) plans nothing and starts no thread,
    // and the others start sharing with a threshold.
    std::size_t leadBin = index_.NumBins();
    std::uint64_t leadEnd = 0;
    if (single && !alone && thresholdMoves) {
      leadBin = PeakBin(only, index_);
      if (leadBin == index_.NumBins()) return;
      leadEnd = std::min(index_.BinEnd(leadBin), index_.BinBegin(leadBin) + kLeadRecords);
      WithStateSink(onlyState, [&](auto& sink) { only.ScanSlots(leadBin, index_.BinBegin(leadBin), leadEnd, sink); });
    }
    // The first slot of bin p that the sweep visits (BinEnd(p): none). A
    // single query's sweep holds only the bins that can beat its threshold.
    auto firstSlot = [&](std::size_t p) {
      if (!single) return index_.BinBegin(p);
      if (!canBeat(p)) return index_.BinEnd(p);
      return p == leadBin ? leadEnd : index_.BinBegin(p);
    };

    // Sweep units: (block of queries, chunk of its bins), block-major.
    const std::size_t blocks = (nq + perBlock_ - 1) / perBlock_;
    std::vector<BlockPlan> plans(blocks);
    std::vector<std::pair<std::size_t, std::size_t>> units;  // (block, chunk)
    // Enough chunks for the threads to share a single query's search.
    const std::uint64_t perChunk =
        single ? std::clamp<std::uint64_t>(view_.n / 256, 64, kSlotsPerSharedChunk)
               : std::max<std::uint64_t>(kSlotsPerChunk, view_.n / (16 * std::max(1u, threads)));
    std::uint64_t planned = 0;
    for (std::size_t b = 0; b < blocks; ++b) {
      const std::size_t first = b * perBlock_, last = std::min(nq, first + perBlock_);
      plans[b] = PlanBlock(*queries[sorted_[(first + last) / 2]], perChunk, firstSlot);
      for (std::size_t c = 0; c + 1 < plans[b].chunkStart.size(); ++c) units.emplace_back(b, c);
      for (const Piece& piece : plans[b].pieces) planned += piece.to - piece.from;
    }
    if (units.empty()) return;
    // A little work left for a single query is done on the calling thread.
    const std::size_t sweepers =
        single && planned < ShareSearchFrom() ? 1 : std::min<std::size_t>(threads, units.size());
    std::atomic<std::size_t> nextUnit{0};
    KvRunWorkers(static_cast<unsigned>(sweepers), [&](unsigned) {
      Private mine(nq, perBlock_);
      for (std::size_t u = KvClaim(nextUnit, units.size()); u < units.size(); u = KvClaim(nextUnit, units.size())) {
        const BlockPlan& plan = plans[units[u].first];
        const std::size_t chunk = units[u].second;
        const std::span<const Piece> unit(plan.pieces.data() + plan.chunkStart[chunk],
                                          plan.chunkStart[chunk + 1] - plan.chunkStart[chunk]);
        // A single query's chunks come best first: once one cannot beat the
        // threshold, none after it can.
        if (single && !canBeat(unit.front().bin)) {
          nextUnit.store(units.size(), std::memory_order_relaxed);
          break;
        }
        SweepUnit(queries, units[u].first, unit, mine);
      }
      Merge(mine);
    });
  }

  // The least common bits a query's records of bin `bin` need while its
  // threshold is `threshold`.
  struct Need {
    std::size_t bin = ~std::size_t{0};
    double threshold = 0.0;
    std::uint64_t common = 0;
  };
  // A worker's own results per query over the whole sweep: its hit lists
  // keep their thresholds from unit to unit (with one thread, the sweep's
  // threshold is the one list's), and are merged once at the end.
  struct Private {
    Private(std::size_t nq, std::size_t perBlock)
        : hits(nq), counts(nq, 0), need(nq), slack(kScreenRuns), masks(2 * perBlock) {
      screened.reserve(perBlock);
      screens.reserve(perBlock);
    }
    std::vector<std::optional<HitList<KvSimScore>>> hits;
    std::vector<std::uint64_t> counts;
    // Scratch of ScreenRun, kept from run to run.
    std::vector<Need> need;                  // per query
    std::vector<std::size_t> screened;       // the queries screened, in order
    std::vector<ScreenQuery> screens;        // and their screens
    std::vector<std::uint32_t> slack;        // per slot of the run
    std::vector<std::uint64_t> masks;        // two words per screened query
  };

  // Slots [from, to) of bin `bin`.
  struct Piece {
    std::uint32_t bin;
    std::uint64_t from;
    std::uint64_t to;
  };

  // A block's bins, best first for its middle query, cut into chunks of
  // `perChunk` slots (chunk c holds pieces[chunkStart[c], chunkStart[c + 1])).
  struct BlockPlan {
    std::vector<Piece> pieces;
    std::vector<std::size_t> chunkStart;
  };

  // The plan of the slots [firstSlot(p), BinEnd(p)) of every bin p.
  template <typename Score, typename FirstSlot>
  BlockPlan PlanBlock(const PrunedQuery<Score>& middle, std::uint64_t perChunk, FirstSlot&& firstSlot) const {
    BlockPlan plan;
    struct Bin {
      double best;
      std::uint32_t p;
      std::uint64_t from;
    };
    std::vector<Bin> order;
    for (const std::uint32_t p : index_.FilledBins()) {
      if (const std::uint64_t from = firstSlot(p); from < index_.BinEnd(p)) order.push_back({middle.Best(p), p, from});
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](const Bin& a, const Bin& b) { return middle.IsBetter(a.best, b.best); });
    std::uint64_t inChunk = 0;
    plan.chunkStart.push_back(0);
    for (const Bin& bin : order) {
      const std::uint32_t p = bin.p;
      for (std::uint64_t from = bin.from; from < index_.BinEnd(p);) {
        const std::uint64_t to = std::min(index_.BinEnd(p), from + (perChunk - inChunk));
        plan.pieces.push_back({p, from, to});
        inChunk += to - from;
        from = to;
        if (inChunk >= perChunk) {
          plan.chunkStart.push_back(plan.pieces.size());
          inChunk = 0;
        }
      }
    }
    if (plan.chunkStart.back() != plan.pieces.size()) plan.chunkStart.push_back(plan.pieces.size());
    return plan;
  }

  // Calls body(sink) with a sink that adds to `count` (counting) or offers
  // to `hits`, bounded also by the query's published `floor`.
  template <typename Body>
  void WithSinkInto(std::optional<HitList<KvSimScore>>& hits, std::uint64_t& count, std::atomic<double>& floor,
                    Body&& body) {
    if (counting_) {
      CountSink sink(options_.GetDescendingOrder(), initial_);
      body(sink);
      count += sink.Count();
    } else {
      HitSink sink(*hits, view_, floor);
      body(sink);
    }
  }

  // Calls body(sink) with a sink into the query's merged result, which
  // no other thread may touch meanwhile.
  template <typename Body>
  void WithStateSink(QueryState& state, Body&& body) {
    WithSinkInto(state.hits, state.count, state.floor, body);
  }

  template <typename Score>
  void SeedOne(const PrunedQuery<Score>& query, QueryState& state, std::uint64_t budget) {
    bool complete = false;
    BinRange seen{0, 0};
    if (budget > 0) {
      WithStateSink(state, [&](auto& sink) {
        auto ready = [&] { return counting_ || state.hits->ThresholdScore() != initial_; };
        seen = Seed(query, index_, sink, budget, ready, complete);
      });
    }
    if (!counting_) state.floor.store(state.hits->ThresholdScore(), std::memory_order_relaxed);
    state.done = complete;
    if (budget > 0 && !complete) {
      state.seenLo = seen.lo;
      state.seenHi = seen.hi;
    }
  }

  template <typename Score>
  void SweepUnit(const Queries<Score>& queries, std::size_t block, std::span<const Piece> unit, Private& mine) {
    const std::size_t first = block * perBlock_;
    const std::size_t last = std::min(states_.size(), first + perBlock_);
    for (const Piece& piece : unit) {
      const std::size_t p = piece.bin;
      if (last - first == 1) {  // a lone query takes the piece whole
        const std::size_t q = sorted_[first];
        if (Visits(q, p)) {
          WithSink(q, mine, [&](auto& sink) {
            if (sink.Admits(queries[q]->Best(p))) queries[q]->ScanSlots(p, piece.from, piece.to, sink);
          });
        }
        continue;
      }
      for (std::uint64_t from = piece.from; from < piece.to; from += kScreenRuns)
        ScreenRun(queries, first, last, p, from, std::min<std::uint64_t>(piece.to, from + kScreenRuns), mine);
    }
  }

  // Slots [from, to) of bin p (at most kScreenRuns) for queries [first,
  // last) of sorted_: their signatures are screened against all the
  // queries at once, each read once, then each query reads the records that
  // passed its screen. Queries whose search screens no signatures scan the
  // slots on their own.
  template <typename Score>
  void ScreenRun(const Queries<Score>& queries, std::size_t first, std::size_t last, std::size_t p,
                 std::uint64_t from, std::uint64_t to, Private& mine) {
    mine.screened.clear();
    mine.screens.clear();
    for (std::size_t i = first; i < last; ++i) {
      const std::size_t q = sorted_[i];
      if (!Visits(q, p)) continue;
      const PrunedQuery<Score>& query = *queries[q];
      WithSink(q, mine, [&](auto& sink) {
        if (!sink.Admits(query.Best(p))) return;
        if (!query.ScreensSignatures()) {
          query.ScanSlots(p, from, to, sink);
          return;
        }
        Need& need = mine.need[q];
        if (need.bin != p || !(need.threshold == sink.Threshold()))
          need = {p, sink.Threshold(), query.MinCommon(p, sink)};
        if (need.common > query.MaxCommon(p)) return;  // no record of this bin can enter
        mine.screened.push_back(q);
        mine.screens.push_back(query.ScreenFor(need.common));
      });
    }
    if (mine.screens.empty()) return;
    const std::size_t count = static_cast<std::size_t>(to - from);
    const std::uint16_t* sigBits = index_.SignatureBits().data() + from;
    for (std::size_t r = 0; r < count; ++r) mine.slack[r] = static_cast<std::uint32_t>(p - sigBits[r]);
    const std::size_t s = index_.SignatureWords();
    GetActiveScanKernel().screenRuns(reinterpret_cast<const std::uint8_t*>(index_.Signature(from)), 8 * s, count,
                                     mine.slack.data(), mine.screens.data(), mine.screens.size(), s,
                                     mine.masks.data());
    for (std::size_t k = 0; k < mine.screened.size(); ++k) {
      const std::size_t q = mine.screened[k];
      WithSink(q, mine, [&](auto& sink) {
        queries[q]->OfferPassed(p, from, &mine.masks[2 * k], count, mine.need[q].common, sink);
      });
    }
  }

  // Whether query q still has bin p to search in the sweep.
  bool Visits(std::size_t q, std::size_t p) const {
    const QueryState& state = states_[q];
    return !state.done && (p < state.seenLo || p > state.seenHi);
  }

  // Calls body(sink) with the worker's sink for query q.
  template <typename Body>
  void WithSink(std::size_t q, Private& mine, Body&& body) {
    if (!counting_ && !mine.hits[q]) mine.hits[q].emplace(NewHitList(64));
    WithSinkInto(mine.hits[q], mine.counts[q], states_[q].floor, body);
  }

  // Adds a worker's results to the queries' merged ones.
  void Merge(Private& mine) {
    if (KvSystem::KvCancelRequested()) return;  // the answer is discarded
    for (QueryState& state : states_) {
      const std::size_t q = state.order;
      if (state.done || (!mine.hits[q] && mine.counts[q] == 0)) continue;
      std::lock_guard<std::mutex> lock(state.mutex);
      state.count += mine.counts[q];
      if (mine.hits[q]) {
        for (const KvSimScore& hit : mine.hits[q]->Entries()) state.hits->Offer(hit);
      }
    }
  }

  const KvFastFPDatabaseImplBase& engine_;
  const SearchIndex& index_;
  const RecordView view_;
  const KvFPDatabaseOptions& options_;
  const bool counting_;
  std::vector<QueryState> states_;
  std::vector<std::size_t> sorted_;  // states_ by bit count
  std::size_t perBlock_;             // queries per block of the sweep
  double initial_ = 0.0;             // the threshold before any hit
};

}  // namespace

HitList<KvSimScore> KvFastFPDatabaseImplBase::SortedHits(const QueryWords& query,
                                                           const KvFPDatabaseOptions& options, bool prune) const {
  const RecordView view = View();
  HitList<KvSimScore> hits(static_cast<std::size_t>(SlotLimit(options, view.n)), options, 1024);
  if (view.n == 0 || view.records == nullptr) return hits;
  const ScanKernel& kernel = GetActiveScanKernel();
  WithScoreFunctor(options.GetSimFunc(), MakeScoreContext(query.bits, view.words, options), [&](const auto& score) {
    if (prune && PrunesSearches()) {
      std::atomic<double> floor{KvGetScoreThreshold(options)};
      HitSink sink(hits, view, floor);
      const PrunedQuery<std::decay_t<decltype(score)>> pruned(index_, view, query, score,
                                                                options.GetDescendingOrder());
      bool complete = false;
      Seed(
          pruned, index_, sink, ~std::uint64_t{0}, [] { return true; }, complete);
    } else {
      ScanIntoHitList(kernel, view, 0, view.n, query.words.data(), score, hits);
    }
  });
  return hits;
}

std::vector<std::vector<KvSimScore>> KvFastFPDatabaseImplBase::GetSortedScoresMany(
    const std::vector<const KvFingerPrint*>& queries, const KvFPDatabaseOptions& options) const {
  const RecordView view = View();
  if (view.n == 0 || view.records == nullptr) return std::vector<std::vector<KvSimScore>>(queries.size());
  if (!PrunesSearches()) {
    std::vector<std::vector<KvSimScore>> results(queries.size());
    ForEachQueryOnThreads(queries.size(), options, [&](std::size_t k) {
      HitList<KvSimScore> hits = SortedHits(MakeQuery(*queries[k]), options, false);
      hits.Finish();
      results[k] = hits.TakeEntries();
    });
    return results;
  }
  BatchSearch search(*this, index_, queries, options, false);
  search.Run(options.GetNumProcessors());
  return search.TakeHits();
}

std::vector<std::uint64_t> KvFastFPDatabaseImplBase::NumHitsMany(const std::vector<const KvFingerPrint*>& queries,
                                                                 const KvFPDatabaseOptions& options) const {
  std::vector<std::uint64_t> results(queries.size(), 0);
  const RecordView view = View();
  if (view.n == 0 || view.records == nullptr) return results;
  if (PrunesSearches()) {
    BatchSearch search(*this, index_, queries, options, true);
    search.Run(options.GetNumProcessors());
    return search.TakeCounts();
  }
  const ScanKernel& kernel = GetActiveScanKernel();
  CountSink prototype(options.GetDescendingOrder(), KvGetScoreThreshold(options));
  ForEachQueryOnThreads(queries.size(), options, [&](std::size_t k) {
    const QueryWords q = MakeQuery(*queries[k]);
    CountSink sink = prototype;
    WithScoreFunctor(options.GetSimFunc(), MakeScoreContext(q.bits, view.words, options), [&](const auto& score) {
      ScanRange(kernel, view, 0, view.n, q.words.data(), score, [&](std::uint64_t position, double value) {
        if (sink.Admits(value)) sink.Take(position, value);
      });
    });
    results[k] = sink.Count();
  });
  return results;
}

std::vector<KvFPHistogram> KvFastFPDatabaseImplBase::GetHistogramMany(const std::vector<const KvFingerPrint*>& queries,
                                                                      const KvFPDatabaseOptions& options,
                                                                      std::size_t nbins) const {
  std::vector<KvFPHistogram> results(queries.size(), KvFPHistogram(nbins, 0.0, 1.0));
  const RecordView view = View();
  if (view.records == nullptr) return results;
  const ScanKernel& kernel = GetActiveScanKernel();
  ForEachQueryOnThreads(queries.size(), options, [&](std::size_t k) {
    const QueryWords q = MakeQuery(*queries[k]);
    WithScoreFunctor(options.GetSimFunc(), MakeScoreContext(q.bits, view.words, options), [&](const auto& score) {
      ScanRange(kernel, view, 0, view.n, q.words.data(), score,
                  [&](std::uint64_t, double value) { results[k].AddSample(value); });
    });
  });
  return results;
}

}  // namespace Varnex
