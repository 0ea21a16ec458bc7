// Path fingerprint: exact bits of small molecules, parameter repair and its
// warnings, the bit modulus, atom-order and symmetry independence over real
// molecules, and the id generators.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "capture_sink.h"
#include "generators/modulus.h"
#include "kvchem/mol.h"
#include "kvchem/perception.h"
#include "varnex/generation.h"
#include "varnex/pathfp.h"
#include "varnex/typing.h"

namespace {

using namespace Varnex;
using KvChem::KvMol;
using VarnexTest::CaptureSink;

KvMol Mol(const std::string& smiles) {
  KvMol mol;
  EXPECT_TRUE(KvChem::KvSmilesToMol(smiles, mol)) << smiles;
  return mol;
}

std::vector<size_t> OnBits(const KvFingerPrint& fp) {
  std::vector<size_t> on;
  for (size_t i = 0; i < fp.GetSize(); ++i)
    if (fp.IsBitOn(i)) on.push_back(i);
  return on;
}

// The first `limit` SMILES of the NCI sample set.
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

// The fingerprint rebuilt from the stack id generator without symmetry
// skipping: the brute-force reference for KvMakePathFP.
KvFingerPrint ReferencePathFP(const KvMol& mol, unsigned bits, unsigned minBonds, unsigned maxBonds,
                              unsigned atomFlags, unsigned bondFlags) {
  KvMol copy(mol);
  KvPrepareForFingerprinting(copy, KvFPType::Path);
  std::vector<unsigned> atomTypes, bondTypes, ids;
  KvGetFingerprintAtomTypes(atomTypes, bondTypes, copy, atomFlags, bondFlags);
  KvPathIdGeneratorStack(ids, copy, atomTypes, bondTypes, minBonds, maxBonds);
  KvFingerPrint fp;
  fp.SetSize(bits);
  const unsigned p = KvGetBitModulus(bits);
  for (unsigned id : ids) fp.SetBitOn(id % p);
  fp.SetFPTypeBase(KvGetPathFPType(bits, minBonds, maxBonds, atomFlags, bondFlags));
  return fp;
}

TEST(BitModulus, LargestPrimeNotAboveTheSize) {
  EXPECT_EQ(KvGetBitModulus(4096), 4093u);
  EXPECT_EQ(KvGetBitModulus(64), 61u);
  EXPECT_EQ(KvGetBitModulus(16384), 16381u);
  EXPECT_EQ(KvGetBitModulus(16), 13u);
  EXPECT_EQ(KvGetBitModulus(17), 17u);
  EXPECT_EQ(KvGetBitModulus(1000), 997u);
  EXPECT_EQ(KvGetBitModulus(65535), 65521u);
  EXPECT_EQ(KvGetBitModulus(65537), 65537u);
  EXPECT_EQ(KvGetBitModulus(2), 2u);
  // Against trial division over the whole range a fingerprint may have.
  auto isPrime = [](unsigned n) {
    for (unsigned d = 2; d * d <= n; ++d)
      if (n % d == 0) return false;
    return n >= 2;
  };
  unsigned largest = 2;
  for (unsigned n = 2; n <= 65535; ++n) {
    if (isPrime(n)) largest = n;
    ASSERT_EQ(KvGetBitModulus(n), largest) << n;
  }
}

TEST(BitModulus, FastReductionMatchesTheRemainder) {
  for (unsigned d : {13u, 61u, 997u, 4093u, 65521u, 65537u}) {
    const KvFastModulus mod(d);
    for (unsigned v : {0u, 1u, d - 1, d, d + 1, 0x7FFFFFFFu, 0xFFFFFFFEu, 0xFFFFFFFFu, 123456789u})
      EXPECT_EQ(mod(v), v % d) << v << " mod " << d;
  }
}

TEST(PathFP, SingleAtomsSetTheirZeroBondBit) {
  KvFingerPrint fp;
  ASSERT_TRUE(KvMakePathFP(fp, Mol("C")));
  // Methane carbon under the default flags: 179 (C) * 5^3 (sp3).
  EXPECT_EQ(OnBits(fp), (std::vector<size_t>{(179u * 125u * 947u) % 4093u}));
  EXPECT_EQ(fp.GetSize(), 4096u);
  EXPECT_EQ(fp.GetFPTypeBase(), KvGetFPType(KvFPType::Path, false, 0));
  ASSERT_TRUE(KvMakePathFP(fp, Mol("O")));
  EXPECT_EQ(OnBits(fp), (std::vector<size_t>{(947u * 125u * 947u) % 4093u}));
}

TEST(PathFP, EthaneBondPathIsTheSameFromBothEnds) {
  KvFingerPrint fp;
  ASSERT_TRUE(KvMakePathFP(fp, Mol("CC"), 4096, 1, 1, KvFPAtomType::DefaultPathAtom, KvFPBondType::DefaultPathBond));
  const unsigned c = 179 * 3 * 125;  // carbon, heavy degree 1, sp3
  const unsigned id = c * 947 + 131 * 983 + c * 1019;
  EXPECT_EQ(OnBits(fp), (std::vector<size_t>{id % 4093}));
  // With 0 bonds allowed too, the atom bit joins it.
  ASSERT_TRUE(KvMakePathFP(fp, Mol("CC"), 4096, 0, 1, KvFPAtomType::DefaultPathAtom, KvFPBondType::DefaultPathBond));
  std::vector<size_t> expected = {id % 4093, (c * 947) % 4093};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(OnBits(fp), expected);
}

TEST(PathFP, EmptyAndInvalidMolecules) {
  CaptureSink sink;
  KvFingerPrint fp;
  ASSERT_TRUE(KvMakePathFP(fp, KvMol()));
  EXPECT_EQ(fp.GetSize(), 4096u);
  EXPECT_EQ(fp.CountBits(), 0u);
  EXPECT_EQ(fp.GetFPTypeBase(), KvGetFPType(KvFPType::Path, false, 0));

  // A failed parse is invalid: false, type cleared, bits untouched.
  KvMol bad;
  KvChem::KvSmilesToMol("C1CC(", bad);
  sink.Clear();
  ASSERT_TRUE(KvMakePathFP(fp, Mol("CCO")));
  const size_t before = fp.CountBits();
  EXPECT_FALSE(KvMakePathFP(fp, bad, 15, 0, 5, 191, 3));
  EXPECT_EQ(fp.GetFPTypeBase(), nullptr);
  EXPECT_EQ(fp.CountBits(), before);
  EXPECT_EQ(sink.Count(), 0u);  // no repair warnings for an invalid molecule
}

TEST(PathFP, OutOfRangeParametersAreRepairedWithWarnings) {
  const KvMol mol = Mol("CC(=O)Nc1ccc(O)cc1");
  KvFingerPrint fp;
  {
    CaptureSink sink;
    ASSERT_TRUE(KvMakePathFP(fp, mol, 15, 0, 5, 191, 3));
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"KvMakePathFP() : invalid bit vector size 15 for path "
                                                      "fingerprint (default 4096 is used)!"}));
    EXPECT_EQ(fp.GetSize(), 4096u);
  }
  {
    CaptureSink sink;
    ASSERT_TRUE(KvMakePathFP(fp, mol, 70000, 0, 5, 191, 3));
    EXPECT_TRUE(sink.Contains(
        "KvMakePathFP() : invalid bit vector size 70000 for path fingerprint (default 4096 is used)!"));
    EXPECT_EQ(fp.GetFPTypeBase(), KvGetPathFPType(4096, 0, 5, 191, 3));
  }
  {
    CaptureSink sink;
    ASSERT_TRUE(KvMakePathFP(fp, mol, 16, 0, 5, 191, 3));
    ASSERT_TRUE(KvMakePathFP(fp, mol, 65535, 0, 5, 191, 3));
    EXPECT_EQ(sink.Count(), 0u);
    EXPECT_EQ(fp.GetSize(), 65535u);
  }
  {
    CaptureSink sink;
    ASSERT_TRUE(KvMakePathFP(fp, mol, 4096, 7, 5, 191, 3));
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"KvMakePathFP() : invalid min bonds 7 > max bonds 5 for path "
                                                      "fingerprint (minbonds = maxbonds is used)!"}));
    EXPECT_EQ(fp.GetFPTypeBase(), KvGetPathFPType(4096, 5, 5, 191, 3));
  }
  {
    CaptureSink sink;
    ASSERT_TRUE(KvMakePathFP(fp, mol, 4096, 21, 25, 191, 3));
    EXPECT_EQ(sink.Texts(),
              (std::vector<std::string>{
                  "KvMakePathFP() : invalid min bonds 21 for path fingerprint (default 0 is used)!",
                  "KvMakePathFP() : invalid max bonds 25 for path fingerprint (default 5 is used)!"}));
    EXPECT_EQ(fp.GetFPTypeBase(), KvGetPathFPType(4096, 0, 5, 191, 3));
  }
  {
    CaptureSink sink;
    ASSERT_TRUE(KvMakePathFP(fp, mol, 4096, 0, 5, 0, 0));
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"KvMakePathFP() : invalid to have both atom and bond types set "
                                                      "to be None (default types are used)!"}));
    KvFingerPrint def;
    EXPECT_TRUE(KvMakePathFP(def, mol));
    EXPECT_TRUE(fp == def);
  }
  {
    // Either flag set alone is fine.
    CaptureSink sink;
    ASSERT_TRUE(KvMakePathFP(fp, mol, 4096, 0, 5, 0, 3));
    ASSERT_TRUE(KvMakePathFP(fp, mol, 4096, 0, 5, 191, 0));
    EXPECT_EQ(sink.Count(), 0u);
  }
}

