// Partition refinement and Lingo text and comparison.

#include <gtest/gtest.h>

#include <algorithm>

#include "kvchem/kvchem.h"
#include "molecules.h"

using namespace KvChem;

namespace {

using VarnexTest::Mol;

int ByDegree(const CanonState&, const KvAtomBase& a, const KvAtomBase& b) {
  return static_cast<int>(a.GetDegree()) - static_cast<int>(b.GetDegree());
}

int ByNeighbourClasses(const CanonState& state, const KvAtomBase& a, const KvAtomBase& b) {
  auto classes = [&](const KvAtomBase& atom) {
    std::vector<unsigned> out;
    for (const KvAtomBase* nbr : atom.GetNeighbors()) out.push_back(state.GetClass(*nbr));
    std::sort(out.begin(), out.end());
    return out;
  };
  const auto ca = classes(a), cb = classes(b);
  return ca < cb ? -1 : cb < ca ? 1 : 0;
}

}  // namespace

TEST(KvCanon, ChainSplitsIntoEndsNextAndMiddle) {
  KvMol pentane = Mol("CCCCC");
  std::vector<const KvAtomBase*> atoms(pentane.Atoms().begin(), pentane.Atoms().end());
  CanonState state(atoms);
  EXPECT_EQ(state.NumClasses(), 1u);

  // A class is named by the position of its first member in the ranking.
  const auto classes = [&] {
    std::vector<unsigned> out;
    for (const KvAtomBase* atom : pentane.Atoms()) out.push_back(state.GetClass(*atom));
    return out;
  };
  KvCanonRefinePartitions(state, false, ByDegree);
  EXPECT_EQ(classes(), (std::vector<unsigned>{0, 2, 2, 2, 0}));  // degree 1 ranks first

  // Without activation nothing is refined again.
  KvCanonRefinePartitions(state, true, ByNeighbourClasses);
  EXPECT_EQ(state.NumClasses(), 2u);

  KvCanonActivatePartitions(state);
  KvCanonRefinePartitions(state, true, ByNeighbourClasses);
  EXPECT_EQ(classes(), (std::vector<unsigned>{0, 2, 4, 2, 0}));
  EXPECT_FALSE(state.IsDiscrete());

  KvCanonSinglePartition(state);
  EXPECT_EQ(state.NumClasses(), 1u);

  // Atoms outside the set.
  CanonState part({pentane.GetAtom(0), pentane.GetAtom(1)});
  EXPECT_TRUE(part.Contains(*pentane.GetAtom(1)));
  EXPECT_FALSE(part.Contains(*pentane.GetAtom(2)));
  EXPECT_EQ(part.GetClass(*pentane.GetAtom(4)), 0xFFFFFFFFu);
}

// Ring digits, Cl and Br and stereo marks in ordinary molecules are pinned
// by the Lingo golden bits; here isotopes, %nn labels and no molecule.
TEST(KvLingo, TextReplacesRingLabelsAndHalogens) {
  KvLingoMap map;
  std::string text;
  // Bracket contents keep their digits; charges stay; isotopes go with the
  // stereo marks.
  KvMol salt = Mol("[13CH3][NH3+].[Cl-]");
  ASSERT_TRUE(map.CreateString(text, salt));
  EXPECT_EQ(text, "C[NH3+].[L-]");

  // Many rings give %nn labels, which become one '0' each.
  KvMol cubane = Mol("C12C3C4C1C5C2C3C45");
  ASSERT_TRUE(map.CreateString(text, cubane));
  EXPECT_EQ(text.find('%'), std::string::npos);
  EXPECT_EQ(text.find_first_of("123456789"), std::string::npos) << text;

  KvMol invalid;
  invalid.SetInvalid();
  EXPECT_FALSE(map.CreateString(text, invalid));
  EXPECT_TRUE(text.empty());
}

// The terms of short and long texts are counted by hand in the similarity
// tests; here only the case they leave out, a text against itself.
TEST(KvLingo, ATextSharesEachOfItsSubstringsWithItself) {
  // c0cc 0ccc cccc cccc ccc0: five substrings, cccc twice.
  KvLingoSim benzene("c0ccccc0", 1);
  std::uint32_t a = 9, b = 9, c = 9;
  ASSERT_TRUE(benzene.GetTerms("c0ccccc0", &a, &b, &c));
  EXPECT_EQ(c, 5u);
  EXPECT_EQ(a + b, 0u);
}
