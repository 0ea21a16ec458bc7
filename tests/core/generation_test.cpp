// Generation entry: dispatch by type and by kind, the VS variants with their
// messages, and the preparation of molecules for fingerprinting.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture_sink.h"
#include "kvchem/mol.h"
#include "kvchem/perception.h"
#include "varnex/generation.h"
#include "varnex/pathfp.h"

namespace {

using namespace Varnex;
using KvChem::KvMol;
using VarnexTest::CaptureSink;

KvMol Mol(const std::string& smiles) {
  KvMol mol;
  EXPECT_TRUE(KvChem::KvSmilesToMol(smiles, mol)) << smiles;
  return mol;
}

TEST(MakeFP, NullTypeLeavesTheFingerprintUnchanged) {
  CaptureSink sink;
  KvFingerPrint fp;
  ASSERT_TRUE(KvMakePathFP(fp, Mol("CCO"), 1024, 0, 3, 191, 3));
  const KvFingerPrint before = fp;
  EXPECT_FALSE(KvMakeFP(fp, Mol("c1ccccc1"), nullptr));
  EXPECT_TRUE(fp == before);
  EXPECT_EQ(sink.Count(), 0u);
}

TEST(MakeFP, PathByKindEqualsTheDefaultPathGenerator) {
  for (const char* smiles : {"CC(=O)Nc1ccc(O)cc1", "C", "", "[Na+].[Cl-]", "C1CC2CCC1CC2"}) {
    const KvMol mol = Mol(smiles);
    KvFingerPrint byKind, byType, direct;
    ASSERT_TRUE(KvMakeFP(byKind, mol, KvFPType::Path, false));
    ASSERT_TRUE(KvMakeFP(byType, mol, KvGetFPType(KvFPType::Path, false, 0)));
    ASSERT_TRUE(KvMakePathFP(direct, mol));
    EXPECT_TRUE(byKind == direct) << smiles;
    EXPECT_TRUE(byType == direct) << smiles;
  }
}

TEST(MakeFP, UnknownKindsAndVSMessages) {
  const KvMol mol = Mol("CCN");
  KvFingerPrint fp;
  {
    CaptureSink sink;
    EXPECT_FALSE(KvMakeFP(fp, mol, 999, false));
    EXPECT_TRUE(sink.Contains("KvMakeFP() unknown fingerprint type"));
    EXPECT_FALSE(static_cast<bool>(fp));
  }
  {
    // VS path by kind: deprecated, reported at information level, still made
    // with the VS version 1 path type.
    CaptureSink sink;
    ASSERT_TRUE(KvMakeFP(fp, mol, KvFPType::Path, true));
    ASSERT_EQ(sink.Count(), 1u);
    EXPECT_EQ(sink.Messages()[0].level, KvSystem::KvErrorLevel::Info);
    EXPECT_EQ(sink.Messages()[0].text, "KvMakeFP: (102) (deprecated) use KvMakeVSFP() for generating VS fingerprints");
    EXPECT_EQ(fp.GetFPTypeBase(), KvGetVSFPType(KvFPType::Path, 1));
  }
  {
    CaptureSink sink;
    EXPECT_TRUE(KvMakeFP(fp, mol, KvFPType::Circular, true));
    ASSERT_GE(sink.Count(), 1u);
    EXPECT_EQ(sink.Messages()[0].level, KvSystem::KvErrorLevel::Warning);
    EXPECT_EQ(sink.Messages()[0].text,
              "KvMakeFP: (104) use KvMakeVSFP() for generating VS fingerprints - deprecated CircularVS "
              "fingerprints are being generated");
  }
  {
    CaptureSink sink;
    EXPECT_TRUE(KvMakeFP(fp, mol, KvFPType::Tree, true));
    EXPECT_TRUE(sink.Contains("KvMakeFP: (105) (deprecated) use KvMakeVSFP() for generating VS fingerprints"));
  }
}

TEST(MakeVSFP, VersionsAndKinds) {
  const KvMol mol = Mol("OC(=O)c1ccccc1Cl");
  KvFingerPrint fp, expected;
  {
    CaptureSink sink;
    ASSERT_TRUE(KvMakeVSFP(fp, mol, KvFPType::Path, 0));
    ASSERT_TRUE(KvMakePathFP(expected, mol, KvGetVSFPType(KvFPType::Path, 2)));
    EXPECT_TRUE(fp == expected);
    EXPECT_EQ(sink.Count(), 0u);
  }
  {
    CaptureSink sink;
    const KvFingerPrint before = fp;
    EXPECT_FALSE(KvMakeVSFP(fp, mol, KvFPType::Path, 3));
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"KvMakeVSFP: unknown vsVersion specified: 3"}));
    EXPECT_TRUE(fp == before);
  }
  {
    CaptureSink sink;
    EXPECT_FALSE(KvMakeVSFP(fp, mol, KvFPType::MACCS166, 0));
    EXPECT_EQ(sink.Texts(),
              (std::vector<std::string>{
                  "KvGetVSFPType: no VS fingerprint type defined for requested fingerprint type: 101",
                  "KvMakeVSFP() unknown fingerprint type"}));
  }
}

