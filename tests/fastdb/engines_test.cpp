// The search engines against references computed pair by pair in double
// precision: both engines, every routine, every measure, pruned and full
// sorted searches, every kernel, one and several threads.

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "database/searchresult_impl.h"
#include "fastdb/engine.h"
#include "fastdb/scan_kernels.h"
#include "fastdb_test_db.h"
#include "kvsystem/iterator.h"
#include "varnex/fastdb.h"

namespace {

using namespace Varnex;
using FastDbTest::ReferenceScore;
using KvSystem::KvCollect;

constexpr unsigned kMeasures[] = {1, 2, 3, 4, 5, 6};

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
    scores.push_back(ReferenceScore(query, fp, options.GetSimFunc(), options.GetTverskyAlpha(),
                                    options.GetTverskyBeta()));
  }
  return scores;
}

// The hit list's rule by brute force: scores strictly better than the
// cutoff (else than the smallest positive double / largest double), best
// first, at most `limit` (all for 0).
std::vector<KvSimScore> ReferenceSorted(const std::vector<double>& scores, const KvFPDatabaseOptions& options,
                                        std::uint64_t molIndexBase = 0) {
  const bool descending = options.GetDescendingOrder();
  const double threshold = options.HasCutoff() ? static_cast<double>(options.GetCutoff())
                                               : (descending ? DBL_MIN : DBL_MAX);
  std::vector<KvSimScore> kept;
  for (std::size_t i = 0; i < scores.size(); ++i) {
    if (descending ? scores[i] > threshold : scores[i] < threshold) kept.emplace_back(molIndexBase + i, scores[i]);
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

// ---- A database of 1100 random 512-bit fingerprints, opened by both engines.
class EnginesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    type_ = FastDbTest::PathType(512);
    fps_ = new std::vector<KvFingerPrint>(FastDbTest::RandomFingerPrints(type_, 1100, 1));
    file_ = new FastDbTest::TempPath("random.fpbin");
    FastDbTest::WriteDatabase(file_->str(), type_, *fps_);
  }
  static void TearDownTestSuite() {
    delete fps_;
    delete file_;
  }

  // Queries: records of the file, an outside fingerprint and an empty one.
  static std::vector<KvFingerPrint> Queries() {
    std::vector<KvFingerPrint> queries = {(*fps_)[0], (*fps_)[7], (*fps_)[500]};
    queries.push_back(FastDbTest::RandomFingerPrints(type_, 2, 99)[1]);
    KvFingerPrint empty;
    empty.SetSize(512);
    empty.SetFPTypeBase(type_);
    queries.push_back(empty);
    return queries;
  }

  std::vector<std::unique_ptr<KvFastFPDatabaseImplBase>> Engines() const {
    std::vector<std::unique_ptr<KvFastFPDatabaseImplBase>> engines;
    engines.push_back(std::make_unique<KvFastFPMemoryMapDatabaseImpl>(file_->str()));
    engines.push_back(std::make_unique<KvFastFPInMemoryDatabaseImpl>(file_->str()));
    return engines;
  }

  static inline const KvFPTypeBase* type_ = nullptr;
  static inline std::vector<KvFingerPrint>* fps_ = nullptr;
  static inline FastDbTest::TempPath* file_ = nullptr;
};

TEST_F(EnginesTest, BothEnginesOpenWithTheirMemoryTypes) {
  const auto engines = Engines();
  ASSERT_TRUE(engines[0]->IsValid());
  ASSERT_TRUE(engines[1]->IsValid());
  EXPECT_EQ(engines[0]->GetMemoryType(), 1u);
  EXPECT_EQ(engines[0]->GetMemoryTypeString(), "memory-mapped");
  EXPECT_EQ(engines[1]->GetMemoryType(), 2u);
  EXPECT_EQ(engines[1]->GetMemoryTypeString(), "in-memory");
  for (const auto& engine : engines) {
    std::vector<std::uint64_t> words;
    std::uint64_t molIdx = 0, count = 0;
    ASSERT_TRUE(engine->ReadRecord(words, molIdx, count, 9));
    EXPECT_EQ(molIdx, 9u);
    EXPECT_EQ(count, (*fps_)[9].CountBits());
    ASSERT_EQ(words.size(), 8u);
    EXPECT_EQ(0, std::memcmp(words.data(), (*fps_)[9].GetBytes(), 64));
  }
}

