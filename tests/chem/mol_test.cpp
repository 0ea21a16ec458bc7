// Molecules: parsing, copying, editing and the recorded perception state.

#include <gtest/gtest.h>

#include <tuple>

#include "capture_sink.h"
#include "kvchem/kvchem.h"
#include "molecules.h"

using namespace KvChem;

namespace {

using VarnexTest::Mol;

const KvSystem::KvTag kOrigTag = KvSystem::KvGetTag("chemtest.orig");

void Label(KvSystem::KvBase& item, unsigned value) {
  item.SetData(new KvSystem::KvBaseDataT<unsigned>(kOrigTag, value));
}
unsigned LabelOf(const KvSystem::KvBase& item) {
  const auto* d = item.FindDataT<unsigned>(kOrigTag);
  return d ? d->GetData() : 999u;
}

bool FullyPerceived(const KvMolBase& mol) {
  return mol.HasPerceived(KvPerception::Rings) && mol.HasPerceived(KvPerception::Aromaticity) &&
         mol.GetAromaticityModel() == 2;
}

}  // namespace

// (The empty SMILES is a golden-bits molecule; names after the SMILES are
// read by the molecule-file tests.)
TEST(KvMolParse, UnreadableSmilesGiveAnInvalidMoleculeAndAWarning) {
  VarnexTest::CaptureSink sink;
  KvMol mol;
  EXPECT_FALSE(KvSmilesToMol("C1CC(", mol));
  EXPECT_FALSE(mol.IsValid());
  EXPECT_EQ(mol.NumAtoms(), 0u);
  EXPECT_EQ(KvMolToSmiles(mol), "");
  ASSERT_EQ(sink.Count(), 1u);
  EXPECT_EQ(sink.Texts()[0].rfind("KvSmilesToMol(): cannot parse SMILES 'C1CC('", 0), 0u) << sink.Texts()[0];

  // A sanitisation failure carries RDKit's reason.
  sink.Clear();
  EXPECT_FALSE(KvSmilesToMol("N(C)(C)(C)(C)C", mol));
  ASSERT_EQ(sink.Count(), 1u);
  EXPECT_NE(sink.Texts()[0].find("valence"), std::string::npos) << sink.Texts()[0];
}

// V2000 blocks are read by every permutation test and the depiction of
// drawn coordinates; here the other version and a block that is none.
TEST(KvMolParse, MolBlockV3000AndNoMolBlock) {
  const std::string v3000 =
      "acetaldehyde\n  test\n\n  0  0  0     0  0            999 V3000\nM  V30 BEGIN CTAB\n"
      "M  V30 COUNTS 3 2 0 0 0\nM  V30 BEGIN ATOM\nM  V30 1 C 0 0 0 0\nM  V30 2 C 1.2 0 0 0\n"
      "M  V30 3 O 1.8 1 0 0\nM  V30 END ATOM\nM  V30 BEGIN BOND\nM  V30 1 1 1 2\nM  V30 2 2 2 3\n"
      "M  V30 END BOND\nM  V30 END CTAB\nM  END\n";
  KvMol mol;
  ASSERT_TRUE(KvMolBlockToMol(v3000, mol));
  EXPECT_EQ(KvMolToSmiles(mol), "CC=O");
  EXPECT_EQ(mol.GetTitle(), "acetaldehyde");
  EXPECT_TRUE(FullyPerceived(mol));
  VarnexTest::CaptureSink sink;
  KvMol bad;
  EXPECT_FALSE(KvMolBlockToMol("not a molfile\n", bad));
  EXPECT_FALSE(bad.IsValid());
  EXPECT_EQ(sink.Count(), 1u);
}

