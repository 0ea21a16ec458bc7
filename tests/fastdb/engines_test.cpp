// The search engines against brute force: every routine against its
// definition, with scores computed pair by pair in double precision from an
// independent count of the bits. Both memory types, every measure, both
// orders, limits and cutoffs on ties, one and several threads; CTest runs
// the oracle once per scan kernel.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <bit>
#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "capture_sink.h"
#include "database/searchresult_impl.h"
#include "fastdb/engine/engine.h"
#include "fastdb/engine/neighbour_list.h"
#include "fastdb/kernels/kernels.h"
#include "fastdb_test_db.h"
#include "kvsystem/dots.h"
#include "kvsystem/iterator.h"
#include "similarity/popcount.h"

namespace {

using namespace Varnex;
using FastDbTest::ReferenceScore;
using KvSystem::KvCollect;

// Every measure's code, from the measure table.
const std::vector<unsigned> kMeasures = [] {
  std::vector<unsigned> codes;
  for (const KvSimMeasureInfo& measure : KvSimMeasures) codes.push_back(measure.code);
  return codes;
}();

// Tversky with unequal coefficients, so that it is really asymmetric.
KvFPDatabaseOptions Options(unsigned measure, unsigned limit = 1000, bool descending = true) {
  KvFPDatabaseOptions options(limit, measure);
  options.SetDescendingOrder(descending);
  options.SetTverskyCoeffs(0.7f, 0.2f);
  return options;
}

std::vector<double> ReferenceScores(const KvFingerPrint& query, const std::vector<KvFingerPrint>& fps,
                                    const KvFPDatabaseOptions& options) {
  std::vector<double> scores;
  for (const KvFingerPrint& fp : fps) {
    scores.push_back(
        ReferenceScore(query, fp, options.GetSimFunc(), options.GetTverskyAlpha(), options.GetTverskyBeta()));
  }
  return scores;
}

// The hit list's rule by brute force: scores strictly better than the
// cutoff (else than the smallest positive double / largest double), or for
// an inclusive cutoff scores whose float is at or beyond it; best first, at
// most `limit` (all for 0).
std::vector<KvSimScore> ReferenceSorted(const std::vector<double>& scores, const KvFPDatabaseOptions& options,
                                        std::uint64_t molIndexBase = 0) {
  const bool descending = options.GetDescendingOrder();
  const double threshold =
      options.HasCutoff() ? static_cast<double>(options.GetCutoff()) : (descending ? DBL_MIN : DBL_MAX);
  const auto in = [&](double score) {
    if (!options.HasInclusiveCutoff()) return descending ? score > threshold : score < threshold;
    const float f = static_cast<float>(score);
    return descending ? f >= options.GetCutoff() : f <= options.GetCutoff();
  };
  std::vector<KvSimScore> kept;
  for (std::size_t i = 0; i < scores.size(); ++i) {
    if (in(scores[i])) kept.emplace_back(molIndexBase + i, scores[i]);
  }
  std::stable_sort(kept.begin(), kept.end(), [&](const KvSimScore& a, const KvSimScore& b) {
    return descending ? a.GetScore() > b.GetScore() : a.GetScore() < b.GetScore();
  });
  const std::size_t limit = options.GetLimit() == 0 ? scores.size() : options.GetLimit();
  if (kept.size() > limit) kept.resize(limit);
  return kept;
}

// Same scores in the same order; the same indices for every score strictly
// better than the last one kept (equal scores at the limit may differ).
void ExpectSameHits(const std::vector<KvSimScore>& got, const std::vector<KvSimScore>& expected) {
  ASSERT_EQ(got.size(), expected.size());
  if (got.empty()) return;
  const double boundary = expected.back().GetScore();
  std::multiset<std::size_t> gotAbove, expectedAbove;
  for (std::size_t k = 0; k < got.size(); ++k) {
    ASSERT_EQ(got[k].GetScore(), expected[k].GetScore()) << "rank " << k;
    if (got[k].GetScore() != boundary) gotAbove.insert(got[k].GetIdx());
    if (expected[k].GetScore() != boundary) expectedAbove.insert(expected[k].GetIdx());
  }
  EXPECT_EQ(gotAbove, expectedAbove);
}

// Neighbour lists as they are defined: the first k candidates, then a
// replacement of the first lowest by anything strictly higher; best first,
// equal scores by the larger molecule index; the cutoff inclusive. k = 0
// keeps every record. `scores` is the n x n matrix, row i for query i.
std::vector<KvSimScorePair> ReferenceNeighbours(const std::vector<double>& scores, std::size_t n,
                                                const KvFPDatabaseOptions& o, std::uint64_t base) {
  const std::size_t k = o.GetLimit() == 0 ? n : o.GetLimit();
  std::vector<KvSimScorePair> pairs;
  for (std::size_t i = 0; i < n; ++i) {
    std::vector<std::pair<float, std::size_t>> held;
    for (std::size_t j = 0; j < n; ++j) {
      const auto s = static_cast<float>(scores[i * n + j]);
      if (held.size() < k) {
        held.emplace_back(s, j);
        continue;
      }
      std::size_t low = 0;
      for (std::size_t e = 1; e < held.size(); ++e) {
        if (held[e].first < held[low].first) low = e;
      }
      if (s > held[low].first) held[low] = {s, j};
    }
    std::sort(held.begin(), held.end(), [](const auto& a, const auto& b) {
      return a.first != b.first ? a.first > b.first : a.second > b.second;
    });
    for (const auto& [s, j] : held) {
      if (!o.HasCutoff() || s >= o.GetCutoff()) pairs.emplace_back(base + i, base + j, s);
    }
  }
  return pairs;
}

void ExpectSamePairs(const std::vector<KvSimScorePair>& got, const std::vector<KvSimScorePair>& expected) {
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t k = 0; k < got.size(); ++k) {
    ASSERT_EQ(got[k].GetIdxA(), expected[k].GetIdxA()) << k;
    ASSERT_EQ(got[k].GetIdxB(), expected[k].GetIdxB()) << k;
    ASSERT_EQ(got[k].GetScore(), expected[k].GetScore()) << k;
  }
}

