// Golden bits: the fingerprints of every kind (default, VS and unusual
// parameters) and the VSEPR path counts of 200 NCI molecules and a few
// stereo, charged and hydrogen-rich ones, hashed per type into
// tests/data/golden_bits.txt. Any change of a bit, a stored text, a size, a
// type string or a count fails here, so refactoring cannot move a fingerprint
// unnoticed.
//
// After an intended change of the fingerprints, rewrite the file with
//   VARNEX_GOLDEN_UPDATE=1 build/tests/generators_tests --gtest_filter='GoldenBits.*'
// and say in the commit why the bits moved.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "graph_fp_test_util.h"
#include "varnex/fptypes.h"
#include "varnex/generation.h"
#include "varnex/typing.h"
#include "varnex/vsepr_fingerprint.h"

namespace {

using namespace Varnex;

const std::string kGoldenPath = std::string(VARNEX_TEST_DATA_DIR) + "/golden_bits.txt";

// 64-bit FNV-1a, fed piece by piece.
class Fnv {
 public:
  void Add(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) hash_ = (hash_ ^ bytes[i]) * 0x100000001B3ull;
  }
  void Add(const std::string& text) { Add(text.data(), text.size() + 1); }
  void Add(std::uint64_t value) { Add(&value, sizeof value); }
  std::string Hex() const {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash_));
    return text;
  }

 private:
  std::uint64_t hash_ = 0xCBF29CE484222325ull;
};

std::vector<KvChem::KvMol> GoldenMolecules() {
  std::vector<std::string> smiles = VarnexTest::NciSmiles(200);
  // Stereocentres, E/Z bonds, charges, explicit hydrogens, a wildcard atom,
  // halogens and an empty molecule, which the NCI sample hardly has.
  for (const char* s : {"C[C@H](N)C(=O)O", "F/C=C/Cl", "C/C=C\\C[C@@H](Br)I", "[NH4+].[O-]C(=O)c1ccccc1",
                        "[H]OC([H])([H])C#N", "*c1ccncc1", "c1ccc2[nH]ccc2c1S(=O)(=O)N", ""})
    smiles.push_back(s);
  std::vector<KvChem::KvMol> mols(smiles.size());
  for (std::size_t i = 0; i < smiles.size(); ++i) EXPECT_TRUE(KvChem::KvSmilesToMol(smiles[i], mols[i])) << smiles[i];
  return mols;
}

// Every type the golden file covers, under a short label.
std::vector<std::pair<std::string, const KvFPTypeBase*>> GoldenTypes() {
  using namespace KvFPAtomType;
  namespace B = KvFPBondType;
  return {
      {"maccs166", KvGetFPType(KvFPType::MACCS166)},
      {"lingo", KvGetFPType(KvFPType::Lingo)},
      {"path", KvGetFPType(KvFPType::Path)},
      {"path-vs", KvGetVSFPType(KvFPType::Path, 2)},
      {"path-1024-1-7", KvGetPathFPType(1024, 1, 7, AtmNum | InRing | EqArom | EqHBAcc | EqHBDon | HCount,
                                        B::Order | B::InRing)},
      {"tree", KvGetFPType(KvFPType::Tree)},
      {"tree-vs", KvGetVSFPType(KvFPType::Tree, 2)},
      {"tree-2048-2-6", KvGetTreeFPType(2048, 2, 6, AtmNum | HCount | InRing | Hyb | FCharge, B::Order | B::InRing | B::Chiral)},
      {"circular", KvGetFPType(KvFPType::Circular)},
      {"circular-vs1", KvGetVSFPType(KvFPType::Circular, 1)},
      {"circular-vs2", KvGetVSFPType(KvFPType::Circular, 2)},
      {"circular-1000-1-3", KvGetCircularFPType(1000, 1, 3, AtmNum | Arom | EqHBAcc | EqHBDon | InRing | HvyDeg,
                                                B::Order | B::InRing)},
      {"uhpath", KvGetFPType(KvFPType::UnhashedPath)},
      {"uhpath-1-3", KvGetUnhashedPathFPType(KvGraphFPVersion, 1, 3, AtmNum | Arom | FCharge | HvyDeg | Hyb | InRing | HCount,
                                             B::Order | B::InRing)},
      {"uhtree", KvGetFPType(KvFPType::UnhashedTree)},
      {"uhtree-0-5", KvGetUnhashedTreeFPType(KvGraphFPVersion, 0, 5, AtmNum | EqHalo | EqArom | Chiral, B::Order | B::Chiral)},
      {"uhcircular", KvGetFPType(KvFPType::UnhashedCircular)},
      {"uhcircular-1-2", KvGetUnhashedCircularFPType(KvGraphFPVersion, 1, 2, AtmNum | EqHBAcc | EqHBDon | HCount, B::None)},
  };
}

