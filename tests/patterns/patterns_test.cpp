// Fingerprint patterns, coverage and overlap on real molecules.

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "molecules.h"
#include "generators/modulus.h"
#include "kvchem/mol.h"
#include "kvsystem/base.h"
#include "kvsystem/iterator.h"
#include "varnex/fingerprint.h"
#include "varnex/fptypes.h"
#include "varnex/generation.h"
#include "varnex/circularfp.h"
#include "varnex/maccs.h"
#include "varnex/pathfp.h"
#include "varnex/treefp.h"
#include "varnex/patterns.h"
#include "varnex/typing.h"

namespace Varnex {
namespace {

using KvChem::KvAtomBondSet;
using KvChem::KvMatchBase;
using KvSystem::KvCollect;

using VarnexTest::Mol;
using VarnexTest::NciSmiles;

const KvFPTypeBase* DefaultType(unsigned kind) { return KvGetFPType(kind); }

// Whether any atom or bond (or the molecule) still carries the back-pointer tag.
bool HasOriginData(const KvChem::KvMolBase& mol) {
  const KvSystem::KvTag tag = KvSystem::KvGetTag("__oriptr");
  if (mol.FindData(tag) != nullptr) return true;
  for (const KvChem::KvAtomBase* atom : mol.Atoms())
    if (atom->FindData(tag) != nullptr) return true;
  for (const KvChem::KvBondBase* bond : mol.Bonds())
    if (bond->FindData(tag) != nullptr) return true;
  return false;
}

bool BelongsTo(const KvAtomBondSet& set, const KvChem::KvMolBase& mol) {
  for (const KvChem::KvAtomBase* atom : set.GetAtoms())
    if (atom == nullptr || atom->GetParent() != &mol || mol.GetAtom(atom->GetIdx()) != atom) return false;
  for (const KvChem::KvBondBase* bond : set.GetBonds())
    if (bond == nullptr || bond->GetParent() != &mol || mol.GetBond(bond->GetIdx()) != bond) return false;
  return true;
}

// Every pattern's bit is its identifier modulo the prime, below it, and set
// in the fingerprint of the same molecule; its atoms are the caller's.
void CheckPatternsAgainstFingerprint(unsigned kind, size_t molecules) {
  const KvFPTypeBase* type = DefaultType(kind);
  ASSERT_NE(type, nullptr);
  const unsigned bits = static_cast<const KvFPGraphTypeBase*>(type)->GetNumBits();
  const unsigned modulus = GetBitModulus(bits);
  size_t checked = 0;
  for (const std::string& smiles : NciSmiles(molecules)) {
    KvChem::KvMol mol;
    if (!KvChem::KvSmilesToMol(smiles, mol)) continue;
    KvFingerPrint fp;
    ASSERT_TRUE(KvMakeFP(fp, mol, type)) << smiles;
    const std::vector<KvFPPattern> patterns = KvCollect(KvGetFPPatterns(mol, type));
    if (mol.NumAtoms() > 0) {
      EXPECT_FALSE(patterns.empty()) << smiles;
    }
    for (const KvFPPattern& p : patterns) {
      ASSERT_EQ(p.GetBit(), p.GetUnhashed() % modulus) << smiles;
      ASSERT_TRUE(fp.IsBitOn(p.GetBit())) << smiles << " " << p.GetSmarts();
      ASSERT_TRUE(BelongsTo(p, mol)) << smiles;
      ASSERT_GE(p.NumAtoms(), 1u);
      // A spanning tree: one bond fewer than atoms (features are connected,
      // ring features leave out the closing bond).
      ASSERT_EQ(p.NumBonds() + 1, p.NumAtoms()) << smiles << " " << p.GetSmarts();
    }
    ++checked;
  }
  EXPECT_GT(checked, molecules * 9 / 10);
}

TEST(FPPatternTest, BitsMatchFingerprintOnNci) {
  for (unsigned kind : {KvFPType::Circular, KvFPType::Path, KvFPType::Tree}) CheckPatternsAgainstFingerprint(kind, 200);
}

TEST(FPPatternTest, PathPatternsFollowThePath) {
  // Ethanol heavy atoms C-C-O; paths of 0 to 2 bonds from each atom.
  const KvChem::KvMol mol = Mol("CCO");
  const KvFPTypeBase* type =
      KvGetPathFPType(KvGraphFPVersion, 1024, 0, 2, KvFPAtomType::DefaultPathAtom, KvFPBondType::DefaultPathBond);
  const std::vector<KvFPPattern> patterns = KvCollect(KvGetFPPatterns(mol, type));
  // From C0: C, CC, CCO; from C1: C, CC, CO; from O2: O, OC, OCC.
  ASSERT_EQ(patterns.size(), 9u);
  EXPECT_EQ(patterns[2].GetAtoms(),
            (std::vector<const KvChem::KvAtomBase*>{mol.GetAtom(0), mol.GetAtom(1), mol.GetAtom(2)}));
  EXPECT_EQ(patterns[2].GetBonds(), (std::vector<const KvChem::KvBondBase*>{mol.GetBond(0), mol.GetBond(1)}));
  EXPECT_FALSE(patterns[2].GetSmarts().empty());
  // Read from the other end: atoms reversed, each atom's bond to the atom before it.
  EXPECT_EQ(patterns[8].GetAtoms(),
            (std::vector<const KvChem::KvAtomBase*>{mol.GetAtom(2), mol.GetAtom(1), mol.GetAtom(0)}));
  EXPECT_EQ(patterns[8].GetBonds(), (std::vector<const KvChem::KvBondBase*>{mol.GetBond(1), mol.GetBond(0)}));
  // Positions weigh the types, so the two readings differ.
  EXPECT_NE(patterns[2].GetUnhashed(), patterns[8].GetUnhashed());
}

// The fingerprints walk from every heavy atom, symmetric or not, so every
// atom of a larger symmetric molecule starts its own single-atom feature.
TEST(FPPatternTest, EveryAtomOfALargeSymmetricMoleculeStartsFeatures) {
  const KvChem::KvMol mol = Mol("c1ccccc1CCCCCCCCCc1ccccc1");  // 21 atoms
  for (const KvFPTypeBase* type :
       {KvGetPathFPType(KvGraphFPVersion, 1024, 0, 4, KvFPAtomType::DefaultPathAtom, KvFPBondType::DefaultPathBond),
        KvGetTreeFPType(KvGraphFPVersion, 1024, 0, 4, KvFPAtomType::DefaultTreeAtom, KvFPBondType::DefaultTreeBond)}) {
    std::set<const KvChem::KvAtomBase*> starts;
    for (const KvFPPattern& p : KvCollect(KvGetFPPatterns(mol, type)))
      if (p.NumAtoms() == 1) starts.insert(p.GetAtoms()[0]);
    EXPECT_EQ(starts.size(), mol.NumAtoms()) << type->GetFPTypeString();
  }
}

TEST(FPCoverageTest, UniqueFlagOnSymmetricMolecule) {
  // Benzene: every atom environment is the same, so one set per radius with
  // the flag.
  const KvChem::KvMol mol = Mol("c1ccccc1");
  const KvFPTypeBase* type = KvGetCircularFPType(KvGraphFPVersion, 4096, 0, 3, KvFPAtomType::DefaultCircularAtom,
                                                 KvFPBondType::DefaultCircularBond);
  const std::vector<KvAtomBondSet> unique = KvCollect(KvGetFPCoverage(mol, type, true));
  // Identifiers: atom (radius 0), 3-atom arc, 5-atom arc, whole ring.
  ASSERT_EQ(unique.size(), 4u);
  EXPECT_EQ(unique[0].NumAtoms(), 1u);
  EXPECT_EQ(unique[3].NumAtoms(), 6u);
  EXPECT_EQ(unique[3].NumBonds(), 5u);
  // Without it: six atoms, six 3-arcs, six 5-arcs, and the whole ring once
  // per distinct spanning tree (starts whose trees leave out the same ring
  // bond give equal sets, kept once): 5 of the 6 starts differ.
  EXPECT_EQ(KvCollect(KvGetFPCoverage(mol, type, false)).size(), 23u);
}

// The (query, target) pairs of the atoms, then of the bonds, of a match.
std::vector<const void*> MatchKey(const KvMatchBase& m) {
  std::vector<const void*> key;
  for (const auto& pair : m.GetAtomPairs()) key.insert(key.end(), {pair.query, pair.target});
  key.push_back(nullptr);
  for (const auto& pair : m.GetBondPairs()) key.insert(key.end(), {pair.query, pair.target});
  return key;
}

// Every feature of a molecule matches onto the same atoms of itself and of
// a copy, and no match is kept twice.
TEST(FPOverlapTest, MoleculeWithItselfHasEveryFeatureOntoItself) {
  for (const unsigned kind : {KvFPType::Path, KvFPType::Tree, KvFPType::Circular}) {
    const KvChem::KvMol mol = Mol("OC(=O)c1ccccc1N");
    const KvChem::KvMol other = Mol("OC(=O)c1ccccc1N");
    const KvFPTypeBase* type = DefaultType(kind);
    for (const KvChem::KvMolBase* b : {static_cast<const KvChem::KvMolBase*>(&mol),
                                       static_cast<const KvChem::KvMolBase*>(&other)}) {
      const std::vector<KvMatchBase> matches = KvCollect(KvGetFPOverlap(mol, *b, type));
      std::set<std::vector<const void*>> keys;
      for (const KvMatchBase& m : matches) keys.insert(MatchKey(m));
      EXPECT_EQ(keys.size(), matches.size()) << kind;
      for (const KvFPPattern& p : KvCollect(KvGetFPPatterns(mol, type))) {
        std::vector<const void*> key;
        for (const KvChem::KvAtomBase* atom : p.GetAtoms()) key.insert(key.end(), {atom, b->GetAtom(atom->GetIdx())});
        key.push_back(nullptr);
        for (const KvChem::KvBondBase* bond : p.GetBonds()) key.insert(key.end(), {bond, b->GetBond(bond->GetIdx())});
        EXPECT_EQ(keys.count(key), 1u) << kind << " " << p.GetSmarts();
      }
    }
  }
}

// Explicit hydrogens: the working copy folds them, the caller's keep theirs.
// A molecule already in the prepared state (which the generators may read
// directly) still yields its own atoms, not a copy's. The back-pointers every
// function leaves on the caller's molecule are looked for here only.
TEST(FPPatternsCallerMoleculeTest, UnchangedAndWithoutLeftoverData) {
  KvChem::KvMol explicitH = Mol("[H]OC([H])([H])C(=O)N"), prepared = Mol("c1ccncc1CCl");
  KvPrepareForFingerprinting(prepared, KvFPType::Circular);
  for (KvChem::KvMol* each : {&explicitH, &prepared}) {
    KvChem::KvMol& mol = *each;
    mol.GetAtom(2)->SetData(new KvSystem::KvBaseDataT<int>(KvSystem::KvGetTag("mine"), 42));
    const std::string before = KvChem::KvMolToSmiles(mol);
    const unsigned atoms = mol.NumAtoms(), bonds = mol.NumBonds();
    for (const unsigned kind : {KvFPType::Path, KvFPType::Tree, KvFPType::Circular}) {
      const KvFPTypeBase* type = DefaultType(kind);
      for (const KvFPPattern& p : KvCollect(KvGetFPPatterns(mol, type))) {
        EXPECT_TRUE(BelongsTo(p, mol));
        for (const KvChem::KvAtomBase* atom : p.GetAtoms()) EXPECT_NE(atom->GetAtomicNum(), 1u);
      }
      for (const KvAtomBondSet& set : KvCollect(KvGetFPCoverage(mol, type, false))) EXPECT_TRUE(BelongsTo(set, mol));
      KvCollect(KvGetFPOverlap(mol, mol, type));
    }
    KvCollect(KvGetFPCoverage(mol, KvGetFPType(KvFPType::MACCS166), false));
    EXPECT_EQ(mol.NumAtoms(), atoms);
    EXPECT_EQ(mol.NumBonds(), bonds);
    EXPECT_EQ(KvChem::KvMolToSmiles(mol), before);
    EXPECT_FALSE(HasOriginData(mol));
    const auto* mine = mol.GetAtom(2)->FindDataT<int>(KvSystem::KvGetTag("mine"));
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(mine->GetData(), 42);
  }
}

// Each function names itself in its warnings (the patterns of MACCS are the
// message table's row).
TEST(FPDispatchTest, WarningsAndEmptyResults) {
  const KvChem::KvMol mol = Mol("CCO");
  VarnexTest::CaptureSink sink;
  const KvFPTypeBase* unhashed = KvGetUnhashedCircularFPType(KvGraphFPVersion, 0, 2, KvFPAtomType::DefaultCircularAtom,
                                                             KvFPBondType::DefaultCircularBond);
  EXPECT_TRUE(KvCollect(KvGetFPCoverage(mol, nullptr, true)).empty());
  EXPECT_TRUE(KvCollect(KvGetFPOverlap(mol, mol, KvGetFPType(KvFPType::Lingo))).empty());
  EXPECT_TRUE(KvCollect(KvGetFPPatterns(mol, KvGetFPType(KvFPType::Lingo))).empty());
  EXPECT_TRUE(KvCollect(KvGetFPCoverage(mol, unhashed, false)).empty());
  EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"KvGetFPCoverage() invalid fingerprint type pointer!",
                                                    "KvGetFPOverlap() is not available for Lingo fingerprint!",
                                                    "KvGetFPPatterns() is not available for Lingo fingerprint!",
                                                    "KvGetFPCoverage() unknown fingerprint type!"}));

  // An invalid molecule: empty, and no message.
  sink.Clear();
  KvChem::KvMol invalid;
  invalid.SetInvalid();
  EXPECT_TRUE(KvCollect(KvGetFPPatterns(invalid, nullptr)).empty());
  EXPECT_TRUE(KvCollect(KvGetFPOverlap(mol, invalid, DefaultType(KvFPType::Path))).empty());
  // A member given another kind: empty without a message.
  EXPECT_TRUE(KvCollect(KvGetTreeFPPatterns(mol, DefaultType(KvFPType::Path))).empty());
  EXPECT_EQ(sink.Count(), 0u);
}

