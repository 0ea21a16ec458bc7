// VSEPR path-count fingerprints: exact paths of small molecules, option
// repairs, the forced walk, a brute-force oracle, the operators, ordering and
// attached data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "capture_sink.h"
#include "molecules.h"
#include "varnex/varnex.h"

namespace {

using KvChem::KvAtomBase;
using KvChem::KvMol;
using Varnex::KvVseprFingerprint;
using Varnex::KvVseprOptions;
using Pairs = std::vector<std::pair<std::uint64_t, double>>;

using VarnexTest::Mol;

Pairs Ones(std::initializer_list<std::uint64_t> keys) {
  Pairs pairs;
  for (std::uint64_t k : keys) pairs.emplace_back(k, 1.0);
  return pairs;
}

// ---------------------------------------------------------------------------
// Exact fingerprints of small molecules

// Limits within 0 to 8 are the brute force's; here the repairs of others.
TEST(VseprFingerprint, PathLengthLimitsAndTheirRepairs) {
  // Above 8: one warning, walked as 8, options kept as passed.
  KvMol chain = Mol("CCCCCCCCCCCC");
  VarnexTest::CaptureSink sink;
  const KvVseprFingerprint twelve(chain, KvVseprOptions().SetMaxPathLength(12));
  EXPECT_EQ(sink.Count(), 1u);
  EXPECT_EQ(sink.Messages()[0].level, KvSystem::KvErrorLevel::Warning);
  EXPECT_EQ(twelve.GetOptions().GetMaxPathLength(), 12u);
  EXPECT_EQ(twelve.GetPathCounts(), KvVseprFingerprint(chain, KvVseprOptions()).GetPathCounts());

  // Min above max: swapped.
  const KvVseprFingerprint swapped(chain, KvVseprOptions().SetMinPathLength(5).SetMaxPathLength(3));
  const KvVseprFingerprint ordered(chain, KvVseprOptions().SetMinPathLength(3).SetMaxPathLength(5));
  EXPECT_EQ(swapped.GetPathCounts(), ordered.GetPathCounts());
  EXPECT_EQ(swapped.GetOptions().GetMinPathLength(), 5u);
}

// Paths of a molecule, an atom or a bond, worked out by hand: ethanol's nine
// (types 6, 9, 62) and none under a limit of 0; the forced walk never turns back
// in a ring (cyclohexane's CH2 is type 9), a trailing type 0 (the carbanion)
// shares the shorter path's key, a bond starts from both ends, and a hydrogen
// atom may start a path but never extends one. Each path weighs
// exp((8 - bonds) / 2). Walks that turn back and other starts are the brute
// force's.
TEST(VseprFingerprint, PathsOfSmallMoleculesAtomsAndBonds) {
  const KvMol ring = Mol("C1CCCCC1"), anion = Mol("CC[CH2-]"), ethanol = Mol("CCO"), deuterated = Mol("[2H]CC");
  ASSERT_TRUE(deuterated.GetAtom(0)->IsHydrogen());
  const std::pair<KvVseprFingerprint, Pairs> cases[] = {
      {{ethanol, {}}, Ones({0x06, 0x09, 0x3E, 0x0609, 0x0906, 0x093E, 0x3E09, 0x06093E, 0x3E0906})},
      {{ethanol, KvVseprOptions().SetMaxPathLength(0)}, {}},
      {{*ring.GetAtom(0), {}}, {{0x09, 1}, {0x0909, 2}, {0x090909, 2}, {0x09090909, 2}}},
      {{*anion.GetAtom(0), {}}, {{0x06, 1}, {0x0906, 2}}},
      {{*ethanol.GetBond(0), {}}, Ones({0x06, 0x09, 0x0609, 0x0906, 0x3E09, 0x3E0906})},
      {{*deuterated.GetAtom(0), {}}, Ones({0xC9, 0x06C9, 0x0606C9})},  // 201: untyped in the stereo space
      {{*deuterated.GetAtom(0), KvVseprOptions().SetStereoAware(false)}, Ones({0xA5, 0x06A5, 0x0606A5})},  // 165
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].first.GetPathCounts(), cases[i].second) << i;
  const KvVseprOptions weighted = KvVseprOptions().SetWeightByLength(true);
  EXPECT_DOUBLE_EQ(KvVseprFingerprint(ethanol, weighted).GetVolume(),
                   3 * std::exp(4.0) + 4 * std::exp(3.5) + 2 * std::exp(3.0));
  EXPECT_DOUBLE_EQ(KvVseprFingerprint(*anion.GetAtom(0), weighted).GetPathCounts()[1].second,
                   std::exp(3.5) + std::exp(3.0));
  EXPECT_EQ(KvVseprFingerprint(deuterated, {}).GetPathCounts(), KvVseprFingerprint(Mol("CC"), {}).GetPathCounts());
}

