// MACCS 166-key fingerprint: exact keys of small molecules worked out by hand,
// single and count keys, the element table, the key list, the screens against
// unscreened matching, and the prepared-molecule shortcut.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "generators/maccs_internal.h"
#include "kvchem/perception.h"
#include "molecules.h"
#include "varnex/generation.h"
#include "varnex/maccs.h"

namespace {

using namespace Varnex;
using KvChem::KvMol;
using VarnexTest::Mol;
using VarnexTest::OnBits;
using Bits = std::vector<size_t>;

Bits MaccsBits(const KvChem::KvMolBase& mol) {
  KvFingerPrint fp;
  EXPECT_TRUE(KvMakeMACCS166FP(fp, mol));
  return OnBits(fp);
}
Bits MaccsBits(const std::string& smiles) { return MaccsBits(Mol(smiles)); }

// Whole fingerprints of small molecules. Bit = key - 1.
TEST(MaccsKeys, HandCheckedMolecules) {
  const std::pair<const char*, Bits> cases[] = {
      // Methane: no methyl ([#6H3] needs three hydrogens), only [X4] (key 112).
      {"C", {111}},
      // Ethane: [X4]; [#6H3] twice sets keys 160 and 149.
      {"CC", {111, 148, 159}},
      // Ethanol, one methyl: key 160 without 149; O (164), [X4] (112), O-C
      // single (157), [#8H] (139), CH3-CH2-* (114), O-CH2-* (109),
      // CH2 next to a hetero atom (153 once, so not 138), CH2 next to a
      // hetero atom with H (82), hetero-CH2-any (28), CH2 with two chain
      // bonds (155).
      {"CCO", {27, 81, 108, 111, 113, 138, 152, 154, 156, 159, 163}},
      // Water and a bare oxygen atom: the element key of O only.
      {"O", {163}},
      {"[O]", {163}},
      // Two methanes: two components (key 166) and [X4].
      {"C.C", {111, 165}},
      // Benzene: one six-ring (163, not its count key 145), ring atoms (165),
      // one aromatic ring system (162, not 125).
      {"c1ccccc1", {161, 162, 164}},
      // Naphthalene: one fused aromatic system (162, not 125), two unique
      // six-rings (163 and 145), an 8-atom ring path (101), a fusion atom
      // with three ring bonds (105).
      {"c1ccc2ccccc2c1", {100, 104, 144, 161, 162, 164}},
      // Biphenyl: two aromatic systems (162 and 125), two six-rings (163,
      // 145), ring-chain-ring (62).
      {"c1ccc(cc1)-c1ccccc1", {61, 124, 144, 161, 162, 164}},
  };
  for (const auto& [smiles, bits] : cases) EXPECT_EQ(MaccsBits(smiles), bits) << smiles;
  // The generator takes no type: an older MACCS type still gives the current one.
  KvFingerPrint old;
  EXPECT_TRUE(KvMakeFP(old, Mol("CC(=O)Oc1ccccc1C(=O)O"), KvGetMACCS166FPType(0x2000)));
  EXPECT_EQ(old.GetFPTypeBase()->GetFPTypeString(), "MACCS166,ver=2.2.0");
}

// Single keys, and keys with a count key: the first match sets the key, a
// second unique match (a different atom set) the count key. Symmetric
// patterns have many raw matches per atom set, so counting must skip repeats.
// Element keys are checked atom by atom below; two components (key 166) with
// the hand-checked molecules.
TEST(MaccsKeys, KeysSetAndUnsetOnSmallMolecules) {
  struct Case {
    const char* smiles;
    std::vector<unsigned> on, off;  // key numbers
  };
  const Case cases[] = {
      {"[13CH4]", {1}, {}},  // isotope
      {"[NH4+]", {49}, {}},  // charge
      {"CC(=O)[O-]", {49}, {}},
      {"C1CC1", {22}, {}},  // three-ring
      {"C1CCC1", {11}, {22}},
      {"CSSC", {14}, {}},
      {"CC#N", {41}, {17}},
      {"CC#C", {17}, {}},
      {"CC(C)(C)C", {66}, {}},
      {"C1CCCCC1", {163}, {145, 162, 125}},  // rings, no aromatic system
      {"NO", {124}, {130}},  // one hetero-hetero bond
      {"ONO", {124, 130}, {}},
      {"CCCCC", {147, 118}, {}},  // CH2-CH2 pairs from both ends
      {"CCCC", {}, {147, 118}},
      {"CC(=O)OC", {}, {143, 127}},  // no ring
      {"c1ccccc1.c1ccccc1", {125, 162, 166}, {}},  // aromatic systems in separate components
      {"c1cc[nH]c1", {162}, {}},
  };
  for (const Case& c : cases) {
    const Bits bits = MaccsBits(c.smiles);
    const std::set<size_t> on(bits.begin(), bits.end());
    for (unsigned key : c.on) EXPECT_EQ(on.count(key - 1), 1u) << c.smiles << " key " << key;
    for (unsigned key : c.off) EXPECT_EQ(on.count(key - 1), 0u) << c.smiles << " key " << key;
  }
}

// Every element (hydrogen aside, which preparation folds away) as a lone
// bracket atom sets exactly its element key, the halogens also the halogen
// pattern key 134; the table's values are pinned where keys share elements.
TEST(MaccsElements, LoneAtomsSetTheirKey) {
  for (auto [z, key] : {std::pair{1u, 35u}, {7u, 161u}, {8u, 164u}, {90u, 4u}, {103u, 4u}, {104u, 2u}, {112u, 2u},
                        {2u, 0u}, {6u, 0u}, {10u, 0u}, {54u, 0u}, {86u, 0u}, {113u, 0u}, {116u, 0u}, {117u, 0u},
                        {1000000u, 0u}})
    EXPECT_EQ(KvGetMACCSElementKey(z), key) << z;
  for (unsigned z = 2; z <= 116; ++z) {
    const std::string symbol = KvChem::KvGetAtomicSymbol(z);
    ASSERT_FALSE(symbol.empty()) << z;
    KvMol mol;
    if (!KvChem::KvSmilesToMol("[" + symbol + "]", mol)) continue;
    const unsigned key = KvGetMACCSElementKey(z);
    Bits expected;
    if (key != 0) expected.push_back(key - 1);
    if (z == 9 || z == 17 || z == 35 || z == 53) expected.push_back(133);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(MaccsBits(mol), expected) << symbol;
  }
}

// A pattern the toolkit does not understand would drop its key silently
// (key numbers and count keys are pinned by the golden bits).
TEST(MaccsKeyList, EveryPatternCompiles) {
  const auto keys = KvGetMACCSKeyList();
  ASSERT_EQ(keys.size(), 135u);
  for (const MACCSKey& record : keys) {
    ASSERT_NE(record.search, nullptr);
    EXPECT_TRUE(record.search->IsValid()) << "SMARTS not understood by the toolkit: " << record.smarts;
  }
}

// Screens: skipping patterns must never change a bit.
TEST(MaccsScreens, ScreenedEqualsUnscreenedOnRealMolecules) {
  std::vector<std::string> smiles = VarnexTest::NciSmiles(2000);
  // Charges, isotopes, hydrogens as atoms, wildcards, metals, exotic bonds
  // and rings of every size the keys name.
  for (const char* extra : {"[13CH3]C", "[NH4+].[Cl-]", "[H]OC([H])([H])C", "*CC", "C1CC1", "C1CCC1",
                            "C1CCCCCC1", "C1CCCCCCC1", "S1SS1", "O=S(=O)(O)O", "FC(Cl)(Br)I", "C[Si](C)(C)O",
                            "N#N", "O=[N+][O-]", "c1ccc2[nH]ccc2c1", "[Fe+2].[O-]C=O", "C=C=C", "CC#CC",
                            "C12C3C4C1C5C2C3C45", "C1CCC2(CC1)CCCC2", "C1CC2CCC1CC2", "C1CCCCCCCCCCC1",
                            "c1ccc2ncccc2c1", "C1OC1", "C1CNC1", "O1CCCCCC1"})
    smiles.push_back(extra);
  size_t compared = 0;
  for (const std::string& s : smiles) {
    KvMol mol;
    if (!KvChem::KvSmilesToMol(s, mol)) continue;
    KvChem::KvGraphMol prepared(mol);
    KvPrepareForFingerprinting(prepared, KvFPType::MACCS166);
    KvFingerPrint screened, full;
    screened.SetSize(166);
    full.SetSize(166);
    Maccs::SetKeyBits(screened, prepared, true);
    Maccs::SetKeyBits(full, prepared, false);
    EXPECT_EQ(OnBits(screened), OnBits(full)) << s;
    ++compared;
  }
  EXPECT_GT(compared, 1900u);
}

// The shortcut asks only for perception and the absence of hydrogen atoms, so
// a parsed molecule with a wildcard atom is read as it is: the wildcard counts
// as a non-carbon atom (key 28 "[!#6;!#1]~[CH2]~..."). Preparing it first
// folds the wildcard away, giving ethane.
TEST(MaccsPreparation, WildcardKeptByShortcutFoldedByPreparation) {
  const KvMol raw = Mol("*CC");
  ASSERT_TRUE(KvIsPreparedForFingerprinting(raw, KvFPType::MACCS166));
  const Bits bits = MaccsBits(raw);
  EXPECT_NE(std::find(bits.begin(), bits.end(), 27u), bits.end());
  KvMol prepared(raw);
  KvPrepareForFingerprinting(prepared, KvFPType::MACCS166);
  EXPECT_EQ(MaccsBits(prepared), MaccsBits("CC"));
}

}  // namespace