// Coverage of OCC(=O)O, overlap of OCC(=O)N with itself.
TEST(MACCSCoverageTest, ElementAndSmartsKeys) {
  const KvFPTypeBase* type = KvGetFPType(KvFPType::MACCS166);
  const KvChem::KvMol acid = Mol("OCC(=O)O");
  const std::vector<KvAtomBondSet> all = KvCollect(KvGetFPCoverage(acid, type, false));
  const std::vector<KvAtomBondSet> unique = KvCollect(KvGetFPCoverage(acid, type, true));
  for (const KvAtomBondSet& set : all) EXPECT_TRUE(BelongsTo(set, acid));
  // Oxygen has an element key: with unique only the first oxygen stands alone.
  size_t loneOxygens = 0;
  for (const KvAtomBondSet& set : unique)
    if (set.NumAtoms() == 1 && set.NumBonds() == 0 && set.GetAtoms()[0]->GetAtomicNum() == 8) ++loneOxygens;
  EXPECT_EQ(loneOxygens, 1u);

  const KvChem::KvMol mol = Mol("OCC(=O)N");
  const std::vector<KvMatchBase> matches = KvCollect(KvGetFPOverlap(mol, mol, type));
  ASSERT_GE(matches.size(), 5u);
  std::set<std::vector<const void*>> keys;
  for (const KvMatchBase& m : matches) {
    keys.insert(MatchKey(m));
    for (const KvChem::KvAtomPair& pair : m.GetAtomPairs()) {
      EXPECT_EQ(pair.query->GetParent(), &mol);
      EXPECT_EQ(pair.target->GetParent(), &mol);
    }
  }
  // Every keyed atom faces itself in a one-atom match. The element keys'
  // matches come first and pair atoms of one element: N with N, each O with each O.
  for (const KvChem::KvAtomBase* atom : mol.Atoms())
    if (KvGetMACCSElementKey(atom->GetAtomicNum()) != 0) {
      EXPECT_EQ(keys.count({atom, atom, nullptr}), 1u) << atom->GetIdx();
    }
  std::vector<std::pair<unsigned, unsigned>> elementPairs;
  for (std::size_t i = 0; i < 5; ++i)
    elementPairs.emplace_back(matches[i].GetAtomPairs().at(0).query->GetAtomicNum(),
                              matches[i].GetAtomPairs()[0].target->GetAtomicNum());
  EXPECT_EQ(elementPairs, (std::vector<std::pair<unsigned, unsigned>>{{7, 7}, {8, 8}, {8, 8}, {8, 8}, {8, 8}}));
}