TEST_F(EnginesTest, GetScoresAndRawScoresMatchTheReference) {
  const auto engines = Engines();
  for (const KvFingerPrint& query : Queries()) {
    for (const unsigned measure : kMeasures) {
      for (const int variant : {0, 1, 2}) {  // no cutoff, cutoff 0.5 descending, cutoff 0.5 ascending
        SCOPED_TRACE("measure " + std::to_string(measure) + " variant " + std::to_string(variant));
        KvFPDatabaseOptions options = Options(measure, 1000, variant != 2);
        if (variant > 0) options.SetCutoff(0.5f);
        const std::vector<double> reference = ReferenceScores(query, *fps_, options);
        std::vector<KvSimScore> expected;
        for (std::size_t i = 0; i < reference.size(); ++i) {
          const bool keep = variant == 0 || (variant == 1 ? reference[i] >= 0.5 : reference[i] <= 0.5);
          if (keep) expected.emplace_back(i, reference[i]);
        }
        for (const auto& engine : engines) {
          const auto got = KvCollect(engine->GetScores(query, options));
          ASSERT_EQ(got.size(), expected.size());
          for (std::size_t k = 0; k < got.size(); ++k) {
            EXPECT_EQ(got[k].GetIdx(), expected[k].GetIdx());
            EXPECT_EQ(got[k].GetScore(), expected[k].GetScore()) << "record " << got[k].GetIdx();
          }
          EXPECT_EQ(KvCollect(engine->GetRawScores(query, options)), reference);
        }
      }
    }
  }
}

TEST_F(EnginesTest, SortedScoresPrunedAndFullAgreeWithTheReference) {
  const auto engines = Engines();
  for (const KvFingerPrint& query : Queries()) {
    for (const unsigned measure : kMeasures) {
      for (const bool descending : {true, false}) {
        for (const unsigned limit : {1u, 10u, 100u, 0u}) {
          for (const float cutoff : {-1.0f, 0.3f, 0.8f, 0.0f}) {
            KvFPDatabaseOptions options = Options(measure, limit, descending);
            if (cutoff >= 0.0f) options.SetCutoff(cutoff);
            SCOPED_TRACE("measure " + std::to_string(measure) + (descending ? " desc" : " asc") + " limit " +
                         std::to_string(limit) + " cutoff " + std::to_string(cutoff));
            const auto expected = ReferenceSorted(ReferenceScores(query, *fps_, options), options);
            for (const auto& engine : engines) {
              ExpectSameHits(KvCollect(engine->GetSortedScores(query, options, true)), expected);
              ExpectSameHits(KvCollect(engine->GetSortedScores(query, options, false)), expected);
            }
          }
        }
      }
    }
  }
}

TEST_F(EnginesTest, EveryKernelGivesTheSameScores) {
  const auto engines = Engines();
  const unsigned before = KvGetActiveScanKernel().id;
  const KvFingerPrint query = (*fps_)[42];
  KvFPDatabaseOptions options = Options(1, 25);
  const std::vector<double> reference = ReferenceScores(query, *fps_, options);
  const auto expectedSorted = ReferenceSorted(reference, options);
  for (unsigned id = 0; id < KvScanKernelId::Count; ++id) {
    if (!KvSetActiveScanKernel(id)) continue;
    SCOPED_TRACE(KvGetActiveScanKernel().name);
    for (const auto& engine : engines) {
      EXPECT_EQ(KvCollect(engine->GetRawScores(query, options)), reference);
      ExpectSameHits(KvCollect(engine->GetSortedScores(query, options)), expectedSorted);
    }
  }
  KvSetActiveScanKernel(before);
}

// The histogram a search of `scores` must produce.
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

