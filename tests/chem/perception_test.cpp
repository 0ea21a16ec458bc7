// Perception on real molecules: aromaticity, stereo, hybridisation, ring
// systems and the alpha-beta predicate. Kekulé input read as aromatic is the
// generator driver's forms test and the VSEPR ring types'; double-bond
// stereo is the bond typing test's.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <thread>

#include "capture_sink.h"
#include "kvchem/kvchem.h"
#include "molecules.h"
#include "temp_dir.h"

using namespace KvChem;

using VarnexTest::Mol;

// Perceiving again after an edit is the preparation's (its tests fold atoms
// out of rings and check the prepared state until the next edit); here an
// unknown model, refused.
TEST(KvPerceptionAromatic, UnknownModelIsRefusedAndTheFlagsKept) {
  KvMol mol = Mol("Cc1ccc2[nH]ccc2c1");
  VarnexTest::CaptureSink sink;
  KvAssignAromaticFlags(mol, 7, true, 0, false);
  EXPECT_EQ(sink.Count(), 1u);
  EXPECT_EQ(mol.GetAromaticityModel(), 2u);
  EXPECT_TRUE(mol.GetAtom(1)->IsAromatic());
}

// Charges, halogens and hybridisation are read through the typing tests,
// atomic symbols through the MACCS element keys of every lone atom.

// The parser leaves hybridisation and stereo assigned (unmarked SMILES
// skip the toolkit's stereo perception); after an edit, which drops that
// state, assigning them again must give the same. So must a file read
// without hybridisation (nor the conjugation it reads) once it is assigned.
TEST(KvPerceptionAtoms, TheParsersHybridisationAndStereoAreWhatPerceivingAgainGives) {
  std::vector<std::string> smiles = VarnexTest::NciSmiles(1000);
  smiles.insert(smiles.end(), {"N[C@@H](C)C(=O)O", "C[C@H](C)O", "C/C=C/C", "F/C=C(/Cl)C", "[NH4+].[O-]C(=O)C",
                               "c1cc[nH]c1", "O=[N+]([O-])c1ccccc1", "C#N", "CP(C)(C)=O", "C[S+]([O-])C"});
  auto state = [](const KvMolBase& mol) {
    std::vector<unsigned> out;
    for (const KvAtomBase* atom : mol.Atoms())
      out.insert(out.end(), {atom->GetHybridization(), atom->GetTotalHCount(), atom->GetValence(),
                             unsigned{atom->IsChiral()}});
    for (const KvBondBase* bond : mol.Bonds()) out.push_back(bond->IsChiral());
    return out;
  };
  std::string lines;
  for (const std::string& s : smiles) lines += s + "\n";
  const VarnexTest::TempDir dir;
  KvMolDatabase file;
  ASSERT_TRUE(file.Open(dir.File("mols.smi", lines)));
  for (unsigned i = 0; i < smiles.size(); ++i) {
    const std::string& s = smiles[i];
    const KvMol parsed = Mol(s);
    KvMol again = Mol(s);
    KvAtomBase* first = again.GetAtom(0);
    first->SetImplicitHCount(first->GetImplicitHCount());
    ASSERT_FALSE(again.HasPerceived(KvPerception::Hybridization)) << s;
    KvAssignHybridization(again);
    KvPerceiveChiral(again, true);
    EXPECT_EQ(state(parsed), state(again)) << s;

    KvMol light;
    ASSERT_TRUE(file.GetMolecule(light, i, KvPerception::Read & ~KvPerception::Hybridization));
    EXPECT_TRUE(light.HasPerceived(KvPerception::Rings | KvPerception::Aromaticity | KvPerception::Chirality)) << s;
    EXPECT_EQ(light.HasPerceived(KvPerception::Hybridization), s.find_first_of("@/\\") != std::string::npos) << s;
    KvAssignHybridization(light);
    EXPECT_EQ(state(parsed), state(light)) << s;
  }
}

// That the answer does not depend on the writing is checked through the
// VSEPR stereo types (a centre written from another atom, the mirror image).
TEST(KvPerceptionStereo, TetrahedralParityOfTheWrittenOrder) {
  // "N[C@@H](C)C(=O)O": looking from N the others run clockwise (@@), with
  // the implicit H last: order N, CH3, COOH gives 3, two swapped 2.
  KvMol a = Mol("N[C@@H](C)C(=O)O");
  const struct {
    unsigned atom;
    std::vector<unsigned> order;
    unsigned query, expected;
  } cases[] = {{1, {0, 2, 3}, 57, 3}, {1, {2, 0, 3}, 57, 2}, {1, {0, 2, 3}, 1, 0}, {2, {}, 57, 0}, {1, {0, 2}, 57, 0}};
  for (const auto& c : cases) {
    std::vector<const KvAtomBase*> order;
    for (unsigned i : c.order) order.push_back(a.GetAtom(i));
    EXPECT_EQ(a.GetAtom(c.atom)->GetStereo(order, c.query), c.expected) << c.order.size() << " " << c.query;
  }

  // A centre that is not one loses its mark.
  KvMol fake = Mol("C[C@H](C)O");
  EXPECT_FALSE(fake.GetAtom(1)->IsChiral());
}

