// VSEPR atom types: the tables' own consistency, typed atoms of real
// molecules, stereo variants, predicates and the accessors' messages.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "capture_sink.h"
#include "molecules.h"
#include "varnex/varnex.h"
#include "vsepr/vsepr_internal.h"

namespace {

namespace Aro = Varnex::VSEPRAroType;
namespace Stereo = Varnex::VSEPRAroStereoType;
using KvChem::KvAtomBase;
using KvChem::KvMol;

using VarnexTest::Mol;

// Valence electrons of the nine typed elements.
unsigned ValenceElectrons(unsigned atomicNum) {
  switch (atomicNum) {
    case 6: return 4;
    case 7: case 15: return 5;
    case 8: case 16: return 6;
    case 9: case 17: case 35: case 53: return 7;
    default: return 0;
  }
}

// ---------------------------------------------------------------------------
// The tables

TEST(VseprTypeTable, NamesParseBackAndEdgesOfEachSpace) {
  VarnexTest::CaptureSink sink;  // names and name lookups never report
  for (unsigned id = 0; id < 201; ++id) {
    EXPECT_EQ(Stereo::GetType(Stereo::GetName(id)), id);
    if (id < 165) {
      EXPECT_EQ(Aro::GetType(Aro::GetName(id)), id);
      EXPECT_EQ(Stereo::GetName(id), Aro::GetName(id));
    }
  }
  for (const char* bad : {"ch3:primarysp3", "CH3:PrimarySp3 ", "", "CH1:TertiarySp3:S"})  // the last: stereo only
    EXPECT_EQ(Aro::GetType(std::string(bad)), 165u) << bad;
  EXPECT_EQ(Aro::GetType(std::string("CH3:PrimarySp3")), 6u);
  EXPECT_EQ(Stereo::GetType(std::string("CH1:TertiarySp3:S")), 166u);
  EXPECT_EQ(Stereo::GetType(std::string("INVALID")), 201u);
  const std::pair<unsigned, const char*> aroNames[] = {
      {0, "CH2-:PrimarySp3"}, {164, "S++:TertiaryAro"}, {165, "INVALID"}, {0xFFFFFFFFu, "INVALID"}};
  for (const auto& [id, name] : aroNames) EXPECT_EQ(Aro::GetName(id), name);
  EXPECT_EQ(Stereo::GetName(165), "CH1:TertiarySp3:R");
  EXPECT_EQ(Stereo::GetName(200), "S++:QuatenarySp3:S");
  EXPECT_EQ(Stereo::GetName(201), "INVALID");
  EXPECT_EQ(sink.Count(), 0u);
}

TEST(VseprTypeTable, LonePairIdentityHoldsForEveryType) {
  for (unsigned id = 0; id < 201; ++id) {
    const int electrons = static_cast<int>(ValenceElectrons(Stereo::GetAtomicNumber(id)));
    ASSERT_GT(electrons, 0) << id;
    const int rhs = electrons - Stereo::GetCharge(id) - static_cast<int>(Stereo::GetHeavyValence(id)) -
                    static_cast<int>(Stereo::GetHydrogenCount(id));
    EXPECT_EQ(2 * static_cast<int>(Stereo::GetLPCount(id)), rhs) << Stereo::GetName(id);
    EXPECT_EQ(Stereo::GetDegree(id), Stereo::GetHeavyDegree(id) + Stereo::GetHydrogenCount(id));
    EXPECT_EQ(Stereo::GetValence(id), Stereo::GetHeavyValence(id) + Stereo::GetHydrogenCount(id));
  }
}

TEST(VseprTypeTable, SixIdentifyingValuesAreDistinct) {
  std::set<std::tuple<unsigned, unsigned, unsigned, unsigned, int, bool>> seen;
  for (unsigned id = 0; id < 165; ++id) {
    const auto key = std::make_tuple(Aro::GetAtomicNumber(id), Aro::GetHeavyValence(id), Aro::GetHeavyDegree(id),
                                     Aro::GetHydrogenCount(id), Aro::GetCharge(id), Aro::GetAromatic(id));
    EXPECT_TRUE(seen.insert(key).second) << Aro::GetName(id);
  }
}

TEST(VseprTypeTable, AtomLookupMatchesALinearSearchOverEveryCombination) {
  // Every combination of values in and around the typed ranges.
  const unsigned elements[] = {0, 1, 5, 6, 7, 8, 9, 14, 15, 16, 17, 34, 35, 53, 54};
  for (unsigned z : elements)
    for (unsigned hv = 0; hv <= 9; ++hv)
      for (unsigned deg = 0; deg <= 7; ++deg)
        for (unsigned h = 0; h <= 6; ++h)
          for (int charge = -2; charge <= 3; ++charge)
            for (bool aromatic : {false, true}) {
              unsigned expected = 165;
              for (unsigned id = 0; id < 165; ++id)
                if (Aro::GetAtomicNumber(id) == z && Aro::GetHeavyValence(id) == hv &&
                    Aro::GetHeavyDegree(id) == deg && Aro::GetHydrogenCount(id) == h &&
                    Aro::GetCharge(id) == charge && Aro::GetAromatic(id) == aromatic)
                  expected = id;
              ASSERT_EQ(Varnex::VseprDetail::TypeOfKey({z, hv, deg, h, charge, aromatic}), expected)
                  << z << " " << hv << " " << deg << " " << h << " " << charge << " " << aromatic;
            }
}

TEST(VseprTypeTable, AromaticTypesAreExactlyTheListedOnes) {
  // (id, heavy valence, lone pairs) as listed for the aromatic rows.
  const std::array<std::array<unsigned, 3>, 18> listed = {{{147, 2, 1}, {148, 3, 1}, {149, 3, 1}, {150, 3, 0},
                                                           {151, 4, 0}, {152, 2, 2}, {153, 2, 1}, {154, 3, 1},
                                                           {155, 3, 1}, {156, 3, 0}, {157, 4, 0}, {158, 2, 2},
                                                           {159, 2, 2}, {160, 2, 1}, {161, 3, 1}, {162, 3, 1},
                                                           {163, 3, 0}, {164, 4, 0}}};
  for (const auto& [id, hv, lp] : listed) {
    EXPECT_EQ(Aro::GetHeavyValence(id), hv) << id;
    EXPECT_EQ(Aro::GetLPCount(id), lp) << id;
  }
  for (unsigned id = 0; id < 201; ++id) EXPECT_EQ(Stereo::GetAromatic(id), id >= 147 && id <= 164) << id;
}

TEST(VseprTypeTable, StereoVariantsRepeatTheirBaseTypes) {
  const unsigned bases[18] = {12, 14, 30, 32, 47, 50, 58, 60, 80, 83, 102, 106, 108, 111, 129, 132, 140, 142};
  for (unsigned pair = 0; pair < 18; ++pair) {
    const unsigned r = 165 + 2 * pair, s = r + 1, base = bases[pair];
    EXPECT_EQ(Stereo::GetName(r), Stereo::GetName(base) + ":R");
    EXPECT_EQ(Stereo::GetName(s), Stereo::GetName(base) + ":S");
    EXPECT_EQ(Stereo::GetStereo(r), 2u);
    EXPECT_EQ(Stereo::GetStereo(s), 3u);
    EXPECT_EQ(Stereo::GetStereo(base), 0u);
    for (unsigned v : {r, s}) {
      EXPECT_EQ(Stereo::GetAtomicNumber(v), Stereo::GetAtomicNumber(base));
      EXPECT_EQ(Stereo::GetCharge(v), Stereo::GetCharge(base));
      EXPECT_EQ(Stereo::GetHeavyDegree(v), Stereo::GetHeavyDegree(base));
      EXPECT_EQ(Stereo::GetHydrogenCount(v), Stereo::GetHydrogenCount(base));
      EXPECT_EQ(Stereo::GetHeavyValence(v), Stereo::GetHeavyValence(base));
      EXPECT_EQ(Stereo::GetLPCount(v), Stereo::GetLPCount(base));
      EXPECT_FALSE(Stereo::GetAromatic(v));
    }
  }
  // Every type id, the invalid ones included, fits in one byte of a path key.
  EXPECT_LT(Stereo::kInvalidType, 256u);
}

// ---------------------------------------------------------------------------
// Messages of the accessors

TEST(VseprTypeMessages, EveryAccessorReportsAnInvalidIdAtErrorLevel) {
  struct Accessor {
    const char* name;
    std::function<long(unsigned)> call;
  };
#define VARNEX_ACCESSOR(space, f) {#f, [](unsigned t) { return static_cast<long>(space::f(t)); }}
#define VARNEX_ACCESSORS(space)                                                                                   \
  VARNEX_ACCESSOR(space, GetAromatic), VARNEX_ACCESSOR(space, GetAtomicNumber), VARNEX_ACCESSOR(space, GetCharge), \
      VARNEX_ACCESSOR(space, GetHeavyDegree), VARNEX_ACCESSOR(space, GetHeavyValence),                            \
      VARNEX_ACCESSOR(space, GetHydrogenCount), VARNEX_ACCESSOR(space, GetLPCount)
  const std::vector<Accessor> aro = {VARNEX_ACCESSORS(Aro)};
  const std::vector<Accessor> stereo = {VARNEX_ACCESSORS(Stereo), VARNEX_ACCESSOR(Stereo, GetStereo)};
#undef VARNEX_ACCESSORS
#undef VARNEX_ACCESSOR
  for (const auto& [space, accessors, invalid] :
       {std::make_tuple(std::string("VSEPRAroType"), aro, 165u),
        std::make_tuple(std::string("VSEPRAroStereoType"), stereo, 201u)}) {
    for (const Accessor& a : accessors) {
      for (unsigned id : {invalid, 250u}) {
        VarnexTest::CaptureSink sink;
        EXPECT_EQ(a.call(id), 0) << a.name;
        ASSERT_EQ(sink.Count(), 1u) << a.name;
        EXPECT_EQ(sink.Messages()[0].level, KvSystem::KvErrorLevel::Error);
        EXPECT_EQ(sink.Messages()[0].text, space + "::" + a.name + " : Invalid " + space + " " + std::to_string(id));
      }
    }
  }
  // Ids 165 .. 200 are valid in the stereo space only.
  VarnexTest::CaptureSink sink;
  EXPECT_EQ(Aro::GetAtomicNumber(200), 0u);
  EXPECT_EQ(Stereo::GetAtomicNumber(200), 16u);
  EXPECT_EQ(sink.Texts(), std::vector<std::string>{"VSEPRAroType::GetAtomicNumber : Invalid VSEPRAroType 200"});
}

TEST(VseprTypeMessages, PredicateOfAnInvalidIdReportsAndMatchesNoTypedAtom) {
  VarnexTest::CaptureSink sink;
  std::unique_ptr<KvChem::KvAtomPredicate> predicate(Aro::CreatePredicate(165));
  EXPECT_EQ(sink.Count(), 6u);
  EXPECT_EQ(sink.Texts().front(), "VSEPRAroType::GetAtomicNumber : Invalid VSEPRAroType 165");
  sink.Clear();
  std::unique_ptr<KvChem::KvAtomPredicate> stereo(Stereo::CreatePredicate(201));
  EXPECT_EQ(sink.Count(), 7u);
  KvMol mol = Mol("CC(=O)Nc1ccccc1");
  for (const KvAtomBase* atom : mol.Atoms()) {
    EXPECT_FALSE((*predicate)(*atom));
    EXPECT_FALSE((*stereo)(*atom));
  }
}

// ---------------------------------------------------------------------------
// Typed atoms of real molecules

std::vector<unsigned> AroTypes(const std::string& smiles) {
  KvMol mol = Mol(smiles);
  std::vector<unsigned> types;
  for (const KvAtomBase* atom : mol.Atoms()) types.push_back(Aro::GetType(*atom));
  return types;
}

TEST(VseprAtomTyping, AromaticRings) {
  EXPECT_EQ(AroTypes("c1ccccc1"), std::vector<unsigned>(6, 150));                  // CH1:SecondaryAro
  EXPECT_EQ(AroTypes("n1ccccc1"), (std::vector<unsigned>{154, 150, 150, 150, 150, 150}));  // N:SecondaryAro
  EXPECT_EQ(AroTypes("[nH]1cccc1"), (std::vector<unsigned>{153, 150, 150, 150, 150}));     // NH1:SecondaryAro
  EXPECT_EQ(AroTypes("o1cccc1")[0], 158u);                                          // O:SecondaryAro
  EXPECT_EQ(AroTypes("s1cccc1")[0], 159u);                                          // S:SecondaryAro
  EXPECT_EQ(AroTypes("Cc1ccccc1")[1], 151u);                                        // C:TertiaryAro
  const std::vector<unsigned> naphthalene = AroTypes("c1ccc2ccccc2c1");
  EXPECT_EQ(naphthalene[3], 151u);  // the fusion atoms: heavy valence 4
  EXPECT_EQ(naphthalene[8], 151u);
  EXPECT_EQ(AroTypes("C[n+]1ccccc1")[1], 157u);  // N+:TertiaryAro
}

TEST(VseprAtomTyping, NonAromaticGroups) {
  EXPECT_EQ(AroTypes("CC(C)=O"), (std::vector<unsigned>{6, 13, 6, 63}));  // carbonyl O:PrimarySp2, C:TertiarySp2
  EXPECT_EQ(AroTypes("CCO"), (std::vector<unsigned>{6, 9, 62}));
  EXPECT_EQ(AroTypes("COC")[1], 64u);                                         // O:SecondarySp3
  EXPECT_EQ(AroTypes("CC#N"), (std::vector<unsigned>{6, 11, 20}));            // C:SecondarySp1, N:PrimarySp1
  EXPECT_EQ(AroTypes("C[N+](=O)[O-]"), (std::vector<unsigned>{6, 31, 63, 61}));
  EXPECT_EQ(AroTypes("CC(C)(C)C")[1], 14u);                                   // C:QuatenarySp3
  EXPECT_EQ(AroTypes("FC(Cl)(Br)I"), (std::vector<unsigned>{143, 14, 144, 145, 146}));
  EXPECT_EQ(AroTypes("CS(C)(=O)=O")[1], 111u);  // sulfone: S:QuatenarySp3
  EXPECT_EQ(AroTypes("CP(C)(C)=O")[1], 50u);    // P:QuatenarySp3
  EXPECT_EQ(AroTypes("C[NH3+]")[1], 24u);
  EXPECT_EQ(AroTypes("CC[CH2-]")[2], 0u);  // CH2-:PrimarySp3
}

TEST(VseprAtomTyping, AtomsWithoutATypeGetTheInvalidId) {
  EXPECT_EQ(AroTypes("C"), std::vector<unsigned>{165});  // no heavy neighbour
  EXPECT_EQ(AroTypes("O"), std::vector<unsigned>{165});
  EXPECT_EQ(AroTypes("C[SiH3]")[1], 165u);  // silicon
  EXPECT_EQ(AroTypes("CB(C)C")[1], 165u);   // boron
  EXPECT_EQ(AroTypes("C[Se]C")[1], 165u);
  EXPECT_EQ(AroTypes("[Na+].[Cl-]"), (std::vector<unsigned>{165, 165}));
  // A hydrogen atom kept as an atom (isotope) is never typed; its carbon
  // counts it among its hydrogens.
  KvMol mol = Mol("[2H]C(C)");
  ASSERT_EQ(mol.NumAtoms(), 3u);
  EXPECT_EQ(Aro::GetType(*mol.GetAtom(0)), 165u);
  EXPECT_EQ(Stereo::GetType(*mol.GetAtom(0)), 201u);
  EXPECT_EQ(Aro::GetType(*mol.GetAtom(1)), 6u);  // CH3:PrimarySp3
}

TEST(VseprAtomTyping, ChiralCentreWrittenBothWaysGetsBothVariants) {
  // L- and D-alanine; the alpha carbon is CH1:TertiarySp3 (12).
  KvMol l1 = Mol("N[C@@H](C)C(=O)O");
  KvMol l2 = Mol("C[C@H](N)C(=O)O");  // L-alanine again, other atom order
  KvMol d = Mol("N[C@H](C)C(=O)O");
  KvMol flat = Mol("NC(C)C(=O)O");
  ASSERT_EQ(KvChem::KvMolToSmiles(l1), KvChem::KvMolToSmiles(l2));
  ASSERT_NE(KvChem::KvMolToSmiles(l1), KvChem::KvMolToSmiles(d));
  EXPECT_EQ(Aro::GetType(*l1.GetAtom(1)), 12u);
  EXPECT_EQ(Aro::GetType(*d.GetAtom(1)), 12u);
  const unsigned tl1 = Stereo::GetType(*l1.GetAtom(1));
  const unsigned tl2 = Stereo::GetType(*l2.GetAtom(1));
  const unsigned td = Stereo::GetType(*d.GetAtom(1));
  EXPECT_TRUE(tl1 == 165 || tl1 == 166) << tl1;
  EXPECT_EQ(tl1, tl2);  // the neighbour order comes from the types, not the input
  EXPECT_EQ(td, tl1 == 165 ? 166u : 165u);
  EXPECT_EQ(Stereo::GetType(*flat.GetAtom(1)), 12u);
  // The other atoms keep their plain types.
  EXPECT_EQ(Stereo::GetType(*l1.GetAtom(0)), 18u);
  EXPECT_EQ(Stereo::GetType(*l1.GetAtom(3)), 13u);
}

TEST(VseprAtomTyping, StereoOnATypeWithoutVariantsIsInvalid) {
  // A specified sulfoxide centre: S:TertiarySp3 (104) has no variants.
  KvMol sulfoxide = Mol("C[S@](=O)c1ccccc1");
  KvMol flat = Mol("CS(=O)c1ccccc1");
  EXPECT_EQ(Aro::GetType(*sulfoxide.GetAtom(1)), 104u);
  EXPECT_EQ(Stereo::GetType(*flat.GetAtom(1)), 104u);
  ASSERT_TRUE(sulfoxide.GetAtom(1)->IsChiral());
  EXPECT_EQ(Stereo::GetType(*sulfoxide.GetAtom(1)), 201u);
  // Quaternary centres of N+ and P have variants.
  const unsigned ammonium = Stereo::GetType(*Mol("C[N@+](CC)(CCC)Cc1ccccc1").GetAtom(1));
  EXPECT_TRUE(ammonium == 171 || ammonium == 172) << ammonium;
  EXPECT_EQ(Stereo::GetType(*Mol("C[N@@+](CC)(CCC)Cc1ccccc1").GetAtom(1)), ammonium == 171 ? 172u : 171u);
  const unsigned phosphinate = Stereo::GetType(*Mol("C[P@](=O)(OC)c1ccccc1").GetAtom(1));
  EXPECT_TRUE(phosphinate == 175 || phosphinate == 176) << phosphinate;
}

// ---------------------------------------------------------------------------
// Predicates

TEST(VseprIsType, PredicateIsTheSameTestAsGetType) {
  const char* smiles[] = {"N[C@@H](C)C(=O)O", "N[C@H](C)C(=O)O", "CC(=O)Oc1ccccc1C(=O)O", "C[n+]1ccccc1",
                          "FC(Cl)(Br)I", "CS(=O)(=O)N", "C[S@](=O)c1ccccc1", "[2H]C(C)"};
  VarnexTest::CaptureSink sink;
  for (const char* s : smiles) {
    KvMol mol = Mol(s);
    for (const KvAtomBase* atom : mol.Atoms()) {
      for (unsigned t = 0; t < 165; ++t) {
        ASSERT_EQ(Aro::KvIsType(t)(*atom), Aro::GetType(*atom) == t) << s << " atom " << atom->GetIdx() << " " << t;
      }
      for (unsigned t = 0; t < 201; ++t) {
        ASSERT_EQ(Stereo::KvIsType(t)(*atom), Stereo::GetType(*atom) == t)
            << s << " atom " << atom->GetIdx() << " " << t;
      }
    }
  }
  EXPECT_EQ(sink.Count(), 0u);
}

// ---------------------------------------------------------------------------
// Per-molecule typing against per-atom typing, over a real data set

// Typing a whole molecule at once (as the fingerprint does) gives the ids of
// per-atom typing; atoms that are not specified centres answer 0 to the
// stereo query, which typing relies on to skip it. Returns the number of
// specified centres.
unsigned CheckMoleculeTyping(const KvChem::KvMolBase& mol, const std::string& smiles) {
  const Varnex::VseprDetail::KvGetVseprType stereoType(true), plainType(false);
  std::vector<std::uint64_t> types;
  for (bool stereo : {false, true}) {
    Varnex::VseprDetail::TypeAtoms(mol, stereo, types);
    EXPECT_EQ(types.size(), mol.GetMaxAtomIdx());
    for (const KvAtomBase* atom : mol.Atoms()) {
      const unsigned expected = stereo ? stereoType(*atom) : plainType(*atom);
      EXPECT_EQ(types[atom->GetIdx()], expected) << smiles << " atom " << atom->GetIdx();
      EXPECT_EQ(expected, stereo ? Stereo::GetType(*atom) : Aro::GetType(*atom));
    }
  }
  unsigned chiral = 0;
  for (const KvAtomBase* atom : mol.Atoms()) {
    const std::vector<const KvAtomBase*> neighbours(atom->GetNeighbors().begin(), atom->GetNeighbors().end());
    const unsigned answer = atom->GetStereo(neighbours, 57);
    if (atom->IsChiral()) {
      ++chiral;
      EXPECT_TRUE(answer == 2 || answer == 3) << smiles;
    } else {
      EXPECT_EQ(answer, 0u) << smiles << " atom " << atom->GetIdx();
    }
  }
  return chiral;
}

TEST(VseprAtomTyping, MoleculeTypingAgreesWithPerAtomTyping) {
  VarnexTest::CaptureSink sink;  // some NCI records may not parse
  const char* chiralMolecules[] = {
      "C[C@H](CCCC(C)C)[C@H]1CC[C@@H]2[C@@]1(CC[C@H]3[C@H]2CC=C4[C@@]3(CC[C@@H](C4)O)C)C",  // cholesterol
      "OC[C@H]1O[C@@H](O)[C@H](O)[C@@H](O)[C@@H]1O",                                   // beta-D-glucose
      "COc1ccc2[nH]c(nc2c1)[S@@](=O)Cc1ncc(C)c(OC)c1C",                                 // esomeprazole
      "CC(C)[C@@H]1CC[C@@H](C)C[C@H]1O",                                                // L-menthol
      "CC(C)Cc1ccc(cc1)[C@H](C)C(=O)O",                                                 // (S)-ibuprofen
      "C[N@+](CC)(CCC)Cc1ccccc1", "C[P@](=O)(OC)c1ccccc1", "[2H][C@](C)(N)C(=O)O"};
  unsigned chiral = 0;
  for (const char* smiles : chiralMolecules) chiral += CheckMoleculeTyping(Mol(smiles), smiles);
  EXPECT_GE(chiral, 17u);

  const std::vector<std::string> nci = VarnexTest::NciSmiles(1500);
  unsigned molecules = 0;
  for (const std::string& smiles : nci) {
    KvMol mol;
    if (!KvChem::KvSmilesToMol(smiles, mol)) continue;
    ++molecules;
    CheckMoleculeTyping(mol, smiles);
  }
  EXPECT_GT(molecules, 1000u);
}

}  // namespace