TEST(PathFP, TypeOverloadChecksTheKindAndStrayBits) {
  const KvMol mol = Mol("c1ccccc1CCN");
  KvFingerPrint fp, def;
  ASSERT_TRUE(KvMakePathFP(def, mol));
  ASSERT_TRUE(KvMakePathFP(fp, mol, KvGetFPType(KvFPType::Path, false, 0)));
  EXPECT_TRUE(fp == def);
  {
    CaptureSink sink;
    EXPECT_FALSE(KvMakePathFP(fp, mol, KvGetFPType(KvFPType::Tree, false, 0)));
    EXPECT_FALSE(KvMakePathFP(fp, mol, nullptr));
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>(2, "KvMakePathFP : invalid path fingerprint type!")));
  }
  {
    // An atom flag word wider than its field spills into bits 40-43.
    CaptureSink sink;
    ASSERT_TRUE(KvMakePathFP(fp, mol, KvGetPathFPType(4096, 0, 5, 0x10000u | 191u, 3)));
    EXPECT_TRUE(sink.Contains("Unrecognised data in KvFPPathType!"));
    EXPECT_TRUE(fp == def);
  }
  {
    // An old version is accepted; the result has the current version.
    CaptureSink sink;
    ASSERT_TRUE(KvMakePathFP(fp, mol, KvGetPathFPType(0x1000, 4096, 0, 5, 191, 3)));
    EXPECT_TRUE(fp == def);
  }
}

