// The Lingo fingerprint: stored text, empty and invalid molecules, the
// prepared-molecule shortcut, the generation entry, the three terms on
// short and long texts (counted by hand), and threads.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "capture_sink.h"
#include "kvchem/lingo.h"
#include "kvchem/mol.h"
#include "kvsystem/streams.h"
#include "varnex/fpio.h"
#include "varnex/generation.h"
#include "varnex/lingofp.h"
#include "varnex/similarity.h"

namespace {

using namespace Varnex;
using KvChem::KvMol;
using VarnexTest::CaptureSink;

KvMol Mol(const std::string& smiles) {
  KvMol mol;
  EXPECT_TRUE(KvChem::KvSmilesToMol(smiles, mol)) << smiles;
  return mol;
}

const KvFPTypeBase* LingoType() { return KvGetLingoFPType(KvGraphFPVersion); }

std::string StoredText(const KvFingerPrint& fp) {
  return std::string(reinterpret_cast<const char*>(fp.GetBytes()), fp.NumBytes());
}

KvFingerPrint LingoText(const std::string& text) {
  KvFingerPrint fp;
  fp.SetData(text.c_str(), 8 * (text.size() + 1));
  fp.SetFPTypeBase(LingoType());
  return fp;
}

std::vector<std::uint32_t> Terms(const KvFingerPrint& a, const KvFingerPrint& b) {
  std::vector<std::uint32_t> t(3, 777);
  EXPECT_TRUE(KvGetLingoSimTerms(a, b, &t[0], &t[1], &t[2]));
  return t;
}

TEST(LingoFP, StoresTheLingoTextAndAZeroByte) {
  CaptureSink sink;
  KvFingerPrint fp;
  ASSERT_TRUE(KvMakeLingoFP(fp, Mol("ClC1=CC=CC=C1Br")));
  std::string expected;
  KvChem::KvLingoMap().CreateString(expected, Mol("ClC1=CC=CC=C1Br"));
  EXPECT_EQ(expected, "Lc0ccccc0R");  // ring closures 0, Cl as L, Br as R
  EXPECT_EQ(fp.GetSize(), 8 * (expected.size() + 1));
  EXPECT_EQ(StoredText(fp), expected + std::string(1, '\0'));
  EXPECT_EQ(fp.GetFPTypeBase(), LingoType());
  EXPECT_EQ(fp.GetFPTypeBase()->GetFPTypeString(), "Lingo,ver=2.0.0");
  EXPECT_EQ(sink.Count(), 0u);
}

TEST(LingoFP, EmptyAndInvalidMolecules) {
  CaptureSink sink;
  KvFingerPrint fp;
  ASSERT_TRUE(KvMakeLingoFP(fp, KvMol()));
  EXPECT_EQ(fp.GetSize(), 1u);
  EXPECT_FALSE(fp.IsBitOn(0));
  EXPECT_EQ(fp.GetFPTypeBase(), LingoType());
  EXPECT_EQ(KvTanimoto(fp, fp), 1.0f);  // equal short (empty) texts
  EXPECT_EQ(KvManhattan(fp, fp), 0.0f);

  KvMol invalid;
  invalid.SetInvalid();
  EXPECT_FALSE(KvMakeLingoFP(fp, invalid));
  EXPECT_EQ(fp.GetFPTypeBase(), nullptr);
  EXPECT_EQ(sink.Count(), 0u);
}

TEST(LingoFP, PreparedAndUnpreparedMoleculesAgree) {
  // Explicit hydrogens send the generator through a prepared copy; the text
  // is the one of the hydrogen-suppressed molecule.
  KvFingerPrint withH, plain, byType, byKind;
  ASSERT_TRUE(KvMakeLingoFP(withH, Mol("[H]OC([H])([H])C(=O)N")));
  ASSERT_TRUE(KvMakeLingoFP(plain, Mol("OCC(N)=O")));
  EXPECT_TRUE(withH == plain);
  EXPECT_FALSE(KvIsPreparedForFingerprinting(Mol("[H]OC"), KvFPType::Lingo));

  // The generation entry dispatches kind 103 here.
  ASSERT_TRUE(KvMakeFP(byType, Mol("OCC(N)=O"), LingoType()));
  ASSERT_TRUE(KvMakeFP(byKind, Mol("OCC(N)=O"), KvFPType::Lingo, false));
  EXPECT_TRUE(byType == plain);
  EXPECT_TRUE(byKind == plain);
}

TEST(LingoTerms, ShortTextsAreComparedWhole) {
  CaptureSink sink;
  EXPECT_EQ(Terms(LingoText("CCO"), LingoText("CCO")), (std::vector<std::uint32_t>{0, 0, 3}));
  EXPECT_EQ(Terms(LingoText("CCO"), LingoText("CCN")), (std::vector<std::uint32_t>{3, 3, 0}));
  EXPECT_EQ(Terms(LingoText("CO"), LingoText("CCCCO")), (std::vector<std::uint32_t>{2, 5, 0}));
  EXPECT_EQ(Terms(LingoText("CCCCO"), LingoText("C")), (std::vector<std::uint32_t>{5, 1, 0}));
  EXPECT_EQ(Terms(LingoText(""), LingoText("")), (std::vector<std::uint32_t>{0, 0, 0}));
  // A one-bit empty fingerprint reads as the empty text too.
  KvFingerPrint oneBit;
  oneBit.SetSize(1);
  EXPECT_EQ(Terms(oneBit, LingoText("")), (std::vector<std::uint32_t>{0, 0, 0}));
  EXPECT_EQ(sink.Count(), 0u);
}

TEST(LingoTerms, LongTextsCountSharedSubstrings) {
  CaptureSink sink;
  // CCCC CCCC against CCCC CCCO: one CCCC pairs off.
  EXPECT_EQ(Terms(LingoText("CCCCC"), LingoText("CCCCO")), (std::vector<std::uint32_t>{1, 1, 1}));
  // c0cc 0ccc cccc cccc ccc0 against c0cc 0ccn ccnc cncc ncc0.
  EXPECT_EQ(Terms(LingoText("c0ccccc0"), LingoText("c0ccncc0")), (std::vector<std::uint32_t>{4, 4, 1}));
  EXPECT_EQ(Terms(LingoText("c0ccncc0"), LingoText("c0ccccc0")), (std::vector<std::uint32_t>{4, 4, 1}));
  // Whole molecules: pentane against pentanol.
  KvFingerPrint pentane, pentanol;
  ASSERT_TRUE(KvMakeLingoFP(pentane, Mol("CCCCC")));
  ASSERT_TRUE(KvMakeLingoFP(pentanol, Mol("OCCCC")));
  EXPECT_EQ(Terms(pentane, pentanol), (std::vector<std::uint32_t>{1, 1, 1}));
  EXPECT_EQ(KvTanimoto(pentane, pentanol), 1.0f / 3.0f);
  EXPECT_EQ(sink.Count(), 0u);
}

TEST(LingoTerms, ComparerFormHasNoShortTextRule) {
  CaptureSink sink;
  const KvChem::KvLingoSim query("CCCCC", 1);
  std::vector<std::uint32_t> t(3, 777);
  ASSERT_TRUE(KvGetLingoSimTerms(query, LingoText("CCCCO"), &t[0], &t[1], &t[2]));
  EXPECT_EQ(t, (std::vector<std::uint32_t>{1, 1, 1}));
  ASSERT_TRUE(KvGetLingoSimTerms(query, LingoText("CCO"), &t[0], &t[1], &t[2]));
  EXPECT_EQ(t, (std::vector<std::uint32_t>{2, 0, 0}));
  EXPECT_EQ(sink.Count(), 0u);

  const KvChem::KvLingoSim shortQuery("CCO", 1);
  t.assign(3, 777);
  EXPECT_FALSE(KvGetLingoSimTerms(shortQuery, LingoText("CCO"), &t[0], &t[1], &t[2]));
  EXPECT_EQ(t, std::vector<std::uint32_t>(3, 777));
  EXPECT_EQ(sink.Texts(), std::vector<std::string>{"lingo is not initialized"});
}

TEST(LingoFP, ReadTypeSetsTheVersionsType) {
  KvSystem::kvisstream in("unread");
  KvFingerPrint fp;
  EXPECT_TRUE(KvReadLingoFingerPrintType(in, 0x2000, fp));
  EXPECT_EQ(fp.GetFPTypeBase(), LingoType());
  EXPECT_EQ(in.tell(), 0u);
  EXPECT_TRUE(KvReadLingoFingerPrintType(in, 0x1000, fp));
  EXPECT_EQ(fp.GetFPTypeBase(), KvGetLingoFPType(0x1000));
}

TEST(LingoFP, ThreadsGiveTheSerialTexts) {
  std::vector<KvMol> mols;
  std::ifstream in(std::string(VARNEX_RDKIT_DATA_DIR) + "/NCI/first_5K.smi");
  std::string line;
  while (mols.size() < 200 && std::getline(in, line)) {
    std::istringstream fields(line);
    std::string smiles;
    KvMol mol;
    if (fields >> smiles && KvChem::KvSmilesToMol(smiles, mol)) mols.push_back(std::move(mol));
  }
  ASSERT_EQ(mols.size(), 200u);
  std::vector<KvFingerPrint> serial(mols.size());
  for (std::size_t i = 0; i < mols.size(); ++i) ASSERT_TRUE(KvMakeLingoFP(serial[i], mols[i]));

  std::vector<std::vector<KvFingerPrint>> threaded(4, std::vector<KvFingerPrint>(mols.size()));
  std::vector<std::thread> workers;
  for (auto& out : threaded)
    workers.emplace_back([&mols, &out] {
      for (std::size_t i = 0; i < mols.size(); ++i) EXPECT_TRUE(KvMakeLingoFP(out[i], mols[i]));
    });
  for (auto& w : workers) w.join();
  for (const auto& out : threaded)
    for (std::size_t i = 0; i < mols.size(); ++i) EXPECT_TRUE(out[i] == serial[i]) << i;
}

}  // namespace
