// Tree fingerprint: single atoms and the size limits, two-atom fragments
// against path ids, and fragment counts against brute force. What all graph
// generators share (atom order among it) is tested in graph_driver_test.cpp.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "graph_fp_test_util.h"
#include "varnex/generation.h"
#include "varnex/pathfp.h"
#include "varnex/treefp.h"
#include "varnex/typing.h"

namespace {

using namespace Varnex;
using KvChem::KvMol;
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
  // Maximum 0: exactly the atom type numbers in index order (a minimum of 1
  // leaving out single atoms is the brute force's).
  EXPECT_EQ(TreeIds(ethanol, 0, 0), t.atomTypes);
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

TEST(TreeFP, EveryConnectedAtomSetOnce) {
  for (const std::string smiles : {"C12C3C4C1C5C2C3C45", "C1C2CC3CC1CC(C2)C3", "CC(C)(C)c1ccc(O)cc1",
                                   "c1ccc2cc3ccccc3cc2c1", "OCC(O)C(O)C(O)C(O)C=O"}) {
    const KvMol mol = Mol(smiles);
    EXPECT_EQ(TreeIds(mol, 1, 4).size(), BruteForceConnectedSets(mol, 2, 5)) << smiles;
    EXPECT_EQ(TreeIds(mol, 3, 5).size(), BruteForceConnectedSets(mol, 4, 6)) << smiles;
  }
}

}  // namespace
