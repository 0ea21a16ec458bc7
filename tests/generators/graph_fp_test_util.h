// Helpers of the graph fingerprint tests: the same molecule with its atoms in
// another order (written as a molfile with permuted atom lines).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "kvchem/mol.h"
#include "kvchem/perception.h"
#include "molecules.h"

namespace VarnexTest {

// The molecule as a V2000 molfile whose atom line i holds atom order[i]:
// elements, charges and Kekulé bond orders, no stereo. Hydrogen counts are
// left to the reader's valence model, so use molecules without unusual
// valences.
inline std::string PermutedMolBlock(const KvChem::KvMolBase& mol, const std::vector<unsigned>& order) {
  std::vector<unsigned> line(order.size());
  for (unsigned i = 0; i < order.size(); ++i) line[order[i]] = i + 1;
  char buf[128];
  std::string block = "permuted\n  test\n\n";
  std::snprintf(buf, sizeof buf, "%3u%3u  0  0  0  0  0  0  0  0999 V2000\n", mol.NumAtoms(), mol.NumBonds());
  block += buf;
  for (unsigned idx : order) {
    const std::string symbol = KvChem::KvGetAtomicSymbol(mol.GetAtom(idx)->GetAtomicNum());
    std::snprintf(buf, sizeof buf, "    0.0000    0.0000    0.0000 %-3s 0  0  0  0  0  0  0  0  0  0  0  0\n",
                  symbol.c_str());
    block += buf;
  }
  // Bonds in a shuffled order too, so that neighbour lists change as well.
  std::vector<unsigned> bonds(mol.NumBonds());
  std::iota(bonds.begin(), bonds.end(), 0u);
  std::reverse(bonds.begin(), bonds.end());
  for (unsigned b : bonds) {
    const KvChem::KvBondBase* bond = mol.GetBond(b);
    std::snprintf(buf, sizeof buf, "%3u%3u%3u  0\n", line[bond->GetEndAtom()->GetIdx()],
                  line[bond->GetBeginAtom()->GetIdx()], bond->GetOrder());
    block += buf;
  }
  for (const KvChem::KvAtomBase* atom : mol.Atoms()) {
    if (atom->GetFormalCharge() == 0) continue;
    std::snprintf(buf, sizeof buf, "M  CHG  1 %3u %3d\n", line[atom->GetIdx()], atom->GetFormalCharge());
    block += buf;
  }
  block += "M  END\n";
  return block;
}

// The molecule with its atoms in a random order drawn from `seed` (seed 0:
// the original order, still written through the molfile).
inline KvChem::KvMol PermutedMol(const KvChem::KvMolBase& mol, unsigned seed) {
  std::vector<unsigned> order(mol.NumAtoms());
  std::iota(order.begin(), order.end(), 0u);
  if (seed != 0) {
    std::mt19937 rng(seed);
    std::shuffle(order.begin(), order.end(), rng);
  }
  KvChem::KvMol out;
  EXPECT_TRUE(KvChem::KvMolBlockToMol(PermutedMolBlock(mol, order), out));
  return out;
}

}  // namespace VarnexTest
