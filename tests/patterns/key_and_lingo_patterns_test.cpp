// MACCS key patterns and Lingo substring patterns: the keys of the patterns
// are exactly the keys the fingerprint sets, every key has a description and
// a pattern, Lingo substrings cover the atoms their characters write.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "kvchem/lingo.h"
#include "kvsystem/iterator.h"
#include "molecules.h"
#include "varnex/fptypes.h"
#include "varnex/maccs.h"
#include "varnex/patterns.h"

namespace Varnex {
namespace {

using VarnexTest::Mol;

TEST(MACCSPatternsTest, KeysOfThePatternsAreTheFingerprintsKeys) {
  const KvFPTypeBase* type = KvGetFPType(KvFPType::MACCS166);
  // NCI molecules, and salts and biaryls for the whole-molecule keys.
  std::vector<KvChem::KvMol> mols = VarnexTest::NciMols(150);
  for (const char* smiles : {"[Na+].[O-]C(=O)c1ccccc1", "c1ccccc1-c1ccncc1", "[2H]C(Cl)(Br)I"}) mols.push_back(Mol(smiles));
  for (const KvChem::KvMol& mol : mols) {
    KvFingerPrint fp;
    ASSERT_TRUE(KvMakeMACCS166FP(fp, mol));
    std::set<std::size_t> keyed;
    for (const KvFPPattern& p : KvSystem::KvCollect(KvGetMACCSFPPatterns(mol, type))) {
      keyed.insert(p.GetBit());
      EXPECT_EQ(p.GetUnhashed(), p.GetBit() + 1);
      EXPECT_EQ(p.GetSmarts(), KvGetMACCSKeyPattern(p.GetUnhashed()));
      EXPECT_GE(p.NumAtoms(), 1u) << KvChem::KvMolToSmiles(mol) << " key " << p.GetUnhashed();
      for (const KvChem::KvAtomBase* atom : p.GetAtoms()) EXPECT_EQ(atom->GetParent(), &mol);
    }
    const std::vector<std::size_t> on = VarnexTest::OnBits(fp);
    EXPECT_EQ(keyed, std::set<std::size_t>(on.begin(), on.end())) << KvChem::KvMolToSmiles(mol);
  }
  // A type of another kind: nothing.
  EXPECT_TRUE(KvSystem::KvCollect(KvGetMACCSFPPatterns(Mol("CCO"), KvGetFPType(KvFPType::Path))).empty());
}

TEST(MACCSPatternsTest, EveryKeyIsDescribedWithItsPattern) {
  const std::pair<unsigned, const char*> patterns[] = {
      {8, "[!#6;!#1]~1~*~*~*~1"}, {130, "[!#6;!#1]~[!#6;!#1] (2 or more)"}, {42, "[#9]"},
      {35, "[#1,#3,#11,#19,#37,#55,#87]"}, {166, "(*).(*): the whole molecule"}, {44, ""}, {0, ""}, {167, ""},
  };
  for (const auto& [key, pattern] : patterns) EXPECT_EQ(KvGetMACCSKeyPattern(key), pattern) << key;
  for (unsigned key = 1; key <= KvMACCS166NumBits; ++key) {
    EXPECT_FALSE(KvGetMACCSKeyDescription(key).empty()) << key;
    if (key != 44) {
      EXPECT_FALSE(KvGetMACCSKeyPattern(key).empty()) << key;
    }
  }
  EXPECT_EQ(KvGetMACCSKeyDescription(0), "");
  EXPECT_EQ(KvGetMACCSKeyDescription(14), "a disulfide (S-S single bond)");
}

struct LingoCase {
  const char* smiles;
  std::vector<std::string> texts;
  std::vector<std::vector<unsigned>> atoms;
  std::vector<std::vector<unsigned>> bonds;
};

TEST(LingoPatternsTest, EachSubstringCoversTheAtomsItWrites) {
  const LingoCase cases[] = {
      {"OCCCl", {"OCCL"}, {{0, 1, 2, 3}}, {{0, 1, 2}}},
      // The branch: the methyl written inside it is not bonded to the oxygen after it.
      {"CC(C)O", {"CC(C", "C(C)", "(C)O"}, {{0, 1, 2}, {1, 2}, {2, 3}}, {{0, 1}, {1}, {}}},
      {"CCO", {}, {}, {}},  // shorter than one substring
  };
  const KvFPTypeBase* type = KvGetFPType(KvFPType::Lingo);
  for (const LingoCase& c : cases) {
    // The patterns point at the molecule's atoms: the molecule outlives them.
    const KvChem::KvMol mol = Mol(c.smiles);
    const std::vector<KvFPPattern> patterns = KvSystem::KvCollect(KvGetLingoFPPatterns(mol, type));
    ASSERT_EQ(patterns.size(), c.texts.size()) << c.smiles;
    for (std::size_t i = 0; i < patterns.size(); ++i) {
      EXPECT_EQ(patterns[i].GetSmarts(), c.texts[i]);
      std::vector<unsigned> atoms, bonds;
      for (const KvChem::KvAtomBase* atom : patterns[i].GetAtoms()) atoms.push_back(atom->GetIdx());
      for (const KvChem::KvBondBase* bond : patterns[i].GetBonds()) bonds.push_back(bond->GetIdx());
      std::sort(atoms.begin(), atoms.end());
      std::sort(bonds.begin(), bonds.end());
      EXPECT_EQ(atoms, c.atoms[i]) << c.smiles << " " << c.texts[i];
      EXPECT_EQ(bonds, c.bonds[i]) << c.smiles << " " << c.texts[i];
    }
  }
  // On NCI molecules the substrings are those of the fingerprint's text, and
  // the letters of every substring belong to its atoms.
  for (const KvChem::KvMol& mol : VarnexTest::NciMols(60)) {
    std::string text;
    std::vector<int> atomOfChar;
    ASSERT_TRUE(KvChem::KvLingoMap().CreateString(text, atomOfChar, mol));
    std::string plain;
    ASSERT_TRUE(KvChem::KvLingoMap().CreateString(plain, mol));
    EXPECT_EQ(text, plain);
    ASSERT_EQ(atomOfChar.size(), text.size());
    std::set<int> written;
    for (std::size_t k = 0; k < text.size(); ++k) {
      if (std::isalpha(static_cast<unsigned char>(text[k])) && text[k] != 'H') {
        EXPECT_GE(atomOfChar[k], 0) << text << " at " << k;
      }
      if (atomOfChar[k] >= 0) written.insert(atomOfChar[k]);
    }
    EXPECT_EQ(written.size(), mol.NumAtoms()) << text;
    const std::vector<KvFPPattern> patterns = KvSystem::KvCollect(KvGetLingoFPPatterns(mol, type));
    ASSERT_EQ(patterns.size(), text.size() >= 4 ? text.size() - 3 : 0u);
    for (std::size_t i = 0; i < patterns.size(); ++i) EXPECT_EQ(patterns[i].GetSmarts(), text.substr(i, 4));
  }
}

}  // namespace
}  // namespace Varnex
