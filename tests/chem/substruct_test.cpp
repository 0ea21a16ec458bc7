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

TEST(KvSubSearchMatch, UniqueCountsAndLimit) {
  KvMol benzene = Mol("c1ccccc1");
  KvSubSearch ring("c1ccccc1");
  EXPECT_EQ(ring.CountMatches(benzene, true, 0), 1u);
  EXPECT_EQ(ring.CountMatches(benzene, false, 0), 12u);  // 6 rotations x 2 directions
  EXPECT_EQ(ring.CountMatches(benzene, false, 5), 5u);
  EXPECT_EQ(KvSystem::KvCollect(ring.Match(benzene, false)).size(), 12u);

  // The limit counts unique matches: naphthalene has 2 unique six-rings among
  // 24 raw matches.
  KvMol naphthalene = Mol("c1ccc2ccccc2c1");
  EXPECT_EQ(ring.CountMatches(naphthalene, true, 2), 2u);
  EXPECT_EQ(ring.CountMatches(naphthalene, true, 0), 2u);
  EXPECT_EQ(KvSubSearch("[$(c(c)c)]1ccccc1").CountMatches(naphthalene, true, 2), 2u);

  KvMol hexane = Mol("CCCCCC");
  KvSubSearch ch2("[CH2]");
  EXPECT_EQ(ch2.CountMatches(hexane, true, 0), 4u);
  EXPECT_EQ(ch2.CountMatches(hexane, true, 3), 3u);
}

TEST(KvSubSearchMatch, HydrogenPrimitivesAndRecursion) {
  KvMol mol = Mol("NCc1ccc(O)cc1");
  EXPECT_EQ(KvSubSearch("[NH2]").CountMatches(mol, true, 0), 1u);
  EXPECT_EQ(KvSubSearch("[CH2]").CountMatches(mol, true, 0), 1u);
  EXPECT_EQ(KvSubSearch("[ch]").CountMatches(mol, true, 0), 4u);    // aromatic CH
  EXPECT_EQ(KvSubSearch("[c;H0]").CountMatches(mol, true, 0), 2u);
  // Aromatic carbon carrying an OH, through a recursive environment.
  KvSubSearch phenolC("[c;$(c[OH])]");
  EXPECT_EQ(phenolC.CountMatches(mol, true, 0), 1u);
  KvSubSearch nextToPhenolC("[c;$(c[$(c[OH])])]");
  EXPECT_EQ(nextToPhenolC.CountMatches(mol, true, 0), 2u);
  // Ring primitives after an edit (rings are then perceived for the match).
  mol.GetAtom(0)->SetImplicitHCount(2);
  ASSERT_FALSE(mol.HasPerceived(KvPerception::Rings));
  EXPECT_EQ(KvSubSearch("[R]").CountMatches(mol, true, 0), 6u);
  EXPECT_EQ(KvSubSearch("[r6]").CountMatches(mol, true, 0), 6u);

  // Explicit hydrogen atoms count for H, not for h.
  KvMol explicitH = Mol("C([H])([H])O");
  EXPECT_EQ(KvSubSearch("[CH3]").CountMatches(explicitH, true, 0), 1u);
  EXPECT_EQ(KvSubSearch("[Ch1]").CountMatches(explicitH, true, 0), 1u);
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
