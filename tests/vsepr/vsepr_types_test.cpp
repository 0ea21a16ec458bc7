// VSEPR atom types: the tables' own consistency, typed atoms of real
// molecules, stereo variants, predicates and the accessors' messages.
#include <gtest/gtest.h>

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

// ---------------------------------------------------------------------------
// The tables

TEST(VseprTypeTable, NamesAromaticTypesAndStereoVariantsOfEachSpace) {
  VarnexTest::CaptureSink sink;  // names, lookups and valid ids never report
  for (unsigned id = 0; id < 201; ++id) {
    EXPECT_EQ(Stereo::GetType(Stereo::GetName(id)), id);
    // Aromatic types are 147 to 164 (their valences are the typed rings' and
    // the lone-pair identity's).
    EXPECT_EQ(Stereo::GetAromatic(id), id >= 147 && id <= 164) << id;
    if (id >= 165) continue;
    EXPECT_EQ(Aro::GetType(Aro::GetName(id)), id);
    EXPECT_EQ(Stereo::GetName(id), Aro::GetName(id));
  }
  for (const char* bad : {"ch3:primarysp3", "CH3:PrimarySp3 ", "", "CH1:TertiarySp3:S"})  // the last: stereo only
    EXPECT_EQ(Aro::GetType(std::string(bad)), 165u) << bad;
  EXPECT_EQ(Stereo::GetType(std::string("INVALID")), 201u);
  const std::tuple<unsigned, std::string, std::string> names[] = {
      {0, "CH2-:PrimarySp3", "CH2-:PrimarySp3"}, {164, "S++:TertiaryAro", "S++:TertiaryAro"},
      {165, "INVALID", "CH1:TertiarySp3:R"},      {200, "INVALID", "S++:QuatenarySp3:S"},
      {201, "INVALID", "INVALID"},                {0xFFFFFFFFu, "INVALID", "INVALID"}};
  for (const auto& [id, aro, stereo] : names)
    EXPECT_EQ(std::make_pair(Aro::GetName(id), Stereo::GetName(id)), std::make_pair(aro, stereo)) << id;

  // Each :R/:S pair repeats its base type in every property but the stereo value.
  const auto props = [](unsigned t) {
    return std::make_tuple(Stereo::GetAtomicNumber(t), Stereo::GetCharge(t), Stereo::GetHeavyDegree(t),
                           Stereo::GetHydrogenCount(t), Stereo::GetHeavyValence(t), Stereo::GetLPCount(t),
                           Stereo::GetAromatic(t));
  };
  const unsigned bases[18] = {12, 14, 30, 32, 47, 50, 58, 60, 80, 83, 102, 106, 108, 111, 129, 132, 140, 142};
  for (unsigned pair = 0; pair < 18; ++pair) {
    const unsigned r = 165 + 2 * pair, base = bases[pair];
    EXPECT_EQ(Stereo::GetName(r), Stereo::GetName(base) + ":R");
    EXPECT_EQ(Stereo::GetName(r + 1), Stereo::GetName(base) + ":S");
    EXPECT_EQ(std::make_tuple(Stereo::GetStereo(base), Stereo::GetStereo(r), Stereo::GetStereo(r + 1)),
              std::make_tuple(0u, 2u, 3u));
    EXPECT_EQ(props(r), props(base));
    EXPECT_EQ(props(r + 1), props(base));
  }
  // Every type id, the invalid ones included, fits in one byte of a path key.
  EXPECT_LT(Stereo::kInvalidType, 256u);
  EXPECT_EQ(sink.Count(), 0u);
}

