// Tests of the maximum common substructure: the common part of real pairs
// (elements and bond orders alike, rings whole), pairs that really are
// alike on both sides, the time limit, and bad input.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "kvchem/mcs.h"
#include "molecules.h"

namespace {

using VarnexTest::Mol;

struct McsCase {
  const char* a;
  const char* b;
  unsigned atoms;
  unsigned bonds;
};

TEST(KvFindMcsTest, CommonPartsOfRealPairs) {
  const McsCase cases[] = {
      {"CC(=O)Oc1ccccc1C(=O)O", "Cc1ccccc1C(=O)O", 9, 9},   // aspirin, 2-methylbenzoic acid: benzoic acid, no acetyl
      {"CC(=O)Oc1ccccc1C(=O)O", "OC(=O)c1ccccc1O", 10, 10},  // salicylic acid: all of it
      {"CCO", "CCN", 2, 1},
      {"c1ccccc1", "C1CCCCC1", 0, 0},        // aromatic bonds are not single bonds
      {"c1ccccc1CC", "c1ccccc1", 6, 6},
      {"C1CCCCC1C", "CCCCCCC", 0, 0},        // ring atoms only with ring atoms
      {"c1ccc2ccccc2c1", "c1ccccc1C", 6, 6},  // one ring of naphthalene, not a part of both
      {"CN1C=NC2=C1C(=O)N(C(=O)N2C)C", "CN1C=NC2=C1C(=O)N(C(=O)N2C)C", 14, 15},
      {"C", "C", 0, 0},  // no bond, nothing in common worth naming
  };
  for (const McsCase& c : cases) {
    const KvChem::KvMol a = Mol(c.a), b = Mol(c.b);
    KvChem::KvMcsResult result;
    ASSERT_TRUE(KvChem::KvFindMcs(a, b, {}, result)) << c.a << " " << c.b;
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(result.atoms.size(), c.atoms) << c.a << " " << c.b;
    EXPECT_EQ(result.bonds.size(), c.bonds) << c.a << " " << c.b;
    // Paired atoms are the same element, each atom used once; paired bonds
    // join paired atoms and have the same order.
    std::set<unsigned> usedA, usedB;
    std::vector<int> partner(a.NumAtoms(), -1);
    for (const auto& [x, y] : result.atoms) {
      EXPECT_EQ(a.GetAtom(x)->GetAtomicNum(), b.GetAtom(y)->GetAtomicNum());
      EXPECT_TRUE(usedA.insert(x).second && usedB.insert(y).second);
      partner[x] = static_cast<int>(y);
    }
    for (const auto& [x, y] : result.bonds) {
      const KvChem::KvBondBase* bondA = a.GetBond(x);
      const KvChem::KvBondBase* bondB = b.GetBond(y);
      EXPECT_EQ(bondA->IsAromatic(), bondB->IsAromatic());
      if (!bondA->IsAromatic()) {
        EXPECT_EQ(bondA->GetOrder(), bondB->GetOrder());
      }
      const int begin = partner[bondA->GetBeginAtom()->GetIdx()], end = partner[bondA->GetEndAtom()->GetIdx()];
      ASSERT_TRUE(begin >= 0 && end >= 0);
      EXPECT_EQ(b.GetAtom(static_cast<unsigned>(begin))->GetBond(b.GetAtom(static_cast<unsigned>(end))), bondB);
    }
  }
}

std::string Peptide(const std::string& sequence) {
  std::string smiles;
  for (char residue : sequence) smiles += residue == 'G' ? "NCC(=O)" : residue == 'A' ? "NC(C)C(=O)" : "NC(CO)C(=O)";
  return smiles + "O";
}

TEST(KvFindMcsTest, TimeLimitStopsWithTheBestSoFar) {
  // Two peptides: many equally good partial matches, seconds of search.
  const KvChem::KvMol a = Mol(Peptide("GASGASGASGASGASGASGA")), b = Mol(Peptide("SAGSAGSAGSAGSAGSAGSA"));
  KvChem::KvMcsOptions options;
  options.timeLimit = std::chrono::milliseconds(20);
  KvChem::KvMcsResult result;
  ASSERT_TRUE(KvChem::KvFindMcs(a, b, options, result));
  // How much is found by then depends on the machine's load: only the stop is certain.
  EXPECT_FALSE(result.complete);
}

TEST(KvFindMcsTest, InvalidMoleculeGivesAWarningAndNothing) {
  KvChem::KvMol invalid;
  invalid.SetInvalid();
  VarnexTest::CaptureSink sink;
  KvChem::KvMcsResult result;
  result.atoms.emplace_back(1, 1);
  EXPECT_FALSE(KvChem::KvFindMcs(Mol("CCO"), invalid, {}, result));
  EXPECT_TRUE(result.atoms.empty());
  EXPECT_EQ(sink.Texts(), std::vector<std::string>{"KvFindMcs() invalid molecule!"});
}

}  // namespace