// The histogram of `scores`, and its counts.
KvFPHistogram ReferenceHistogram(const std::vector<double>& scores, std::size_t bins) {
  KvFPHistogram histogram(bins, 0.0, 1.0);
  for (const double s : scores) histogram.AddSample(s);
  return histogram;
}
std::vector<std::uint64_t> Counts(const KvFPHistogram& histogram) {
  std::vector<std::uint64_t> counts;
  for (std::size_t b = 0; b < histogram.NumBins(); ++b) counts.push_back(histogram.GetCount(b));
  return counts;
}

std::string Trace(unsigned memoryType, const KvFPDatabaseOptions& o) {
  return "memory " + std::to_string(memoryType) + " measure " + std::to_string(o.GetSimFunc()) +
         (o.GetDescendingOrder() ? " desc" : " asc") + " limit " + std::to_string(o.GetLimit()) + " cutoff " +
         (o.HasCutoff() ? std::to_string(o.GetCutoff()) : "none") + " threads " + std::to_string(o.GetNumProcessors());
}

// The bit counts a neighbour row screens records by: every count at which
// some record (with any number of common bits) beats the row's floor lies
// in the range, and both ends of the range are such counts, up to the
// rounding margin the range is widened by. Every similarity (Tversky
// asymmetric), 256-bit fingerprints, every common-bit count tried.
TEST(AdmissibleCountsTest, EveryCountThatCanBeatTheFloorAndNoMore) {
  constexpr std::uint32_t kBits = 256;
  for (const unsigned measure : {1u, 2u, 3u, 4u, 5u}) {
    for (const std::uint32_t q : {0u, 1u, 37u, 128u, 256u}) {
      for (const float floor : {0.05f, 0.3f, 0.7f, 0.95f, 1.0f}) {
        SCOPED_TRACE("measure " + std::to_string(measure) + " query bits " + std::to_string(q) + " floor " +
                     std::to_string(floor));
        KvFPDatabaseOptions options(10, measure);
        options.SetTverskyCoeffs(0.7f, 0.2f);
        WithScoreFunctor(measure, MakeScoreContext(q, kBits / 64, options), [&](const auto& score) {
          const CountRange range = AdmissibleCounts(score, floor, kBits);
          for (std::uint32_t p = 0; p <= kBits; ++p) {
            double best = -1.0;
            for (std::uint32_t c = p + q > kBits ? p + q - kBits : 0; c <= std::min(p, q); ++c)
              best = std::max(best, score(static_cast<double>(c), static_cast<double>(p)));
            if (best > floor) EXPECT_TRUE(range.Holds(p)) << "p " << p << " reaches " << best;
            if (range.Holds(p) && (p == range.lo || p == range.lo + range.span))
              EXPECT_GT(best + 1e-6 * std::fabs(best) + 1e-300, floor) << "range end " << p;
          }
        });
      }
    }
  }
}

