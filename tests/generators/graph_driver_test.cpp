// What every generator shares: parameter repair with a message each,
// the typed entries, invalid molecules, independence
// of atom order and of the input's form, threaded against serial generation,
// and each hashed graph fingerprint against the bits of its own id generator
// over real molecules.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "capture_sink.h"
#include "generators/modulus.h"
#include "graph_fp_test_util.h"
#include "kvchem/perception.h"
#include "varnex/circularfp.h"
#include "varnex/fpkinds.h"
#include "varnex/generation.h"
#include "varnex/pathfp.h"
#include "varnex/treefp.h"
#include "varnex/typing.h"
#include "varnex/unhashedfp.h"

namespace {

using namespace Varnex;
using KvChem::KvMol;
using VarnexTest::CaptureSink;
using VarnexTest::Mol;
using Level = KvSystem::KvErrorLevel;

const unsigned kAllKinds[] = {KvFPType::MACCS166,     KvFPType::Path,           KvFPType::Lingo,
                              KvFPType::Circular,     KvFPType::Tree,           KvFPType::UnhashedPath,
                              KvFPType::UnhashedCircular, KvFPType::UnhashedTree};

using MakeFn = bool (*)(KvFingerPrint&, const KvChem::KvMolBase&, unsigned, unsigned, unsigned, unsigned, unsigned);
using MakeTypedFn = bool (*)(KvFingerPrint&, const KvChem::KvMolBase&, const KvFPTypeBase*);
using TypeFn = const KvFPTypeBase* (*)(unsigned short, unsigned, unsigned, unsigned, unsigned, unsigned);
using IdsFn = std::function<void(std::vector<unsigned>&, const KvChem::KvMolBase&, std::vector<unsigned>&,
                                 std::vector<unsigned>&, unsigned, unsigned)>;

// One hashed graph generator.
struct Graph {
  unsigned kind;
  MakeFn make;
  TypeFn versionedType;
  unsigned limit;  // largest distance accepted
  unsigned defaultMax;
  IdsFn ids;  // the id generator behind the fingerprint

