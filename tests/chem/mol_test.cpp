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

// Every reader: a whole input reads as its molecule (title included), fully
// perceived, without a message; an unreadable or damaged one (a pickle is
// never read past its end) gives an invalid molecule and one warning, the
// toolkit's reason in it. V2000 blocks are read by every permutation test,
// names after SMILES by the molecule-file tests; the empty SMILES is a
// golden-bits molecule.
TEST(KvMolParse, WholeInputsReadAndDamagedOnesAreRefusedWithAWarning) {
  const std::string v3000 =
      "acetaldehyde\n  test\n\n  0  0  0     0  0            999 V3000\nM  V30 BEGIN CTAB\n"
      "M  V30 COUNTS 3 2 0 0 0\nM  V30 BEGIN ATOM\nM  V30 1 C 0 0 0 0\nM  V30 2 C 1.2 0 0 0\n"
      "M  V30 3 O 1.8 1 0 0\nM  V30 END ATOM\nM  V30 BEGIN BOND\nM  V30 1 1 1 2\nM  V30 2 2 2 3\n"
      "M  V30 END BOND\nM  V30 END CTAB\nM  END\n";
  const std::string pickle = PhenolPickle();
  const struct {
    bool (*read)(const std::string&, KvMolBase&);
    std::string text;
    std::string result;  // SMILES and title, or the start of the warning
  } cases[] = {
      {KvSmilesToMol, "C1CC(", "KvSmilesToMol(): cannot parse SMILES 'C1CC('"},
      {KvSmilesToMol, "N(C)(C)(C)(C)C", "KvSmilesToMol(): cannot parse SMILES 'N(C)(C)(C)(C)C': Explicit valence"},
      {KvMolBlockToMol, v3000, "CC=O acetaldehyde"},
      {KvMolBlockToMol, "not a molfile\n", "KvMolBlockToMol(): cannot parse the molfile"},
      {KvBinaryToMol, pickle, "Oc1ccccc1 "},  // a Kekule form read as aromatic
      {KvBinaryToMol, pickle.substr(0, 40), "KvBinaryToMol(): cannot read the molecule: "},
      {KvBinaryToMol, pickle.substr(0, pickle.size() - 9), "KvBinaryToMol(): cannot read the molecule: "},
      {KvBinaryToMol, "CCO", "KvBinaryToMol(): cannot read the molecule: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    VarnexTest::CaptureSink sink;
    KvMol mol;
    const bool read = c.read(c.text, mol);
    EXPECT_EQ(read, mol.IsValid());
    if (read) {
      EXPECT_EQ(KvMolToSmiles(mol) + " " + mol.GetTitle(), c.result);
      EXPECT_TRUE(FullyPerceived(mol));
      EXPECT_EQ(sink.Count(), 0u);
      continue;
    }
    EXPECT_EQ(mol.NumAtoms(), 0u);
    ASSERT_EQ(sink.Count(), 1u);
    EXPECT_EQ(sink.Texts()[0].rfind(c.result, 0), 0u) << sink.Texts()[0];
  }
  // Above the atom limit: refused before the toolkit perceives it.
  VarnexTest::CaptureSink sink;
  KvSetMaxAtoms(6);
  KvMol big;
  EXPECT_FALSE(KvBinaryToMol(pickle, big));
  KvSetMaxAtoms(0);
  EXPECT_FALSE(big.IsValid());
  EXPECT_EQ(sink.Texts(),
            std::vector<std::string>{"KvBinaryToMol(): cannot read the molecule: 7 atoms, more than the limit of 6"});
}

// A copy that shares atoms with its original is the pattern tests' to catch:
// they edit a working copy and check that the caller's molecule is unchanged.
TEST(KvMolEdit, DeleteAtomRenumbersAndMovesData) {
  KvMol mol = Mol("OCC(N)Cl");
  for (KvAtomBase* atom : mol.Atoms()) Label(*atom, atom->GetAtomicNum());
  ASSERT_TRUE(FullyPerceived(mol));
  ASSERT_TRUE(mol.DeleteAtom(mol.GetAtom(1)));  // the CH2: splits O from the rest
  EXPECT_FALSE(mol.HasPerceived(KvPerception::Rings));
  EXPECT_EQ(mol.GetAromaticityModel(), 0u);
  ASSERT_EQ(mol.NumAtoms(), 4u);
  for (KvAtomBase* atom : mol.Atoms()) {
    EXPECT_EQ(LabelOf(*atom), atom->GetAtomicNum());
    EXPECT_EQ(mol.GetAtom(atom->GetIdx()), atom);
  }
  for (KvBondBase* bond : mol.Bonds()) {
    EXPECT_EQ(bond->GetBeginAtom()->GetBond(bond->GetEndAtom()), bond);
    EXPECT_EQ(mol.GetBond(bond->GetIdx()), bond);
  }
  EXPECT_EQ(KvMolToSmiles(mol), "NCCl.O");  // two bonds, two components

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
  EXPECT_EQ(KvMolToSmiles(mol), "CO");  // the carbon's three hydrogens kept
}
