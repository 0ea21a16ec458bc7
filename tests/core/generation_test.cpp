// Generation entry: dispatch by type and by kind, the VS variants with their
// messages, and the preparation of molecules for fingerprinting.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture_sink.h"
#include "molecules.h"
#include "kvchem/mol.h"
#include "kvchem/perception.h"
#include "varnex/generation.h"
#include "varnex/pathfp.h"

namespace {

using namespace Varnex;
using KvChem::KvMol;
using VarnexTest::CaptureSink;
using Level = KvSystem::KvErrorLevel;

using VarnexTest::Mol;

TEST(MakeFP, DispatchByTypeAndByKind) {
  CaptureSink sink;
  KvFingerPrint fp;
  ASSERT_TRUE(KvMakePathFP(fp, Mol("CCO"), 1024, 0, 3, 191, 3));
  const KvFingerPrint before = fp;
  EXPECT_FALSE(KvMakeFP(fp, Mol("c1ccccc1"), nullptr));
  EXPECT_TRUE(fp == before);
  EXPECT_EQ(sink.Count(), 0u);
  for (const char* smiles : {"CC(=O)Nc1ccc(O)cc1", "", "[Na+].[Cl-]"}) {
    const KvMol mol = Mol(smiles);
    KvFingerPrint byKind, direct;
    ASSERT_TRUE(KvMakeFP(byKind, mol, KvFPType::Path, false));
    ASSERT_TRUE(KvMakePathFP(direct, mol));
    EXPECT_TRUE(byKind == direct) << smiles;
  }
  EXPECT_FALSE(KvMakeFP(fp, Mol("CCN"), 999, false));  // the warning: tests/messages
}

// The texts are raised word for word in tests/messages.
TEST(MakeVSFP, VersionsAndTheDeprecatedVSByKind) {
  const std::pair<unsigned, Level> cases[] = {
      {KvFPType::Path, Level::Info}, {KvFPType::Tree, Level::Info}, {KvFPType::Circular, Level::Warning}};
  const KvMol mol = Mol("OC(=O)c1ccccc1Cl");
  for (const auto& [kind, level] : cases) {
    CaptureSink sink;
    KvFingerPrint fp, v1;
    ASSERT_TRUE(KvMakeFP(fp, mol, kind, true));
    ASSERT_EQ(sink.Count(), 1u) << kind;
    EXPECT_EQ(sink.Messages()[0].level, level);
    EXPECT_EQ(fp.GetFPTypeBase(), KvGetVSFPType(kind, 1));
    ASSERT_TRUE(KvMakeVSFP(v1, mol, kind, 1));
    EXPECT_TRUE(fp == v1);
  }
  // Version 0 of the circular kind is its second VS type; unknown versions
  // and kinds are refused, the fingerprint kept.
  KvFingerPrint fp, expected;
  CaptureSink sink;
  ASSERT_TRUE(KvMakeVSFP(fp, mol, KvFPType::Circular, 0));
  ASSERT_TRUE(KvMakeFP(expected, mol, KvGetVSFPType(KvFPType::Circular, 2)));
  EXPECT_TRUE(fp == expected);
  EXPECT_EQ(sink.Count(), 0u);
  const KvFingerPrint before = fp;
  EXPECT_FALSE(KvMakeVSFP(fp, mol, KvFPType::Path, 3));
  EXPECT_FALSE(KvMakeVSFP(fp, mol, KvFPType::MACCS166, 0));
  EXPECT_TRUE(fp == before);
  EXPECT_EQ(sink.Count(), 3u);  // the MACCS refusal is the type query's and the generator's
}

TEST(Preparation, HydrogensAndWildcardsFoldAndThePreparedStateHoldsUntilAnEdit) {
  struct Case {
    const char* smiles;
    unsigned atoms;
    std::vector<unsigned> hydrogens;  // total hydrogen count per remaining atom
  };
  // Plain explicit hydrogens and a wildcard on a ring: the golden bits.
  const Case cases[] = {
      {"[2H]C([2H])([2H])O", 2, {3, 1}},  // isotopes survive suppression and are folded after it
      {"*CC*", 2, {3, 3}},
      {"C1CC*CC1", 5, {2, 2, 3, 3, 2}},  // the ring is gone before rings are perceived
  };
  for (const Case& c : cases) {
    KvMol mol = Mol(c.smiles);
    KvPrepareForFingerprinting(mol, KvFPType::Path);
    EXPECT_FALSE(KvChem::KvHasExplicitHydrogens(mol)) << c.smiles;
    ASSERT_EQ(mol.NumAtoms(), c.atoms) << c.smiles;
    for (unsigned i = 0; i < c.atoms; ++i) {
      EXPECT_EQ(mol.GetAtom(i)->GetTotalHCount(), c.hydrogens[i]) << c.smiles << " atom " << i;
      EXPECT_FALSE(mol.GetAtom(i)->IsInRing()) << c.smiles << " atom " << i;
    }
  }
  // The caller's molecule stays as it is: AllGenerators.AtomOrderAndInputFormDoNotMatter.
  // The prepared state holds for Lingo and MACCS166 until an edit.
  KvMol acid = Mol("[H]c1ccccc1C(=O)O");
  EXPECT_FALSE(KvIsPreparedForFingerprinting(acid, KvFPType::Lingo));
  KvPrepareForFingerprinting(acid, KvFPType::Lingo);
  EXPECT_TRUE(KvIsPreparedForFingerprinting(acid, KvFPType::Lingo));
  EXPECT_TRUE(KvIsPreparedForFingerprinting(acid, KvFPType::MACCS166));
  EXPECT_FALSE(KvIsPreparedForFingerprinting(acid, KvFPType::Path));
  const std::string smiles = KvChem::KvMolToSmiles(acid);
  KvPrepareForFingerprinting(acid, KvFPType::Path);
  EXPECT_EQ(KvChem::KvMolToSmiles(acid), smiles);
  acid.GetAtom(0)->SetImplicitHCount(0);
  EXPECT_FALSE(KvIsPreparedForFingerprinting(acid, KvFPType::Lingo));
}

}  // namespace