void AddVsepr(Fnv& hash, const KvVseprFingerprint& fp) {
  char count[32];
  hash.Add(static_cast<std::uint64_t>(fp.NumPaths()));
  for (const auto& [key, value] : fp.GetPathCounts()) {
    hash.Add(key);
    std::snprintf(count, sizeof count, "%.12g", value);  // robust to the last bits of exp()
    hash.Add(std::string(count));
  }
}

// label -> hash, for the current build.
std::map<std::string, std::string> ComputeHashes() {
  const std::vector<KvChem::KvMol> mols = GoldenMolecules();
  std::map<std::string, std::string> hashes;
  for (const auto& [label, type] : GoldenTypes()) {
    EXPECT_NE(type, nullptr) << label;
    if (type == nullptr) continue;
    Fnv hash;
    hash.Add(type->GetFPTypeString());
    for (const KvChem::KvMol& mol : mols) {
      KvFingerPrint fp;
      const bool made = KvMakeFP(fp, mol, type);
      hash.Add(static_cast<std::uint64_t>(made));
      hash.Add(fp.GetFPTypeBase() != nullptr ? fp.GetFPTypeBase()->GetFPTypeString() : std::string("null"));
      hash.Add(static_cast<std::uint64_t>(fp.GetSize()));
      hash.Add(fp.GetBytes(), fp.NumBytes());
    }
    hashes[label] = hash.Hex();
  }

  const KvVseprOptions unusual =
      KvVseprOptions().SetMinPathLength(2).SetMaxPathLength(6).SetForcePathsOut(false).SetWeightByLength(true)
          .SetStereoAware(false);
  for (const auto& [label, options] : {std::pair{std::string("vsepr"), KvVseprOptions()},
                                       std::pair{std::string("vsepr-2-6-weighted"), unusual}}) {
    Fnv molHash;
    Fnv bondHash;
    for (const KvChem::KvMol& mol : mols) {
      AddVsepr(molHash, KvVseprFingerprint(mol, options));
      if (mol.NumBonds() > 0) AddVsepr(bondHash, KvVseprFingerprint(*mol.GetBond(0), options));
    }
    hashes[label] = molHash.Hex();
    hashes[label + "-bond0"] = bondHash.Hex();
  }
  return hashes;
}

std::map<std::string, std::string> ReadGolden() {
  std::map<std::string, std::string> hashes;
  std::ifstream in(kGoldenPath);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string label, hash;
    if (fields >> label >> hash) hashes[label] = hash;
  }
  return hashes;
}

TEST(GoldenBits, EveryKindMatchesTheCheckedInHashes) {
  const std::map<std::string, std::string> actual = ComputeHashes();
  if (std::getenv("VARNEX_GOLDEN_UPDATE") != nullptr) {
    std::ofstream out(kGoldenPath);
    out << "# Hashes of the fingerprints of tests/generators/golden_bits_test.cpp; see there how to update.\n";
    for (const auto& [label, hash] : actual) out << label << ' ' << hash << '\n';
    ASSERT_TRUE(out.good()) << kGoldenPath;
    GTEST_SKIP() << "rewrote " << kGoldenPath;
  }
  const std::map<std::string, std::string> golden = ReadGolden();
  ASSERT_FALSE(golden.empty()) << "cannot read " << kGoldenPath;
  for (const auto& [label, hash] : actual) {
    const auto it = golden.find(label);
    ASSERT_NE(it, golden.end()) << label << " is missing from " << kGoldenPath;
    EXPECT_EQ(it->second, hash) << "the " << label << " fingerprints changed";
  }
  EXPECT_EQ(golden.size(), actual.size()) << kGoldenPath << " has labels this test no longer makes";
}

}  // namespace