// RDKit's pickle of phenol in a Kekule form without aromatic flags, as
// Python's Chem.Mol.ToBinary() writes it.
std::string PhenolPickle() {
  const std::string hex =
      "efbeadde000000000d00000000000000010000000700000007000000800106006800000003030106006800000003030106006800000003"
      "030106006800000003030106006800000003030106002800000003040800680000000301010b0001280201022002032802030420040528"
      "0205062005002014010600050403020117040000000000000016";
  std::string bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

// A whole pickle, Kekule form or not, reads as its SMILES does (the Python
// tests pass RDKit molecules as pickles); damaged pickles are refused with
// one warning each, never read past their end.
TEST(KvMolParse, DamagedOrOversizePicklesAreRefused) {
  VarnexTest::CaptureSink sink;
  KvMol mol;
  ASSERT_TRUE(KvBinaryToMol(PhenolPickle(), mol));
  EXPECT_TRUE(FullyPerceived(mol));
  const std::string pickle = PhenolPickle();
  for (const std::string& bad : {pickle.substr(0, 40), pickle.substr(0, pickle.size() - 9), std::string("CCO")}) {
    sink.Clear();
    KvMol damaged;
    EXPECT_FALSE(KvBinaryToMol(bad, damaged));
    EXPECT_FALSE(damaged.IsValid());
    EXPECT_EQ(sink.Count(), 1u);
  }
  // Above the atom limit: refused before the toolkit perceives it.
  sink.Clear();
  KvSetMaxAtoms(6);
  KvMol big;
  EXPECT_FALSE(KvBinaryToMol(pickle, big));
  KvSetMaxAtoms(0);
  EXPECT_FALSE(big.IsValid());
  EXPECT_EQ(sink.Texts(),
            std::vector<std::string>{"KvBinaryToMol(): cannot read the molecule: 7 atoms, more than the limit of 6"});
}

// A copy keeps the perception state and is a molecule of its own. (Attached
// data of copied atoms and the owner of moved ones are the pattern tests':
// they map a working copy's atoms back through attached data, on NCI
// molecules moved into vectors.)
TEST(KvMolCopy, CopyKeepsPerceptionAndIsIndependent) {
  KvMol mol = Mol("c1ccccc1CC(=O)O");
  KvGraphMol copy(mol);
  EXPECT_TRUE(FullyPerceived(copy));
  EXPECT_EQ(copy.GetAtom(3)->GetParent(), &copy);
  copy.DeleteAtom(copy.GetAtom(0));
  EXPECT_EQ(mol.NumAtoms(), 10u);
  EXPECT_TRUE(FullyPerceived(mol));
}

TEST(KvMolEdit, DeleteAtomRenumbersAndMovesData) {
  KvMol mol = Mol("OCC(N)Cl");
  for (KvAtomBase* atom : mol.Atoms()) Label(*atom, atom->GetAtomicNum());
  ASSERT_TRUE(FullyPerceived(mol));
  ASSERT_TRUE(mol.DeleteAtom(mol.GetAtom(1)));  // the CH2: splits O from the rest
  EXPECT_FALSE(mol.HasPerceived(KvPerception::Rings));
  EXPECT_EQ(mol.GetAromaticityModel(), 0u);
  ASSERT_EQ(mol.NumAtoms(), 4u);
  ASSERT_EQ(mol.NumBonds(), 2u);
  for (KvAtomBase* atom : mol.Atoms()) {
    EXPECT_EQ(LabelOf(*atom), atom->GetAtomicNum());
    EXPECT_EQ(mol.GetAtom(atom->GetIdx()), atom);
  }
  for (KvBondBase* bond : mol.Bonds()) {
    EXPECT_EQ(bond->GetBeginAtom()->GetBond(bond->GetEndAtom()), bond);
    EXPECT_EQ(mol.GetBond(bond->GetIdx()), bond);
  }
  std::vector<unsigned> labels;
  EXPECT_EQ(KvDetermineComponents(mol, labels), 2u);
  EXPECT_EQ(KvMolToSmiles(mol), "NCCl.O");

  VarnexTest::CaptureSink sink;
  KvMol other = Mol("CC");
  EXPECT_FALSE(mol.DeleteAtom(other.GetAtom(0)));
  EXPECT_EQ(sink.Count(), 1u);
}

TEST(KvMolEdit, ModifyBracketDefersRenumbering) {
  KvMol mol = Mol("[2H]C([2H])([2H])O");  // isotopic hydrogens survive suppression
  for (KvAtomBase* atom : mol.Atoms()) Label(*atom, atom->GetIdx());
  KvSuppressHydrogens(mol, false, false, false);
  ASSERT_EQ(mol.NumAtoms(), 5u);

  mol.BeginModify();
  KvAtomBase* carbon = mol.GetAtom(1);
  for (unsigned i : {0u, 2u, 3u}) {
    carbon->SetImplicitHCount(carbon->GetImplicitHCount() + 1);
    ASSERT_TRUE(mol.DeleteAtom(mol.GetAtom(i)));
    EXPECT_EQ(mol.NumAtoms(), 5u);  // nothing renumbered yet
  }
  mol.EndModify();
  ASSERT_EQ(mol.NumAtoms(), 2u);
  EXPECT_EQ(LabelOf(*mol.GetAtom(0)), 1u);
  EXPECT_EQ(LabelOf(*mol.GetAtom(1)), 4u);
  EXPECT_EQ(mol.GetAtom(0)->GetTotalHCount(), 3u);
  EXPECT_EQ(KvMolToSmiles(mol), "CO");
}