// ---- The oracle: 1100 random 1024-bit fingerprints (their signatures fold
// them lossily, so the signature bound is really tested), with duplicates,
// empty records, and records that score exactly 1.0, 0.7 and 0.5 against the
// first query, so that limits and cutoffs fall on ties (0.7, unlike its
// float, is no binary fraction: scores compare in double precision). Molecule indices
// start at 1000, so that results must carry them, not positions. CTest runs
// these tests once more under every scan kernel (VARNEX_KERNEL).
class OracleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SetScanWholeUpTo(0);          // searched like a large file, through the index
    SetShareSearchFrom(0);        // and a single query shared among threads as in one
    SetTwoThreadOpeningFrom(0);   // opened in memory on two threads as one
    type_ = FastDbTest::PathType(1024);
    fps_ = new std::vector<KvFingerPrint>(FastDbTest::RandomFingerPrints(type_, 1100, 1));
    KvFingerPrint blank;
    blank.SetSize(1024);
    blank.SetFPTypeBase(type_);
    KvFingerPrint ten = blank, seven = blank, five = blank;
    for (unsigned b = 0; b < 10; ++b) ten.SetBitOn(b * 97);
    for (unsigned b = 0; b < 7; ++b) seven.SetBitOn(b * 97);
    for (unsigned b = 0; b < 5; ++b) five.SetBitOn(b * 97);
    for (const std::size_t i : {0u, 4u, 600u, 601u}) (*fps_)[i] = ten;  // Tanimoto 1.0 against record 0
    for (const std::size_t i : {6u, 700u, 1000u}) (*fps_)[i] = seven;  // 7 / 10 = 0.7
    for (const std::size_t i : {1u, 2u, 3u, 900u}) (*fps_)[i] = five;   // 5 / 10 = 0.5
    dir_ = new VarnexTest::TempDir;
    file_ = dir_->Path("oracle.fpbin");
    FastDbTest::WriteDatabase(file_, type_, *fps_, kBase);

    queries_ = new std::vector<KvFingerPrint>{(*fps_)[0], (*fps_)[7], (*fps_)[500], (*fps_)[1099]};
    queries_->push_back(blank);
    for (const KvFingerPrint& fp : FastDbTest::RandomFingerPrints(type_, 35, 99)) queries_->push_back(fp);
  }
  static void TearDownTestSuite() {
    SetScanWholeUpTo(4096);
    SetShareSearchFrom(32768);
    SetTwoThreadOpeningFrom(std::uint64_t{64} << 20);
    delete fps_;
    delete queries_;
    delete dir_;
  }

  static std::vector<std::unique_ptr<KvFastFPDatabaseImplBase>> Engines(const std::string& file = file_) {
    std::vector<std::unique_ptr<KvFastFPDatabaseImplBase>> engines;
    engines.push_back(std::make_unique<FastFPMemoryMapDatabaseImpl>(file));
    engines.push_back(std::make_unique<FastFPInMemoryDatabaseImpl>(file));
    return engines;
  }
  static std::vector<double> Scores(const KvFingerPrint& query, const KvFPDatabaseOptions& options) {
    return ReferenceScores(query, *fps_, options);
  }
  // Every record against every record under `measure` (row i: record i as
  // the query), computed once per measure.
  static const std::vector<double>& AllScores(unsigned measure) {
    static std::map<unsigned, std::vector<double>> cache;
    std::vector<double>& scores = cache[measure];
    if (scores.empty()) {
      for (const KvFingerPrint& fp : *fps_) {
        const auto row = Scores(fp, Options(measure));
        scores.insert(scores.end(), row.begin(), row.end());
      }
    }
    return scores;
  }

  static constexpr std::uint64_t kBase = 1000;
  static inline const KvFPTypeBase* type_ = nullptr;
  static inline std::vector<KvFingerPrint>* fps_ = nullptr;
  static inline std::vector<KvFingerPrint>* queries_ = nullptr;
  static inline VarnexTest::TempDir* dir_ = nullptr;
  static inline std::string file_;
};

