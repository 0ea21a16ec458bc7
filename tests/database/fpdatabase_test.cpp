// The in-memory database: construction, adding, both scans with their cutoff
// rules, measure replacement and the Lingo and unhashed implementations.

#include "varnex/fpdatabase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture_sink.h"
#include "fp_texts.h"
#include "molecules.h"
#include "kvchem/mol.h"
#include "varnex/generation.h"
#include "varnex/lingofp.h"
#include "varnex/similarity.h"

using KvSystem::KvCollect;
using Varnex::KvFingerPrint;
using Varnex::KvFPDatabase;
using Varnex::KvFPDatabaseOptions;
using Varnex::KvSimScore;
namespace FPType = Varnex::KvFPType;
using VarnexTest::UnhashedText;

namespace {

const Varnex::KvFPTypeBase* PathType() { return Varnex::KvGetFPType(FPType::Path); }

// A default path fingerprint with bits [first, first + count) on.
KvFingerPrint PathFP(unsigned first, unsigned count) {
  KvFingerPrint fp;
  fp.SetSize(4096);
  for (unsigned i = first; i < first + count; ++i) fp.SetBitOn(i);
  fp.SetFPTypeBase(PathType());
  return fp;
}

// The query of the worked examples: bits 0-9, so an entry with bits 0-(k-1)
// scores k / 10 under Tanimoto.
KvFingerPrint Query() { return PathFP(0, 10); }

// A database whose Tanimoto scores against Query() are tenths[i] / 10.
void Fill(KvFPDatabase& db, const std::vector<unsigned>& tenths) {
  for (unsigned t : tenths) ASSERT_NE(db.AddFP(t == 0 ? PathFP(100, 10) : PathFP(0, t)), 0xFFFFFFFFu);
}

std::vector<std::pair<std::size_t, float>> Pairs(KvSystem::KvIterBase<KvSimScore>* iter) {
  std::vector<std::pair<std::size_t, float>> out;
  for (const KvSimScore& s : KvCollect(iter)) out.emplace_back(s.GetIdx(), static_cast<float>(s.GetScore()));
  return out;
}

using P = std::vector<std::pair<std::size_t, float>>;

TEST(FPDatabase, UnknownKindFailsQuietlyAfterConstruction) {
  VarnexTest::CaptureSink sink;
  KvFPDatabase db(42u);
  ASSERT_EQ(sink.Messages().size(), 1u);
  EXPECT_EQ(sink.Messages()[0].level, KvSystem::KvErrorLevel::Error);
  KvFPDatabase null(static_cast<const Varnex::KvFPTypeBase*>(nullptr));
  EXPECT_EQ(sink.Count(), 2u);

  sink.Clear();
  EXPECT_EQ(db.AddFP(Query()), 0xFFFFFFFFu);
  EXPECT_EQ(db.NumFingerPrints(), 0u);
  EXPECT_EQ(db.GetFPTypeBase(), nullptr);
  db.SetSimFunc(3, false);
  db.SetCutoff(0.5f);
  EXPECT_TRUE(KvCollect(db.GetScores(Query())).empty() && KvCollect(db.GetFingerPrints()).empty());
  EXPECT_TRUE(KvCollect(db.GetSortedScores(Query(), KvFPDatabaseOptions())).empty());
  EXPECT_EQ(sink.Count(), 0u);
}

TEST(FPDatabase, AddFPAndQueriesCheckTypeIdentity) {
  KvFPDatabase db(FPType::Path);
  EXPECT_EQ(db.AddFP(Query()), 0u);
  EXPECT_EQ(db.AddFP(PathFP(3, 3)), 1u);
  // Another path type (other size) and an untyped fingerprint are refused.
  KvFingerPrint other = PathFP(0, 3);
  other.SetFPTypeBase(Varnex::KvGetPathFPType(2048, 0, 5, 191, 3));
  EXPECT_EQ(db.AddFP(other), 0xFFFFFFFFu);
  {
    // Nor are they searched for (the forms without options: the message table).
    VarnexTest::CaptureSink sink;
    EXPECT_TRUE(KvCollect(db.GetScores(other, KvFPDatabaseOptions())).empty());
    EXPECT_TRUE(KvCollect(db.GetSortedScores(other, KvFPDatabaseOptions())).empty());
    EXPECT_EQ(sink.Count(), 2u);
  }
  other.SetFPTypeBase(nullptr);
  EXPECT_EQ(db.AddFP(other), 0xFFFFFFFFu);
  EXPECT_EQ(db.NumFingerPrints(), 2u);

  // The database keeps copies.
  KvFingerPrint changing = PathFP(0, 2);
  db.AddFP(changing);
  changing.SetBitOn(4000);
  const auto stored = KvCollect(db.GetFingerPrints());
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[2], PathFP(0, 2));
  EXPECT_EQ(stored[0], Query());
}