TEST_F(EnginesTest, SortedSearchOnOneAndSeveralThreadsGivesTheSameHitsAndHistogram) {
  const auto engines = Engines();
  const KvFingerPrint query = (*fps_)[3];
  for (const unsigned measure : {1u, 5u, 6u}) {
    for (const unsigned limit : {10u, 0u}) {
      KvFPDatabaseOptions options = Options(measure, limit, measure != 6);
      const std::vector<double> reference = ReferenceScores(query, *fps_, options);
      const auto expected = ReferenceSorted(reference, options);
      const auto expectedCounts = Counts(ReferenceHistogram(reference, 40));
      for (const auto& engine : engines) {
        for (const unsigned threads : {1u, 2u, 4u}) {
          SCOPED_TRACE("measure " + std::to_string(measure) + " threads " + std::to_string(threads));
          options.SetNumProcessors(threads);
          KvSimSearchResult result(40, 0.0, 1.0);
          EXPECT_EQ(engine->SortedSearch(result, query, options), KvSimSearchStatus::Finished);
          EXPECT_EQ(result.GetSearchStatus(), KvSimSearchStatus::Finished);
          EXPECT_EQ(result.NumTargets(), fps_->size());
          EXPECT_EQ(result.NumSearched(), fps_->size());
          ExpectSameHits(KvCollect(result.GetSortedScores()), expected);
          EXPECT_EQ(Counts(result.GetHistogram()), expectedCounts);
        }
      }
    }
  }
}

// The batch calls against the brute-force reference: both memory types, one
// and two threads, every measure, limits and cutoffs; a batch of one query
// (split over the records) and a batch of all queries.
TEST_F(EnginesTest, BatchCallsAnswerEveryQueryAsTheBruteForceReference) {
  const std::vector<KvFingerPrint> queries = Queries();
  for (const unsigned memoryType : {1u, 2u}) {
    KvFastFPDatabase db(file_->str(), memoryType);
    for (const unsigned measure : kMeasures) {
      for (const auto& [limit, cutoff, descending] :
           {std::tuple{10u, -1.0f, true}, std::tuple{0u, 0.5f, true}, std::tuple{3u, 0.2f, false},
            std::tuple{1u, -1.0f, false}, std::tuple{0u, -1.0f, true}}) {
        KvFPDatabaseOptions options = Options(measure, limit, descending);
        if (cutoff >= 0.0f) options.SetCutoff(cutoff);
        for (const unsigned threads : {1u, 2u}) {
          SCOPED_TRACE("memory " + std::to_string(memoryType) + " measure " + std::to_string(measure) + " limit " +
                       std::to_string(limit) + " threads " + std::to_string(threads));
          options.SetNumProcessors(threads);
          const auto hits = db.GetSortedScoresMany(queries, options);
          const auto counts = db.NumHitsMany(queries, options);
          const auto histograms = db.GetHistogramMany(queries, options, 25);
          ASSERT_EQ(hits.size(), queries.size());
          ASSERT_EQ(counts.size(), queries.size());
          ASSERT_EQ(histograms.size(), queries.size());
          for (std::size_t q = 0; q < queries.size(); ++q) {
            const std::vector<double> reference = ReferenceScores(queries[q], *fps_, options);
            ExpectSameHits(hits[q], ReferenceSorted(reference, options));
            KvFPDatabaseOptions unlimited = options;
            unlimited.SetLimit(0);
            EXPECT_EQ(counts[q], ReferenceSorted(reference, unlimited).size());
            EXPECT_EQ(Counts(histograms[q]), Counts(ReferenceHistogram(reference, 25)));
            ExpectSameHits(db.GetSortedScoresMany({queries[q]}, options)[0], ReferenceSorted(reference, options));
          }
        }
      }
    }
  }
}

TEST_F(EnginesTest, BatchCallsCheckEveryQueryAndAnswerTheOthers) {
  KvFastFPDatabase db(file_->str(), KvFastFPDatabaseMemoryType::MemoryMapped);
  const KvFingerPrint other = FastDbTest::RandomFingerPrints(FastDbTest::PathType(256), 1, 1)[0];
  const std::vector<KvFingerPrint> queries = {(*fps_)[4], KvFingerPrint(), other, (*fps_)[4]};
  const KvFPDatabaseOptions options = Options(1, 5);
  VarnexTest::CaptureSink sink;
  const auto hits = db.GetSortedScoresMany(queries, options);
  EXPECT_EQ(sink.Texts(), (std::vector<std::string>{
                              "KvFastFPDatabase::GetSortedScoresMany() : invalid fingerprint type!",
                              "KvFastFPDatabase::GetSortedScoresMany() : fingerprint type mismatch!"}));
  ASSERT_EQ(hits.size(), 4u);
  EXPECT_TRUE(hits[1].empty());
  EXPECT_TRUE(hits[2].empty());
  ExpectSameHits(hits[0], ReferenceSorted(ReferenceScores((*fps_)[4], *fps_, options), options));
  ExpectSameHits(hits[3], hits[0]);
  sink.Clear();
  KvFPDatabaseOptions bad = options;
  static_assert(std::is_trivially_copyable_v<KvFPDatabaseOptions>);
  const unsigned zero = 0;
  std::memcpy(reinterpret_cast<char*>(&bad) + 8, &zero, sizeof zero);  // the measure field
  EXPECT_EQ(db.NumHitsMany(queries, bad), std::vector<std::uint64_t>(4, 0));
  const auto histograms = db.GetHistogramMany(queries, bad, 0);
  ASSERT_EQ(histograms.size(), 4u);
  EXPECT_EQ(histograms[0].NumBins(), 1u);
  EXPECT_EQ(sink.Texts(),
            (std::vector<std::string>{"KvFastFPDatabase::NumHitsMany() : unknown similarity measure type '0'!",
                                      "KvFastFPDatabase::GetHistogramMany() : unknown similarity measure type '0'!"}));
  EXPECT_TRUE(db.GetSortedScoresMany({}, options).empty());
}