// Records do not change the identifiers and come one per identifier, in
// its order (that each is a tree is checked on the patterns made of them).
TEST(FeatureRecordTest, GeneratorsGiveOneRecordPerIdentifier) {
  using Ids = std::vector<unsigned>;
  using Generator = void (*)(Ids&, const KvChem::KvMolBase&, Ids&, Ids&, KvFPFeatureRecords*);
  const Generator generators[] = {
      [](Ids& ids, const KvChem::KvMolBase& mol, Ids& at, Ids& bt, KvFPFeatureRecords* records) {
        KvCircularIdGenerator(ids, mol, at, bt, 0, 3, 0, 0, records);
      },
      [](Ids& ids, const KvChem::KvMolBase& mol, Ids& at, Ids& bt, KvFPFeatureRecords* records) {
        KvTreeIdGenerator(ids, mol, at, bt, 0, 4, 0, 0, records);
      },
      [](Ids& ids, const KvChem::KvMolBase& mol, Ids& at, Ids& bt, KvFPFeatureRecords* records) {
        KvPathIdGeneratorStack(ids, mol, at, bt, 0, 5, records);
      },
  };
  for (const std::string& smiles : NciSmiles(60)) {
    KvChem::KvGraphMol mol;
    if (!KvChem::KvSmilesToMol(smiles, mol)) continue;
    KvPrepareForFingerprinting(mol, KvFPType::Circular);
    Ids atomTypes, bondTypes;
    KvGetFingerprintAtomTypes(atomTypes, bondTypes, mol, KvFPAtomType::DefaultCircularAtom,
                              KvFPBondType::DefaultCircularBond);
    for (const Generator generate : generators) {
      Ids plain, recorded;
      KvFPFeatureRecords records;
      generate(plain, mol, atomTypes, bondTypes, nullptr);
      generate(recorded, mol, atomTypes, bondTypes, &records);
      ASSERT_EQ(plain, recorded) << smiles;
      ASSERT_EQ(records.size(), plain.size());
      for (size_t i = 0; i < records.size(); ++i) {
        ASSERT_EQ(records[i].GetId(), plain[i]) << smiles;
        ASSERT_EQ(records[i].GetMol(), &mol);
      }
    }
  }
}

}  // namespace
}  // namespace Varnex