TEST(PathFP, PreparationFoldsHydrogensAndLeavesTheCallerUnchanged) {
  const KvMol explicitH = Mol("[H]OC([H])([H])C(=O)N([H])[H]");
  const KvMol implicitH = Mol("OCC(=O)N");
  const std::string before = KvChem::KvMolToSmiles(explicitH);
  const unsigned atomsBefore = explicitH.NumAtoms();
  KvFingerPrint a, b;
  ASSERT_TRUE(KvMakePathFP(a, explicitH));
  ASSERT_TRUE(KvMakePathFP(b, implicitH));
  EXPECT_TRUE(a == b);
  EXPECT_EQ(explicitH.NumAtoms(), atomsBefore);
  EXPECT_EQ(KvChem::KvMolToSmiles(explicitH), before);
  // Deuterium stays an atom through hydrogen suppression and is folded later.
  ASSERT_TRUE(KvMakePathFP(a, Mol("[2H]OC")));
  ASSERT_TRUE(KvMakePathFP(b, Mol("OC")));
  EXPECT_TRUE(a == b);
}

TEST(PathFP, KekuleAndAromaticInputAgree) {
  KvFingerPrint a, b;
  ASSERT_TRUE(KvMakePathFP(a, Mol("C1=CC=CC=C1C(=O)O")));
  ASSERT_TRUE(KvMakePathFP(b, Mol("OC(=O)c1ccccc1")));
  EXPECT_TRUE(a == b);
}

// Over real molecules: the modulus bound, atom-order independence (canonical
// SMILES renumbers the atoms) and the symmetry skip against the brute-force
// reference without it.
TEST(PathFP, RealMoleculesModulusAtomOrderAndSymmetry) {
  const std::vector<std::string> smiles = NciSmiles(3000);
  ASSERT_GE(smiles.size(), 3000u);
  size_t checked = 0, withSymmetry = 0;
  for (size_t i = 0; i < smiles.size(); ++i) {
    KvMol mol;
    if (!KvChem::KvSmilesToMol(smiles[i], mol)) continue;
    KvFingerPrint fp;
    ASSERT_TRUE(KvMakePathFP(fp, mol));
    for (size_t bit = 4093; bit < 4096; ++bit) ASSERT_FALSE(fp.IsBitOn(bit)) << smiles[i];
    ++checked;
    if (i % 10 != 0) continue;
    // Every tenth molecule: reordered atoms and the reference.
    KvMol reordered;
    ASSERT_TRUE(KvChem::KvSmilesToMol(KvChem::KvMolToSmiles(mol), reordered));
    KvFingerPrint other;
    ASSERT_TRUE(KvMakePathFP(other, reordered));
    EXPECT_TRUE(fp == other) << smiles[i];
    EXPECT_TRUE(fp == ReferencePathFP(mol, 4096, 0, 5, 191, 3)) << smiles[i];
    if (mol.NumAtoms() > 20) ++withSymmetry;
    // Odd sizes keep clear of the bits at and above their modulus.
    KvFingerPrint odd;
    ASSERT_TRUE(KvMakePathFP(odd, mol, 1000, 0, 7, 191, 3));
    for (size_t bit = 997; bit < 1000; ++bit) ASSERT_FALSE(odd.IsBitOn(bit)) << smiles[i];
  }
  EXPECT_GT(checked, 2900u);
  EXPECT_GT(withSymmetry, 20u);
}

