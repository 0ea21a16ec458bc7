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

// The type numbers (T = unsigned) or strings (T = std::string) of a molecule
// prepared from SMILES, as the generators type it.
template <class T>
struct Typed {
  std::vector<T> atoms, bonds;
};
template <class T>
Typed<T> TypesOf(const std::string& smiles, unsigned atomFlags, unsigned bondFlags) {
  KvMol mol;
  EXPECT_TRUE(KvChem::KvSmilesToMol(smiles, mol)) << smiles;
  KvPrepareForFingerprinting(mol, KvFPType::Path);
  Typed<T> t;
  KvGetFingerprintAtomTypes(t.atoms, t.bonds, mol, atomFlags, bondFlags);
  return t;
}
Typed<unsigned> TypeNumbers(const std::string& smiles, unsigned atomFlags, unsigned bondFlags = B::Order) {
  return TypesOf<unsigned>(smiles, atomFlags, bondFlags);
}
Typed<std::string> TypeStrings(const std::string& smiles, unsigned atomFlags, unsigned bondFlags = B::Order) {
  return TypesOf<std::string>(smiles, atomFlags, bondFlags);
}

TEST(TypingNames, FlagNamesNamedCombinationsAndRoundTrips) {
  const std::pair<const char*, unsigned> atomNames[] = {
      {"AtmNum", 1},         {"Arom", 2},           {"Chiral", 4},         {"FCharge", 8},
      {"HvyDeg", 16},        {"Hyb", 32},           {"InRing", 64},        {"EqHalo", 128},
      {"EqArom", 256},       {"EqHBAcc", 512},      {"EqHBDon", 1024},     {"HCount", 4096},
      {"None", 0},           {"DefaultPathAtom", 191}, {"DefaultAtom", 191}, {"DefaultTreeAtom", 63},
      {"DefaultCircularAtom", 4239}, {"EqHBAcc|EqHBDon|InRing", 1600}, {"Bogus", 0}};
  for (const auto& [name, value] : atomNames) EXPECT_EQ(KvGetFPAtomType(name), value) << name;
  const std::pair<const char*, unsigned> bondNames[] = {
      {"DefaultBond", 3}, {"DefaultPathBond", 3}, {"DefaultTreeBond", 1}, {"DefaultCircularBond", 1},
      {"InRing", 4},      {"Nonsense", 0}};
  for (const auto& [name, value] : bondNames) EXPECT_EQ(KvGetFPBondType(name), value) << name;
  // Numbers print their flags in bit order; the one unassigned atom value is invalid.
  EXPECT_EQ(KvGetFPAtomType(191u), "AtmNum|Arom|Chiral|FCharge|HvyDeg|Hyb|EqHalo");
  EXPECT_EQ(KvGetFPAtomType(4239u), "AtmNum|Arom|Chiral|FCharge|EqHalo|HCount");
  EXPECT_EQ(KvGetFPAtomType(0u), "None");
  EXPECT_EQ(KvGetFPAtomType(2048u), "invalid");
  EXPECT_EQ(KvGetFPBondType(7u), "Order|Chiral|InRing");
  EXPECT_EQ(KvGetFPBondType(0u), "None");
  EXPECT_EQ(KvGetFPBondType(8u), "invalid");
  for (unsigned v = 1; v < 8192; ++v) {
    if ((v & ~0x17FFu) == 0) {
      EXPECT_EQ(KvGetFPAtomType(KvGetFPAtomType(v)), v) << v;
    }
  }
  for (const char* name : {"AtmNum", "HCount", "None", "EqHBDon|Hyb"}) EXPECT_TRUE(KvIsValidFPAtomType(name)) << name;
  for (const char* name : {"atmnum", "Order"}) EXPECT_FALSE(KvIsValidFPAtomType(name)) << name;
  EXPECT_TRUE(KvIsValidFPBondType("Order|InRing"));
  EXPECT_FALSE(KvIsValidFPBondType("AtmNum"));
  EXPECT_FALSE(KvIsValidFPBondType("DefaultPathAtom"));
}

