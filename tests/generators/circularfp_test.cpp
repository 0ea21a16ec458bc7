// Circular fingerprint: the identifiers of small molecules against values
// worked out by hand, parameter repair and its warnings, the type overload,
// the extended multipliers of large environments, and atom-order independence
// over symmetric, ring-rich and real molecules.

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "generators/modulus.h"
#include "generators/subgraph_hash.h"
#include "graph_fp_test_util.h"
#include "varnex/circularfp.h"
#include "varnex/generation.h"
#include "varnex/pathfp.h"
#include "varnex/typing.h"

namespace {

using namespace Varnex;
using KvChem::KvMol;
using VarnexTest::CaptureSink;
using VarnexTest::Mol;
using VarnexTest::OnBits;

// Type numbers under the default circular flags (element prime times 17 to
// the hydrogen count) and the single-bond number.
constexpr unsigned kCH3 = 179u * 4913u;
constexpr unsigned kCH2 = 179u * 289u;
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
  EXPECT_EQ(CircularIds(methane, 0, 5), (std::vector<unsigned>{methaneType, methaneType}));
  KvFingerPrint fp;
  ASSERT_TRUE(KvMakeCircularFP(fp, methane));
  EXPECT_EQ(OnBits(fp), (std::vector<size_t>{methaneType % 4093u}));
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
  EXPECT_EQ(ethane, (kCH3 + (kSingle + kCH3) * 947u) * (1019u + 1049u));
  EXPECT_EQ(CircularIds(Mol("CC"), 1, 1), (std::vector<unsigned>{ethane, ethane}));
}

TEST(CircularFP, ThreeAtomEnvironmentPinnedByHand) {
  // Propane from the middle atom at radius 1: one round, then the sorted
  // labels weighted 1019, 1049, 1087.
  const std::uint32_t middle = kCH2 + (kSingle + kCH3) * 947u + (kSingle + kCH3) * 983u;
  const std::uint32_t end = kCH3 + (kSingle + kCH2) * 947u;
  std::uint32_t labels[3] = {middle, end, end};
  std::sort(labels, labels + 3);
  const std::uint32_t expected = labels[0] * 1019u + labels[1] * 1049u + labels[2] * 1087u;
  const std::vector<unsigned> ids = CircularIds(Mol("CCC"), 1, 1);
  ASSERT_EQ(ids.size(), 3u);
  EXPECT_EQ(ids[1], expected);  // start atoms in atom order: the middle atom is second
  EXPECT_EQ(ids[0], PairHash(kCH3, kCH2, kSingle));
}

TEST(CircularFP, EmptyAndInvalidMolecules) {
  KvFingerPrint fp;
  ASSERT_TRUE(KvMakeCircularFP(fp, KvMol()));
  EXPECT_EQ(fp.GetSize(), 4096u);
  EXPECT_EQ(fp.CountBits(), 0u);
  EXPECT_EQ(fp.GetFPTypeBase(), KvGetCircularFPType(4096, 0, 5, 4239, 1));

  KvMol invalid;
  invalid.SetInvalid();
  EXPECT_FALSE(KvMakeCircularFP(fp, invalid));
  EXPECT_EQ(fp.GetFPTypeBase(), nullptr);
  std::vector<unsigned> ids{1, 2}, types;
  EXPECT_EQ(KvCircularIdGenerator(ids, invalid, types, types, 0, 2, 4239, 1), 0u);
  EXPECT_TRUE(ids.empty());
}