// The lone pairs of every type follow from its other values, and no two
// types of the plain space share the six values that identify them.
TEST(VseprTypeTable, LonePairIdentityAndDistinctKeys) {
  std::set<std::tuple<unsigned, unsigned, unsigned, unsigned, int, bool>> seen;
  for (unsigned id = 0; id < 201; ++id) {
    const int electrons[] = {0, 0, 0, 0, 0, 0, 4, 5, 6, 7, 0, 0, 0, 0, 0, 5, 6, 7};  // by atomic number
    const unsigned z = Stereo::GetAtomicNumber(id);
    const int valence = z == 35 || z == 53 ? 7 : z < 18 ? electrons[z] : 0;
    ASSERT_GT(valence, 0) << id;
    EXPECT_EQ(2 * static_cast<int>(Stereo::GetLPCount(id)), valence - Stereo::GetCharge(id) -
              static_cast<int>(Stereo::GetHeavyValence(id) + Stereo::GetHydrogenCount(id))) << Stereo::GetName(id);
    EXPECT_EQ(Stereo::GetDegree(id), Stereo::GetHeavyDegree(id) + Stereo::GetHydrogenCount(id));
    EXPECT_EQ(Stereo::GetValence(id), Stereo::GetHeavyValence(id) + Stereo::GetHydrogenCount(id));
    if (id < 165) {
      EXPECT_TRUE(seen.emplace(z, Aro::GetHeavyValence(id), Aro::GetHeavyDegree(id), Aro::GetHydrogenCount(id),
                               Aro::GetCharge(id), Aro::GetAromatic(id)).second) << Aro::GetName(id);
    }
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

// ---------------------------------------------------------------------------
// Messages of the accessors

// An invalid id: every accessor answers 0 and reports it once at error level,
// naming itself, the space and the id; a predicate of it asks every accessor
// but the lone pairs and matches no typed atom.
TEST(VseprTypeMessages, EveryAccessorReportsAnInvalidIdAtErrorLevel) {
  VarnexTest::CaptureSink sink;
  long answers = 0;
  for (unsigned id : {165u, 250u})
    answers += Aro::GetAromatic(id) + Aro::GetAtomicNumber(id) + Aro::GetCharge(id) + Aro::GetHeavyDegree(id) +
               Aro::GetHeavyValence(id) + Aro::GetHydrogenCount(id) + Aro::GetLPCount(id);
  for (unsigned id : {201u, 250u})
    answers += Stereo::GetAromatic(id) + Stereo::GetAtomicNumber(id) + Stereo::GetCharge(id) +
               Stereo::GetHeavyDegree(id) + Stereo::GetHeavyValence(id) + Stereo::GetHydrogenCount(id) +
               Stereo::GetLPCount(id) + Stereo::GetStereo(id);
  EXPECT_EQ(answers, 0);
  std::unique_ptr<KvChem::KvAtomPredicate> plain(Aro::CreatePredicate(165)), stereo(Stereo::CreatePredicate(201));
  const KvMol mol = Mol("CC(=O)Nc1ccccc1");
  for (const KvAtomBase* atom : mol.Atoms()) EXPECT_FALSE((*plain)(*atom) || (*stereo)(*atom));

  std::multiset<std::string> expected;
  for (const std::string f : {"GetAromatic", "GetAtomicNumber", "GetCharge", "GetHeavyDegree", "GetHeavyValence",
                              "GetHydrogenCount", "GetLPCount", "GetStereo"})
    for (const auto& [space, id, predicate] : {std::tuple<std::string, unsigned, bool>{"VSEPRAroType", 165, false},
                                               {"VSEPRAroType", 250, false}, {"VSEPRAroType", 165, true},
                                               {"VSEPRAroStereoType", 201, false}, {"VSEPRAroStereoType", 250, false},
                                               {"VSEPRAroStereoType", 201, true}})
      if (!(predicate && f == "GetLPCount") && !(space == "VSEPRAroType" && f == "GetStereo"))
        expected.insert(space + "::" + f + " : Invalid " + space + " " + std::to_string(id));
  const std::vector<std::string> texts = sink.Texts();
  EXPECT_EQ(std::multiset<std::string>(texts.begin(), texts.end()), expected);
  for (const auto& message : sink.Messages()) EXPECT_EQ(message.level, KvSystem::KvErrorLevel::Error);

  // Ids 165 .. 200 are valid in the stereo space only.
  sink.Clear();
  EXPECT_EQ(Aro::GetAtomicNumber(200), 0u);
  EXPECT_EQ(Stereo::GetAtomicNumber(200), 16u);
  EXPECT_EQ(sink.Texts(), std::vector<std::string>{"VSEPRAroType::GetAtomicNumber : Invalid VSEPRAroType 200"});
}

// ---------------------------------------------------------------------------
// Typed atoms of real molecules

TEST(VseprAtomTyping, TypesOfRingGroupAndUntypedAtoms) {
  const struct {
    const char* smiles;
    std::vector<unsigned> types;  // per atom, in input order
  } rows[] = {
      {"c1ccccc1", std::vector<unsigned>(6, 150)},            // aromatic CH: heavy valence 3
      {"n1ccccc1", {154, 150, 150, 150, 150, 150}},
      {"[nH]1cccc1", {153, 150, 150, 150, 150}},
      {"o1cccc1", {158, 150, 150, 150, 150}},
      {"s1cccc1", {159, 150, 150, 150, 150}},
      {"c1ccc2ccccc2c1", {150, 150, 150, 151, 150, 150, 150, 150, 151, 150}},  // fusion atoms: heavy valence 4
      {"C[n+]1ccccc1", {6, 157, 150, 150, 150, 150, 150}},
      {"CC(C)=O", {6, 13, 6, 63}},
      {"CC#N", {6, 11, 20}},
      {"C[N+](=O)[O-]", {6, 31, 63, 61}},
      {"FC(Cl)(Br)I", {143, 14, 144, 145, 146}},
      {"CS(C)(=O)=O", {6, 111, 6, 63, 63}},
      {"CP(C)(C)=O", {6, 50, 6, 6, 63}},
      {"C[NH3+]", {6, 24}},
      {"CC[CH2-]", {6, 9, 0}},
      {"C", {165}},  // no heavy neighbour
      {"C[SiH3]", {6, 165}},
      {"[2H]C(C)", {165, 6, 6}},  // a kept hydrogen is never typed; its carbon counts it
  };
  for (const auto& row : rows) {
    KvMol mol = Mol(row.smiles);
    std::vector<unsigned> types;
    for (const KvAtomBase* atom : mol.Atoms()) types.push_back(Aro::GetType(*atom));
    EXPECT_EQ(types, row.types) << row.smiles;
  }
}

TEST(VseprAtomTyping, SpecifiedCentresGetVariantsOnlyWhereTheTypeHasThem) {
  const struct {
    const char *one, *mirror, *flat;
    unsigned base, r;
  } rows[] = {
      {"N[C@@H](C)C(=O)O", "N[C@H](C)C(=O)O", "NC(C)C(=O)O", 12, 165},
      {"C[N@+](CC)(CCC)Cc1ccccc1", "C[N@@+](CC)(CCC)Cc1ccccc1", "C[N+](CC)(CCC)Cc1ccccc1", 32, 171},
      {"C[P@](=O)(OC)c1ccccc1", "C[P@@](=O)(OC)c1ccccc1", "CP(=O)(OC)c1ccccc1", 50, 175},
  };
  const auto centre = [](const char* smiles) { return Stereo::GetType(*Mol(smiles).GetAtom(1)); };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.one);
    EXPECT_EQ(Aro::GetType(*Mol(row.one).GetAtom(1)), row.base);
    const unsigned one = centre(row.one);
    EXPECT_TRUE(one == row.r || one == row.r + 1) << one;
    EXPECT_EQ(centre(row.mirror), one == row.r ? row.r + 1 : row.r);
    EXPECT_EQ(centre(row.flat), row.base);
  }
  // L-alanine written from another atom: the neighbour order comes from the types, not the input.
  EXPECT_EQ(centre("C[C@H](N)C(=O)O"), centre("N[C@@H](C)C(=O)O"));
  // A specified sulfoxide centre: S:TertiarySp3 (104) has no variants.
  ASSERT_TRUE(Mol("C[S@](=O)c1ccccc1").GetAtom(1)->IsChiral());
  EXPECT_EQ(centre("C[S@](=O)c1ccccc1"), 201u);
  EXPECT_EQ(centre("CS(=O)c1ccccc1"), 104u);
}