// One atom's type number under the given flags: products of the property
// primes, hydrogen-bond classes and the caps.
TEST(TypingNumbers, AtomTypeNumbers) {
  const unsigned accDon = A::AtmNum | A::EqHBAcc | A::EqHBDon, donOnly = A::AtmNum | A::EqHBDon;
  const unsigned accOnly = A::AtmNum | A::EqHBAcc;
  struct Case {
    const char* smiles;
    unsigned flags, atom, type;
  };
  const Case cases[] = {
      // Ethane carbon, default path flags: C 179, heavy degree 1 -> 3, sp3 -> 5^3.
      {"CC", A::DefaultPathAtom, 1, 179 * 3 * 125},
      // Benzene carbon: degree 2 -> 9, sp2 -> 25, aromatic -> 11.
      {"c1ccccc1", A::DefaultPathAtom, 0, 179u * 9 * 25 * 11},
      // Cyclohexane carbon in a ring (7) with 2 H (17^2); methane 17^4.
      {"C1CCCCC1", A::AtmNum | A::InRing | A::HCount, 3, 179u * 7 * 289},
      {"C", A::HCount, 0, 83521},
      // Element primes from the element table (those of the common organic
      // elements are pinned by the golden bits of every kind).
      {"[SiH4]", A::AtmNum, 0, 263}, {"[Na+]", A::AtmNum, 0, 241}, {"[Fe]", A::AtmNum, 0, 347},
      // Hydrogen-bond classes replace the element: acceptor and donor 19,
      // donor 6859, acceptor 361; carbon never takes one.
      {"CCO", accDon, 2, 19}, {"CCN", accDon, 2, 19}, {"CCO", donOnly, 2, 6859}, {"CCN", donOnly, 2, 6859},
      {"CCO", accOnly, 2, 361}, {"CCO", accDon, 0, 179}, {"c1ccccc1O", accDon, 0, 179},
      // Ether and carbonyl oxygen: acceptors.
      {"COC", accDon, 1, 361}, {"CC(C)=O", accDon, 3, 361},
      // Next to unsaturation: phenol keeps only its donor role, the ester oxygen has none.
      {"CC(=O)OC", accDon, 3, 947}, {"c1ccccc1O", accDon, 6, 6859},
      // Amide nitrogen and ammonium (valence 4): donors only.
      {"CC(=O)N", accDon, 3, 6859}, {"C[NH3+]", accDon, 1, 6859},
      // Tertiary amine and pyridine: acceptors; pyridinium: none.
      {"CN(C)C", accDon, 1, 361}, {"c1ccncc1", accDon, 3, 361}, {"c1cc[nH+]cc1", accOnly, 3, 283},
      // Carboxylate oxygen: negative, so an acceptor.
      {"CC(=O)[O-]", accDon, 3, 361},
      // Sulfur: thione acceptor, thiol donor only, thioether nothing; fluorine nothing.
      {"CC(C)=S", accDon, 3, 361}, {"CCS", accDon, 2, 6859}, {"CSC", accDon, 1, 811}, {"CF", accDon, 1, 419},
      // Charge factors, including the catch-all 512 for |charge| > 4.
      {"[NH4+]", A::FCharge, 0, 4}, {"[O-]C", A::FCharge, 0, 2}, {"[Fe+2]", A::FCharge, 0, 16},
      {"[Fe+5]", A::FCharge, 0, 512}, {"[Fe-5]", A::FCharge, 0, 512},
      // Heavy degree 6 and 7 are both capped at 3^6.
      {"FS(F)(F)(F)(F)F", A::HvyDeg, 1, 729}, {"F[Re](F)(F)(F)(F)(F)F", A::HvyDeg, 1, 729},
      // EqArom: every aromatic atom counts as carbon, also before the hydrogen-bond test.
      {"c1ccncc1", A::AtmNum | A::EqArom, 3, 179}, {"c1ccoc1", A::AtmNum | A::EqArom, 3, 179},
      {"c1ccncc1", A::AtmNum | A::EqArom | A::EqHBAcc, 3, 179},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TypeNumbers(c.smiles, c.flags).atoms.at(c.atom), c.type) << c.smiles << " flags " << c.flags;
  // Halogens as one class (EqHalo, in the default path flags but not the
  // tree's) are pinned by the golden bits of both kinds.
  // Chirality 13 on a specified centre only; no flags at all leaves 1 everywhere.
  EXPECT_EQ(TypeNumbers("C[C@H](O)CC", A::Chiral).atoms, (std::vector<unsigned>{1, 13, 1, 1, 1}));
  EXPECT_EQ(TypeNumbers("CCO", 0, 0).atoms, (std::vector<unsigned>{1, 1, 1}));
  EXPECT_EQ(TypeNumbers("CCO", 0, 0).bonds, (std::vector<unsigned>{1, 1}));
}

TEST(TypingNumbers, BondValues) {
  EXPECT_EQ(TypeNumbers("c1ccccc1", 0, B::Order).bonds, std::vector<unsigned>(6, 151u));
  EXPECT_EQ(TypeNumbers("c1ccccc1", 0, B::Order | B::InRing).bonds, std::vector<unsigned>(6, 11023u));
  EXPECT_EQ(TypeNumbers("CC=CC#N", 0, B::Order).bonds, (std::vector<unsigned>{131, 137, 131, 139}));
  // Bond 3 is the ring closure, bond 2 the methyl bond.
  EXPECT_EQ(TypeNumbers("C1CC1C", 0, B::InRing).bonds, (std::vector<unsigned>{73, 73, 1, 73}));
  // Specified E/Z double bond: 79 with Chiral; unspecified: nothing.
  EXPECT_EQ(TypeNumbers("C/C=C/C", 0, B::Order | B::Chiral).bonds[1], 137u * 79);
  EXPECT_EQ(TypeNumbers("CC=CC", 0, B::Order | B::Chiral).bonds[1], 137u);
  EXPECT_EQ(TypeNumbers("C/C=C(/C)C", 0, B::Order | B::Chiral).bonds[1], 137u);  // an end with two methyls
  // An empty molecule clears what the arrays held.
  KvMol empty;
  std::vector<unsigned> atoms = {5, 6}, bonds = {7};
  KvGetFingerprintAtomTypes(atoms, bonds, empty, A::DefaultPathAtom, B::DefaultPathBond);
  EXPECT_TRUE(atoms.empty() && bonds.empty());
}

// The charge, ring, degree, hybridisation and hydrogen parts, the halogen,
// aromatic and hydrogen-bond classes and the bond symbols of the golden
// types are pinned by the unhashed golden bits; here the forms those types
// never write.
TEST(TypingStrings, FormsTheGoldenTypesDoNotWrite) {
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
  EXPECT_EQ(TypeStrings("[O-2]", A::AtmNum | A::FCharge).atoms[0], "[#8-2]");
  EXPECT_EQ(TypeStrings("c1ccoc1", A::AtmNum | A::EqArom).atoms[3], "[#8]");  // numbers differ here
  EXPECT_EQ(TypeStrings("C1CC1", 0, B::InRing).bonds[0], "~@");
}

}  // namespace