TEST(FPDatabase, WorkedExamplesOfBothScans) {
  KvFPDatabase db(FPType::Path);
  Fill(db, {8, 0, 5});
  // Descending without cutoff: the sorted search drops the 0.0, the scan does not.
  EXPECT_EQ(Pairs(db.GetSortedScores(Query())), (P{{0, 0.8f}, {2, 0.5f}}));
  EXPECT_EQ(Pairs(db.GetScores(Query())), (P{{0, 0.8f}, {1, 0.0f}, {2, 0.5f}}));

  // Cutoff 0.5: inclusive in the scan, strict in the sorted search.
  db.SetCutoff(0.5f);
  EXPECT_EQ(Pairs(db.GetScores(Query())), (P{{0, 0.8f}, {2, 0.5f}}));
  EXPECT_EQ(Pairs(db.GetSortedScores(Query())), (P{{0, 0.8f}}));
  // Ascending: <= 0.5 in the scan, < 0.5 in the sorted search.
  db.SetDescendingOrder(false);
  EXPECT_EQ(Pairs(db.GetScores(Query())), (P{{1, 0.0f}, {2, 0.5f}}));
  EXPECT_EQ(Pairs(db.GetSortedScores(Query())), (P{{1, 0.0f}}));
  db.ClearCutoff();
  EXPECT_EQ(Pairs(db.GetSortedScores(Query())), (P{{1, 0.0f}, {2, 0.5f}, {0, 0.8f}}));

  KvFPDatabase four(FPType::Path);
  Fill(four, {9, 1, 7, 8});
  EXPECT_EQ(Pairs(four.GetSortedScores(Query(), 2)), (P{{0, 0.9f}, {3, 0.8f}}));
  EXPECT_EQ(Pairs(four.GetSortedScores(Query(), 0)), (P{{0, 0.9f}, {3, 0.8f}, {2, 0.7f}, {1, 0.1f}}));
  // Ranges: end 0 means the end; begin past the end gives nothing.
  EXPECT_EQ(Pairs(four.GetScores(Query(), 2, 0)), (P{{2, 0.7f}, {3, 0.8f}}));
  EXPECT_EQ(Pairs(four.GetScores(Query(), 1, 2)), (P{{1, 0.1f}}));
  EXPECT_EQ(Pairs(four.GetScores(Query(), 1, 99)).size(), 3u);
  EXPECT_TRUE(Pairs(four.GetScores(Query(), 4, 0)).empty());
  EXPECT_TRUE(Pairs(four.GetScores(Query(), 7, 3)).empty());
  EXPECT_EQ(Pairs(four.GetSortedScores(Query(), 1, 1, 3)), (P{{2, 0.7f}}));
}