// ---------------------------------------------------------------------------
// Per-molecule typing against per-atom typing, over a real data set

// Typing a whole molecule at once (as the fingerprint does) gives the ids of
// per-atom typing, and with `predicates` every type's predicate holds exactly
// for the atoms of that type; atoms that are not specified centres answer 0 to
// the stereo query, which typing relies on to skip it. Returns the number of
// specified centres.
unsigned CheckMoleculeTyping(const KvChem::KvMolBase& mol, const std::string& smiles, bool predicates = false) {
  const Varnex::VseprDetail::GetVseprType stereoType(true), plainType(false);
  std::vector<std::uint64_t> types;
  unsigned wrong = 0;
  for (bool stereo : {false, true}) {
    Varnex::VseprDetail::TypeAtoms(mol, stereo, types);
    EXPECT_EQ(types.size(), mol.GetMaxAtomIdx());
    for (const KvAtomBase* atom : mol.Atoms()) {
      const unsigned expected = stereo ? stereoType(*atom) : plainType(*atom);
      EXPECT_EQ(types[atom->GetIdx()], expected) << smiles << " atom " << atom->GetIdx();
      EXPECT_EQ(expected, stereo ? Stereo::GetType(*atom) : Aro::GetType(*atom));
      for (unsigned t = 0; predicates && t < (stereo ? 201u : 165u); ++t)
        wrong += (stereo ? Stereo::KvIsType(t)(*atom) : Aro::KvIsType(t)(*atom)) != (expected == t);
    }
  }
  EXPECT_EQ(wrong, 0u) << smiles << ": predicates that disagree with the type";
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

TEST(VseprAtomTyping, MoleculeTypingAgreesWithPerAtomTypingAndThePredicates) {
  VarnexTest::CaptureSink sink;  // some NCI records may not parse
  const char* chiralMolecules[] = {
      "C[C@H](CCCC(C)C)[C@H]1CC[C@@H]2[C@@]1(CC[C@H]3[C@H]2CC=C4[C@@]3(CC[C@@H](C4)O)C)C",  // cholesterol
      "OC[C@H]1O[C@@H](O)[C@H](O)[C@@H](O)[C@@H]1O",                                   // beta-D-glucose
      "COc1ccc2[nH]c(nc2c1)[S@@](=O)Cc1ncc(C)c(OC)c1C",                                 // esomeprazole
      "CC(C)[C@@H]1CC[C@@H](C)C[C@H]1O",                                                // L-menthol
      "CC(C)Cc1ccc(cc1)[C@H](C)C(=O)O",                                                 // (S)-ibuprofen
      "C[N@+](CC)(CCC)Cc1ccccc1", "C[P@](=O)(OC)c1ccccc1", "[2H][C@](C)(N)C(=O)O",
      "N[C@H](C)C(=O)O", "CC(=O)Oc1ccccc1C(=O)O", "C[n+]1ccccc1", "FC(Cl)(Br)I", "CS(=O)(=O)N"};
  unsigned chiral = 0;
  for (const char* smiles : chiralMolecules) chiral += CheckMoleculeTyping(Mol(smiles), smiles, true);
  EXPECT_GE(chiral, 18u);
  EXPECT_EQ(sink.Count(), 0u);  // predicates of valid types never report

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
