// Tree fingerprint: single atoms and the size limits, two-atom fragments
// against path ids, branched fragments from every start atom, fragment counts
// against brute force, parameter repair, the type overload, and atom-order
// independence over symmetric, ring-rich and real molecules.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "graph_fp_test_util.h"
#include "varnex/generation.h"
#include "varnex/pathfp.h"
#include "varnex/treefp.h"
#include "varnex/typing.h"

namespace {

using namespace Varnex;
using KvChem::KvMol;
using VarnexTest::CaptureSink;
using VarnexTest::Mol;
using VarnexTest::OnBits;

struct Typed {
  KvMol mol;
  std::vector<unsigned> atomTypes, bondTypes;
};

Typed Prepared(const KvMol& mol, unsigned atomFlags = KvFPAtomType::DefaultTreeAtom,
               unsigned bondFlags = KvFPBondType::DefaultTreeBond) {
  Typed t{KvMol(mol), {}, {}};
  KvPrepareForFingerprinting(t.mol, KvFPType::Tree);
  KvGetFingerprintAtomTypes(t.atomTypes, t.bondTypes, t.mol, atomFlags, bondFlags);
  return t;
}

std::vector<unsigned> TreeIds(const KvMol& mol, unsigned minBonds, unsigned maxBonds) {
  Typed t = Prepared(mol);
  std::vector<unsigned> ids;
  const unsigned count = KvTreeIdGenerator(ids, t.mol, t.atomTypes, t.bondTypes, minBonds, maxBonds,
                                           KvFPAtomType::DefaultTreeAtom, KvFPBondType::DefaultTreeBond);
  EXPECT_EQ(count, ids.size());
  return ids;
}

std::vector<unsigned> Sorted(std::vector<unsigned> v) {
  std::sort(v.begin(), v.end());
  return v;
}

// The number of connected atom sets of `minAtoms` to `maxAtoms` heavy atoms,
// by trying every subset.
size_t BruteForceConnectedSets(const KvMol& mol, unsigned minAtoms, unsigned maxAtoms) {
  const unsigned n = mol.NumAtoms();
  size_t count = 0;
  std::vector<unsigned> chosen;
  std::vector<bool> in(n, false);
  auto connected = [&] {
    std::vector<unsigned> stack{chosen[0]};
    std::vector<bool> seen(n, false);
    seen[chosen[0]] = true;
    size_t reached = 1;
    while (!stack.empty()) {
      const unsigned a = stack.back();
      stack.pop_back();
      for (const KvChem::KvAtomBase* nbr : mol.GetAtom(a)->GetNeighbors()) {
        const unsigned b = nbr->GetIdx();
        if (!in[b] || seen[b]) continue;
        seen[b] = true;
        ++reached;
        stack.push_back(b);
      }
    }
    return reached == chosen.size();
  };
  auto recurse = [&](auto&& self, unsigned from) -> void {
    if (chosen.size() >= minAtoms && connected()) ++count;
    if (chosen.size() == maxAtoms) return;
    for (unsigned a = from; a < n; ++a) {
      chosen.push_back(a);
      in[a] = true;
      self(self, a + 1);
      in[a] = false;
      chosen.pop_back();
    }
  };
  recurse(recurse, 0);
  return count;
}

TEST(TreeFP, SingleAtomsAndTheSizeLimits) {
  const unsigned methaneType = 179u * 125u;  // carbon, sp3, no heavy neighbour
  KvFingerPrint fp;
  ASSERT_TRUE(KvMakeTreeFP(fp, Mol("C")));
  EXPECT_EQ(OnBits(fp), (std::vector<size_t>{methaneType % 4093u}));

  const KvMol ethanol = Mol("CCO");
  Typed t = Prepared(ethanol);
  // Maximum 0: exactly the atom type numbers in index order.
  EXPECT_EQ(TreeIds(ethanol, 0, 0), t.atomTypes);
  // Minimum 1: no single-atom ids; C-C, C-O and the whole molecule.
  const std::vector<unsigned> ids = TreeIds(ethanol, 1, 4);
  EXPECT_EQ(ids.size(), 3u);
  for (unsigned type : t.atomTypes) EXPECT_EQ(std::count(ids.begin(), ids.end(), type), 0) << type;
  // Minimum 2: only the three-atom fragment.
  EXPECT_EQ(TreeIds(ethanol, 2, 4).size(), 1u);
}

TEST(TreeFP, TwoAtomFragmentsEqualThePathFromTheLargerTypedAtom) {
  const KvMol propane = Mol("CCC");
  Typed t = Prepared(propane);
  std::vector<unsigned> pathIds;
  KvPathIdGeneratorStack(pathIds, t.mol, t.atomTypes, t.bondTypes, 1, 1);
  const std::vector<unsigned> treeIds = TreeIds(propane, 1, 1);
  ASSERT_EQ(treeIds.size(), 2u);
  // The middle atom (heavy degree 2) has the larger type, so each bond's id
  // is the path read from the middle atom outwards.
  ASSERT_GT(t.atomTypes[1], t.atomTypes[0]);
  const unsigned fromMiddle = t.atomTypes[1] * 947u + t.bondTypes[0] * 983u + t.atomTypes[0] * 1019u;
  EXPECT_EQ(treeIds, (std::vector<unsigned>{fromMiddle, fromMiddle}));
  EXPECT_EQ(std::count(pathIds.begin(), pathIds.end(), fromMiddle), 2);
}

// Isobutane's four carbons form one branched fragment; with each atom first
// in the molecule (so growth starts there) the fragment keeps its id.
TEST(TreeFP, BranchedFragmentIdDoesNotDependOnTheStartAtom) {
  const KvMol isobutane = Mol("CC(C)C");
  std::vector<unsigned> wholeIds;
  for (unsigned first = 0; first < 4; ++first) {
    std::vector<unsigned> order = {first};
    for (unsigned a = 0; a < 4; ++a)
      if (a != first) order.push_back(a);
    KvMol reordered;
    ASSERT_TRUE(KvChem::KvMolBlockToMol(VarnexTest::PermutedMolBlock(isobutane, order), reordered));
    const std::vector<unsigned> ids = TreeIds(reordered, 3, 3);
    ASSERT_EQ(ids.size(), 1u);
    wholeIds.push_back(ids[0]);
  }
  EXPECT_EQ(wholeIds, std::vector<unsigned>(4, wholeIds[0]));
  // It differs from the three-atom fragments and from n-butane's chain.
  const std::vector<unsigned> three = TreeIds(isobutane, 2, 2);
  EXPECT_EQ(three.size(), 3u);  // three ways to leave out one methyl
  EXPECT_EQ(std::count(three.begin(), three.end(), wholeIds[0]), 0);
  EXPECT_NE(TreeIds(Mol("CCCC"), 3, 3), std::vector<unsigned>{wholeIds[0]});
}

TEST(TreeFP, EveryConnectedAtomSetOnce) {
  for (const std::string smiles : {"C12C3C4C1C5C2C3C45", "C1C2CC3CC1CC(C2)C3", "CC(C)(C)c1ccc(O)cc1",
                                   "c1ccc2cc3ccccc3cc2c1", "OCC(O)C(O)C(O)C(O)C=O"}) {
    const KvMol mol = Mol(smiles);
    EXPECT_EQ(TreeIds(mol, 1, 4).size(), BruteForceConnectedSets(mol, 2, 5)) << smiles;
    EXPECT_EQ(TreeIds(mol, 3, 5).size(), BruteForceConnectedSets(mol, 4, 6)) << smiles;
  }
}

TEST(TreeFP, EmptyAndInvalidMolecules) {
  KvFingerPrint fp;
  ASSERT_TRUE(KvMakeTreeFP(fp, KvMol()));
  EXPECT_EQ(fp.GetSize(), 4096u);
  EXPECT_EQ(fp.CountBits(), 0u);
  EXPECT_EQ(fp.GetFPTypeBase(), KvGetTreeFPType(4096, 0, 4, 63, 1));
  KvMol invalid;
  invalid.SetInvalid();
  EXPECT_FALSE(KvMakeTreeFP(fp, invalid));
  EXPECT_EQ(fp.GetFPTypeBase(), nullptr);
}

TEST(TreeFP, OutOfRangeParametersAreRepairedWithWarnings) {
  const KvMol mol = Mol("CC(=O)Oc1ccccc1C(=O)O");
  struct Case {
    unsigned bits, minB, maxB, atom, bond;
    std::string message;
    unsigned expBits, expMin, expMax, expAtom, expBond;
  };
  const std::vector<Case> cases = {
      {15, 0, 4, 63, 1, "KvMakeTreeFP() : invalid bit vector size 15 for tree fingerprint (default 4096 is used)", 4096,
       0, 4, 63, 1},
      {65536, 0, 4, 63, 1,
       "KvMakeTreeFP() : invalid bit vector size 65536 for tree fingerprint (default 4096 is used)", 4096, 0, 4, 63, 1},
      {2048, 21, 4, 63, 1, "KvMakeTreeFP() : invalid min bonds 21 for tree fingerprint (default 0 is used)", 2048, 0,
       4, 63, 1},
      {2048, 1, 25, 63, 1, "KvMakeTreeFP() : invalid max bonds 25 for tree fingerprint (default 4 is used)", 2048, 1, 4,
       63, 1},
      {2048, 6, 3, 63, 1,
       "KvMakeTreeFP() : invalid min bonds 6 > max bonds 3 for tree fingerprint (minbonds = maxbonds is used)", 2048, 3,
       3, 63, 1},
      {2048, 0, 3, 0, 0,
       "KvMakeTreeFP() : invalid to have both atom and bond types set to be None (default types are used)!", 2048, 0, 3,
       63, 1},
  };
  for (const Case& c : cases) {
    CaptureSink sink;
    KvFingerPrint fp, expected;
    ASSERT_TRUE(KvMakeTreeFP(fp, mol, c.bits, c.minB, c.maxB, c.atom, c.bond));
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{c.message});
    EXPECT_EQ(fp.GetFPTypeBase(), KvGetTreeFPType(c.expBits, c.expMin, c.expMax, c.expAtom, c.expBond));
    ASSERT_TRUE(KvMakeTreeFP(expected, mol, c.expBits, c.expMin, c.expMax, c.expAtom, c.expBond));
    EXPECT_TRUE(fp == expected) << c.message;
  }
  CaptureSink sink;
  KvFingerPrint fp;
  EXPECT_TRUE(KvMakeTreeFP(fp, mol, 16, 20, 20, 0, 1));
  EXPECT_TRUE(KvMakeTreeFP(fp, mol, 65535, 0, 0, 63, 0));
  EXPECT_EQ(sink.Count(), 0u);
}

