// Every generator refuses a molecule above the atom limit with one warning
// naming it, before any perception runs, and an invalid one silently; at the
// limit it works.

#include <gtest/gtest.h>

#include <string>

#include "capture_sink.h"
#include "kvchem/kvchem.h"
#include "varnex/fptypes.h"
#include "varnex/generation.h"
#include "varnex/vsepr_fingerprint.h"

namespace {

// Restores the default atom limit when it goes.
struct AtomLimit {
  explicit AtomLimit(unsigned atoms) { KvChem::KvSetMaxAtoms(atoms); }
  ~AtomLimit() { KvChem::KvSetMaxAtoms(0); }
};

// A ring of `atoms` carbons: cheap to perceive, so only the limit refuses it.
KvChem::KvMol Ring(unsigned atoms) {
  AtomLimit wide(atoms);
  KvChem::KvMol mol;
  EXPECT_TRUE(KvChem::KvSmilesToMol("C1" + std::string(atoms - 1, 'C') + "1", mol));
  EXPECT_EQ(mol.NumAtoms(), atoms);
  return mol;
}

TEST(SizeGuard, EveryGeneratorRefusesAMoleculeAboveTheAtomLimit) {
  const KvChem::KvMol big = Ring(1001);
  const KvChem::KvMol edge = Ring(1000);
  KvChem::KvMol invalid;
  invalid.SetInvalid();
  const struct {
    unsigned kind;
    const char* generator;
  } generators[] = {
      {Varnex::KvFPType::MACCS166, "KvMakeMACCS166FP()"},
      {Varnex::KvFPType::Path, "KvMakePathFP()"},
      {Varnex::KvFPType::Lingo, "KvMakeLingoFP()"},
      {Varnex::KvFPType::Circular, "KvMakeCircularFP()"},
      {Varnex::KvFPType::Tree, "KvMakeTreeFP()"},
      {Varnex::KvFPType::UnhashedPath, "KvMakeUnhashedPathFP()"},
      {Varnex::KvFPType::UnhashedCircular, "KvMakeUnhashedCircularFP()"},
      {Varnex::KvFPType::UnhashedTree, "KvMakeUnhashedTreeFP()"},
  };
  for (const auto& g : generators) {
    SCOPED_TRACE(g.generator);
    VarnexTest::CaptureSink sink;
    Varnex::KvFingerPrint fp;
    EXPECT_FALSE(Varnex::KvMakeFP(fp, big, Varnex::KvGetFPType(g.kind)));
    EXPECT_FALSE(fp.GetFPTypeBase());
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{std::string(g.generator) +
                                                     " : molecule has 1001 atoms, more than the limit of 1000!"});
    sink.Clear();
    EXPECT_TRUE(Varnex::KvMakeFP(fp, edge, Varnex::KvGetFPType(g.kind)));
    // An invalid molecule clears the type without a message (what an empty
    // one gives is pinned by the golden bits).
    EXPECT_FALSE(Varnex::KvMakeFP(fp, invalid, Varnex::KvGetFPType(g.kind)));
    EXPECT_FALSE(fp.GetFPTypeBase());
    EXPECT_EQ(sink.Count(), 0u);
    // A raised limit admits the larger molecule.
    AtomLimit raised(1001);
    EXPECT_TRUE(Varnex::KvMakeFP(fp, big, Varnex::KvGetFPType(g.kind)));
  }
  VarnexTest::CaptureSink sink;
  EXPECT_EQ(Varnex::KvVseprFingerprint(big, {}).NumPaths(), 0u);
  EXPECT_TRUE(sink.Contains("KvVseprFingerprint : molecule has 1001 atoms, more than the limit of 1000!"));
  EXPECT_GT(Varnex::KvVseprFingerprint(edge, {}).NumPaths(), 0u);
}

}  // namespace