TEST(CircularFP, OutOfRangeParametersAreRepairedWithWarnings) {
  const KvMol mol = Mol("c1ccccc1O");
  struct Case {
    unsigned bits, minR, maxR, atom, bond;
    std::string message;
    unsigned expBits, expMin, expMax, expAtom, expBond;
  };
  const std::vector<Case> cases = {
      {15, 0, 5, 4239, 1, "KvMakeCircularFP() : invalid bit vector size 15 for circular fingerprint (default 4096 is used)",
       4096, 0, 5, 4239, 1},
      {70000, 0, 5, 4239, 1,
       "KvMakeCircularFP() : invalid bit vector size 70000 for circular fingerprint (default 4096 is used)", 4096, 0,
       5, 4239, 1},
      {1024, 11, 11, 4239, 1, "KvMakeCircularFP() : invalid min radius 11 for circular fingerprint (default 0 is used)",
       1024, 0, 5, 4239, 1},
      {1024, 2, 1, 4239, 1,
       "KvMakeCircularFP() : invalid min radius 2 > max radius 1 for circular fingerprint (minradius = maxradius is "
       "used)",
       1024, 1, 1, 4239, 1},
      {1024, 0, 3, 0, 0,
       "KvMakeCircularFP() : invalid to have both atom and bond types set to be None (default types are used)!", 1024,
       0, 3, 4239, 1},
  };
  for (const Case& c : cases) {
    CaptureSink sink;
    KvFingerPrint fp, expected;
    ASSERT_TRUE(KvMakeCircularFP(fp, mol, c.bits, c.minR, c.maxR, c.atom, c.bond));
    EXPECT_TRUE(sink.Contains(c.message)) << c.message;
    EXPECT_EQ(fp.GetFPTypeBase(), KvGetCircularFPType(c.expBits, c.expMin, c.expMax, c.expAtom, c.expBond));
    EXPECT_EQ(fp.GetSize(), c.expBits);
    ASSERT_TRUE(KvMakeCircularFP(expected, mol, c.expBits, c.expMin, c.expMax, c.expAtom, c.expBond));
    EXPECT_TRUE(fp == expected) << c.message;
  }
  {
    CaptureSink sink;
    KvFingerPrint fp;
    ASSERT_TRUE(KvMakeCircularFP(fp, mol, 2048, 0, 12, 4239, 1));
    ASSERT_EQ(sink.Count(), 1u);
    EXPECT_NE(sink.Texts()[0].find("KvMakeCircularFP()"), std::string::npos);
    EXPECT_NE(sink.Texts()[0].find("12"), std::string::npos);
    EXPECT_NE(sink.Texts()[0].find("default 5"), std::string::npos);
    EXPECT_EQ(fp.GetFPTypeBase(), KvGetCircularFPType(2048, 0, 5, 4239, 1));
  }
  // The limits themselves are accepted without a message.
  CaptureSink sink;
  KvFingerPrint fp;
  EXPECT_TRUE(KvMakeCircularFP(fp, mol, 16, 10, 10, 4239, 1));
  EXPECT_TRUE(KvMakeCircularFP(fp, mol, 65535, 0, 10, 0, 1));
  EXPECT_EQ(sink.Count(), 0u);
}

TEST(CircularFP, TypeOverloadChecksTheKind) {
  const KvMol mol = Mol("CC(=O)Nc1ccc(O)cc1");
  KvFingerPrint fp, byDefault;
  ASSERT_TRUE(KvMakeCircularFP(byDefault, mol));
  ASSERT_TRUE(KvMakeCircularFP(fp, mol, KvGetFPType(KvFPType::Circular)));
  EXPECT_TRUE(fp == byDefault);
  KvFingerPrint viaEntry;
  ASSERT_TRUE(KvMakeFP(viaEntry, mol, KvGetFPType(KvFPType::Circular)));
  EXPECT_TRUE(viaEntry == byDefault);

  const KvFPTypeBase* typed = KvGetCircularFPType(1024, 1, 2, KvFPAtomType::DefaultTreeAtom, 5);
  ASSERT_TRUE(KvMakeCircularFP(fp, mol, typed));
  EXPECT_EQ(fp.GetFPTypeBase(), typed);
  EXPECT_EQ(fp.GetSize(), 1024u);

  for (const KvFPTypeBase* wrong : {KvGetFPType(KvFPType::Path), KvGetFPType(KvFPType::UnhashedCircular),
                                    static_cast<const KvFPTypeBase*>(nullptr)}) {
    CaptureSink sink;
    KvFingerPrint untouched = byDefault;
    EXPECT_FALSE(KvMakeCircularFP(untouched, mol, wrong));
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{"KvMakeCircularFP : invalid circular fingerprint type"});
    EXPECT_TRUE(untouched == byDefault);
  }
  // Stray bits in the parameter word are reported; the known fields are used.
  CaptureSink sink;
  const KvFPTypeBase* stray = KvGetCircularFPType(KvGraphFPVersion, 2048, 0, 2, 4239, 1);
  const std::uint64_t word = static_cast<const KvFPGraphTypeBase*>(stray)->GetParameterWord();
  KvFPCircularType strayType(KvGraphFPVersion, word | (UINT64_C(1) << 41));
  ASSERT_TRUE(KvMakeCircularFP(fp, mol, &strayType));
  EXPECT_TRUE(sink.Contains("Unrecognised data in KvFPCircularType!"));
  EXPECT_EQ(fp.GetFPTypeBase(), stray);
}