TEST_F(OracleTest, TheKernelNamedInTheEnvironmentIsTheOneInUse) {
  const char* forced = std::getenv("VARNEX_KERNEL");
  if (forced == nullptr) GTEST_SKIP() << "VARNEX_KERNEL not set";
  const unsigned id = ParseScanKernelName(forced);
  if (GetScanKernel(id) == nullptr) GTEST_SKIP() << forced << " is not available on this processor";
  EXPECT_STREQ(GetActiveScanKernel().name, forced);
  // The similarity counts follow the same choice.
  EXPECT_EQ(GetPopCountKernel(PopCountMethod::Instruction) == &PopCountSoftware, id == ScanKernelId::Software);
}

// Every form of the sorted search (pruned, every record, the threaded form
// of a single search, the search into a result object on one and four
// threads) against the hit list's rule by brute force, with limits and
// cutoffs on the ties of the first query (four scores of 1.0, three of 0.7,
// four of 0.5 under Tanimoto). Unsorted scans keep scores at the cutoff in both orders;
// raw scores are every score in record order.
TEST_F(OracleTest, SearchesEqualTheBruteForce) {
  const auto engines = Engines();
  ASSERT_LT(engines[0]->Index().SignatureWords(), 16u);  // the bound folds the records lossily
  // The index folded while reading, on one thread, and the one folded in
  // pieces on two threads from memory: the same slots and signatures.
  const SearchIndex& serial = engines[0]->Index();
  const SearchIndex& pieces = engines[1]->Index();
  ASSERT_EQ(serial.SignatureWords(), pieces.SignatureWords());
  ASSERT_TRUE(std::ranges::equal(serial.Order(), pieces.Order()));
  ASSERT_TRUE(std::ranges::equal(serial.SignatureBits(), pieces.SignatureBits()));
  ASSERT_EQ(std::memcmp(serial.Signature(0), pieces.Signature(0), 8 * serial.SignatureWords() * fps_->size()), 0);
  for (const unsigned measure : kMeasures) {
    for (const bool descending : {true, false}) {
      for (const unsigned limit : {1u, 2u, 6u, 100u, 0u}) {
        // An inclusive 0.5 keeps the scores of exactly 0.5 that SetCutoff(0.5) drops.
        for (const auto& [cutoff, inclusive] :
             {std::pair{-1.0f, false}, {0.5f, false}, {0.25f, false}, {0.7f, false}, {0.5f, true}}) {
          KvFPDatabaseOptions options = Options(measure, limit, descending);
          if (cutoff >= 0.0f && inclusive) options.SetInclusiveCutoff(cutoff);
          if (cutoff >= 0.0f && !inclusive) options.SetCutoff(cutoff);
          options.SetNumProcessors(2);
          KvFPDatabaseOptions unlimited = options;
          unlimited.SetLimit(0);
          for (const std::size_t q : {0u, 1u, 4u, 5u}) {
            const std::vector<double> reference = Scores((*queries_)[q], options);
            const auto expected = ReferenceSorted(reference, options, kBase);
            std::vector<std::uint64_t> twice = Counts(ReferenceHistogram(reference, 40));
            for (std::uint64_t& count : twice) count *= 2;
            std::vector<KvSimScore> scan;
            for (std::size_t i = 0; i < reference.size(); ++i) {
              if (cutoff < 0.0f || (descending ? reference[i] >= cutoff : reference[i] <= cutoff))
                scan.emplace_back(kBase + i, reference[i]);
            }
            for (const auto& engine : engines) {
              SCOPED_TRACE(Trace(engine->GetMemoryType(), options) + " query " + std::to_string(q));
              if (limit == 0) {  // the scans take no limit: once is enough
                const auto got = KvCollect(engine->GetScores((*queries_)[q], options));
                ASSERT_EQ(got.size(), scan.size());
                for (std::size_t k = 0; k < got.size(); ++k) {
                  ASSERT_EQ(got[k].GetIdx(), scan[k].GetIdx());
                  ASSERT_EQ(got[k].GetScore(), scan[k].GetScore());
                }
                EXPECT_EQ(KvCollect(engine->GetRawScores((*queries_)[q], options)), reference);
              }
              ExpectSameHits(KvCollect(engine->GetSortedScores((*queries_)[q], options, true)), expected);
              ExpectSameHits(KvCollect(engine->GetSortedScores((*queries_)[q], options, false)), expected);
              // One query shared among two threads: hits and hit count.
              ExpectSameHits(engine->GetSortedScoresMany({&(*queries_)[q]}, options)[0], expected);
              EXPECT_EQ(engine->NumHitsMany({&(*queries_)[q]}, options)[0],
                        ReferenceSorted(reference, unlimited).size());
              // A second search into one result replaces its hits and adds to its histogram.
              KvSimSearchResult result(40, 0.0, 1.0);
              for (const unsigned threads : {1u, 4u}) {
                KvFPDatabaseOptions own = options;
                own.SetNumProcessors(threads);
                EXPECT_EQ(engine->SortedSearch(result, (*queries_)[q], own), KvSimSearchStatus::Finished);
                EXPECT_EQ(result.NumSearched(), fps_->size());
                ExpectSameHits(KvCollect(result.GetSortedScores()), expected);
              }
              EXPECT_EQ(Counts(result.GetHistogram()), twice);
            }
          }
        }
      }
    }
  }
}