TEST(Preparation, ExplicitHydrogensAndWildcardsFoldIntoNeighbours) {
  {
    KvMol mol = Mol("[H]OC([H])([H])[H]");
    ASSERT_TRUE(KvChem::KvHasExplicitHydrogens(mol));
    KvPrepareForFingerprinting(mol, KvFPType::Path);
    EXPECT_FALSE(KvChem::KvHasExplicitHydrogens(mol));
    ASSERT_EQ(mol.NumAtoms(), 2u);
    EXPECT_EQ(mol.GetAtom(0)->GetTotalHCount(), 1u);
    EXPECT_EQ(mol.GetAtom(1)->GetTotalHCount(), 3u);
  }
  {
    // Isotopic hydrogens survive hydrogen suppression and are folded after it.
    KvMol mol = Mol("[2H]C([2H])([2H])O");
    KvPrepareForFingerprinting(mol, KvFPType::Path);
    EXPECT_FALSE(KvChem::KvHasExplicitHydrogens(mol));
    ASSERT_EQ(mol.NumAtoms(), 2u);
    EXPECT_EQ(mol.GetAtom(0)->GetAtomicNum(), 6u);
    EXPECT_EQ(mol.GetAtom(0)->GetTotalHCount(), 3u);
  }
  {
    // A wildcard becomes a hydrogen of each neighbour.
    KvMol mol = Mol("*CC*");
    KvPrepareForFingerprinting(mol, KvFPType::Path);
    ASSERT_EQ(mol.NumAtoms(), 2u);
    EXPECT_EQ(mol.GetAtom(0)->GetTotalHCount(), 3u);
    EXPECT_EQ(mol.GetAtom(1)->GetTotalHCount(), 3u);
  }
  {
    // Rings are perceived after the wildcard is gone: no ring is left.
    KvMol mol = Mol("C1CC*CC1");
    KvPrepareForFingerprinting(mol, KvFPType::Path);
    ASSERT_EQ(mol.NumAtoms(), 5u);
    for (const KvChem::KvAtomBase* atom : mol.Atoms()) EXPECT_FALSE(atom->IsInRing());
    EXPECT_TRUE(mol.HasPerceived(KvChem::KvPerception::Rings));
  }
  {
    KvMol mol = Mol("*c1ccccc1");
    KvPrepareForFingerprinting(mol, KvFPType::Path);
    ASSERT_EQ(mol.NumAtoms(), 6u);
    for (const KvChem::KvAtomBase* atom : mol.Atoms()) {
      EXPECT_TRUE(atom->IsAromatic());
      EXPECT_EQ(atom->GetTotalHCount(), 1u);
    }
  }
  {
    // A wildcard fingerprints like the hydrogen it becomes; the caller's
    // molecule keeps its wildcard.
    const KvMol star = Mol("*C(=O)O");
    KvFingerPrint a, b;
    ASSERT_TRUE(KvMakePathFP(a, star));
    ASSERT_TRUE(KvMakePathFP(b, Mol("CC(=O)O")));
    EXPECT_FALSE(a == b);  // *C(=O)O is formic acid, not acetic acid
    ASSERT_TRUE(KvMakePathFP(b, Mol("OC=O")));
    EXPECT_TRUE(a == b);
    EXPECT_EQ(star.NumAtoms(), 4u);
  }
}

TEST(Preparation, PreparedStateAndKinds) {
  KvMol mol = Mol("[H]c1ccccc1C(=O)O");
  EXPECT_FALSE(KvIsPreparedForFingerprinting(mol, KvFPType::Lingo));
  KvPrepareForFingerprinting(mol, KvFPType::Lingo);
  EXPECT_TRUE(KvIsPreparedForFingerprinting(mol, KvFPType::Lingo));
  EXPECT_TRUE(KvIsPreparedForFingerprinting(mol, KvFPType::MACCS166));
  EXPECT_FALSE(KvIsPreparedForFingerprinting(mol, KvFPType::Path));
  EXPECT_FALSE(KvIsPreparedForFingerprinting(mol, KvFPType::Circular));
  EXPECT_EQ(mol.GetAromaticityModel(), 2u);
  // Preparing again changes nothing.
  const std::string smiles = KvChem::KvMolToSmiles(mol);
  KvPrepareForFingerprinting(mol, KvFPType::Path);
  EXPECT_EQ(KvChem::KvMolToSmiles(mol), smiles);
  EXPECT_TRUE(KvIsPreparedForFingerprinting(mol, KvFPType::Lingo));
  // An edit forgets the prepared state.
  mol.GetAtom(0)->SetImplicitHCount(0);
  EXPECT_FALSE(KvIsPreparedForFingerprinting(mol, KvFPType::Lingo));
}

}  // namespace