TEST(TreeFP, TypeOverloadChecksTheKind) {
  const KvMol mol = Mol("c1ccncc1CCN");
  KvFingerPrint fp, byDefault;
  ASSERT_TRUE(KvMakeTreeFP(byDefault, mol));
  ASSERT_TRUE(KvMakeTreeFP(fp, mol, KvGetFPType(KvFPType::Tree)));
  EXPECT_TRUE(fp == byDefault);
  KvFingerPrint viaEntry;
  ASSERT_TRUE(KvMakeFP(viaEntry, mol, KvFPType::Tree, false));
  EXPECT_TRUE(viaEntry == byDefault);
  for (const KvFPTypeBase* wrong : {KvGetFPType(KvFPType::Circular), KvGetFPType(KvFPType::UnhashedTree),
                                    static_cast<const KvFPTypeBase*>(nullptr)}) {
    CaptureSink sink;
    KvFingerPrint untouched = byDefault;
    EXPECT_FALSE(KvMakeTreeFP(untouched, mol, wrong));
    const auto messages = sink.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "KvMakeTreeFP ;invalid tree fingerprint type");
    EXPECT_EQ(messages[0].level, KvSystem::KvErrorLevel::Error);
    EXPECT_TRUE(untouched == byDefault);
  }
  CaptureSink sink;
  const KvFPTypeBase* clean = KvGetTreeFPType(KvGraphFPVersion, 1024, 1, 3, 63, 1);
  KvFPTreeType stray(KvGraphFPVersion, static_cast<const KvFPGraphTypeBase*>(clean)->GetParameterWord() |
                                           (UINT64_C(1) << 62));
  ASSERT_TRUE(KvMakeTreeFP(fp, mol, &stray));
  EXPECT_EQ(sink.Texts(), std::vector<std::string>{"Unrecognised data in KvFPTreeType!"});
  EXPECT_EQ(fp.GetFPTypeBase(), clean);
}