// Sparse 4096-bit records (40 to 400 bits) in families of near-duplicates:
// their 16-word signatures fold once more onto 4-word coarse ones, which a
// scan checks first. The coarse signature of every slot is its record folded
// onto 256 bits (bit b onto b mod 256), in both engines; every measure, both
// orders, limits and cutoffs among the families' close scores, one query
// alone and shared among two threads, equal the brute force.
TEST_F(OracleTest, SparseRecordsScreenedByCoarseSignaturesEqualTheBruteForce) {
  const KvFPTypeBase* type = FastDbTest::PathType(4096);
  std::mt19937_64 rng(7);
  std::vector<KvFingerPrint> fps;
  for (std::size_t family = 0; family < 150; ++family) {
    KvFingerPrint base;
    base.SetSize(4096);
    base.SetFPTypeBase(type);
    const std::size_t bits = std::uniform_int_distribution<std::size_t>(40, 400)(rng);
    for (std::size_t b = 0; b < bits; ++b) base.SetBitOn(rng() % 4096);
    for (std::size_t member = 0; member < 8; ++member) {
      KvFingerPrint copy = base;
      for (std::size_t flip = 0; flip < member; ++flip) {
        const std::size_t b = rng() % 4096;
        copy.IsBitOn(b) ? copy.SetBitOff(b) : copy.SetBitOn(b);
      }
      fps.push_back(copy);
    }
  }
  const std::string file = dir_->Path("sparse.fpbin");
  FastDbTest::WriteDatabase(file, type, fps, kBase);
  const auto engines = Engines(file);
  for (const auto& engine : engines) {
    const SearchIndex& index = engine->Index();
    ASSERT_EQ(index.SignatureWords(), 16u);
    ASSERT_EQ(index.CoarseWords(), 4u);
    for (std::size_t slot = 0; slot < fps.size(); ++slot) {
      std::uint64_t coarse[4] = {};
      const KvFingerPrint& fp = fps[index.Order()[slot]];
      for (std::size_t b = 0; b < 4096; ++b) {
        if (fp.IsBitOn(b)) coarse[(b % 256) / 64] |= std::uint64_t{1} << (b % 64);
      }
      ASSERT_EQ(std::memcmp(index.Coarse(slot), coarse, sizeof coarse), 0) << "slot " << slot;
      ASSERT_EQ(index.CoarseBits()[slot], std::popcount(coarse[0]) + std::popcount(coarse[1]) +
                                              std::popcount(coarse[2]) + std::popcount(coarse[3]));
    }
  }
  std::vector<KvFingerPrint> queries = {fps[0], fps[803], fps[1199]};
  for (const std::size_t from : {11u, 500u}) {  // family members with more bits flipped, and no family
    KvFingerPrint query = fps[from];
    for (std::size_t flip = 0; flip < 12; ++flip) query.SetBitOn(rng() % 4096);
    queries.push_back(query);
  }
  queries.push_back(FastDbTest::RandomFingerPrints(type, 2, 5)[1]);
  for (const unsigned measure : kMeasures) {
    for (const bool descending : {true, false}) {
      for (const auto& [limit, cutoff] : {std::pair{1u, -1.0f}, {10u, -1.0f}, {10u, 0.8f}, {0u, 0.6f}}) {
        KvFPDatabaseOptions options = Options(measure, limit, descending);
        if (cutoff >= 0.0f) options.SetCutoff(cutoff);
        options.SetNumProcessors(2);
        KvFPDatabaseOptions unlimited = options;
        unlimited.SetLimit(0);
        for (std::size_t q = 0; q < queries.size(); ++q) {
          const KvFingerPrint& query = queries[q];
          const std::vector<double> reference = ReferenceScores(query, fps, options);
          const auto expected = ReferenceSorted(reference, options, kBase);
          for (const auto& engine : engines) {
            SCOPED_TRACE(Trace(engine->GetMemoryType(), options) + " query " + std::to_string(q));
            ExpectSameHits(KvCollect(engine->GetSortedScores(query, options, true)), expected);
            ExpectSameHits(engine->GetSortedScoresMany({&query}, options)[0], expected);
            EXPECT_EQ(engine->NumHitsMany({&query}, options)[0], ReferenceSorted(reference, unlimited).size());
          }
        }
      }
    }
  }
}