// ---------------------------------------------------------------------------
// Brute force: every simple heavy-atom path, checked against shortest
// distances found by repeated relaxation.

std::map<std::uint64_t, double> BruteForce(const KvChem::KvMolBase& mol, const std::vector<unsigned>& starts,
                                          unsigned maxBonds, unsigned minBonds, bool forceOut, bool weighted,
                                          bool stereo) {
  const unsigned n = mol.NumAtoms();
  std::vector<std::uint64_t> type(n);
  for (const KvAtomBase* a : mol.Atoms())
    type[a->GetIdx()] = stereo ? Varnex::VSEPRAroStereoType::GetType(*a) : Varnex::VSEPRAroType::GetType(*a);
  std::map<std::uint64_t, double> counts;
  for (unsigned s : starts) {
    std::vector<unsigned> dist(n, 1000);
    dist[s] = 0;
    for (bool changed = true; changed;) {
      changed = false;
      for (const KvAtomBase* a : mol.Atoms())
        for (const KvAtomBase* b : a->GetNeighbors())
          if (!b->IsHydrogen() && dist[a->GetIdx()] + 1 < dist[b->GetIdx()]) {
            dist[b->GetIdx()] = dist[a->GetIdx()] + 1;
            changed = true;
          }
    }
    std::vector<unsigned> path{s};
    std::function<void()> extend = [&] {
      const unsigned d = static_cast<unsigned>(path.size()) - 1;
      if (forceOut && dist[path.back()] != d) return;
      std::uint64_t key = 0;
      for (unsigned i = 0; i < path.size(); ++i) key |= type[path[i]] << (8 * i);
      if (d >= minBonds) counts[key] += weighted ? std::exp((8.0 - d) * 0.5) : 1.0;
      if (d + 1 >= maxBonds) return;
      for (const KvAtomBase* b : mol.GetAtom(path.back())->GetNeighbors()) {
        if (b->IsHydrogen() || std::find(path.begin(), path.end(), b->GetIdx()) != path.end()) continue;
        path.push_back(b->GetIdx());
        extend();
        path.pop_back();
      }
    };
    if (maxBonds > 0) extend();
  }
  return counts;
}