  const KvFPTypeBase* Type(const KvFPGraphParams& p) const {
    return versionedType(KvGraphFPVersion, p.bits, p.minimum, p.maximum, p.atomTypes, p.bondTypes);
  }
};

const Graph kGraphs[] = {
    {KvFPType::Path, KvMakePathFP, KvGetPathFPType, 20, 5,
     [](auto& ids, const auto& mol, auto& at, auto& bt, unsigned lo, unsigned hi) {
       KvPathIdGeneratorStack(ids, mol, at, bt, lo, hi);
     }},
    {KvFPType::Tree, KvMakeTreeFP, KvGetTreeFPType, 20, 4,
     [](auto& ids, const auto& mol, auto& at, auto& bt, unsigned lo, unsigned hi) {
       KvTreeIdGenerator(ids, mol, at, bt, lo, hi, 0, 0);
     }},
    {KvFPType::Circular, KvMakeCircularFP, KvGetCircularFPType, 10, 5,
     [](auto& ids, const auto& mol, auto& at, auto& bt, unsigned lo, unsigned hi) {
       KvCircularIdGenerator(ids, mol, at, bt, lo, hi, 0, 0);
     }},
};

// Each repair reports once (the texts are the fixed messages' table's).
TEST(GraphGenerators, OutOfRangeParametersAreRepairedWithAMessageEach) {
  const KvMol mol = Mol("CC(=O)Oc1ccccc1C(=O)O");
  for (const Graph& g : kGraphs) {
    const auto* def = static_cast<const KvFPGraphTypeBase*>(KvGetFPType(g.kind));
    const unsigned atom = def->GetAtomTypes(), bond = def->GetBondTypes();
    struct Case {
      KvFPGraphParams given, repaired;
      std::size_t messages;
    };
    const Case cases[] = {
        {{15, 0, 3, atom, bond}, {4096, 0, 3, atom, bond}, 1},
        {{70000, 0, 3, atom, bond}, {4096, 0, 3, atom, bond}, 1},
        {{2048, g.limit + 1, g.limit + 2, atom, bond}, {2048, 0, g.defaultMax, atom, bond}, 2},
        {{2048, 3, 2, atom, bond}, {2048, 2, 2, atom, bond}, 1},
        {{2048, 0, 3, 0, 0}, {2048, 0, 3, atom, bond}, 1},
        // The limits themselves are accepted without a message.
        {{16, g.limit, g.limit, 0, 1}, {16, g.limit, g.limit, 0, 1}, 0},
        {{65535, 0, 0, 1, 0}, {65535, 0, 0, 1, 0}, 0},
    };
    for (const Case& c : cases) {
      CaptureSink sink;
      KvFingerPrint fp, expected;
      const KvFPGraphParams& p = c.given;
      const KvFPGraphParams& r = c.repaired;
      ASSERT_TRUE(g.make(fp, mol, p.bits, p.minimum, p.maximum, p.atomTypes, p.bondTypes));
      EXPECT_EQ(sink.Count(), c.messages) << g.kind << " " << p.bits << " " << p.minimum << " " << p.maximum;
      EXPECT_EQ(fp.GetFPTypeBase(), g.Type(r)) << g.kind;
      ASSERT_TRUE(g.make(expected, mol, r.bits, r.minimum, r.maximum, r.atomTypes, r.bondTypes));
      EXPECT_TRUE(fp == expected) << g.kind;
    }
  }
}

// The typed entry of every graph generator, unhashed ones included: a type
// of another kind or none is refused with one message and the fingerprint
// left as it was; wide fields spilling outside the fields (bits 41 and 62 of
// a hashed type) are reported once and the fingerprint gets the registry's
// type of the fields; an old version gives the current one.
TEST(GraphGenerators, TypedEntriesCheckTheKindAndReportStrayBits) {
  using TypeOf = const KvFPTypeBase* (*)(unsigned short version, unsigned bits, unsigned atomTypes);
  const struct {
    MakeTypedFn make;
    TypeOf type;
    unsigned wrong;
    Level level;
  } entries[] = {
      {KvMakePathFP, [](unsigned short v, unsigned n, unsigned a) { return KvGetPathFPType(v, n, 1, 3, a, 1); },
       KvFPType::UnhashedPath, Level::Warning},
      {KvMakeTreeFP, [](unsigned short v, unsigned n, unsigned a) { return KvGetTreeFPType(v, n, 1, 3, a, 1); },
       KvFPType::Path, Level::Error},
      {KvMakeCircularFP, [](unsigned short v, unsigned n, unsigned a) { return KvGetCircularFPType(v, n, 1, 3, a, 1); },
       KvFPType::UnhashedCircular, Level::Warning},
      {KvMakeUnhashedPathFP, [](unsigned short v, unsigned, unsigned a) { return KvGetUnhashedPathFPType(v, 1, 3, a, 1); },
       KvFPType::UnhashedCircular, Level::Error},
      {KvMakeUnhashedTreeFP, [](unsigned short v, unsigned, unsigned a) { return KvGetUnhashedTreeFPType(v, 1, 3, a, 1); },
       KvFPType::Tree, Level::Error},
      {KvMakeUnhashedCircularFP,
       [](unsigned short v, unsigned, unsigned a) { return KvGetUnhashedCircularFPType(v, 1, 3, a, 1); },
       KvFPType::Circular, Level::Error},
  };
  const KvMol mol = Mol("c1ccncc1CCN");
  for (const auto& e : entries) {
    const KvFPTypeBase* own = e.type(KvGraphFPVersion, 1024, 63);
    KvFingerPrint def, fp;
    ASSERT_TRUE(e.make(def, mol, own));
    for (const KvFPTypeBase* wrong : {KvGetFPType(e.wrong), static_cast<const KvFPTypeBase*>(nullptr)}) {
      CaptureSink sink;
      KvFingerPrint untouched = def;
      EXPECT_FALSE(e.make(untouched, mol, wrong));
      ASSERT_EQ(sink.Count(), 1u) << own->GetFPTypeString();
      EXPECT_EQ(sink.Messages()[0].level, e.level);
      EXPECT_TRUE(untouched == def);
    }
    CaptureSink sink;
    ASSERT_TRUE(e.make(fp, mol, e.type(KvGraphFPVersion, 1024 | (1u << 18), 63 | 0x20000)));
    EXPECT_EQ(sink.Count(), 1u) << own->GetFPTypeString();
    EXPECT_EQ(fp.GetFPTypeBase(), own);
    ASSERT_TRUE(e.make(fp, mol, e.type(0x1000, 1024, 63)));
    EXPECT_EQ(fp.GetFPTypeBase(), own);
  }
}

// Permuted atoms (and bonds), explicit hydrogens and Kekulé input give the
// fingerprint of the plain molecule, for every kind; the caller's molecule is
// not changed. The unhashed circular kind typed by element and bond order
// only comes once more: the two oxygens of a carboxyl group then have equal
// strings and equal neighbours yet are not interchangeable, so refinement
// leaves them tied and the tie-break has to try both.
TEST(AllGenerators, AtomOrderAndInputFormDoNotMatter) {
  const std::vector<std::string> molecules = {
      "C12C3C4C1C5C2C3C45",                               // cubane
      "C1C2CC3CC1CC(C2)C3",                               // adamantane
      "c1cc2cc3ccc(cc4ccc(cc5ccc(cc1n2)[nH]5)n4)[nH]3",  // porphine
      "CC(C)(C)c1ccc(O)c(C(C)(C)C)c1",                    // symmetric branches
      "O=C(O)CC(O)(CC(=O)O)C(=O)O",                       // citric acid
      "C1CC2CCC3CCCC4CCC(C1)C2C34",                       // fused rings
      "[NH3+]CC(=O)[O-]",                                 // charges
      "OC(=O)C(F)(F)C(F)(F)C(=O)O",                       // equal halogens
      "C1CC2CC1C1CCCCC21",                                // bridged and fused
      "OC(=O)CC(=O)O", "O=C1CCC(O)CC1", "NC(=O)C(N)=O",   // ties refinement cannot split
  };
  const std::pair<const char*, const char*> forms[] = {{"[H]OC([H])([H])c1ccccc1", "OCc1ccccc1"},
                                                       {"C1=CC=CC=C1C(=O)O", "OC(=O)c1ccccc1"},
                                                       {"[2H]OC", "OC"}};
  std::vector<const KvFPTypeBase*> types;
  for (unsigned kind : kAllKinds) types.push_back(KvGetFPType(kind));
  types.push_back(KvGetUnhashedCircularFPType(KvGraphFPVersion, 0, 4, 1, 1));
  for (const KvFPTypeBase* type : types) {
    const std::string kind = type->GetFPTypeString();
    for (const std::string& smiles : molecules) {
      const KvMol mol = Mol(smiles);
      KvFingerPrint reference;
      ASSERT_TRUE(KvMakeFP(reference, VarnexTest::PermutedMol(mol, 0), type));
      for (unsigned seed = 1; seed <= 5; ++seed) {
        KvFingerPrint fp;
        ASSERT_TRUE(KvMakeFP(fp, VarnexTest::PermutedMol(mol, seed), type));
        EXPECT_TRUE(fp == reference) << kind << " " << smiles << " seed " << seed;
      }
    }
    for (const auto& [input, plain] : forms) {
      const KvMol mol = Mol(input);
      const std::string before = KvChem::KvMolToSmiles(mol);
      KvFingerPrint a, b;
      ASSERT_TRUE(KvMakeFP(a, mol, type));
      ASSERT_TRUE(KvMakeFP(b, Mol(plain), type));
      EXPECT_TRUE(a == b) << kind << " " << input;
      EXPECT_EQ(KvChem::KvMolToSmiles(mol), before);
    }
  }
}

// Threads sharing the input molecules, each making its own fingerprints of
// every kind, agree with a serial run.
TEST(AllGenerators, ThreadsSharingMoleculesAgreeWithSerialGeneration) {
  const std::vector<KvMol> mols = VarnexTest::NciMols(150);
  const std::size_t n = std::size(kAllKinds) * mols.size();
  auto make = [&](std::size_t job, KvFingerPrint& fp) {
    return KvMakeFP(fp, mols[job % mols.size()], KvGetFPType(kAllKinds[job / mols.size()]));
  };
  std::vector<KvFingerPrint> serial(n);
  for (std::size_t job = 0; job < n; ++job) ASSERT_TRUE(make(job, serial[job]));
  constexpr std::size_t kThreads = 4;
  std::vector<std::vector<KvFingerPrint>> results(kThreads, std::vector<KvFingerPrint>(n));
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (std::size_t i = 0; i < n; ++i) EXPECT_TRUE(make((i + t * 97) % n, results[t][(i + t * 97) % n]));
    });
  for (auto& thread : threads) thread.join();
  for (std::size_t t = 0; t < kThreads; ++t)
    for (std::size_t job = 0; job < n; ++job) ASSERT_TRUE(results[t][job] == serial[job]) << t << " " << job;
}