// 3,000 records of 64 bits each, all in one bin: a single query shared
// among threads searches the first 1,024 of them on the calling thread and
// the threads share the rest. Its exact copy sits at the first slot after
// that lead and two nearer copies around it, so a record lost or scored
// twice where the lead stops changes the top three.
TEST_F(OracleTest, ABinCutWhereTheLeadStopsIsSearchedOnce) {
  const KvFPTypeBase* type = FastDbTest::PathType(1024);
  std::mt19937_64 rng(11);
  auto sixtyFourBits = [&] {
    KvFingerPrint fp;
    fp.SetSize(1024);
    fp.SetFPTypeBase(type);
    for (unsigned set = 0; set < 64;) {
      const std::size_t b = rng() % 1024;
      if (!fp.IsBitOn(b)) fp.SetBitOn(b), ++set;
    }
    return fp;
  };
  std::vector<KvFingerPrint> fps;
  for (std::size_t i = 0; i < 3000; ++i) fps.push_back(sixtyFourBits());
  const KvFingerPrint query = fps[1024];
  // Moves `moves` of the query's bits elsewhere: 64 bits still, Tanimoto (64 - m) / (64 + m).
  auto moved = [&](unsigned moves) {
    KvFingerPrint copy = query;
    for (unsigned b = 0, done = 0; done < moves; ++b) {
      if (copy.IsBitOn(b) && !query.IsBitOn(b + 1) && !copy.IsBitOn(b + 1)) copy.SetBitOff(b), copy.SetBitOn(b + 1), ++done;
    }
    return copy;
  };
  fps[1023] = moved(1);
  fps[1025] = moved(2);
  const std::string file = dir_->Path("onebin.fpbin");
  FastDbTest::WriteDatabase(file, type, fps, kBase);
  for (const unsigned limit : {3u, 10u}) {
    KvFPDatabaseOptions options = Options(1, limit);
    options.SetNumProcessors(2);
    const auto expected = ReferenceSorted(ReferenceScores(query, fps, options), options, kBase);
    ASSERT_EQ(expected[0].GetIdx(), kBase + 1024);
    ASSERT_EQ(expected[2].GetIdx(), kBase + 1025);
    for (const auto& engine : Engines(file)) {
      SCOPED_TRACE(Trace(engine->GetMemoryType(), options));
      ASSERT_EQ(engine->Index().FilledBins().size(), 1u);
      ExpectSameHits(engine->GetSortedScoresMany({&query}, options)[0], expected);
    }
  }
}