TEST(FPDatabase, OptionsFormsAndReplacedMeasures) {
  KvFPDatabase db(FPType::Path);
  Fill(db, {9, 1, 7, 8});
  db.SetCutoff(0.95f);  // the database's own settings do not apply
  db.SetDescendingOrder(false);

  KvFPDatabaseOptions options(2, Varnex::KvSimMeasure::Tanimoto);
  EXPECT_EQ(Pairs(db.GetSortedScores(Query(), options)), (P{{0, 0.9f}, {3, 0.8f}}));
  EXPECT_EQ(Pairs(db.GetScores(Query(), options)).size(), 4u);  // the limit is not used
  options.SetLimit(0);
  options.SetCutoff(0.7f);
  EXPECT_EQ(Pairs(db.GetSortedScores(Query(), options)), (P{{0, 0.9f}, {3, 0.8f}}));
  EXPECT_EQ(Pairs(db.GetScores(Query(), options)), (P{{0, 0.9f}, {2, 0.7f}, {3, 0.8f}}));

  // Dice from the options: 2c / (2c + a + b) with a = 10 - k.
  options.ClearCutoff();
  options.SetSimFunc(Varnex::KvSimMeasure::Dice);
  const auto dice = Pairs(db.GetSortedScores(Query(), options));
  ASSERT_EQ(dice.size(), 4u);
  EXPECT_EQ(dice[0].second, 18.0f / 19.0f);
  // Tversky with the options' coefficients.
  options.SetSimFunc(Varnex::KvSimMeasure::Tversky);
  options.SetTverskyCoeffs(0.2f, 0.8f);
  const auto stored = KvCollect(db.GetFingerPrints());
  const auto tversky = Pairs(db.GetScores(Query(), options));
  ASSERT_EQ(tversky.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(tversky[i].second, Varnex::KvTversky(Query(), stored[i], 0.2f, 0.8f));

  // The database's own measure replaced; a code sets the order too.
  db.ClearCutoff();
  db.SetDescendingOrder(true);
  db.SetSimFunc(Varnex::KvSimMeasure::Tversky, false);
  EXPECT_FALSE(db.GetDescendingOrder());
  auto scores = Pairs(db.GetScores(Query()));
  for (std::size_t i = 0; i < 4; ++i)
    EXPECT_EQ(scores[i].second, Varnex::KvTversky(Query(), stored[i], 0.95f, 1.0f - 0.95f));
  // Ascending sorted search, worst first.
  EXPECT_EQ(Pairs(db.GetSortedScores(Query(), 1)).front().first, 1u);

  db.SetSimFunc(Varnex::KvTverskySim(0.3f, 0.6f), true);
  scores = Pairs(db.GetScores(Query()));
  EXPECT_EQ(scores[2].second, Varnex::KvTversky(Query(), stored[2], 0.3f, 0.6f));

  VarnexTest::CaptureSink sink;
  db.SetSimFunc(9, true);
  EXPECT_EQ(sink.Count(), 1u);
  EXPECT_EQ(Pairs(db.GetScores(Query()))[2].second, 0.7f);  // Tanimoto again

  db.SetSimFunc(Varnex::KvSimMeasure::Manhattan, false);
  EXPECT_EQ(Pairs(db.GetSortedScores(Query(), 1)), (P{{0, 1.0f / 4096.0f}}));
}

TEST(FPDatabase, MoleculeForms) {
  KvFPDatabase db(FPType::Path);
  for (const char* s : {"c1ccccc1O", "CCO", "c1ccccc1N", "CC(=O)O"})
    EXPECT_NE(db.AddFP(VarnexTest::Mol(s)), 0xFFFFFFFFu);
  const KvChem::KvMol phenol = VarnexTest::Mol("Oc1ccccc1");
  EXPECT_EQ(Pairs(db.GetSortedScores(phenol, 1)), (P{{0, 1.0f}}));
  KvFingerPrint fp;
  ASSERT_TRUE(Varnex::KvMakeFP(fp, phenol, db.GetFPTypeBase()));
  EXPECT_EQ(Pairs(db.GetScores(phenol)), Pairs(db.GetScores(fp)));
  EXPECT_EQ(Pairs(db.GetSortedScores(phenol, KvFPDatabaseOptions())),
            Pairs(db.GetSortedScores(fp, KvFPDatabaseOptions())));

  // A molecule whose parse failed makes no fingerprint.
  VarnexTest::CaptureSink sink;
  KvChem::KvMol bad;
  KvChem::KvSmilesToMol("C1CC(", bad);
  EXPECT_EQ(db.AddFP(bad), 0xFFFFFFFFu);
  EXPECT_TRUE(KvCollect(db.GetScores(bad)).empty());
  EXPECT_TRUE(KvCollect(db.GetSortedScores(bad, KvFPDatabaseOptions())).empty());
  EXPECT_EQ(db.NumFingerPrints(), 4u);
}

// ---- Lingo

KvFingerPrint LingoFP(const std::string& smiles) {
  const KvChem::KvMol mol = VarnexTest::Mol(smiles);
  KvFingerPrint fp;
  EXPECT_TRUE(Varnex::KvMakeLingoFP(fp, mol));
  return fp;
}

TEST(FPDatabaseLingo, ScoresMatchTheFreeMeasuresAndForeignQueriesGiveNothing) {
  KvFPDatabase db(FPType::Lingo);
  std::vector<KvFingerPrint> fps;
  for (const char* s : {"CCCCCCO", "c1ccccc1CCN", "CC(=O)Oc1ccccc1C(=O)O", "CCCCCCN"}) {
    fps.push_back(LingoFP(s));
    EXPECT_EQ(db.AddFP(fps.back()), fps.size() - 1);
  }
  const KvFingerPrint query = LingoFP("CCCCCCCO");
  auto scores = Pairs(db.GetScores(query));
  ASSERT_EQ(scores.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(scores[i].second, Varnex::KvTanimoto(query, fps[i])) << i;

  db.SetSimFunc(Varnex::KvSimMeasure::Dice, true);
  scores = Pairs(db.GetScores(query));
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(scores[i].second, Varnex::KvDice(query, fps[i])) << i;
  EXPECT_EQ(Pairs(db.GetSortedScores(query, 1)), (P{{0, scores[0].second}}));

  // The options form keeps the database's measure (Dice) but takes the cutoff.
  KvFPDatabaseOptions options;
  options.SetCutoff(scores[0].second);
  EXPECT_EQ(Pairs(db.GetScores(query, options)), (P{{0, scores[0].second}}));
  EXPECT_TRUE(Pairs(db.GetSortedScores(query, options)).empty());

  VarnexTest::CaptureSink sink;
  db.SetSimFunc(Varnex::KvDiceSim(), true);
  EXPECT_EQ(sink.Count(), 1u);
  scores = Pairs(db.GetScores(query));
  EXPECT_EQ(scores[1].second, Varnex::KvTanimoto(query, fps[1]));

  // A Tversky object gives Lingo Tversky with the default coefficients, not its own.
  sink.Clear();
  db.SetSimFunc(Varnex::KvTverskySim(0.1f, 0.9f), true);
  scores = Pairs(db.GetScores(query));
  EXPECT_EQ(scores[2].second, Varnex::KvTversky(query, fps[2], 0.95f, 1.0f - 0.95f));
  EXPECT_EQ(sink.Count(), 0u);

  // A foreign query, and a text shorter than four characters (no comparer), give nothing.
  const KvFingerPrint path = PathFP(0, 3), shortText = LingoFP("CO");
  for (const KvFingerPrint* bad : {&path, &shortText}) {
    EXPECT_TRUE(KvCollect(db.GetScores(*bad)).empty());
    EXPECT_TRUE(KvCollect(db.GetSortedScores(*bad)).empty());
  }
  EXPECT_TRUE(KvCollect(db.GetSortedScores(path, 1, 0, 0)).empty());
  EXPECT_TRUE(KvCollect(db.GetSortedScores(path, KvFPDatabaseOptions())).empty());
  EXPECT_EQ(sink.Count(), 6u);
}

// ---- Unhashed

TEST(FPDatabaseUnhashed, TokenListsAndTanimoto) {
  KvFPDatabase db(FPType::UnhashedPath);
  const auto* type = db.GetFPTypeBase();
  EXPECT_EQ(db.AddFP(UnhashedText(type, {"A", "BC", "C"})), 0u);
  EXPECT_EQ(db.AddFP(UnhashedText(type, {"D"})), 1u);
  EXPECT_EQ(db.AddFP(UnhashedText(type, {"A", "BC"})), 2u);
  EXPECT_EQ(db.AddFP(UnhashedText(type, {"C", "C", "BC"})), 3u);  // duplicates count once
  EXPECT_EQ(db.AddFP(UnhashedText(Varnex::KvGetFPType(FPType::UnhashedTree), {"A"})), 0xFFFFFFFFu);
  EXPECT_EQ(db.NumFingerPrints(), 4u);

  const auto placeholders = KvCollect(db.GetFingerPrints());
  ASSERT_EQ(placeholders.size(), 4u);
  for (const auto& fp : placeholders) EXPECT_EQ(fp.GetSize(), 0u);

  const KvFingerPrint query = UnhashedText(type, {"BC", "C", "E"});
  EXPECT_EQ(Pairs(db.GetScores(query)), (P{{0, 0.5f}, {1, 0.0f}, {2, 0.25f}, {3, 2.0f / 3.0f}}));
  EXPECT_EQ(Pairs(db.GetSortedScores(query, 2)), (P{{3, 2.0f / 3.0f}, {0, 0.5f}}));
  db.SetCutoff(0.5f);
  EXPECT_EQ(Pairs(db.GetScores(query, 0, 3)), (P{{0, 0.5f}}));
  EXPECT_EQ(Pairs(db.GetSortedScores(query)), (P{{3, 2.0f / 3.0f}}));
  // Only Tanimoto: a measure object or another code is refused (the warnings
  // are walked by the message table), the order is taken.
  VarnexTest::CaptureSink sink;
  db.SetSimFunc(Varnex::KvDiceSim(), false);
  db.SetSimFunc(Varnex::KvSimMeasure::Dice, false);
  db.SetSimFunc(Varnex::KvTanimotoSim(), false);
  EXPECT_EQ(sink.Count(), 2u);
  EXPECT_EQ(Pairs(db.GetSortedScores(query)), (P{{1, 0.0f}, {2, 0.25f}}));  // below the cutoff, ascending
}

}  // namespace