TEST(VseprFingerprint, MatchesBruteForcePathEnumeration) {
  const char* molecules[] = {"CC(=O)Oc1ccccc1C(=O)O",              // aspirin
                             "Cn1cnc2c1c(=O)n(C)c(=O)n2C",          // caffeine
                             "C12C3C4C1C5C2C3C45",                  // cubane
                             "C[C@H](N)C(=O)N[C@@H](Cc1ccccc1)C(=O)O",
                             "CC12CCC3C(CCC4=CC(=O)CCC34C)C1CCC2O"};  // testosterone skeleton
  struct Case {
    unsigned maxBonds, minBonds;
    bool forceOut, weighted, stereo;
  };
  const Case cases[] = {{8, 0, true, false, true},  {8, 0, false, false, true}, {5, 2, true, true, false},
                        {6, 1, false, true, true},  {1, 0, true, false, true},  {8, 7, false, false, false}};
  for (const char* smiles : molecules) {
    KvMol mol = Mol(smiles);
    std::vector<unsigned> heavy;
    for (const KvAtomBase* a : mol.Atoms())
      if (!a->IsHydrogen()) heavy.push_back(a->GetIdx());
    for (const Case& c : cases) {
      const KvVseprOptions options = KvVseprOptions()
                                         .SetMaxPathLength(c.maxBonds)
                                         .SetMinPathLength(c.minBonds)
                                         .SetForcePathsOut(c.forceOut)
                                         .SetWeightByLength(c.weighted)
                                         .SetStereoAware(c.stereo);
      // The whole molecule, and atom 2 as the one start.
      for (const bool whole : {true, false}) {
        const KvVseprFingerprint fp =
            whole ? KvVseprFingerprint(mol, options) : KvVseprFingerprint(*mol.GetAtom(2), options);
        const auto expected = BruteForce(mol, whole ? heavy : std::vector<unsigned>{2}, c.maxBonds, c.minBonds,
                                         c.forceOut, c.weighted, c.stereo);
        const Pairs pairs = fp.GetPathCounts();
        ASSERT_EQ(pairs.size(), expected.size()) << smiles << " max " << c.maxBonds << " whole " << whole;
        double volume = 0;
        auto it = expected.begin();
        for (const auto& [key, count] : pairs) {
          EXPECT_EQ(key, it->first) << smiles;
          EXPECT_NEAR(count, it->second, 1e-9 * it->second) << smiles;
          volume += count;
          ++it;
        }
        EXPECT_DOUBLE_EQ(fp.GetVolume(), volume);
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Combinations and comparisons

TEST(VseprFingerprintOperators, CombinationsAndScores) {
  KvMol ethanol = Mol("CCO"), propanol = Mol("CCCO");
  const KvVseprOptions options = KvVseprOptions().SetMaxPathLength(2);
  const KvVseprFingerprint a(ethanol, options), b(propanol, options), empty;
  // Ethanol: 06 09 3E 0609 0906 093E 3E09. Propanol: 06 09 09 3E 0609 0906
  // 0909 0909 093E 3E09.
  EXPECT_EQ((a + b).GetPathCounts(),
            (Pairs{{0x06, 2}, {0x09, 3}, {0x3E, 2}, {0x0609, 2}, {0x0906, 2}, {0x0909, 2}, {0x093E, 2}, {0x3E09, 2}}));
  EXPECT_EQ(std::make_tuple((a + b).GetVolume(), (a & b).GetVolume(), (a | b).GetVolume()),
            std::make_tuple(17., 7., 10.));
  EXPECT_EQ((a + b).GetOptions(), KvVseprOptions());
  EXPECT_EQ((a & b).GetPathCounts(), a.GetPathCounts());
  EXPECT_EQ((a | b).GetPathCounts(), b.GetPathCounts());
  // Sums of the minimum over the maximum counts; ethanol's paths all occur in propanol.
  EXPECT_DOUBLE_EQ(a.GetTanimoto(b), 0.7);
  EXPECT_DOUBLE_EQ(Varnex::KvGetTversky(a, b, 0.9, 0.1), 7 / (3 * 0.1 + 7));
  const Varnex::KvGetVseprTanimotoFxn fxn;
  std::unique_ptr<KvSystem::KvBinaryFunction<KvVseprFingerprint, KvVseprFingerprint, double>> copy(fxn.CreateCopy());
  EXPECT_DOUBLE_EQ((*copy)(b, a), 0.7);

  // An empty operand: + copies the other one, options included; & is empty;
  // a zero denominator scores 0.
  EXPECT_EQ((empty + a).GetPathCounts(), a.GetPathCounts());
  EXPECT_EQ((empty + a).GetOptions().GetMaxPathLength(), 2u);
  EXPECT_EQ((a + empty).GetOptions().GetMaxPathLength(), 2u);
  EXPECT_TRUE((a & empty).GetPathCounts().empty());
  EXPECT_EQ((empty | a).GetOptions(), KvVseprOptions());
  EXPECT_EQ(empty.GetTanimoto(empty), 0.0);
  EXPECT_EQ(Varnex::KvGetTversky(a, empty, 0, 0), 0.0);

  const KvVseprFingerprint doubled = a.Scale(2.0);
  EXPECT_EQ(doubled.GetVolume(), 14.0);
  for (const auto& [key, count] : doubled.GetPathCounts()) EXPECT_EQ(count, 2.0);
  EXPECT_EQ(doubled.GetOptions().GetMaxPathLength(), 2u);
  // Operands are unchanged.
  EXPECT_EQ(std::make_tuple(a.GetVolume(), b.GetVolume(), empty.GetVolume()), std::make_tuple(7., 10., 0.));
}

TEST(VseprFingerprintOperators, OrderingByVolumeThenPairs) {
  KvMol ethanol = Mol("CCO"), ether = Mol("COC"), propanol = Mol("CCCO");
  const KvVseprFingerprint a(ethanol, {}), e(ether, {}), p(propanol, {}), empty;
  ASSERT_EQ(a.GetVolume(), e.GetVolume());
  // Equal zero volumes: an empty fingerprint, and the shorter of two lists
  // where one is a prefix of the other, sorts after the other.
  const KvVseprFingerprint zero = a.Scale(0);
  const KvVseprFingerprint shortList = KvVseprFingerprint(ethanol, KvVseprOptions().SetMaxPathLength(1)).Scale(0);
  const KvVseprFingerprint longList = KvVseprFingerprint(ethanol, KvVseprOptions().SetMaxPathLength(2)).Scale(0);
  // (lesser, greater): smaller volume first; at equal volumes (9) the first
  // key 0x06 counts 1 in ethanol and 2 in the ether.
  const std::pair<const KvVseprFingerprint*, const KvVseprFingerprint*> ordered[] = {
      {&a, &p}, {&empty, &a}, {&a, &e}, {&zero, &empty}, {&longList, &shortList}};
  for (const auto& [lesser, greater] : ordered) {
    EXPECT_TRUE(*lesser < *greater);
    EXPECT_FALSE(*greater < *lesser);
  }
  EXPECT_FALSE(a < KvVseprFingerprint(a));
  EXPECT_FALSE(empty < empty);
}

// ---------------------------------------------------------------------------
// Attached fingerprints

size_t ItemsUnderTag(const KvSystem::KvBase& object) {
  return KvSystem::KvCollect(object.GetData(KvSystem::KvGetTag("KvVseprFingerprint"))).size();
}

TEST(VseprAttachedData, SecondPrepReplacesTheFirstAndForeignItemsStay) {
  KvMol mol = Mol("CC(=O)Oc1ccccc1C(=O)O");
  Varnex::KvPrepVsepr(mol, KvVseprOptions().SetMaxPathLength(3));
  Varnex::KvPrepVsepr(mol, KvVseprOptions().SetMaxPathLength(5));
  EXPECT_EQ(ItemsUnderTag(mol), 1u);
  const KvSystem::KvBaseData* item = mol.FindData(KvSystem::KvGetTag("KvVseprFingerprint"));
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->GetTypeId(), 0x5AECBC2CC86F596EULL);
  const KvVseprFingerprint& attached = Varnex::KvGetVseprFingerprint(mol);
  EXPECT_EQ(attached.GetOptions().GetMaxPathLength(), 5u);
  EXPECT_EQ(attached.GetPathCounts(), KvVseprFingerprint(mol, KvVseprOptions().SetMaxPathLength(5)).GetPathCounts());
  // Copies of the molecule carry the item.
  KvMol copy(mol);
  EXPECT_EQ(Varnex::KvGetVseprTanimoto(mol, copy, -1.0), 1.0);

  // An item of another type under the tag is reported, not overwritten.
  KvMol other = Mol("CCO");
  other.AddData(new KvSystem::KvBaseDataT<int>(KvSystem::KvGetTag("KvVseprFingerprint"), 42));
  VarnexTest::CaptureSink sink;
  Varnex::KvPrepVsepr(other, KvVseprOptions());
  EXPECT_GE(sink.Count(), 1u);
  EXPECT_EQ(other.FindDataT<int>(KvSystem::KvGetTag("KvVseprFingerprint"))->GetData(), 42);
  EXPECT_EQ(Varnex::KvGetVseprTanimoto(other, other, -1.0), -1.0);
}

TEST(VseprAttachedData, TanimotoOfPreparedObjectsAndItsDefaults) {
  KvMol a = Mol("CCO"), b = Mol("CCCO"), bare = Mol("CCN");
  Varnex::KvPrepVsepr(a, KvVseprOptions());
  const KvVseprOptions weighted = KvVseprOptions().SetWeightByLength(true);
  Varnex::KvPrepVsepr(b, KvVseprOptions(weighted).SetStereoAware(false));
  // Stereo awareness and weights are not compared.
  EXPECT_DOUBLE_EQ(Varnex::KvGetVseprTanimoto(a, b, -1.0),
                   KvVseprFingerprint(a, {}).GetTanimoto(KvVseprFingerprint(b, weighted)));
  EXPECT_EQ(Varnex::KvGetVseprTanimoto(a, bare, -1.0), -1.0);  // nothing attached
  EXPECT_EQ(Varnex::KvGetVseprTanimoto(bare, a, -2.0), -2.0);
  EXPECT_TRUE(Varnex::KvGetVseprFingerprint(bare).GetPathCounts().empty());
  // Max path length, min path length or forced walk differ: the default.
  for (const KvVseprOptions& other : {KvVseprOptions().SetMaxPathLength(4), KvVseprOptions().SetMinPathLength(1),
                                      KvVseprOptions().SetForcePathsOut(false)}) {
    Varnex::KvPrepVsepr(b, other);
    EXPECT_EQ(Varnex::KvGetVseprTanimoto(a, b, -1.0), -1.0);
  }

  // Atoms and bonds behave the same way.
  Varnex::KvPrepVsepr(*a.GetAtom(0), KvVseprOptions());
  Varnex::KvPrepVsepr(*b.GetAtom(0), KvVseprOptions());
  EXPECT_EQ(Varnex::KvGetVseprTanimoto(*a.GetAtom(0), *b.GetAtom(0), -1.0),
            KvVseprFingerprint(*a.GetAtom(0), {}).GetTanimoto(KvVseprFingerprint(*b.GetAtom(0), {})));
  Varnex::KvPrepVsepr(*a.GetBond(0), KvVseprOptions());
  Varnex::KvPrepVsepr(*b.GetBond(0), KvVseprOptions());
  EXPECT_GT(Varnex::KvGetVseprTanimoto(*a.GetBond(0), *b.GetBond(0), -1.0), 0.0);
  EXPECT_EQ(ItemsUnderTag(a), 1u);
}

}  // namespace