// Forty queries (two blocks of the batch sweep, each screened at once) on
// one and two threads: hits, hit counts and histograms.
TEST_F(OracleTest, BatchCallsEqualTheBruteForce) {
  std::vector<const KvFingerPrint*> queries;
  for (const KvFingerPrint& query : *queries_) queries.push_back(&query);
  for (const auto& engine : Engines()) {
    for (const unsigned measure : kMeasures) {
      for (const auto& [limit, cutoff, descending] :
           {std::tuple{10u, -1.0f, true}, {0u, 0.5f, true}, {3u, 0.25f, false}, {1u, 0.5f, true}}) {
        KvFPDatabaseOptions options = Options(measure, limit, descending);
        if (cutoff >= 0.0f) options.SetCutoff(cutoff);
        KvFPDatabaseOptions unlimited = options;
        unlimited.SetLimit(0);
        for (const unsigned threads : {1u, 2u}) {
          options.SetNumProcessors(threads);
          unlimited.SetNumProcessors(threads);
          SCOPED_TRACE(Trace(engine->GetMemoryType(), options));
          const auto hits = engine->GetSortedScoresMany(queries, options);
          const auto counts = engine->NumHitsMany(queries, options);
          const auto histograms = engine->GetHistogramMany(queries, options, 25);
          ASSERT_EQ(hits.size(), queries.size());
          for (std::size_t q = 0; q < queries.size(); ++q) {
            const std::vector<double> reference = Scores(*queries[q], options);
            ExpectSameHits(hits[q], ReferenceSorted(reference, options, kBase));
            EXPECT_EQ(counts[q], ReferenceSorted(reference, unlimited).size()) << q;
            EXPECT_EQ(Counts(histograms[q]), Counts(ReferenceHistogram(reference, 25))) << q;
          }
        }
      }
    }
  }
}

// The neighbour lists, in tiles (many blocks of records, so the tiles and
// their pruning run) and row by row, keep exactly the equal scores the
// definition keeps, on any thread count, also without limit; the threshold
// form gives the same rows then.
TEST_F(OracleTest, NeighbourMatricesEqualTheListDefinition) {
  const auto engines = Engines();
  for (const unsigned measure : kMeasures) {
    for (const auto& [limit, cutoff] : {std::pair{1u, -1.0f}, {7u, 0.3f}, {0u, 0.75f}}) {
      KvFPDatabaseOptions options = Options(measure, limit);
      if (cutoff >= 0.0f) options.SetCutoff(cutoff);
      const auto expected = ReferenceNeighbours(AllScores(measure), fps_->size(), options, kBase);
      for (const auto& engine : engines) {
        // In tiles, and row by row with the equal scores replayed.
        for (const auto& [threads, rowsFrom] : {std::pair{1u, ~0ull}, {2u, ~0ull}, {1u, 0ull}, {2u, 0ull}}) {
          options.SetNumProcessors(threads);
          SetMatrixRowsFrom(rowsFrom);
          SCOPED_TRACE(Trace(engine->GetMemoryType(), options) + (rowsFrom == 0 ? " rows" : " tiles"));
          VarnexTest::CaptureSink sink;
          // The progress display counts every row once, from any thread.
          KvSystem::KvDots rows;
          rows.SetDisplay(KvSystem::KvDots::Display::Never);
          options.SetProgress(&rows);
          ExpectSamePairs(KvCollect(engine->GetSparseMatrix(options)), expected);
          options.SetProgress(nullptr);
          EXPECT_EQ(rows.GetCount(), fps_->size());
          if (limit == 0) ExpectSamePairs(KvCollect(engine->GetThresholdMatrix(options)), expected);
          // Lists of every record warn that all n x n scores may come.
          EXPECT_EQ(sink.Count(), limit == 0 ? 1u : 0u);
          SetMatrixRowsFrom(262144);
        }
      }
    }
  }
}