// Every 15th NCI molecule's fingerprint equals the bits of its id generator
// run without symmetry classes, folded by the modulus (the brute-force
// reference of the start-atom skip and of the bits at and above the modulus);
// symmetry classes the caller perceived change nothing.
TEST(GraphGenerators, RealMoleculesModulusAndIdGeneratorReference) {
  const std::vector<KvMol> mols = VarnexTest::NciMols(3000);
  ASSERT_GT(mols.size(), 2900u);
  for (const Graph& g : kGraphs) {
    const auto* def = static_cast<const KvFPGraphTypeBase*>(KvGetFPType(g.kind));
    for (std::size_t i = 0; i < mols.size(); i += 15) {
      KvFingerPrint fp;
      ASSERT_TRUE(g.make(fp, mols[i], 4096, 0, g.defaultMax, def->GetAtomTypes(), def->GetBondTypes()));
      KvMol copy(mols[i]);
      KvPrepareForFingerprinting(copy, g.kind);
      std::vector<unsigned> atomTypes, bondTypes, ids;
      KvGetFingerprintAtomTypes(atomTypes, bondTypes, copy, def->GetAtomTypes(), def->GetBondTypes());
      g.ids(ids, copy, atomTypes, bondTypes, 0, g.defaultMax);
      KvFingerPrint reference;
      reference.SetSize(4096);
      for (unsigned id : ids) reference.SetBitOn(id % 4093u);
      EXPECT_TRUE(std::equal(reference.Bytes().begin(), reference.Bytes().end(), fp.Bytes().begin()))
          << g.kind << " " << i;
      KvMol symmetric(mols[i]);
      KvChem::KvPerceiveSymmetry(symmetric, true, false);
      KvFingerPrint withClasses;
      ASSERT_TRUE(g.make(withClasses, symmetric, 4096, 0, g.defaultMax, def->GetAtomTypes(), def->GetBondTypes()));
      EXPECT_TRUE(withClasses == fp) << g.kind << " " << i;
    }
  }
}

}  // namespace
