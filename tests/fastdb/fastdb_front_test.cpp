// KvFastFPDatabase: memory types, every validation message in its order and
// the three query forms.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "fastdb_test_db.h"
#include "kvchem/mol.h"
#include "kvsystem/iterator.h"
#include "varnex/fastdb.h"
#include "varnex/generation.h"

namespace {

using namespace Varnex;
using KvSystem::KvCollect;
using Texts = std::vector<std::string>;

// Options whose measure is `measure` even when it is not a valid one (the
// setters refuse those; the database must still cope).
KvFPDatabaseOptions OptionsWithMeasure(unsigned measure) {
  KvFPDatabaseOptions options(10, 1);
  static_assert(std::is_trivially_copyable_v<KvFPDatabaseOptions>);
  std::memcpy(reinterpret_cast<char*>(&options) + 8, &measure, sizeof measure);  // the measure field
  return options;
}

// Twenty records of the default path type; record 12 is the fingerprint of
// a real molecule, so that the molecule form of a query has its match.
class FrontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    type_ = KvGetFPType(KvFPType::Path, false, 0);
    fps_ = FastDbTest::RandomFingerPrints(type_, 20, 8);
    ASSERT_TRUE(KvChem::KvSmilesToMol("c1ccccc1C(=O)Nc1ccc(Cl)cc1", mol_));
    ASSERT_TRUE(KvMakeFP(fps_[12], mol_, type_));
    FastDbTest::WriteDatabase(file_, type_, fps_);
  }
  const KvFPTypeBase* type_ = nullptr;
  std::vector<KvFingerPrint> fps_;
  KvChem::KvMol mol_;
  // A fingerprint of another type.
  const KvFingerPrint other_ = FastDbTest::RandomFingerPrints(FastDbTest::PathType(512), 1, 1)[0];
  VarnexTest::TempDir dir_;
  const std::string file_ = dir_.Path("front.fpbin");
};

TEST_F(FrontTest, AnInvalidDatabaseWarnsOnEveryCallAndReturnsNeutralValues) {
  VarnexTest::CaptureSink sink;
  KvFastFPDatabase db("/nonexistent/missing.fpbin", KvFastFPDatabaseMemoryType::MemoryMapped);
  sink.Clear();
  EXPECT_FALSE(db.IsValid());
  EXPECT_EQ(sink.Count(), 0u);

  EXPECT_EQ(db.NumFingerPrints(), 0u);
  EXPECT_EQ(db.GetFPTypeBase(), nullptr);
  EXPECT_EQ(db.GetMemoryType(), 0u);
  EXPECT_EQ(db.GetMemoryTypeString(), "");
  EXPECT_EQ(db.GetMoleculeIndex(0), std::numeric_limits<std::size_t>::max());
  EXPECT_TRUE(KvCollect(db.GetScores(fps_[0], KvFPDatabaseOptions())).empty());
  const KvFPHistogram histogram = db.GetHistogram(KvFPDatabaseOptions(), 12);
  EXPECT_EQ(histogram.NumBins(), 12u);
  EXPECT_EQ(histogram.NumSamples(), 0u);
  KvSimSearchResult result;
  EXPECT_EQ(db.SortedSearch(result, KvChem::KvMol(), KvFPDatabaseOptions()), KvSimSearchStatus::Uninitialized);
  EXPECT_EQ(db.GetSortedScoresMany({fps_[0], fps_[1]}, KvFPDatabaseOptions()).size(), 2u);
  Texts expected;
  for (const char* call : {"NumFingerPrints", "GetFPTypeBase", "GetMemoryType", "GetMemoryTypeString",
                           "GetMolculeIndex", "GetScores", "GetHistogram", "Search", "GetSortedScoresMany"})
    expected.push_back(std::string("KvFastFPDatabase::") + call + "() : invalid KvFastFPDatabase object!");
  EXPECT_EQ(sink.Texts(), expected);
}