// Symmetry classes are checked where they are used: classes too coarse
// would drop identifiers of the graph fingerprints of NCI molecules, classes
// too fine would keep every start atom of benzene (generators tests).

TEST(KvPerceptionRingSystems, SystemsShareBonds) {
  std::vector<unsigned> labels;
  KvMol biphenyl = Mol("c1ccccc1-c1ccccc1");
  EXPECT_EQ(KvDetermineAromaticRingSystems(biphenyl, labels), 2u);
  EXPECT_EQ(labels[0], 1u);
  EXPECT_EQ(labels[11], 2u);

  KvMol naphthalene = Mol("c1ccc2ccccc2c1");
  EXPECT_EQ(KvDetermineAromaticRingSystems(naphthalene, labels), 1u);
  EXPECT_EQ(std::count(labels.begin(), labels.end(), 1u), 10);

  // Tetralin: one aromatic ring, the saturated ring and the methyl are outside.
  KvMol tetralin = Mol("Cc1ccc2CCCCc2c1");
  EXPECT_EQ(KvDetermineAromaticRingSystems(tetralin, labels), 1u);
  EXPECT_EQ(labels[0], 0u);
  EXPECT_EQ(labels[6], 0u);
  EXPECT_EQ(std::count(labels.begin(), labels.end(), 1u), 6);

  // After an edit the rings are perceived on a private copy.
  biphenyl.GetAtom(0)->SetImplicitHCount(1);
  ASSERT_FALSE(biphenyl.HasPerceived(KvPerception::Rings));
  EXPECT_EQ(KvDetermineAromaticRingSystems(biphenyl, labels), 2u);
  EXPECT_FALSE(biphenyl.HasPerceived(KvPerception::Rings));

  EXPECT_EQ(KvDetermineAromaticRingSystems(Mol("[Na+].[Cl-].CCO"), labels), 0u);
}

// An atom single-bonded to one with a double or triple bond elsewhere; next
// to an aromatic ring only when asked (the typing of phenol's oxygen and of
// ester oxygens checks the aromatic case).
TEST(KvPerceptionPredicates, AlphaBetaUnsaturation) {
  const struct {
    const char* smiles;
    unsigned atom;
    bool aromatic, expected;
  } cases[] = {
      {"CC=CC=O", 0, false, true},  {"CC=CC=O", 2, false, true},  // C2-C3, C3=O
      {"CC=CC=O", 4, false, false},                                // O is double-bonded, not single
      {"Cc1ccccc1", 0, false, false},
      {"Cc1ccccc1", 1, true, false},  // ring atoms have no single bond out to a ring
  };
  for (const auto& c : cases)
    EXPECT_EQ(KvHasAlphaBetaUnsat(c.aromatic)(*Mol(c.smiles).GetAtom(c.atom)), c.expected) << c.smiles << " " << c.atom;
}

TEST(KvPerceptionThreads, SharedMoleculeReadsAgreeWithSerialOnes) {
  // Fresh molecules: the first heavy-valence query computes the Kekulé form,
  // here from four threads at once, while SMILES are written from the same
  // molecules; the answers must equal serial ones.
  const std::vector<std::string> smiles = {"c1ccc2ccccc2c1", "c1ccc2[nH]ccc2c1", "Cc1ccncc1C(=O)O",
                                           "c1ccc(-c2ccccc2)cc1", "O=c1cc[nH]cc1"};
  std::vector<unsigned> serial;
  std::vector<std::string> canonical;
  for (const auto& s : smiles) {
    KvMol mol = Mol(s);
    for (const KvAtomBase* atom : mol.Atoms()) serial.push_back(atom->GetHeavyValence());
    canonical.push_back(KvMolToSmiles(mol));
  }
  for (int round = 0; round < 20; ++round) {
    std::vector<KvMol> mols;
    for (const auto& s : smiles) mols.push_back(Mol(s));
    std::vector<std::vector<unsigned>> seen(4);
    std::vector<std::vector<std::string>> written(4);
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
      workers.emplace_back([&, t] {
        for (const auto& mol : mols) {
          for (const KvAtomBase* atom : mol.Atoms()) seen[t].push_back(atom->GetHeavyValence());
          written[t].push_back(KvMolToSmiles(mol));
        }
      });
    for (auto& w : workers) w.join();
    for (const auto& s : seen) ASSERT_EQ(s, serial);
    for (const auto& w : written) ASSERT_EQ(w, canonical);
  }
}
