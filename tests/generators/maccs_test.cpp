// MACCS 166-key fingerprint: exact keys of small molecules worked out by hand,
// the element table, count keys that need two unique matches, the key list,
// the screens against unscreened matching, and the prepared-molecule shortcut.

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "generators/maccs_internal.h"
#include "kvchem/perception.h"
#include "kvchem/substruct.h"
#include "varnex/generation.h"
#include "varnex/maccs.h"

namespace {

using namespace Varnex;
using KvChem::KvMol;
using Bits = std::set<size_t>;

KvMol Mol(const std::string& smiles) {
  KvMol mol;
  EXPECT_TRUE(KvChem::KvSmilesToMol(smiles, mol)) << smiles;
  return mol;
}

Bits OnBits(const KvFingerPrint& fp) {
  Bits on;
  for (size_t i = 0; i < fp.GetSize(); ++i)
    if (fp.IsBitOn(i)) on.insert(i);
  return on;
}

KvFingerPrint Maccs(const KvChem::KvMolBase& mol) {
  KvFingerPrint fp;
  EXPECT_TRUE(KvMakeMACCS166FP(fp, mol));
  return fp;
}

Bits MaccsBits(const std::string& smiles) { return OnBits(Maccs(Mol(smiles))); }

std::vector<std::string> NciSmiles(size_t limit) {
  std::vector<std::string> out;
  std::ifstream in(std::string(VARNEX_RDKIT_DATA_DIR) + "/NCI/first_5K.smi");
  std::string line;
  while (out.size() < limit && std::getline(in, line)) {
    std::istringstream fields(line);
    std::string smiles;
    if (fields >> smiles) out.push_back(smiles);
  }
  return out;
}

const KvFPTypeBase* CurrentMaccsType() { return KvGetMACCS166FPType(KvMACCS166FPVersion); }

// ---------------------------------------------------------------------------
// Whole fingerprints of small molecules. Bit = key - 1.

TEST(MaccsKeys, HandCheckedMolecules) {
  struct Case {
    const char* smiles;
    Bits bits;
  };
  const Case cases[] = {
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
  for (const Case& c : cases) EXPECT_EQ(MaccsBits(c.smiles), c.bits) << c.smiles;
}

// The generator takes no type: an older MACCS type still gives the current one.
TEST(MaccsKeys, OlderTypeGivesTheCurrentVersion) {
  KvFingerPrint old;
  EXPECT_TRUE(KvMakeFP(old, Mol("CC(=O)Oc1ccccc1C(=O)O"), KvGetMACCS166FPType(0x2000)));
  EXPECT_EQ(old.GetFPTypeBase(), CurrentMaccsType());
  EXPECT_EQ(old.GetFPTypeBase()->GetFPTypeString(), "MACCS166,ver=2.2.0");
}

// ---------------------------------------------------------------------------
// Single keys.

TEST(MaccsKeys, PatternKeysOnSmallMolecules) {
  struct Case {
    const char* smiles;
    unsigned key;
    bool set;
  };
  const Case cases[] = {
      {"[13CH4]", 1, true},   // isotope
      {"C", 1, false},
      {"[NH4+]", 49, true},   // charge
      {"CC(=O)[O-]", 49, true},
      {"CCN", 49, false},
      {"C1CC1", 22, true},    // three-ring
      {"C1CCC1", 22, false},
      {"C1CCC1", 11, true},   // four-ring
      {"CSSC", 14, true},     // S-S
      {"CC#N", 41, true},     // C#N
      {"CC#C", 17, true},     // C#C
      {"CC#N", 17, false},
      {"CC(C)(C)C", 66, true},  // quaternary carbon pattern
      {"CCF", 134, true},       // halogen
      {"CCI", 134, true},
      {"CCI", 27, true},        // element key of iodine
      {"CCBr", 46, true},       // element key of bromine
      {"CCCl", 103, true},      // element key of chlorine
      {"CN", 161, true},        // element key of nitrogen
      {"CS", 88, true},         // element key of sulfur
      {"C[Si](C)(C)C", 20, true},
      {"CP(C)C", 29, true},
  };
  for (const Case& c : cases) {
    const Bits bits = MaccsBits(c.smiles);
    EXPECT_EQ(bits.count(c.key - 1) == 1, c.set) << c.smiles << " key " << c.key;
  }
}

// Keys with a count key: the first match sets the key, a second unique match
// (a different atom set) the count key. Symmetric patterns have many raw
// matches per atom set, so counting must skip repeats before stopping.
TEST(MaccsKeys, CountKeysNeedTwoUniqueMatches) {
  struct Case {
    const char* smiles;
    unsigned key;
    unsigned countKey;
    bool keySet;
    bool countSet;
  };
  const Case cases[] = {
      {"CC", 160, 149, true, true},
      {"CCO", 160, 149, true, false},
      {"C", 160, 149, false, false},
      {"c1ccccc1", 163, 145, true, false},        // 12 raw matches, one ring
      {"c1ccc2ccccc2c1", 163, 145, true, true},   // two rings
      {"C1CCCCC1", 163, 145, true, false},
      {"NO", 124, 130, true, false},              // one hetero-hetero bond
      {"ONO", 124, 130, true, true},              // two
      {"CCCCC", 147, 118, true, true},            // CH2-CH2 pairs from both ends
      {"CCCC", 147, 118, false, false},
      {"CC(=O)OC", 143, 127, false, false},       // no ring
  };
  for (const Case& c : cases) {
    const Bits bits = MaccsBits(c.smiles);
    EXPECT_EQ(bits.count(c.key - 1) == 1, c.keySet) << c.smiles << " key " << c.key;
    EXPECT_EQ(bits.count(c.countKey - 1) == 1, c.countSet) << c.smiles << " count key " << c.countKey;
  }
}

// Regression guard for the chemistry layer: a unique count with a limit
// counts atom sets, not raw matches.
TEST(MaccsKeys, UniqueCountWithLimitCountsAtomSets) {
  KvChem::KvSubSearch sixRing("*~1~*~*~*~*~*~1");
  EXPECT_EQ(sixRing.CountMatches(Mol("c1ccccc1"), true, 2), 1u);
  EXPECT_EQ(sixRing.CountMatches(Mol("c1ccc2ccccc2c1"), true, 2), 2u);
  EXPECT_EQ(sixRing.CountMatches(Mol("c1ccc2cc3ccccc3cc2c1"), true, 2), 2u);  // stops at 2 of 3
  EXPECT_EQ(sixRing.CountMatches(Mol("c1ccc2cc3ccccc3cc2c1"), true, 0), 3u);
  EXPECT_EQ(sixRing.CountMatches(Mol("c1ccccc1"), false, 0), 12u);
}

TEST(MaccsKeys, ComponentsAndAromaticSystems) {
  EXPECT_EQ(MaccsBits("CC.O").count(165), 1u);
  EXPECT_EQ(MaccsBits("CCO").count(165), 0u);
  EXPECT_EQ(MaccsBits("[Na+].[Cl-]").count(165), 1u);
  // Two aromatic systems in separate components.
  const Bits twoBenzenes = MaccsBits("c1ccccc1.c1ccccc1");
  EXPECT_EQ(twoBenzenes.count(124), 1u);
  EXPECT_EQ(twoBenzenes.count(161), 1u);
  EXPECT_EQ(twoBenzenes.count(165), 1u);
  // Cyclohexane: rings, no aromatic system.
  const Bits cyclohexane = MaccsBits("C1CCCCC1");
  EXPECT_EQ(cyclohexane.count(161), 0u);
  EXPECT_EQ(cyclohexane.count(124), 0u);
  // Pyridine and pyrrole are aromatic systems as well.
  EXPECT_EQ(MaccsBits("c1ccncc1").count(161), 1u);
  EXPECT_EQ(MaccsBits("c1cc[nH]c1").count(161), 1u);
}

// ---------------------------------------------------------------------------
// Element table.

TEST(MaccsElements, TableEntries) {
  EXPECT_EQ(KvGetMACCSElementKey(7), 161u);
  EXPECT_EQ(KvGetMACCSElementKey(8), 164u);
  EXPECT_EQ(KvGetMACCSElementKey(1), 35u);
  EXPECT_EQ(KvGetMACCSElementKey(104), 2u);
  EXPECT_EQ(KvGetMACCSElementKey(112), 2u);
  EXPECT_EQ(KvGetMACCSElementKey(90), 4u);
  EXPECT_EQ(KvGetMACCSElementKey(103), 4u);
  for (unsigned z : {0u, 2u, 6u, 10u, 18u, 36u, 54u, 85u, 86u, 113u, 114u, 115u, 116u})
    EXPECT_EQ(KvGetMACCSElementKey(z), 0u) << z;
  // Beyond the table: no key.
  EXPECT_EQ(KvGetMACCSElementKey(117), 0u);
  EXPECT_EQ(KvGetMACCSElementKey(1000000), 0u);
}

// Every element (hydrogen aside, which preparation folds away) as a lone
// bracket atom sets exactly its element key, the halogens also the halogen
// pattern key 134.
TEST(MaccsElements, LoneAtomsSetTheirKey) {
  for (unsigned z = 2; z <= 116; ++z) {
    const std::string symbol = KvChem::KvGetAtomicSymbol(z);
    ASSERT_FALSE(symbol.empty()) << z;
    KvMol mol;
    if (!KvChem::KvSmilesToMol("[" + symbol + "]", mol)) continue;
    const unsigned key = KvGetMACCSElementKey(z);
    Bits expected;
    if (key != 0) expected.insert(key - 1);
    if (z == 9 || z == 17 || z == 35 || z == 53) expected.insert(133);
    EXPECT_EQ(OnBits(Maccs(mol)), expected) << symbol;
  }
}

// ---------------------------------------------------------------------------
// The key list.

TEST(MaccsKeyList, AllPatternsCompileInListOrder) {
  const auto keys = KvGetMACCSKeyList();
  ASSERT_EQ(keys.size(), 135u);
  EXPECT_EQ(keys.front().key, 1u);
  EXPECT_EQ(keys.front().smarts, "[!0*]");
  EXPECT_EQ(keys.back().key, 165u);
  EXPECT_EQ(keys.back().smarts, "[!R0]");
  std::set<unsigned> numbers;
  std::vector<std::pair<unsigned, unsigned>> countKeys;
  for (const MACCSKey& record : keys) {
    ASSERT_NE(record.search, nullptr);
    EXPECT_TRUE(record.search->IsValid()) << "SMARTS not understood by the toolkit: " << record.smarts;
    EXPECT_EQ(record.search->GetSmarts(), record.smarts);
    EXPECT_TRUE(numbers.insert(record.key).second) << record.key;
    if (record.countKey != 0) countKeys.emplace_back(record.key, record.countKey);
  }
  const std::vector<std::pair<unsigned, unsigned>> expectedCounts = {
      {124, 130}, {137, 120}, {143, 127}, {147, 118}, {153, 138}, {160, 149}, {163, 145}};
  EXPECT_EQ(countKeys, expectedCounts);
  // No pattern key doubles as an element key, a count key or a molecule key.
  for (unsigned z = 0; z <= 116; ++z) EXPECT_EQ(numbers.count(KvGetMACCSElementKey(z)), 0u) << z;
  for (const auto& [key, count] : expectedCounts) EXPECT_EQ(numbers.count(count), 0u);
  for (unsigned key : {44u, 125u, 162u, 166u}) EXPECT_EQ(numbers.count(key), 0u);
}

// ---------------------------------------------------------------------------
// Screens: skipping patterns must never change a bit.

TEST(MaccsScreens, ScreenedEqualsUnscreenedOnRealMolecules) {
  std::vector<std::string> smiles = NciSmiles(2000);
  // Cases that stress the bounds: charges, isotopes, hydrogens as atoms,
  // wildcard atoms, metals, triple and dative-free exotic bonds, rings of
  // every size the keys name.
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

// ---------------------------------------------------------------------------
// The prepared-molecule shortcut.

TEST(MaccsPreparation, PreparedMoleculeGivesSameBitsAndCallerMoleculeUnchanged) {
  for (const char* smiles : {"[H]OC([H])([H])C", "[H]C([H])([H])[H]", "c1ccccc1O", "[2H]C([2H])C",
                             "CC(=O)N[C@@H](C)C(=O)O"}) {
    const KvMol raw = Mol(smiles);
    KvMol prepared(raw);
    KvPrepareForFingerprinting(prepared, KvFPType::MACCS166);
    ASSERT_TRUE(KvIsPreparedForFingerprinting(prepared, KvFPType::MACCS166)) << smiles;
    const unsigned rawAtoms = raw.NumAtoms();
    const std::string rawSmiles = KvChem::KvMolToSmiles(raw);
    EXPECT_EQ(OnBits(Maccs(raw)), OnBits(Maccs(prepared))) << smiles;
    EXPECT_EQ(raw.NumAtoms(), rawAtoms);
    EXPECT_EQ(KvChem::KvMolToSmiles(raw), rawSmiles);
  }
  // Explicit hydrogens fold into the same molecule as ethanol.
  EXPECT_EQ(MaccsBits("[H]OC([H])([H])C"), MaccsBits("CCO"));
}

// The shortcut asks only for perception and the absence of hydrogen atoms, so
// a parsed molecule with a wildcard atom is read as it is: the wildcard counts
// as a non-carbon atom (key 28 "[!#6;!#1]~[CH2]~..."). Preparing it first
// folds the wildcard away, giving ethane.
TEST(MaccsPreparation, WildcardKeptByShortcutFoldedByPreparation) {
  const KvMol raw = Mol("*CC");
  ASSERT_TRUE(KvIsPreparedForFingerprinting(raw, KvFPType::MACCS166));
  EXPECT_EQ(OnBits(Maccs(raw)).count(27), 1u);
  KvMol prepared(raw);
  KvPrepareForFingerprinting(prepared, KvFPType::MACCS166);
  EXPECT_EQ(OnBits(Maccs(prepared)), MaccsBits("CC"));
}

}  // namespace