TEST_F(FrontTest, QueryChecksInOrder) {
  KvFastFPDatabase db(file_, KvFastFPDatabaseMemoryType::InMemory);
  VarnexTest::CaptureSink sink;
  KvFingerPrint fp;
  EXPECT_FALSE(db.GetFingerPrint(fp, 20));
  EXPECT_TRUE(KvCollect(db.GetSortedScores(other_, KvFPDatabaseOptions())).empty());
  // The fingerprint is checked before the options, the options before the engine.
  EXPECT_TRUE(KvCollect(db.GetRawScores(other_, OptionsWithMeasure(0))).empty());
  EXPECT_TRUE(KvCollect(db.GetRawScores(fps_[0], OptionsWithMeasure(0))).empty());
  EXPECT_TRUE(KvCollect(db.GetScores(std::size_t{20}, OptionsWithMeasure(0))).empty());
  EXPECT_TRUE(KvCollect(db.GetAllScores(OptionsWithMeasure(7))).empty());
  KvChem::KvMol bad;
  bad.SetInvalid();
  EXPECT_TRUE(KvCollect(db.GetSortedScores(bad, OptionsWithMeasure(0))).empty());
  EXPECT_EQ(sink.Texts(), (Texts{"KvFastFPDatabase::GetFingerPrint() : fingerprint index out of range!",
                                 "KvFastFPDatabase::GetSortedScores() : fingerprint type mismatch!",
                                 "KvFastFPDatabase::GetRawScores() : fingerprint type mismatch!",
                                 "KvFastFPDatabase::GetRawScores() : unknown similarity measure type '0'!",
                                 "KvFastFPDatabase::GetScores() : fingerprint index out of range!",
                                 "KvFastFPDatabase::GetAllScores() : unknown similarity measure type '7'!",
                                 "KvFastFPDatabase::GetSortedScores() : empty molecule!"}));
  sink.Clear();
  EXPECT_EQ(db.GetHistogram(OptionsWithMeasure(9), 5).NumBins(), 5u);
  const KvFPVariogram variogram = db.GetVariogram(std::vector<float>(20, 1.0f), KvFPDatabaseOptions(10, 5), 7);
  EXPECT_EQ(variogram.NumBins(), 7u);
  EXPECT_EQ(variogram.NumSamples(), 0u);
  KvSimSearchResult result;
  EXPECT_EQ(db.SortedSearch(result, KvFingerPrint(), KvFPDatabaseOptions()), KvSimSearchStatus::Uninitialized);
  EXPECT_EQ(sink.Texts(), (Texts{"KvFastFPDatabase::GetHistogram() : unknown similarity measure type '9'!",
                                 "KvFastFPDatabase::GetVariogram() : Tversky similarity is not supported!",
                                 "KvFastFPDatabase::SortedSearch() : invalid fingerprint type!"}));
}

// A batch checks the database and the measure once, then each query: the
// failing ones get empty results and the others their answers.
TEST_F(FrontTest, BatchCallsCheckEveryQueryAndAnswerTheOthers) {
  KvFastFPDatabase db(file_, KvFastFPDatabaseMemoryType::MemoryMapped);
  const std::vector<KvFingerPrint> queries = {fps_[4], KvFingerPrint(), other_, fps_[4]};
  KvFPDatabaseOptions options(5, KvSimMeasure::Tanimoto);
  options.SetNumProcessors(2);
  VarnexTest::CaptureSink sink;
  const auto hits = db.GetSortedScoresMany(queries, options);
  EXPECT_EQ(sink.Texts(), (Texts{"KvFastFPDatabase::GetSortedScoresMany() : invalid fingerprint type!",
                                 "KvFastFPDatabase::GetSortedScoresMany() : fingerprint type mismatch!"}));
  ASSERT_EQ(hits.size(), 4u);
  EXPECT_TRUE(hits[1].empty());
  EXPECT_TRUE(hits[2].empty());
  const auto single = FastDbTest::ScoresOf(KvCollect(db.GetSortedScores(fps_[4], options)));
  EXPECT_EQ(FastDbTest::ScoresOf(hits[0]), single);
  EXPECT_EQ(FastDbTest::ScoresOf(hits[3]), single);

  sink.Clear();
  EXPECT_EQ(db.NumHitsMany(queries, OptionsWithMeasure(0)), std::vector<std::uint64_t>(4, 0));
  const auto histograms = db.GetHistogramMany(queries, OptionsWithMeasure(7), 0);
  ASSERT_EQ(histograms.size(), 4u);
  EXPECT_EQ(histograms[0].NumBins(), 1u);
  EXPECT_EQ(histograms[0].NumSamples(), 0u);
  EXPECT_TRUE(KvCollect(db.GetThresholdMatrix(OptionsWithMeasure(9))).empty());
  EXPECT_EQ(sink.Texts(), (Texts{"KvFastFPDatabase::NumHitsMany() : unknown similarity measure type '0'!",
                                 "KvFastFPDatabase::GetHistogramMany() : unknown similarity measure type '7'!",
                                 "KvFastFPDatabase::GetThresholdMatrix() : unknown similarity measure type '9'!"}));
  EXPECT_TRUE(db.GetSortedScoresMany({}, options).empty());
}

