// Path fingerprint: the bit modulus, exact bits of small molecules and the
// path id generators. What all graph generators share (start atoms skipped
// by a caller's symmetry classes among it) is tested in graph_driver_test.cpp.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "graph_fp_test_util.h"
#include "generators/modulus.h"
#include "varnex/generation.h"
#include "varnex/pathfp.h"
#include "varnex/typing.h"

namespace {

using namespace Varnex;
using KvChem::KvMol;
using VarnexTest::Mol;
using VarnexTest::OnBits;

TEST(BitModulus, LargestPrimeNotAboveTheSize) {
  // Against trial division over the whole range a fingerprint may have.
  auto isPrime = [](unsigned n) {
    for (unsigned d = 2; d * d <= n; ++d)
      if (n % d == 0) return false;
    return n >= 2;
  };
  unsigned largest = 2;
  for (unsigned n = 2; n <= 65535; ++n) {
    if (isPrime(n)) largest = n;
    ASSERT_EQ(GetBitModulus(n), largest) << n;
  }
  EXPECT_EQ(GetBitModulus(65537), 65537u);
}

// The fast reduction of identifiers by the modulus is checked by every bit
// of the id-generator reference and the golden bits.

// Methane's carbon under the default flags is 179 (C) * 5^3 (sp3), ethane's
// 179 * 3 (one heavy neighbour) * 125; a path's id is its weighted sum.
TEST(PathFP, ExactBitsOfSmallMolecules) {
  const unsigned c = 179 * 3 * 125;
  const unsigned ethane = c * 947 + 131 * 983 + c * 1019;  // the same from both ends
  struct Case {
    const char* smiles;
    unsigned minBonds, maxBonds;
    std::vector<size_t> bits;
  };
  const Case cases[] = {
      {"C", 0, 5, {(179u * 125u * 947u) % 4093u}},
      {"O", 0, 5, {(947u * 125u * 947u) % 4093u}},
      {"CC", 1, 1, {ethane % 4093u}},
      {"CC", 0, 1, {ethane % 4093u, (c * 947) % 4093u}},
  };
  for (const Case& k : cases) {
    KvFingerPrint fp;
    ASSERT_TRUE(KvMakePathFP(fp, Mol(k.smiles), 4096, k.minBonds, k.maxBonds, 191, 3));
    std::vector<size_t> expected = k.bits;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(OnBits(fp), expected) << k.smiles;
  }
}

TEST(PathIdGenerators, CountsIdsAndStrings) {
  KvMol mol = Mol("CCO");
  KvPrepareForFingerprinting(mol, KvFPType::Path);
  std::vector<unsigned> atomTypes, bondTypes;
  KvGetFingerprintAtomTypes(atomTypes, bondTypes, mol, KvFPAtomType::AtmNum, KvFPBondType::Order);
  const std::vector<unsigned> atomCopy = atomTypes, bondCopy = bondTypes;

  // Three atoms, two bonds: from each end 3 paths, from the middle 3.
  std::vector<unsigned> stack;
  EXPECT_EQ(KvPathIdGeneratorStack(stack, mol, atomTypes, bondTypes, 0, 2), 9u);
  // Both carbons type alike under AtmNum, so C and C-C repeat: 7 distinct.
  std::set<unsigned> ids;
  EXPECT_EQ(KvPathIdGenerator(ids, mol, atomTypes, bondTypes, 0, 2), 7u);
  EXPECT_EQ(ids, std::set<unsigned>(stack.begin(), stack.end()));
  const unsigned c = 179, o = 947, single = 131;
  EXPECT_TRUE(ids.count(o * 947 + single * 983 + c * 1019 + single * 1049 + c * 1087));
  // Outputs are appended to; the result is the size after the call.
  EXPECT_EQ(KvPathIdGeneratorStack(stack, mol, atomTypes, bondTypes, 2, 2), 11u);
  EXPECT_EQ(atomTypes, atomCopy);
  EXPECT_EQ(bondTypes, bondCopy);
}

}  // namespace
