// The Lingo fingerprint: its stored text, and the three terms of texts too
// short to compare piece by piece (counted by hand); long texts are scored in
// MeasureTable and LingoFunctors, records in tests/io. What every generator
// shares is tested in generators/graph_driver_test.cpp.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture_sink.h"
#include "fp_texts.h"
#include "molecules.h"
#include "kvchem/lingo.h"
#include "kvchem/mol.h"
#include "varnex/generation.h"
#include "varnex/lingofp.h"
#include "varnex/similarity.h"

namespace {

using namespace Varnex;
using KvChem::KvMol;
using VarnexTest::CaptureSink;
using VarnexTest::LingoText;

using VarnexTest::Mol;

const KvFPTypeBase* LingoType() { return KvGetLingoFPType(KvGraphFPVersion); }

std::string StoredText(const KvFingerPrint& fp) {
  return std::string(reinterpret_cast<const char*>(fp.GetBytes()), fp.NumBytes());
}

std::vector<std::uint32_t> Terms(const KvFingerPrint& a, const KvFingerPrint& b) {
  std::vector<std::uint32_t> t(3, 777);
  EXPECT_TRUE(KvGetLingoSimTerms(a, b, &t[0], &t[1], &t[2]));
  return t;
}

TEST(LingoFP, StoredTextAndTheTermsOfShortTextsComparedWhole) {
  CaptureSink sink;
  // The stored text and its zero byte.
  KvFingerPrint fp;
  ASSERT_TRUE(KvMakeLingoFP(fp, Mol("ClC1=CC=CC=C1Br")));
  const std::string expected = "Lc0ccccc0R";  // ring closures 0, Cl as L, Br as R
  EXPECT_EQ(fp.GetSize(), 8 * (expected.size() + 1));
  EXPECT_EQ(StoredText(fp), expected + std::string(1, '\0'));
  EXPECT_EQ(fp.GetFPTypeBase(), LingoType());
  // The terms of texts too short to compare piece by piece.
  EXPECT_EQ(Terms(LingoText("CCO"), LingoText("CCO")), (std::vector<std::uint32_t>{0, 0, 3}));
  EXPECT_EQ(Terms(LingoText("CCO"), LingoText("CCN")), (std::vector<std::uint32_t>{3, 3, 0}));
  EXPECT_EQ(Terms(LingoText("CO"), LingoText("CCCCO")), (std::vector<std::uint32_t>{2, 5, 0}));
  EXPECT_EQ(Terms(LingoText("CCCCO"), LingoText("C")), (std::vector<std::uint32_t>{5, 1, 0}));
  EXPECT_EQ(Terms(LingoText(""), LingoText("")), (std::vector<std::uint32_t>{0, 0, 0}));
  // A one-bit empty fingerprint reads as the empty text too.
  KvFingerPrint oneBit;
  oneBit.SetSize(1);
  EXPECT_EQ(Terms(oneBit, LingoText("")), (std::vector<std::uint32_t>{0, 0, 0}));
  // A prepared query has no such rule: a short text is counted as it is.
  std::vector<std::uint32_t> t(3, 777);
  ASSERT_TRUE(KvGetLingoSimTerms(KvChem::KvLingoSim("CCCCC", 1), LingoText("CCO"), &t[0], &t[1], &t[2]));
  EXPECT_EQ(t, (std::vector<std::uint32_t>{2, 0, 0}));
  EXPECT_EQ(sink.Count(), 0u);
}

}  // namespace
