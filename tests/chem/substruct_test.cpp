// SMARTS search: matches, counts, recursion, hydrogen primitives, threads.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "capture_sink.h"
#include "kvchem/kvchem.h"
#include "molecules.h"

using namespace KvChem;

using VarnexTest::Mol;

TEST(KvSubSearchMatch, AtomAndBondPairs) {
  KvSubSearch carboxyl("C(=O)[OX2H1]");
  ASSERT_TRUE(carboxyl.IsValid());
  KvMol acid = Mol("CC(=O)O");
  auto matches = KvSystem::KvCollect(carboxyl.Match(acid, true));
  ASSERT_EQ(matches.size(), 1u);
  const auto& atoms = matches[0].GetAtomPairs();
  ASSERT_EQ(atoms.size(), 3u);
  EXPECT_EQ(atoms[0].query, nullptr);
  EXPECT_EQ(atoms[0].queryIdx, 0u);
  EXPECT_EQ(atoms[0].target, acid.GetAtom(1));
  EXPECT_EQ(atoms[2].target, acid.GetAtom(3));
  const auto& bonds = matches[0].GetBondPairs();
  ASSERT_EQ(bonds.size(), 2u);
  EXPECT_EQ(bonds[0].target, acid.GetAtom(1)->GetBond(acid.GetAtom(2)));
  EXPECT_EQ(bonds[1].queryIdx, 1u);

  KvMol ester = Mol("CC(=O)OC");
  EXPECT_FALSE(carboxyl.SingleMatch(ester));
  EXPECT_EQ(KvSystem::KvCollect(carboxyl.Match(ester, true)).size(), 0u);
}

TEST(KvSubSearchMatch, CountsUniqueRawAndLimited) {
  const struct {
    const char *smarts, *smiles;
    bool unique;
    unsigned limit, count;
  } cases[] = {
      {"c1ccccc1", "c1ccccc1", true, 0, 1},
      {"c1ccccc1", "c1ccccc1", false, 0, 12},  // 6 rotations x 2 directions
      {"c1ccccc1", "c1ccccc1", false, 5, 5},
      // The limit counts unique matches: naphthalene has 2 unique six-rings among 24 raw.
      {"c1ccccc1", "c1ccc2ccccc2c1", true, 2, 2},
      {"[CH2]", "CCCCCC", true, 0, 4},
      {"[CH2]", "CCCCCC", true, 3, 3},
      // Hydrogen primitives; aromatic carbons next to an OH, through recursive environments.
      {"[NH2]", "NCc1ccc(O)cc1", true, 0, 1},
      {"[CH2]", "NCc1ccc(O)cc1", true, 0, 1},
      {"[ch]", "NCc1ccc(O)cc1", true, 0, 4},
      {"[c;H0]", "NCc1ccc(O)cc1", true, 0, 2},
      {"[c;$(c[OH])]", "NCc1ccc(O)cc1", true, 0, 1},
      {"[c;$(c[$(c[OH])])]", "NCc1ccc(O)cc1", true, 0, 2},
      // Explicit hydrogen atoms count for H, not for h.
      {"[CH3]", "C([H])([H])O", true, 0, 1},
      {"[Ch1]", "C([H])([H])O", true, 0, 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(KvSubSearch(c.smarts).CountMatches(Mol(c.smiles), c.unique, c.limit), c.count) << c.smarts << " " << c.smiles;
  EXPECT_EQ(KvSystem::KvCollect(KvSubSearch("c1ccccc1").Match(Mol("c1ccccc1"), false)).size(), 12u);
  // Ring primitives after an edit (rings are then perceived for the match).
  KvMol mol = Mol("NCc1ccc(O)cc1");
  mol.GetAtom(0)->SetImplicitHCount(2);
  ASSERT_FALSE(mol.HasPerceived(KvPerception::Rings));
  EXPECT_EQ(KvSubSearch("[r6]").CountMatches(mol, true, 0), 6u);
}

TEST(KvSubSearchMatch, InvalidPatternOrMolecule) {
  VarnexTest::CaptureSink sink;
  KvSubSearch bad("C(=O");
  EXPECT_FALSE(bad.IsValid());
  ASSERT_EQ(sink.Count(), 1u);
  EXPECT_EQ(sink.Texts()[0].rfind("KvSubSearch: cannot parse SMARTS 'C(=O'", 0), 0u);
  KvMol mol = Mol("CC=O");
  EXPECT_FALSE(bad.SingleMatch(mol));
  EXPECT_EQ(KvSystem::KvCollect(bad.Match(mol, true)).size(), 0u);

  KvMol invalid;
  invalid.SetInvalid();
  EXPECT_FALSE(KvSubSearch("C").SingleMatch(invalid));
}

TEST(KvSubSearchThreads, SharedRecursivePatternAgreesWithSerialCounts) {
  const std::vector<KvMol> mols = VarnexTest::NciMols(600);
  ASSERT_GT(mols.size(), 500u);
  const KvSubSearch search("[#6;$([#6]~[#7,#8]);!$([#6]=O)]");
  std::vector<unsigned> serial;
  for (const auto& mol : mols) serial.push_back(search.CountMatches(mol, true, 0));

  std::vector<unsigned> threaded(mols.size());
  std::atomic<size_t> next{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t)
    workers.emplace_back([&] {
      for (size_t i; (i = next.fetch_add(1)) < mols.size();) threaded[i] = search.CountMatches(mols[i], true, 0);
    });
  for (auto& w : workers) w.join();
  EXPECT_EQ(serial, threaded);
}