// Records read back in every memory type (CUDA and unknown ones fall back to
// a memory-mapped database; their warnings are walked by the message table);
// records of other molecule indices are refused as queries.
TEST_F(FrontTest, RecordsReadBackInEveryMemoryTypeAndOtherMoleculeIndicesAreRefused) {
  {
    VarnexTest::CaptureSink sink;
    for (const auto& [memoryType, name] : {std::pair{KvFastFPDatabaseMemoryType::MemoryMapped, "memory-mapped"},
                                           {KvFastFPDatabaseMemoryType::InMemory, "in-memory"},
                                           {KvFastFPDatabaseMemoryType::CUDA, "memory-mapped"},
                                           {7u, "memory-mapped"}}) {
      KvFastFPDatabase db(file_, memoryType);
      EXPECT_EQ(db.GetMemoryTypeString(), name) << memoryType;
      for (std::size_t i = 0; i < fps_.size(); ++i) {
        KvFingerPrint fp;
        ASSERT_TRUE(db.GetFingerPrint(fp, i));
        EXPECT_EQ(fp.GetFPTypeBase(), type_);
        EXPECT_TRUE(fp == fps_[i]) << i;
        EXPECT_EQ(db.GetMoleculeIndex(i), i);
      }
    }
    EXPECT_EQ(sink.Count(), 2u);
  }
  const std::string shifted = dir_.Path("shifted.fpbin");
  FastDbTest::WriteDatabase(shifted, type_, fps_, 500);
  KvFastFPDatabase db(shifted, KvFastFPDatabaseMemoryType::MemoryMapped);
  EXPECT_EQ(db.GetMoleculeIndex(3), 503u);  // hits carry such indices: OracleTest
  VarnexTest::CaptureSink sink;
  KvFingerPrint fp;
  EXPECT_FALSE(db.GetFingerPrint(fp, 3));
  EXPECT_TRUE(KvCollect(db.GetRawScores(std::size_t{3}, KvFPDatabaseOptions())).empty());
  EXPECT_EQ(sink.Texts(), (Texts{"KvFastFPDatabase::GetFingerPrint() : fingerprint and molecule index inconsistency!",
                                 "KvFastFPDatabase::GetFingerPrint() : fingerprint and molecule index inconsistency!",
                                 "KvFastFPDatabase::GetRawScores() : cannot generate fingerprint!"}));
}

TEST_F(FrontTest, TheThreeQueryFormsAgree) {
  KvFastFPDatabase db(file_, KvFastFPDatabaseMemoryType::MemoryMapped);
  const KvFPDatabaseOptions options(5, KvSimMeasure::Dice);
  const auto byFp = KvCollect(db.GetRawScores(fps_[12], options));
  EXPECT_EQ(KvCollect(db.GetRawScores(mol_, options)), byFp);
  EXPECT_EQ(KvCollect(db.GetRawScores(std::size_t{12}, options)), byFp);
  EXPECT_EQ(byFp[12], 1.0);
  const auto sorted = FastDbTest::ScoresOf(KvCollect(db.GetSortedScores(fps_[12], options)));
  EXPECT_EQ(FastDbTest::ScoresOf(KvCollect(db.GetSortedScores(mol_, options))), sorted);
  EXPECT_EQ(FastDbTest::ScoresOf(KvCollect(db.GetSortedScores(std::size_t{12}, options))), sorted);
  EXPECT_EQ(KvCollect(db.GetScores(mol_, options)).size(), 20u);
  KvSimSearchResult result;
  EXPECT_EQ(db.SortedSearch(result, mol_, options), KvSimSearchStatus::Finished);
  EXPECT_EQ(FastDbTest::ScoresOf(KvCollect(result.GetSortedScores())), sorted);
}

}  // namespace