TEST(TreeFP, AtomOrderDoesNotMatter) {
  const std::vector<std::string> molecules = {
      "C12C3C4C1C5C2C3C45",                               // cubane
      "C1C2CC3CC1CC(C2)C3",                               // adamantane
      "c1cc2cc3ccc(cc4ccc(cc5ccc(cc1n2)[nH]5)n4)[nH]3",  // porphine
      "CC(C)(C)c1ccc(O)c(C(C)(C)C)c1",
      "C1CC2CCC3CCCC4CCC(C1)C2C34",
  };
  for (const std::string& smiles : molecules) {
    const KvMol mol = Mol(smiles);
    const KvMol reference = VarnexTest::PermutedMol(mol, 0);
    const std::vector<unsigned> refIds = Sorted(TreeIds(reference, 0, 4));
    KvFingerPrint refFp;
    ASSERT_TRUE(KvMakeTreeFP(refFp, reference));
    KvFingerPrint canonical;
    ASSERT_TRUE(KvMakeTreeFP(canonical, Mol(KvChem::KvMolToSmiles(mol))));
    EXPECT_TRUE(canonical == refFp) << smiles;
    for (unsigned seed = 1; seed <= 5; ++seed) {
      const KvMol permuted = VarnexTest::PermutedMol(mol, seed);
      EXPECT_EQ(Sorted(TreeIds(permuted, 0, 4)), refIds) << smiles << " seed " << seed;
      KvFingerPrint fp;
      ASSERT_TRUE(KvMakeTreeFP(fp, permuted));
      EXPECT_TRUE(fp == refFp) << smiles << " seed " << seed;
    }
  }
}