// All pairs in tiles on two threads: the matrix (each unordered pair once
// for symmetric measures, the earlier record as the query), the histogram
// (unordered pairs, or every ordered pair for Tversky) and the variogram.
// As many neighbours as records are every pair; one value too few for the
// variogram is refused.
TEST_F(OracleTest, AllPairsEqualTheBruteForce) {
  const std::size_t n = fps_->size();
  std::vector<float> values;
  for (std::size_t i = 0; i < n; ++i) values.push_back(static_cast<float>(i % 7) * 0.5f);
  for (const unsigned measure : {1u, 2u, 5u, 6u}) {
    KvFPDatabaseOptions options = Options(measure);
    options.SetNumProcessors(2);
    std::vector<float> matrix;
    KvFPHistogram histogram(30, 0.0, 1.0);
    KvFPVariogram variogram(30, 0.0, 1.0);
    const std::vector<double>& all = AllScores(measure);
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = 0; j < n; ++j) {
        // Symmetric measures compute each pair once, the earlier record as the query.
        const double s = (measure != 5 && j < i) ? all[j * n + i] : all[i * n + j];
        matrix.push_back(static_cast<float>(s));
        if (measure == 5 || j > i) histogram.AddSample(s);
        if (j > i) variogram.AddSample(1.0f - static_cast<float>(s), values[i] - values[j]);
      }
    }
    for (const auto& engine : Engines()) {
      SCOPED_TRACE(Trace(engine->GetMemoryType(), options));
      EXPECT_EQ(KvCollect(engine->GetAllScores(options)), matrix);
      KvFPHistogram gotHistogram;
      engine->GetHistogram(gotHistogram, options, 30);
      EXPECT_EQ(Counts(gotHistogram), Counts(histogram));
      if (measure == 5) continue;
      KvFPVariogram gotVariogram;
      engine->GetVariogram(gotVariogram, values, options, 30);
      EXPECT_EQ(Counts(gotVariogram), Counts(variogram));
      for (std::size_t b = 0; b < 30; ++b) EXPECT_EQ(gotVariogram.GetSum(b), variogram.GetSum(b));
      if (measure != 1) continue;
      VarnexTest::CaptureSink sink;
      KvFPDatabaseOptions everyOne = Options(1, static_cast<unsigned>(n));
      everyOne.SetCutoff(0.99f);
      EXPECT_EQ(KvCollect(engine->GetSparseMatrix(everyOne)).size(),
                std::count_if(all.begin(), all.end(), [](double s) { return static_cast<float>(s) >= 0.99f; }));
      KvFPVariogram refused;
      engine->GetVariogram(refused, std::vector<float>(values.begin(), values.end() - 1), options, 30);
      EXPECT_EQ(refused.NumSamples(), 0u);
      EXPECT_EQ(sink.Texts(), std::vector<std::string>{"KvFastFPDatabase::GetVariogram() : fewer values (1099) than "
                                                       "fingerprints (1100)!"});
    }
  }
}

// A damaged file is refused by both engines, the file and the record named:
// a stored bit count that contradicts the bits would be scored wrong (an
// infinite score, or an exact match dropped by pruning); a file cut short is
// refused before any record is searched. (A count beyond the size is the
// message table's bad-record row.)
TEST_F(OracleTest, DamagedFilesAreRefusedByBothEngines) {
  const std::size_t count10 = 800 + 10 * 18 * 8 + 8;  // the bit count of record 10
  const std::string damaged = dir_->Path("damaged.fpbin");
  const std::string record10 = damaged + " is damaged: record 10: its stored bit count ";
  const struct {
    const char* name;
    std::size_t at;  // the word overwritten with `value`; 0: the file cut to `value` bytes
    std::uint64_t value;
    std::string damage;
  } cases[] = {
      {"count 0", count10, 0, record10 + "0 is not"},
      {"count 256", count10, 256, record10 + "256 is not"},
      {"count 0 in the second run counted", count10 + 1030 * 18 * 8, 0, "record 1040: its stored bit count 0 is not"},
      {"cut inside record 9", 0, count10 - 20, "does not match 1100 fingerprints of 1024 bits!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = VarnexTest::ReadFile(file_);
    if (c.at == 0) bytes.resize(c.value);
    if (c.at != 0) FastDbTest::SetWordAt(bytes, c.at, c.value);
    std::ofstream(damaged, std::ios::binary) << bytes;
    VarnexTest::CaptureSink sink;
    for (const auto& engine : Engines(damaged)) EXPECT_FALSE(engine->IsValid());
    const std::vector<std::string> texts = sink.Texts();  // one engine's damage each
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(), [&](const auto& t) { return t.find(c.damage) != t.npos; }), 2)
        << ::testing::PrintToString(texts);
  }
}

}  // namespace
