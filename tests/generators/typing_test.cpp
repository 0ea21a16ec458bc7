// Atom and bond typing: flag names, type numbers with their prime factors,
// hydrogen-bond classes and the SMARTS-like type strings.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kvchem/mol.h"
#include "varnex/generation.h"
#include "varnex/typing.h"

namespace {

using namespace Varnex;
using KvChem::KvMol;
namespace A = KvFPAtomType;
namespace B = KvFPBondType;

// A prepared molecule from SMILES, as the generators type it.
KvMol Prepared(const std::string& smiles) {
  KvMol mol;
  EXPECT_TRUE(KvChem::KvSmilesToMol(smiles, mol)) << smiles;
  KvPrepareForFingerprinting(mol, KvFPType::Path);
  return mol;
}

struct Types {
  std::vector<unsigned> atoms, bonds;
};
Types TypeNumbers(const std::string& smiles, unsigned atomFlags, unsigned bondFlags = B::Order) {
  KvMol mol = Prepared(smiles);
  Types t;
  KvGetFingerprintAtomTypes(t.atoms, t.bonds, mol, atomFlags, bondFlags);
  return t;
}
struct Strings {
  std::vector<std::string> atoms, bonds;
};
Strings TypeStrings(const std::string& smiles, unsigned atomFlags, unsigned bondFlags = B::Order) {
  KvMol mol = Prepared(smiles);
  Strings t;
  KvGetFingerprintAtomTypes(t.atoms, t.bonds, mol, atomFlags, bondFlags);
  return t;
}

TEST(TypingNames, AtomFlagsNamedCombinationsAndRoundTrips) {
  EXPECT_EQ(KvGetFPAtomType("DefaultPathAtom"), 191u);
  EXPECT_EQ(KvGetFPAtomType("DefaultAtom"), 191u);
  EXPECT_EQ(KvGetFPAtomType("DefaultTreeAtom"), 63u);
  EXPECT_EQ(KvGetFPAtomType("DefaultCircularAtom"), 4239u);
  EXPECT_EQ(KvGetFPAtomType("None"), 0u);
  EXPECT_EQ(KvGetFPAtomType(191u), "AtmNum|Arom|Chiral|FCharge|HvyDeg|Hyb|EqHalo");
  EXPECT_EQ(KvGetFPAtomType(4239u), "AtmNum|Arom|Chiral|FCharge|EqHalo|HCount");
  EXPECT_EQ(KvGetFPAtomType(0u), "None");
  EXPECT_EQ(KvGetFPAtomType(2048u), "invalid");  // the one unassigned value
  EXPECT_EQ(KvGetFPAtomType("EqHBAcc|EqHBDon|InRing"), 512u + 1024u + 64u);
  const std::vector<std::string> flags = {"AtmNum", "Arom",   "Chiral", "FCharge", "HvyDeg",  "Hyb",
                                          "InRing", "EqHalo", "EqArom", "EqHBAcc", "EqHBDon", "HCount"};
  const std::vector<unsigned> values = {1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 4096};
  for (size_t i = 0; i < flags.size(); ++i) {
    EXPECT_EQ(KvGetFPAtomType(flags[i]), values[i]) << flags[i];
    EXPECT_EQ(KvGetFPAtomType(values[i]), flags[i]);
    EXPECT_TRUE(KvIsValidFPAtomType(flags[i]));
  }
  for (unsigned v = 1; v < 8192; ++v) {
    if ((v & ~0x17FFu) != 0) continue;
    EXPECT_EQ(KvGetFPAtomType(KvGetFPAtomType(v)), v) << v;
  }
  EXPECT_FALSE(KvIsValidFPAtomType("atmnum"));  // case matters
  EXPECT_FALSE(KvIsValidFPAtomType("Order"));
  EXPECT_EQ(KvGetFPAtomType("Bogus"), 0u);
  EXPECT_TRUE(KvIsValidFPAtomType("None"));
}

TEST(TypingNames, BondFlagsNamedCombinationsAndRoundTrips) {
  EXPECT_EQ(KvGetFPBondType("DefaultBond"), 3u);
  EXPECT_EQ(KvGetFPBondType("DefaultPathBond"), 3u);
  EXPECT_EQ(KvGetFPBondType("DefaultTreeBond"), 1u);
  EXPECT_EQ(KvGetFPBondType("DefaultCircularBond"), 1u);
  EXPECT_EQ(KvGetFPBondType(3u), "Order|Chiral");
  EXPECT_EQ(KvGetFPBondType(7u), "Order|Chiral|InRing");
  EXPECT_EQ(KvGetFPBondType(0u), "None");
  EXPECT_EQ(KvGetFPBondType(8u), "invalid");
  EXPECT_EQ(KvGetFPBondType("InRing"), 4u);
  EXPECT_TRUE(KvIsValidFPBondType("Order|InRing"));
  EXPECT_FALSE(KvIsValidFPBondType("AtmNum"));
  EXPECT_FALSE(KvIsValidFPBondType("DefaultPathAtom"));
  EXPECT_EQ(KvGetFPBondType("Nonsense"), 0u);
}

TEST(TypingNumbers, ProductsOfThePropertyPrimes) {
  // Ethane carbon, default path flags: C 179, heavy degree 1 -> 3, sp3 -> 5^3.
  EXPECT_EQ(TypeNumbers("CC", A::DefaultPathAtom).atoms, (std::vector<unsigned>{179 * 3 * 125, 179 * 3 * 125}));
  // Benzene carbon: degree 2 -> 9, sp2 -> 25, aromatic -> 11.
  EXPECT_EQ(TypeNumbers("c1ccccc1", A::DefaultPathAtom).atoms[0], 179u * 9 * 25 * 11);
  // Ring and hydrogen count: cyclohexane carbon in a ring (7) with 2 H (17^2).
  EXPECT_EQ(TypeNumbers("C1CCCCC1", A::AtmNum | A::InRing | A::HCount).atoms[3], 179u * 7 * 289);
  // Methane hydrogen count 4 gives 17^4; chirality 13 on a specified centre only.
  EXPECT_EQ(TypeNumbers("C", A::HCount).atoms[0], 83521u);
  const Types chiral = TypeNumbers("C[C@H](O)CC", A::Chiral);
  EXPECT_EQ(chiral.atoms, (std::vector<unsigned>{1, 13, 1, 1, 1}));
  // Element primes: oxygen 947, chlorine 661, sulfur 811, phosphorus 547,
  // nitrogen 283; others from the element table (Br z=35, Si z=14, Na z=11, Fe z=26).
  EXPECT_EQ(TypeNumbers("O", A::AtmNum).atoms[0], 947u);
  EXPECT_EQ(TypeNumbers("Cl", A::AtmNum).atoms[0], 661u);
  EXPECT_EQ(TypeNumbers("S", A::AtmNum).atoms[0], 811u);
  EXPECT_EQ(TypeNumbers("P", A::AtmNum).atoms[0], 547u);
  EXPECT_EQ(TypeNumbers("N", A::AtmNum).atoms[0], 283u);
  EXPECT_EQ(TypeNumbers("Br", A::AtmNum).atoms[0], 397u);
  EXPECT_EQ(TypeNumbers("[SiH4]", A::AtmNum).atoms[0], 263u);
  EXPECT_EQ(TypeNumbers("[Na+]", A::AtmNum).atoms[0], 241u);
  EXPECT_EQ(TypeNumbers("[Fe]", A::AtmNum).atoms[0], 347u);
  // No flags at all leaves 1 everywhere.
  EXPECT_EQ(TypeNumbers("CCO", 0, 0).atoms, (std::vector<unsigned>{1, 1, 1}));
  EXPECT_EQ(TypeNumbers("CCO", 0, 0).bonds, (std::vector<unsigned>{1, 1}));
}

TEST(TypingNumbers, HalogensAreEqualUnderEqHalo) {
  const Types cl = TypeNumbers("CCl", A::DefaultPathAtom);
  const Types f = TypeNumbers("CF", A::DefaultPathAtom);
  const Types br = TypeNumbers("CBr", A::DefaultPathAtom);
  EXPECT_EQ(cl.atoms[1], f.atoms[1]);
  EXPECT_EQ(br.atoms[1], f.atoms[1]);
  EXPECT_NE(TypeNumbers("CCl", A::DefaultTreeAtom).atoms[1], TypeNumbers("CF", A::DefaultTreeAtom).atoms[1]);
}

TEST(TypingNumbers, HydrogenBondClassesReplaceTheElement) {
  const unsigned accDon = A::AtmNum | A::EqHBAcc | A::EqHBDon;
  const unsigned donOnly = A::AtmNum | A::EqHBDon;
  const unsigned accOnly = A::AtmNum | A::EqHBAcc;
  // Saturated alcohol oxygen and primary amine nitrogen: acceptor and donor.
  EXPECT_EQ(TypeNumbers("CCO", accDon).atoms[2], 19u);
  EXPECT_EQ(TypeNumbers("CCN", accDon).atoms[2], 19u);
  EXPECT_EQ(TypeNumbers("CCO", donOnly).atoms[2], 6859u);
  EXPECT_EQ(TypeNumbers("CCN", donOnly).atoms[2], 6859u);
  EXPECT_EQ(TypeNumbers("CCO", accOnly).atoms[2], 361u);
  // Carbon never takes a class, whatever its neighbours.
  EXPECT_EQ(TypeNumbers("CCO", accDon).atoms[0], 179u);
  EXPECT_EQ(TypeNumbers("c1ccccc1O", accDon).atoms[0], 179u);
  // Ether oxygen: acceptor only; carbonyl oxygen: acceptor.
  EXPECT_EQ(TypeNumbers("COC", accDon).atoms[1], 361u);
  EXPECT_EQ(TypeNumbers("CC(C)=O", accDon).atoms[3], 361u);
  // Ester single-bonded oxygen and phenol oxygen sit next to unsaturation:
  // phenol keeps only its donor role, the ester oxygen has none.
  EXPECT_EQ(TypeNumbers("CC(=O)OC", accDon).atoms[3], 947u);
  EXPECT_EQ(TypeNumbers("c1ccccc1O", accDon).atoms[6], 6859u);
  // Amide nitrogen: donor only; ammonium (valence 4): donor only.
  EXPECT_EQ(TypeNumbers("CC(=O)N", accDon).atoms[3], 6859u);
  EXPECT_EQ(TypeNumbers("C[NH3+]", accDon).atoms[1], 6859u);
  // Tertiary amine: acceptor only; pyridine nitrogen: acceptor; pyridinium: none.
  EXPECT_EQ(TypeNumbers("CN(C)C", accDon).atoms[1], 361u);
  EXPECT_EQ(TypeNumbers("c1ccncc1", accDon).atoms[3], 361u);
  EXPECT_EQ(TypeNumbers("c1cc[nH+]cc1", accOnly).atoms[3], 283u);
  // Carboxylate oxygen: negative, so an acceptor.
  EXPECT_EQ(TypeNumbers("CC(=O)[O-]", accDon).atoms[3], 361u);
  // Sulfur: thione acceptor, thiol donor only, thioether nothing.
  EXPECT_EQ(TypeNumbers("CC(C)=S", accDon).atoms[3], 361u);
  EXPECT_EQ(TypeNumbers("CCS", accDon).atoms[2], 6859u);
  EXPECT_EQ(TypeNumbers("CSC", accDon).atoms[1], 811u);
  // Halogens have no role.
  EXPECT_EQ(TypeNumbers("CF", accDon).atoms[1], 419u);
}

TEST(TypingNumbers, ChargeDegreeAndEquivalenceCaps) {
  // Charge factors, including the catch-all 512 for |charge| > 4.
  EXPECT_EQ(TypeNumbers("[NH4+]", A::FCharge).atoms[0], 4u);
  EXPECT_EQ(TypeNumbers("[O-]C", A::FCharge).atoms[0], 2u);
  EXPECT_EQ(TypeNumbers("[Fe+2]", A::FCharge).atoms[0], 16u);
  EXPECT_EQ(TypeNumbers("[Fe+5]", A::FCharge).atoms[0], 512u);
  EXPECT_EQ(TypeNumbers("[Fe-5]", A::FCharge).atoms[0], 512u);
  // Heavy degree 6 and 7 are both capped at 3^6.
  EXPECT_EQ(TypeNumbers("FS(F)(F)(F)(F)F", A::HvyDeg).atoms[1], 729u);
  EXPECT_EQ(TypeNumbers("F[Re](F)(F)(F)(F)(F)F", A::HvyDeg).atoms[1], 729u);
  // EqArom: every aromatic atom counts as carbon in the numbers.
  const Types pyridine = TypeNumbers("c1ccncc1", A::AtmNum | A::EqArom);
  EXPECT_EQ(pyridine.atoms[3], 179u);
  EXPECT_EQ(TypeNumbers("c1ccoc1", A::AtmNum | A::EqArom).atoms[3], 179u);
  // EqArom turns an aromatic nitrogen into carbon before the hydrogen-bond test.
  EXPECT_EQ(TypeNumbers("c1ccncc1", A::AtmNum | A::EqArom | A::EqHBAcc).atoms[3], 179u);
}

TEST(TypingNumbers, BondValues) {
  const Types benzene = TypeNumbers("c1ccccc1", 0, B::Order);
  EXPECT_EQ(benzene.bonds, std::vector<unsigned>(6, 151u));
  EXPECT_EQ(TypeNumbers("c1ccccc1", 0, B::Order | B::InRing).bonds, std::vector<unsigned>(6, 11023u));
  EXPECT_EQ(TypeNumbers("CC=CC#N", 0, B::Order).bonds, (std::vector<unsigned>{131, 137, 131, 139}));
  EXPECT_EQ(TypeNumbers("CC=CC#N", 0, B::Order | B::InRing).bonds, (std::vector<unsigned>{131, 137, 131, 139}));
  // Bond 3 is the ring closure, bond 2 the methyl bond.
  EXPECT_EQ(TypeNumbers("C1CC1C", 0, B::InRing).bonds, (std::vector<unsigned>{73, 73, 1, 73}));
  // Specified E/Z double bond: 79 with Chiral; unspecified: nothing.
  EXPECT_EQ(TypeNumbers("C/C=C/C", 0, B::Order | B::Chiral).bonds[1], 137u * 79);
  EXPECT_EQ(TypeNumbers("CC=CC", 0, B::Order | B::Chiral).bonds[1], 137u);
}

TEST(TypingNumbers, ArraysFollowTheIndexBounds) {
  KvMol empty;
  std::vector<unsigned> atoms = {5, 6}, bonds = {7};
  KvGetFingerprintAtomTypes(atoms, bonds, empty, A::DefaultPathAtom, B::DefaultPathBond);
  EXPECT_TRUE(atoms.empty());
  EXPECT_TRUE(bonds.empty());
  const Types t = TypeNumbers("CC(=O)Nc1ccccc1", A::DefaultPathAtom, B::DefaultPathBond);
  EXPECT_EQ(t.atoms.size(), 10u);
  EXPECT_EQ(t.bonds.size(), 10u);
}

TEST(TypingStrings, ElementAndQualifierParts) {
  // Aromatic nitrogen: bare letter, bracketed once a qualifier appears.
  EXPECT_EQ(TypeStrings("c1ccncc1", A::AtmNum | A::Arom).atoms[3], "n");
  EXPECT_EQ(TypeStrings("c1ccncc1", A::AtmNum | A::Arom | A::InRing).atoms[3], "[n;R]");
  EXPECT_EQ(TypeStrings("c1ccncc1", A::AtmNum | A::Arom).atoms[0], "c");
  // Two-letter symbols and atomic numbers are always bracketed.
  EXPECT_EQ(TypeStrings("CCl", A::AtmNum | A::Arom).atoms[1], "[Cl]");
  EXPECT_EQ(TypeStrings("CCl", A::AtmNum).atoms, (std::vector<std::string>{"[#6]", "[#17]"}));
  // Without AtmNum: wildcard, or aromatic / aliphatic.
  EXPECT_EQ(TypeStrings("Cc1ccccc1", 0).atoms[0], "*");
  EXPECT_EQ(TypeStrings("Cc1ccccc1", A::Arom).atoms[0], "A");
  EXPECT_EQ(TypeStrings("Cc1ccccc1", A::Arom).atoms[1], "a");
  EXPECT_EQ(TypeStrings("Cc1ccccc1", A::InRing).atoms[1], "[*;R]");
  // Charge, ring, degree, hybridisation, hydrogens, in that order.
  EXPECT_EQ(TypeStrings("C[NH3+]", A::AtmNum | A::FCharge | A::InRing | A::HvyDeg | A::Hyb | A::HCount).atoms[1],
            "[#7+;R0;D1;^3;h3]");
  EXPECT_EQ(TypeStrings("[O-2]", A::AtmNum | A::FCharge).atoms[0], "[#8-2]");
  // Equivalence classes.
  EXPECT_EQ(TypeStrings("CBr", A::AtmNum | A::EqHalo).atoms[1], "[F,Cl,Br,I]");
  EXPECT_EQ(TypeStrings("c1ccsc1", A::AtmNum | A::EqArom).atoms[3], "[c,n,s]");
  EXPECT_EQ(TypeStrings("c1ccoc1", A::AtmNum | A::EqArom).atoms[3], "[#8]");  // numbers differ here
  const unsigned hb = A::AtmNum | A::EqHBAcc | A::EqHBDon | A::HCount;
  EXPECT_EQ(TypeStrings("CCO", hb).atoms[2], "[#7,#8,#16;!h0,!$([o,s,nX3,#7v5,#16v4,*+1])]");
  EXPECT_EQ(TypeStrings("COC", hb).atoms[1], "[#7,#8,#16;!$([o,s,nX3,#7v5,#16v4,*+1]);h0]");
  EXPECT_EQ(TypeStrings("CCS", hb).atoms[2], "[#7,#8,#16;!h0]");
  EXPECT_EQ(TypeStrings("CCS", hb).atoms[0], "[#6;h3]");
  // Chiral adds nothing.
  EXPECT_EQ(TypeStrings("C[C@H](O)CC", A::AtmNum | A::Chiral).atoms[1], "[#6]");
}

TEST(TypingStrings, BondSymbols) {
  EXPECT_EQ(TypeStrings("c1ccccc1", 0, B::Order | B::InRing).bonds[0], ":@");
  EXPECT_EQ(TypeStrings("CC=CC#N", 0, B::Order | B::InRing).bonds,
            (std::vector<std::string>{"-!@", "=!@", "-!@", "#!@"}));
  EXPECT_EQ(TypeStrings("CC", 0, 0).bonds[0], "~");
  EXPECT_EQ(TypeStrings("C1CC1", 0, B::InRing).bonds[0], "~@");
  EXPECT_EQ(TypeStrings("C/C=C/C", 0, B::Order | B::Chiral).bonds[1], "=");
}

}  // namespace