// Over the NCI set: the modulus bound, and the fingerprint (with symmetry
// classes on molecules of more than 20 atoms) against the bits of the id
// generator without them.
TEST(TreeFP, RealMoleculesModulusAndSymmetrySkip) {
  const std::vector<std::string> smiles = VarnexTest::NciSmiles(3000);
  size_t checked = 0, large = 0;
  for (size_t i = 0; i < smiles.size(); ++i) {
    KvMol mol;
    if (!KvChem::KvSmilesToMol(smiles[i], mol)) continue;
    KvFingerPrint fp;
    ASSERT_TRUE(KvMakeTreeFP(fp, mol));
    for (size_t bit = 4093; bit < 4096; ++bit) ASSERT_FALSE(fp.IsBitOn(bit)) << smiles[i];
    ++checked;
    if (i % 15 != 0) continue;
    if (mol.NumAtoms() > 20) ++large;
    KvFingerPrint reference;
    reference.SetSize(4096);
    for (unsigned id : TreeIds(mol, 0, 4)) reference.SetBitOn(id % 4093u);
    EXPECT_TRUE(std::equal(reference.Bytes().begin(), reference.Bytes().end(), fp.Bytes().begin())) << smiles[i];
  }
  EXPECT_GT(checked, 2900u);
  EXPECT_GT(large, 20u);
}

}  // namespace