TEST(CircularFP, VsEntryPointsUseTheCircularGenerator) {
  const KvMol mol = Mol("OC(=O)c1ccccc1Cl");
  CaptureSink sink;
  KvFingerPrint deprecated, vs1;
  ASSERT_TRUE(KvMakeFP(deprecated, mol, KvFPType::Circular, true));
  ASSERT_TRUE(KvMakeVSFP(vs1, mol, KvFPType::Circular, 1));
  EXPECT_TRUE(deprecated == vs1);
  EXPECT_EQ(vs1.GetFPTypeBase(), KvGetVSFPType(KvFPType::Circular, 1));
}

// A molecule that needs preparation (explicit hydrogens, a wildcard atom)
// goes through a private copy, an already prepared one is read directly:
// both give the fingerprint of the prepared form, and the caller's molecule
// keeps its atoms.
TEST(CircularFP, PreparedAndUnpreparedInputAgree) {
  const KvMol withHydrogens = Mol("[H]OC([H])([H])c1ccccc1");
  const KvMol plain = Mol("OCc1ccccc1");
  KvFingerPrint a, b;
  ASSERT_TRUE(KvMakeCircularFP(a, withHydrogens));
  ASSERT_TRUE(KvMakeCircularFP(b, plain));
  EXPECT_TRUE(a == b);
  EXPECT_EQ(withHydrogens.NumAtoms(), 11u);
  // A wildcard atom is folded into its neighbour as a hydrogen.
  ASSERT_TRUE(KvMakeCircularFP(a, Mol("*OCc1ccccc1")));
  EXPECT_TRUE(a == b);
}

// Threads sharing the input molecules (read directly, without copies) agree
// with a serial run.
TEST(CircularFP, ThreadsSharingMoleculesAgreeWithSerialGeneration) {
  std::vector<KvMol> mols;
  for (const std::string& smiles : VarnexTest::NciSmiles(300)) {
    KvMol mol;
    if (KvChem::KvSmilesToMol(smiles, mol)) mols.push_back(std::move(mol));
  }
  std::vector<KvFingerPrint> serial(mols.size());
  for (size_t i = 0; i < mols.size(); ++i) ASSERT_TRUE(KvMakeCircularFP(serial[i], mols[i]));
  constexpr int kThreads = 4;
  std::vector<std::vector<KvFingerPrint>> results(kThreads, std::vector<KvFingerPrint>(mols.size()));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (size_t i = 0; i < mols.size(); ++i) EXPECT_TRUE(KvMakeCircularFP(results[t][i], mols[i]));
    });
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t)
    for (size_t i = 0; i < mols.size(); ++i) EXPECT_TRUE(results[t][i] == serial[i]) << t << " " << i;
}