TEST_F(EnginesTest, ASecondSearchReplacesTheHitsAndAddsToTheHistogram) {
  KvFastFPMemoryMapDatabaseImpl engine(file_->str());
  KvFPDatabaseOptions options = Options(1, 5);
  options.SetNumProcessors(2);
  KvSimSearchResult result;
  engine.SortedSearch(result, (*fps_)[1], options);
  engine.SortedSearch(result, (*fps_)[2], options);
  const auto expected = ReferenceSorted(ReferenceScores((*fps_)[2], *fps_, options), options);
  ExpectSameHits(KvCollect(result.GetSortedScores()), expected);
  EXPECT_EQ(result.GetHistogram().NumSamples(), 2 * fps_->size());
}

// ---- Small databases for the pair routines.
struct SmallDatabase {
  explicit SmallDatabase(std::vector<KvFingerPrint> fingerprints, std::uint64_t molIndexBase = 0)
      : fps(std::move(fingerprints)), file("small.fpbin") {
    FastDbTest::WriteDatabase(file.str(), fps.front().GetFPTypeBase(), fps, molIndexBase);
  }
  std::vector<KvFingerPrint> fps;
  FastDbTest::TempPath file;
};

TEST(EnginePairs, AllScoresHistogramAndVariogramMatchTheReference) {
  SmallDatabase db(FastDbTest::RandomFingerPrints(FastDbTest::PathType(256), 45, 5));
  const std::size_t n = db.fps.size();
  KvFastFPMemoryMapDatabaseImpl mapped(db.file.str());
  KvFastFPInMemoryDatabaseImpl loaded(db.file.str());
  std::vector<float> values;
  for (std::size_t i = 0; i < n; ++i) values.push_back(static_cast<float>(i % 7) * 0.5f);

  for (const unsigned measure : kMeasures) {
    SCOPED_TRACE("measure " + std::to_string(measure));
    const KvFPDatabaseOptions options = Options(measure);
    std::vector<float> matrix;
    KvFPHistogram histogram(30, 0.0, 1.0);
    KvFPVariogram variogram(30, 0.0, 1.0);
    for (std::size_t i = 0; i < n; ++i) {
      const auto row = ReferenceScores(db.fps[i], db.fps, options);
      for (std::size_t j = 0; j < n; ++j) {
        // Symmetric measures compute each pair once, with the earlier record as the query.
        const double s = (measure != 5 && j < i) ? ReferenceScore(db.fps[j], db.fps[i], measure, 0.7f, 0.2f) : row[j];
        matrix.push_back(static_cast<float>(s));
        if (measure == 5 || j > i) histogram.AddSample(s);
        if (j > i) variogram.AddSample(1.0f - static_cast<float>(s), values[i] - values[j]);
      }
    }
    for (KvFastFPDatabaseImplBase* engine : {static_cast<KvFastFPDatabaseImplBase*>(&mapped),
                                             static_cast<KvFastFPDatabaseImplBase*>(&loaded)}) {
      EXPECT_EQ(KvCollect(engine->GetAllScores(options)), matrix);
      KvFPHistogram gotHistogram;
      engine->GetHistogram(gotHistogram, options, 30);
      EXPECT_EQ(Counts(gotHistogram), Counts(histogram));
      EXPECT_EQ(gotHistogram.NumSamples(), measure == 5 ? n * n : n * (n - 1) / 2);
      if (measure == 5) continue;
      KvFPVariogram gotVariogram;
      engine->GetVariogram(gotVariogram, values, options, 30);
      EXPECT_EQ(Counts(gotVariogram), Counts(variogram));
      for (std::size_t b = 0; b < 30; ++b) EXPECT_EQ(gotVariogram.GetSum(b), variogram.GetSum(b));
    }
  }
}

