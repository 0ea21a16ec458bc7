// The six measures through their table: exact scores of the worked 1024-bit
// example, of empty, full and identical fingerprints, of Lingo and unhashed
// pairs; names, codes, direction and symmetry; type and size mismatches with
// their messages, the bit counts and the unhashed identifier comparison.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "fp_texts.h"
#include "kvchem/mol.h"
#include "varnex/lingofp.h"
#include "varnex/measures.h"

namespace {

using namespace Varnex;
using KvSystem::KvErrorLevel;
using VarnexTest::CaptureSink;
using VarnexTest::LingoText;
using VarnexTest::RangesFP;
using VarnexTest::TextFP;
using VarnexTest::UnhashedText;

const KvFPTypeBase* Path1024() { return KvGetPathFPType(1024, 0, 5, 191, 3); }
const KvFPTypeBase* UHPath() { return KvGetUnhashedPathFPType(KvGraphFPVersion, 0, 5, 191, 3); }
const KvFPTypeBase* UHCircular() { return KvGetUnhashedCircularFPType(KvGraphFPVersion, 0, 5, 4239, 1); }
const KvFPTypeBase* UHTree() { return KvGetUnhashedTreeFPType(KvGraphFPVersion, 0, 4, 63, 1); }


// A: bits 0-39, B: bits 0-29 and 40-59, so a = 10, b = 20, c = 30, d = 964.
struct WorkedPair {
  KvFingerPrint a = RangesFP(Path1024(), 1024, {{0, 40}});
  KvFingerPrint b = RangesFP(Path1024(), 1024, {{0, 30}, {40, 60}});
};

// Tversky with alpha 0.95 and beta 0.05.
float Score(const KvSimMeasureInfo& measure, const KvFingerPrint& x, const KvFingerPrint& y) {
  return measure.score(x, y, 0.95f, 0.05f);
}

// Exact scores per measure. worked: the pair of WorkedPair; same: a
// fingerprint with itself (empty, full and ten bits); tenEmpty, fullEmpty:
// ten bits and all bits against none; lingo: benzene against pyridine
// (a = 4, b = 4, c = 1, no d); unhashed: identifiers A BC against A BD
// EFGHIJ (a = 1, b = 2, c = 1, no d).
struct Expected {
  const char* name;
  unsigned code;
  float worked, same, tenEmpty, fullEmpty, lingo, unhashed;
};
const Expected kExpected[] = {
    {"Tanimoto", 1, 0.5f, 1, 0, 0, 1.0f / 9.0f, 1.0f / 4.0f},
    {"Cosine", 2, 30.0f / std::sqrt(40.0f * 50.0f), 1, 0, 0, 1.0f / std::sqrt(25.0f), 1.0f / std::sqrt(2.0f * 3.0f)},
    {"Dice", 3, 60.0f / 90.0f, 1, 0, 0, 2.0f / 10.0f, 2.0f / 5.0f},
    {"Euclid", 4, std::sqrt(994.0f / 1024.0f), 1, std::sqrt(1014.0f / 1024.0f), 0, std::sqrt(1.0f / 9.0f),
     std::sqrt(1.0f / 4.0f)},
    {"Tversky", 5, 30.0f / (0.95f * 10.0f + 0.05f * 20.0f + 30.0f), 1, 0, 0, 1.0f / (0.95f * 4.0f + 0.05f * 4.0f + 1.0f),
     1.0f / (0.95f * 1.0f + 0.05f * 2.0f + 1.0f)},
    {"Manhattan", 6, 30.0f / 1024.0f, 0, 10.0f / 1024.0f, 1, 8.0f / 9.0f, 3.0f / 4.0f},
};

// Every entry of the measure table against the exact scores: its name and
// code, the lookups, its direction (the best score for identical
// fingerprints, the worst for complementary ones), its symmetry and range.
TEST(MeasureTable, EveryMeasureAgainstExactScores) {
  CaptureSink sink;
  const WorkedPair p;
  const KvFingerPrint empty = RangesFP(Path1024(), 1024, {});
  const KvFingerPrint full = RangesFP(Path1024(), 1024, {{0, 1024}});
  const KvFingerPrint ten = RangesFP(Path1024(), 1024, {{100, 110}});
  const KvFingerPrint benzene = LingoText("c0ccccc0");
  const KvFingerPrint pyridine = LingoText("c0ccncc0");
  const KvFingerPrint x = UnhashedText(UHCircular(), {"A", "BC"});
  const KvFingerPrint y = UnhashedText(UHCircular(), {"A", "BD", "EFGHIJ"});
  const KvFingerPrint otherType = RangesFP(KvGetPathFPType(1024, 0, 6, 191, 3), 1024, {});
  const KvFingerPrint untyped = RangesFP(nullptr, 1024, {});
  ASSERT_EQ(KvSimMeasures.size(), std::size(kExpected));
  for (const KvSimMeasureInfo& measure : KvSimMeasures) {
    const auto* row = std::find_if(std::begin(kExpected), std::end(kExpected),
                                   [&](const Expected& e) { return e.name == std::string(measure.name); });
    ASSERT_NE(row, std::end(kExpected)) << measure.name;
    SCOPED_TRACE(measure.name);
    EXPECT_EQ(measure.code, row->code);
    EXPECT_EQ(KvGetSimilarityMeasureName(measure.code), measure.name);
    EXPECT_EQ(KvFindSimMeasure(measure.code), &measure);
    std::string upper = measure.key;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(KvFindSimMeasure(upper), &measure);
    EXPECT_EQ(KvFindSimMeasure(measure.name), &measure);

    EXPECT_EQ(Score(measure, p.a, p.b), row->worked);
    for (const KvFingerPrint* fp : {&empty, &full, &ten}) EXPECT_EQ(Score(measure, *fp, *fp), row->same);
    EXPECT_EQ(Score(measure, ten, empty), row->tenEmpty);
    EXPECT_EQ(Score(measure, full, empty), row->fullEmpty);
    EXPECT_EQ(Score(measure, benzene, pyridine), row->lingo);
    EXPECT_EQ(Score(measure, x, y), row->unhashed);
    EXPECT_EQ(Score(measure, x, x), row->same);

    // Identical fingerprints score best, complementary ones worst.
    EXPECT_EQ(row->same, measure.higherIsBetter ? measure.highest : measure.lowest);
    EXPECT_EQ(row->fullEmpty, measure.higherIsBetter ? measure.lowest : measure.highest);
    EXPECT_EQ(Score(measure, p.a, p.b) == Score(measure, p.b, p.a), measure.symmetric);

    // Another type scores 0 with one error (Tanimoto's own), an untyped
    // fingerprint also with the type query's.
    CaptureSink mismatch;
    EXPECT_EQ(Score(measure, p.a, otherType), 0.0f);
    EXPECT_EQ(Score(measure, p.a, untyped), 0.0f);
    const std::string message = measure.code == KvSimMeasure::Tanimoto ? "KvTanimoto() fingerprint type mismatch!"
                                                                       : "fingerprint type mismatch!";
    EXPECT_EQ(mismatch.Texts(),
              (std::vector<std::string>{message, "KvIsSameFPType() : uninitialized fingerprint type!", message}));
    EXPECT_EQ(mismatch.Messages()[0].level, KvErrorLevel::Error);
  }
  for (unsigned m : {0u, 7u, 0xFFFFFFFFu}) {
    EXPECT_EQ(KvFindSimMeasure(m), nullptr);
    EXPECT_EQ(KvGetSimilarityMeasureName(m), "unknown") << m;
  }
  EXPECT_EQ(KvFindSimMeasure("tanimot"), nullptr);
  EXPECT_EQ(KvFindSimMeasure(""), nullptr);
  EXPECT_EQ(sink.Count(), 0u);
}

TEST(BitCounts, OutputsAndMismatch) {
  CaptureSink sink;
  const WorkedPair p;
  std::uint32_t a = 0, b = 0, c = 0, d = 0;
  ASSERT_TRUE(KvGetBitCounts(p.a, p.b, &a, &b, &c, &d));
  EXPECT_EQ((std::vector<std::uint32_t>{a, b, c, d}), (std::vector<std::uint32_t>{10, 20, 30, 964}));
  EXPECT_TRUE(KvGetBitCounts(p.a, p.b, nullptr, nullptr, nullptr, nullptr));

  // Sizes that are not whole 64-bit words: 70 bits (three 32-bit words).
  const KvFPTypeBase* t70 = KvGetPathFPType(70, 0, 5, 191, 3);
  const KvFingerPrint x = RangesFP(t70, 70, {{0, 3}, {64, 70}});
  const KvFingerPrint y = RangesFP(t70, 70, {{2, 5}, {69, 70}});
  ASSERT_TRUE(KvGetBitCounts(x, y, &a, &b, &c, &d));
  EXPECT_EQ((std::vector<std::uint32_t>{a, b, c, d}), (std::vector<std::uint32_t>{7, 2, 2, 59}));
  // Lingo pairs have no count of bits off in both (their terms: lingofp_test.cpp).
  ASSERT_TRUE(KvGetBitCounts(LingoText("c0ccccc0"), LingoText("c0ccncc0"), nullptr, nullptr, nullptr, &d));
  EXPECT_EQ(d, 59u);
  EXPECT_EQ(sink.Count(), 0u);

  a = b = c = d = 777;
  const KvFingerPrint other = RangesFP(KvGetPathFPType(2048, 0, 5, 191, 3), 2048, {});
  EXPECT_FALSE(KvGetBitCounts(p.a, other, &a, &b, &c, &d));
  EXPECT_EQ((std::vector<std::uint32_t>{a, b, c, d}), (std::vector<std::uint32_t>(4, 777)));
  EXPECT_EQ(sink.Texts(), std::vector<std::string>{"fingerprint type mismatch!"});
  // Sizes that differ within one type (data set by hand) are reported, and
  // the shorter vector is not overrun.
  sink.Clear();
  EXPECT_EQ(KvTanimoto(p.a, RangesFP(Path1024(), 64, {{0, 10}})), 0.0f);  // the warning: BitCounts.MatchANaiveLoop…
}

// ---- Unhashed pairs: identifier lists read from the stored text.


TEST(UnhashedTanimoto, CountsSharedTokens) {
  CaptureSink sink;
  // Each kind's stored text (a path's with one more zero byte), in any order.
  for (const KvFPTypeBase* type : {UHPath(), UHCircular(), UHTree()}) {
    EXPECT_EQ(KvTanimoto(UnhashedText(type, {"A", "BC"}), UnhashedText(type, {"A", "BD", "E"})), 1.0f / 4.0f);
    EXPECT_EQ(KvTanimoto(UnhashedText(type, {"A", "BC"}), UnhashedText(type, {"BC", "A"})), 1.0f);
  }
  // Duplicates pair off one to one; white space of any kind separates.
  EXPECT_EQ(KvTanimoto(TextFP(UHPath(), "1 2 2"), TextFP(UHPath(), "2\t2\n 3")), 0.5f);
  EXPECT_EQ(KvTanimoto(TextFP(UHPath(), "5"), TextFP(UHPath(), "5   5")), 0.5f);
  // Byte order, prefixes first: "A" < "AB" < "B".
  EXPECT_EQ(KvTanimoto(TextFP(UHTree(), "B AB A"), TextFP(UHTree(), "A B")), 2.0f / 3.0f);
  // No tokens at all on both sides: identical (empty) feature sets.
  EXPECT_EQ(KvTanimoto(UnhashedText(UHCircular(), {}), UnhashedText(UHCircular(), {})), 1.0f);
  EXPECT_EQ(KvTanimoto(TextFP(UHCircular(), "   "), UnhashedText(UHCircular(), {})), 1.0f);
  EXPECT_EQ(KvTanimoto(UnhashedText(UHCircular(), {}), UnhashedText(UHCircular(), {"C"})), 0.0f);
  EXPECT_EQ(sink.Count(), 0u);  // two unhashed kinds are two types: MeasureTable's mismatch
}

}  // namespace
