// Circular fingerprint: the identifiers of small molecules against values
// worked out by hand, and the extended multipliers of large environments.
// What all graph generators share is tested in graph_driver_test.cpp.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "generators/subgraph_hash.h"
#include "graph_fp_test_util.h"
#include "varnex/circularfp.h"
#include "varnex/generation.h"
#include "varnex/pathfp.h"
#include "varnex/typing.h"

namespace {

using namespace Varnex;
using KvChem::KvMol;
using VarnexTest::Mol;

// Type numbers under the default circular flags (element prime times 17 to
// the hydrogen count) and the single-bond number.
constexpr unsigned kCH3 = 179u * 4913u;
constexpr unsigned kOH = 947u * 17u;
constexpr unsigned kSingle = 131u;

std::vector<unsigned> CircularIds(const KvMol& mol, unsigned minRadius, unsigned maxRadius,
                                  unsigned atomFlags = KvFPAtomType::DefaultCircularAtom,
                                  unsigned bondFlags = KvFPBondType::DefaultCircularBond) {
  KvMol copy(mol);
  KvPrepareForFingerprinting(copy, KvFPType::Circular);
  std::vector<unsigned> atomTypes, bondTypes, ids;
  KvGetFingerprintAtomTypes(atomTypes, bondTypes, copy, atomFlags, bondFlags);
  const unsigned count =
      KvCircularIdGenerator(ids, copy, atomTypes, bondTypes, minRadius, maxRadius, atomFlags, bondFlags);
  EXPECT_EQ(count, ids.size());
  return ids;
}

// Two atoms: one refinement round, then the smaller label weighted 1019 and
// the larger 1049.
std::uint32_t PairHash(std::uint32_t a, std::uint32_t b, std::uint32_t bond) {
  const std::uint32_t la = a + (bond + b) * 947u, lb = b + (bond + a) * 947u;
  return std::min(la, lb) * 1019u + std::max(la, lb) * 1049u;
}

TEST(CircularFP, SingleAtomGivesItsTypeNumberTwice) {
  const KvMol methane = Mol("C");
  const unsigned methaneType = 179u * 83521u;  // four hydrogens
  EXPECT_EQ(CircularIds(methane, 0, 5), (std::vector<unsigned>{methaneType, methaneType}));  // bits: the reference's
  // Without radius 0 the walk still emits the environment that stopped growing.
  EXPECT_EQ(CircularIds(methane, 1, 5), (std::vector<unsigned>{methaneType}));
  // A minimum above the radius at which growth stopped emits nothing.
  EXPECT_TRUE(CircularIds(methane, 2, 5).empty());
}

TEST(CircularFP, TwoAtomEnvironmentsFollowThePairIdentity) {
  const std::uint32_t pair = PairHash(kCH3, kOH, kSingle);
  // Radius 0 per atom, then from each end: radius 1 and the repeat at radius
  // 2 where growth stopped.
  EXPECT_EQ(CircularIds(Mol("CO"), 0, 5), (std::vector<unsigned>{kCH3, kOH, pair, pair, pair, pair}));
  EXPECT_EQ(CircularIds(Mol("OC"), 1, 1), (std::vector<unsigned>{pair, pair}));
  // Ethane's two ends are alike: the pair of equal labels.
  const std::uint32_t ethane = PairHash(kCH3, kCH3, kSingle);
  EXPECT_EQ(CircularIds(Mol("CC"), 1, 1), (std::vector<unsigned>{ethane, ethane}));
}

TEST(SubgraphHash, MultipliersBeyondTheTableAreFixedOddAndDistinct) {
  EXPECT_EQ(SubgraphMultiplier(0), 947u);
  EXPECT_EQ(SubgraphMultiplier(2), 1019u);
  EXPECT_EQ(SubgraphMultiplier(49), 2791u);
  std::set<std::uint32_t> seen;
  for (std::size_t i = 50; i < 5000; ++i) {
    const std::uint32_t m = SubgraphMultiplier(i);
    EXPECT_EQ(m & 1u, 1u) << i;
    EXPECT_TRUE(seen.insert(m).second) << i;
  }
  // Pinned: the sequence is part of the stored format.
  EXPECT_EQ(SubgraphMultiplier(50), 0x089D3153u);
  EXPECT_EQ(SubgraphMultiplier(1023), 0x8A4E59C5u);  // last precomputed entry
  EXPECT_EQ(SubgraphMultiplier(1024), 0xF78F574Du);  // first computed on demand
}

// Environments of more than 48 atoms use the extended multipliers: a long
// chain's whole-molecule environment still tells apart where a heteroatom sits.
TEST(SubgraphHash, LargeEnvironmentsStayDistinct) {
  std::set<unsigned> wholeChain;
  for (int position = 0; position < 60; ++position) {
    std::string smiles(120, 'C');
    smiles[position] = 'N';
    const KvMol mol = Mol(smiles);
    // Radius 119 from the first atom is the whole chain.
    const std::vector<unsigned> ids = CircularIds(mol, 119, 119);
    ASSERT_FALSE(ids.empty());
    wholeChain.insert(ids.front());
  }
  EXPECT_EQ(wholeChain.size(), 60u);
}

}  // namespace