TEST(SubgraphHash, MultipliersBeyondTheTableAreFixedOddAndDistinct) {
  EXPECT_EQ(KvSubgraphMultiplier(0), 947u);
  EXPECT_EQ(KvSubgraphMultiplier(2), 1019u);
  EXPECT_EQ(KvSubgraphMultiplier(49), 2791u);
  std::set<std::uint32_t> seen;
  for (std::size_t i = 50; i < 5000; ++i) {
    const std::uint32_t m = KvSubgraphMultiplier(i);
    EXPECT_EQ(m & 1u, 1u) << i;
    EXPECT_TRUE(seen.insert(m).second) << i;
  }
  // Pinned: the sequence is part of the stored format.
  EXPECT_EQ(KvSubgraphMultiplier(50), 0x089D3153u);
  EXPECT_EQ(KvSubgraphMultiplier(1023), 0x8A4E59C5u);  // last precomputed entry
  EXPECT_EQ(KvSubgraphMultiplier(1024), 0xF78F574Du);  // first computed on demand
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

// The same molecule with its atoms in other orders gives the same ids as a
// multiset and the same fingerprint.
TEST(CircularFP, AtomOrderDoesNotMatter) {
  const std::vector<std::string> molecules = {
      "C12C3C4C1C5C2C3C45",                                // cubane
      "C1C2CC3CC1CC(C2)C3",                                // adamantane
      "c1cc2cc3ccc(cc4ccc(cc5ccc(cc1n2)[nH]5)n4)[nH]3",   // porphine
      "CC(C)(C)c1ccc(O)c(C(C)(C)C)c1",                     // symmetric branches
      "O=C(O)CC(O)(CC(=O)O)C(=O)O",                        // citric acid
      "C1CC2CCC3CCCC4CCC(C1)C2C34",                        // fused rings
      "[NH3+]CC(=O)[O-]",                                  // charges
  };
  for (const std::string& smiles : molecules) {
    const KvMol mol = Mol(smiles);
    const KvMol reference = VarnexTest::PermutedMol(mol, 0);
    std::vector<unsigned> refIds = CircularIds(reference, 0, 5);
    std::sort(refIds.begin(), refIds.end());
    KvFingerPrint refFp;
    ASSERT_TRUE(KvMakeCircularFP(refFp, reference));
    // Canonical SMILES renumbers the atoms as well.
    KvMol canonical = Mol(KvChem::KvMolToSmiles(mol));
    KvFingerPrint fp;
    ASSERT_TRUE(KvMakeCircularFP(fp, mol));
    KvFingerPrint fpCanonical;
    ASSERT_TRUE(KvMakeCircularFP(fpCanonical, canonical));
    EXPECT_TRUE(fp == fpCanonical) << smiles;
    for (unsigned seed = 1; seed <= 6; ++seed) {
      const KvMol permuted = VarnexTest::PermutedMol(mol, seed);
      std::vector<unsigned> ids = CircularIds(permuted, 0, 5);
      std::sort(ids.begin(), ids.end());
      EXPECT_EQ(ids, refIds) << smiles << " seed " << seed;
      KvFingerPrint other;
      ASSERT_TRUE(KvMakeCircularFP(other, permuted));
      EXPECT_TRUE(other == refFp) << smiles << " seed " << seed;
    }
  }
}

// Over the NCI set: the modulus bound for two sizes, the id generator as the
// reference of the fingerprint, and symmetry classes perceived by the caller
// (which skip equivalent start atoms) change nothing.
TEST(CircularFP, RealMoleculesModulusReferenceAndSymmetry) {
  const std::vector<std::string> smiles = VarnexTest::NciSmiles(3000);
  ASSERT_GE(smiles.size(), 3000u);
  size_t checked = 0;
  for (size_t i = 0; i < smiles.size(); ++i) {
    KvMol mol;
    if (!KvChem::KvSmilesToMol(smiles[i], mol)) continue;
    KvFingerPrint fp, odd;
    ASSERT_TRUE(KvMakeCircularFP(fp, mol));
    ASSERT_TRUE(KvMakeCircularFP(odd, mol, 1000, 0, 3, 4239, 1));
    for (size_t bit = 4093; bit < 4096; ++bit) ASSERT_FALSE(fp.IsBitOn(bit)) << smiles[i];
    for (size_t bit = 997; bit < 1000; ++bit) ASSERT_FALSE(odd.IsBitOn(bit)) << smiles[i];
    ++checked;
    if (i % 20 != 0) continue;
    KvFingerPrint reference;
    reference.SetSize(4096);
    for (unsigned id : CircularIds(mol, 0, 5)) reference.SetBitOn(id % 4093u);
    EXPECT_TRUE(std::equal(reference.Bytes().begin(), reference.Bytes().end(), fp.Bytes().begin())) << smiles[i];
    KvMol symmetric(mol);
    KvChem::KvPerceiveSymmetry(symmetric, true, false);
    KvFingerPrint withClasses;
    ASSERT_TRUE(KvMakeCircularFP(withClasses, symmetric));
    EXPECT_TRUE(withClasses == fp) << smiles[i];
  }
  EXPECT_GT(checked, 2900u);
}

}  // namespace