// Generation is re-entrant: threads sharing the input molecules and making
// their own fingerprints agree with a serial run.
TEST(PathFP, ThreadsAgreeWithSerialGeneration) {
  std::vector<KvMol> mols;
  for (const std::string& smiles : NciSmiles(400)) {
    KvMol mol;
    if (KvChem::KvSmilesToMol(smiles, mol)) mols.push_back(std::move(mol));
  }
  std::vector<KvFingerPrint> serial(mols.size());
  for (size_t i = 0; i < mols.size(); ++i) ASSERT_TRUE(KvMakePathFP(serial[i], mols[i]));
  constexpr int kThreads = 4;
  std::vector<std::vector<KvFingerPrint>> results(kThreads, std::vector<KvFingerPrint>(mols.size()));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (size_t i = 0; i < mols.size(); ++i) EXPECT_TRUE(KvMakePathFP(results[t][i], mols[(i + t * 97) % mols.size()]));
    });
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t)
    for (size_t i = 0; i < mols.size(); ++i) ASSERT_TRUE(results[t][i] == serial[(i + t * 97) % mols.size()]);
}

TEST(PathIdGenerators, CountsIdsAndStrings) {
  KvMol mol = Mol("CCO");
  KvPrepareForFingerprinting(mol, KvFPType::Path);
  std::vector<unsigned> atomTypes, bondTypes;
  KvGetFingerprintAtomTypes(atomTypes, bondTypes, mol, KvFPAtomType::AtmNum, KvFPBondType::Order);
  const std::vector<unsigned> atomCopy = atomTypes, bondCopy = bondTypes;

  // Three atoms, two bonds: from each end 3 paths, from the middle 3.
  std::vector<unsigned> stack;
  EXPECT_EQ(KvPathIdGeneratorStack(stack, mol, atomTypes, bondTypes, 0, 2), 9u);
  // Both carbons type alike under AtmNum, so C and C-C repeat: 7 distinct.
  std::set<unsigned> ids;
  EXPECT_EQ(KvPathIdGenerator(ids, mol, atomTypes, bondTypes, 0, 2), 7u);
  EXPECT_EQ(ids, std::set<unsigned>(stack.begin(), stack.end()));
  const unsigned c = 179, o = 947, single = 131;
  EXPECT_TRUE(ids.count(c * 947));
  EXPECT_TRUE(ids.count(c * 947 + single * 983 + c * 1019 + single * 1049 + o * 1087));
  EXPECT_TRUE(ids.count(o * 947 + single * 983 + c * 1019 + single * 1049 + c * 1087));
  // Outputs are appended to; the result is the size after the call.
  EXPECT_EQ(KvPathIdGeneratorStack(stack, mol, atomTypes, bondTypes, 2, 2), 11u);
  EXPECT_EQ(atomTypes, atomCopy);
  EXPECT_EQ(bondTypes, bondCopy);

  std::vector<std::string> atomStrings, bondStrings;
  KvGetFingerprintAtomTypes(atomStrings, bondStrings, mol, KvFPAtomType::AtmNum | KvFPAtomType::Arom,
                            KvFPBondType::Order);
  std::set<std::string> texts;
  EXPECT_EQ(KvPathIdGenerator(texts, mol, atomStrings, bondStrings, 1, 2), 5u);
  EXPECT_EQ(texts, (std::set<std::string>{"C-C", "C-O", "O-C", "C-C-O", "O-C-C"}));
  std::vector<std::string> textStack;
  EXPECT_EQ(KvPathIdGeneratorStack(textStack, mol, atomStrings, bondStrings, 1, 2), 6u);
}

TEST(PathIdGenerators, SymmetryClassesSkipEquivalentStartAtoms) {
  KvMol mol = Mol("c1ccccc1");
  KvPrepareForFingerprinting(mol, KvFPType::Path);
  std::vector<unsigned> atomTypes, bondTypes, all, skipped;
  KvGetFingerprintAtomTypes(atomTypes, bondTypes, mol, 191, 3);
  KvPathIdGeneratorStack(all, mol, atomTypes, bondTypes, 0, 5);
  KvChem::KvPerceiveSymmetry(mol, true, false);
  KvPathIdGeneratorStack(skipped, mol, atomTypes, bondTypes, 0, 5);
  // Six equivalent atoms: one start instead of six, the same ids.
  EXPECT_EQ(all.size(), 6 * skipped.size());
  EXPECT_EQ(std::set<unsigned>(all.begin(), all.end()), std::set<unsigned>(skipped.begin(), skipped.end()));
}

}  // namespace