TEST(EnginePairs, AllScoresOfThreeRecordsHaveOnesOnTheDiagonal) {
  SmallDatabase db(FastDbTest::RandomFingerPrints(FastDbTest::PathType(256), 3, 11));
  KvFastFPInMemoryDatabaseImpl engine(db.file.str());
  const auto matrix = KvCollect(engine.GetAllScores(Options(1)));
  ASSERT_EQ(matrix.size(), 9u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(matrix[4 * i], 1.0f);
}

TEST(EnginePairs, VariogramRefusesTooFewValues) {
  SmallDatabase db(FastDbTest::RandomFingerPrints(FastDbTest::PathType(256), 6, 12));
  KvFastFPMemoryMapDatabaseImpl engine(db.file.str());
  VarnexTest::CaptureSink sink;
  KvFPVariogram variogram;
  engine.GetVariogram(variogram, {1.0f, 2.0f}, Options(1), 10);
  EXPECT_EQ(sink.Texts(), std::vector<std::string>{"KvFastFPDatabase::GetVariogram() : fewer values (2) than "
                                                   "fingerprints (6)!"});
  EXPECT_EQ(variogram.NumBins(), 10u);
  EXPECT_EQ(variogram.NumSamples(), 0u);
}

// Neighbour lists as they are defined: the first k candidates, then a
// replacement of the first lowest by anything strictly higher; best first,
// equal scores by the larger molecule index; the cutoff inclusive.
std::vector<KvSimScorePair> ReferenceNeighbours(const std::vector<KvFingerPrint>& fps, const KvFPDatabaseOptions& o,
                                                std::size_t k, std::uint64_t base) {
  std::vector<KvSimScorePair> pairs;
  for (std::size_t i = 0; i < fps.size(); ++i) {
    std::vector<std::pair<float, std::size_t>> held;
    for (std::size_t j = 0; j < fps.size(); ++j) {
      const float s = static_cast<float>(ReferenceScore(fps[i], fps[j], o.GetSimFunc(), 0.7f, 0.2f));
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
    EXPECT_EQ(got[k].GetIdxA(), expected[k].GetIdxA()) << k;
    EXPECT_EQ(got[k].GetIdxB(), expected[k].GetIdxB()) << k;
    EXPECT_EQ(got[k].GetScore(), expected[k].GetScore()) << k;
  }
}

TEST(EnginePairs, SparseMatrixKeepsEachRowsNearestNeighbours) {
  // Molecule indices from 1000 on: results carry them, not positions.
  SmallDatabase db(FastDbTest::RandomFingerPrints(FastDbTest::PathType(256), 40, 21), 1000);
  KvFastFPMemoryMapDatabaseImpl mapped(db.file.str());
  KvFastFPInMemoryDatabaseImpl loaded(db.file.str());
  for (const unsigned measure : kMeasures) {
    for (const unsigned k : {1u, 3u, 40u}) {
      for (const bool cutoff : {false, true}) {
        SCOPED_TRACE("measure " + std::to_string(measure) + " k " + std::to_string(k));
        KvFPDatabaseOptions options = Options(measure, k);
        if (cutoff) options.SetCutoff(0.4f);
        const auto expected = ReferenceNeighbours(db.fps, options, k, 1000);
        ExpectSamePairs(KvCollect(mapped.GetSparseMatrix(options)), expected);
        ExpectSamePairs(KvCollect(loaded.GetSparseMatrix(options)), expected);
      }
    }
  }
}

// Several blocks of records, duplicates and empty records, so that lists
// meet equal scores at their limit and the pruned tiles have work to skip.
TEST_F(EnginesTest, SparseMatrixOfManyBlocksKeepsEachListAsDefinedOnAnyThreadCount) {
  for (const unsigned measure : kMeasures) {
    for (const unsigned k : {1u, 7u}) {
      KvFPDatabaseOptions options = Options(measure, k);
      if (k == 7) options.SetCutoff(0.3f);
      const auto expected = ReferenceNeighbours(*fps_, options, k, 0);
      for (const auto& engine : Engines()) {
        for (const unsigned threads : {1u, 2u}) {
          SCOPED_TRACE("measure " + std::to_string(measure) + " k " + std::to_string(k) + " threads " +
                       std::to_string(threads));
          options.SetNumProcessors(threads);
          ExpectSamePairs(KvCollect(engine->GetSparseMatrix(options)), expected);
        }
      }
    }
  }
}

// The threshold form against the neighbour lists with limit 0, which keep
// every record: the same rows, row by row, on any thread count.
TEST_F(EnginesTest, ThresholdMatrixEqualsTheSparseMatrixWithoutLimit) {
  for (const unsigned measure : kMeasures) {
    for (const float cutoff : {0.75f, 0.3f}) {
      KvFPDatabaseOptions options = Options(measure, 0);
      options.SetCutoff(cutoff);
      const auto engines = Engines();
      std::vector<KvSimScorePair> expected;
      {
        VarnexTest::CaptureSink quiet;  // limit 0 warns
        expected = KvCollect(engines[0]->GetSparseMatrix(options));
      }
      if (measure == 1) {
        ASSERT_FALSE(expected.empty());
      }
      for (const auto& engine : engines) {
        for (const unsigned threads : {1u, 2u}) {
          SCOPED_TRACE("measure " + std::to_string(measure) + " cutoff " + std::to_string(cutoff) + " threads " +
                       std::to_string(threads));
          options.SetNumProcessors(threads);
          VarnexTest::CaptureSink sink;
          ExpectSamePairs(KvCollect(engine->GetThresholdMatrix(options)), expected);
          EXPECT_EQ(sink.Count(), 0u);
        }
      }
    }
  }
}

TEST(EnginePairs, SparseMatrixLimitsAndTheirWarnings) {
  // Distinct, non-empty fingerprints: each record is its own nearest neighbour.
  auto fps = FastDbTest::RandomFingerPrints(FastDbTest::PathType(256), 5, 31);
  fps[3].SetBitOn(1);  // the generator leaves record 3 empty
  SmallDatabase db(fps);
  KvFastFPInMemoryDatabaseImpl engine(db.file.str());
  const auto self = KvCollect(engine.GetSparseMatrix(Options(1, 1)));
  ASSERT_EQ(self.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(self[i].GetIdxA(), i);
    EXPECT_EQ(self[i].GetIdxB(), i);
    EXPECT_EQ(self[i].GetScore(), 1.0);
  }

  VarnexTest::CaptureSink sink;
  EXPECT_TRUE(KvCollect(engine.GetSparseMatrix(Options(1, 6))).empty());
  EXPECT_EQ(sink.Texts(), std::vector<std::string>{"KvFastFPDatabase::GetSparseMatrix() set to retrieve more nearest "
                                                   "neighbors (6) than there are fingerprints (5)!"});
  sink.Clear();
  EXPECT_EQ(KvCollect(engine.GetSparseMatrix(Options(1, 0))).size(), 25u);
  EXPECT_EQ(sink.Texts(),
            (std::vector<std::string>{"KvFastFPDatabase::GetSparseMatrix() : set to retrieve all nxn scores!",
                                      "KvFastFPDatabase::GetSparseMatrix() : no cutoff specified, all results will be "
                                      "returned!"}));
  sink.Clear();
  KvFPDatabaseOptions cut = Options(1, 0);
  cut.SetCutoff(0.99f);
  EXPECT_EQ(KvCollect(engine.GetSparseMatrix(cut)).size(), 5u);
  EXPECT_EQ(sink.Count(), 1u);
}

TEST(EnginePairs, TwoEmptyFingerPrintsScoreZeroWithTanimotoAndCosine) {
  KvFingerPrint empty;
  empty.SetSize(256);
  empty.SetFPTypeBase(FastDbTest::PathType(256));
  SmallDatabase db({empty, empty});
  KvFastFPMemoryMapDatabaseImpl engine(db.file.str());
  for (const unsigned measure : {1u, 2u}) {
    const KvFPDatabaseOptions options = Options(measure);
    EXPECT_EQ(KvCollect(engine.GetRawScores(empty, options)), (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(KvCollect(engine.GetAllScores(options)), (std::vector<float>{0, 0, 0, 0}));
    const auto scores = KvCollect(engine.GetScores(empty, options));
    ASSERT_EQ(scores.size(), 2u);
    EXPECT_EQ(scores[1].GetScore(), 0.0);
    EXPECT_TRUE(KvCollect(engine.GetSortedScores(empty, options)).empty());  // 0.0 never beats the threshold
  }
}

TEST(EnginePairs, CutoffOfExactlyHalfIsKeptInBothOrders) {
  const KvFPTypeBase* type = FastDbTest::PathType(256);
  KvFingerPrint one, two;
  one.SetSize(256);
  one.SetFPTypeBase(type);
  two = one;
  one.SetBitOn(0);
  two.SetBitOn(0);
  two.SetBitOn(1);
  SmallDatabase db({one});
  KvFastFPInMemoryDatabaseImpl engine(db.file.str());
  for (const bool descending : {true, false}) {
    KvFPDatabaseOptions options = Options(1, 10, descending);
    options.SetCutoff(0.5f);
    const auto scores = KvCollect(engine.GetScores(two, options));
    ASSERT_EQ(scores.size(), 1u);
    EXPECT_EQ(scores[0].GetScore(), 0.5);
    EXPECT_TRUE(KvCollect(engine.GetSortedScores(two, options)).empty());  // sorted searches are strict
  }
}

// ---- Damaged files.
TEST(EngineFiles, ACountAboveTheSizeMakesBothEnginesInvalid) {
  auto fps = FastDbTest::RandomFingerPrints(FastDbTest::PathType(256), 8, 3);
  FastDbTest::TempPath file("bad_count.fpbin");
  FastDbTest::WriteDatabase(file.str(), fps.front().GetFPTypeBase(), fps);
  {
    std::fstream f(file.str(), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(800 + 5 * 6 * 8 + 8);
    const char count[8] = {1, 1, 0, 0, 0, 0, 0, 0};  // 257 bits in a 256-bit fingerprint
    f.write(count, 8);
  }
  VarnexTest::CaptureSink sink;
  EXPECT_FALSE(KvFastFPInMemoryDatabaseImpl(file.str()).IsValid());
  EXPECT_FALSE(KvFastFPMemoryMapDatabaseImpl(file.str()).IsValid());
  EXPECT_EQ(sink.Texts(), (std::vector<std::string>{
                              "KvFastFPDatabase::KvFastFPDatabase() : invalid data in 5-th fingerprint",
                              "KvFastFPDatabase::KvFastFPDatabase() : invalid data in 5-th fingerprint"}));
}

TEST(EngineFiles, ATruncatedFileIsRefusedBeforeAnyRecordIsRead) {
  auto fps = FastDbTest::RandomFingerPrints(FastDbTest::PathType(256), 8, 3);
  FastDbTest::TempPath file("short.fpbin");
  FastDbTest::WriteDatabase(file.str(), fps.front().GetFPTypeBase(), fps);
  std::filesystem::resize_file(file.str(), 800 + 7 * 48 + 20);
  VarnexTest::CaptureSink sink;
  KvFastFPInMemoryDatabaseImpl loaded(file.str());
  KvFastFPMemoryMapDatabaseImpl mapped(file.str());
  EXPECT_FALSE(loaded.IsValid());
  EXPECT_FALSE(mapped.IsValid());
  ASSERT_EQ(sink.Count(), 3u);  // the size warning twice, then the in-memory engine's own
  EXPECT_EQ(sink.Texts()[1], "KvFastFPDatabase::KvFastFPDatabase() cannot initialize object for in memory search!");
}

TEST(EngineFiles, AMissingFileGivesTheOpeningWarnings) {
  VarnexTest::CaptureSink sink;
  KvFastFPInMemoryDatabaseImpl engine("/nonexistent/x.fpbin");
  EXPECT_FALSE(engine.IsValid());
  EXPECT_TRUE(sink.Contains("KvFastFPDatabase::KvFastFPDatabase() : cannot initialize object!"));
  EXPECT_TRUE(sink.Contains("KvFastFPDatabase::KvFastFPDatabase() cannot initialize object for in memory search!"));
}

}  // namespace
