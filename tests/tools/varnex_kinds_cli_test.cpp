// End-to-end tests of the fingerprint kinds of the varnex program: every kind
// through fp and compare against the library, each kind's own defaults and
// parameters, the VSEPR counts of ethanol, parameters a kind does not take,
// and names from SD data fields (kinds a fast database cannot hold are in
// varnex_input_faults_cli_test.cpp).

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "molecules.h"
#include "run_program.h"
#include "varnex/fingerprint.h"
#include "varnex/fptypes.h"
#include "varnex/generation.h"
#include "varnex/similarity.h"
#include "varnex/typing.h"

using VarnexTest::Fields;
using VarnexTest::Lines;
using VarnexTest::RunOk;
using VarnexTest::RunVarnex;

namespace {

constexpr const char* kAspirin = "CC(=O)Oc1ccccc1C(=O)O";
constexpr const char* kSalicylic = "OC(=O)c1ccccc1O";

std::string Score(double score) {
  char buffer[32];
  std::snprintf(buffer, sizeof(buffer), "%.6f", score);
  return buffer;
}

Varnex::KvFingerPrint Make(const char* smiles, const Varnex::KvFPTypeBase* type) {
  Varnex::KvFingerPrint fp;
  EXPECT_TRUE(Varnex::KvMakeFP(fp, VarnexTest::Mol(smiles), type));
  return fp;
}

TEST(VarnexKindsCliTest, EveryKindRoundTripsThroughFpAndCompare) {
  const VarnexTest::TempDir dir;
  const std::string path = dir.File("kinds.smi", std::string(kAspirin) + " aspirin\n" + kSalicylic + " salicylic\n");
  const std::pair<const char*, unsigned> kinds[] = {
      {"Path", Varnex::KvFPType::Path},
      {"Circular", Varnex::KvFPType::Circular},
      {"Tree", Varnex::KvFPType::Tree},
      {"MACCS166", Varnex::KvFPType::MACCS166},
      {"Lingo", Varnex::KvFPType::Lingo},
      {"UnhashedPath", Varnex::KvFPType::UnhashedPath},
      {"UnhashedTree", Varnex::KvFPType::UnhashedTree},
      {"UnhashedCircular", Varnex::KvFPType::UnhashedCircular},
  };
  for (const auto& [name, code] : kinds) {
    // The kind's own default type, written as a type string that reads back.
    const Varnex::KvFPTypeBase* type = Varnex::KvGetFPType(code);
    const auto lines = Lines(RunOk("fp -in '" + path + "' -fptype " + name));
    ASSERT_EQ(lines.size(), 3u) << name;
    const char* smiles[] = {kAspirin, kSalicylic};
    for (int i = 0; i < 2; ++i) {
      const auto fields = Fields(lines[1 + i]);
      ASSERT_EQ(fields.size(), 5u) << lines[1 + i];
      EXPECT_EQ(fields[2], type->GetFPTypeString()) << name;
      EXPECT_EQ(Varnex::KvGetFPType(fields[2]), type) << name;
      const Varnex::KvFingerPrint expected = Make(smiles[i], type);
      EXPECT_EQ(fields[3], std::to_string(expected.CountBits())) << name;
      EXPECT_EQ(fields[4], expected.ToHexString()) << name;
    }

    const std::string compare = RunOk(std::string("compare -a '") + kAspirin + "' -b '" + kSalicylic +
                                      "' -fptype " + name + " -alpha 0.7 -beta 0.3");
    // The kind and the weights reach the measures (whose scores are the library's to test).
    const Varnex::KvFingerPrint a = Make(kAspirin, type), b = Make(kSalicylic, type);
    EXPECT_EQ(compare.rfind("measure\tscore\nTanimoto\t" + Score(Varnex::KvTanimoto(a, b)) + "\nTversky\t" +
                                    Score(Varnex::KvTversky(a, b, 0.7f, 0.3f)) + "\nDice\t",
                                0),
              0u)
        << name << compare;
  }
  // The JSON forms: an array of one object per molecule; one member per measure.
  auto r = RunVarnex("fp -smiles 'CCO ethanol' -numbits 64 -format json");
  EXPECT_EQ(r.out.rfind("[\n{\"index\": 0, \"name\": \"ethanol\", \"type\": \"Path,ver=2.0.0,size=64,", 0), 0u) << r.out;
  r = RunVarnex("compare -a CCO -b c1ccccc1 -format json");
  EXPECT_EQ(r.out.rfind("{\n  \"Tanimoto\": 0.000000,\n  \"Tversky\": 0.000000,\n  \"Dice\": ", 0), 0u) << r.out;
}

// Parameters left out take the kind's own defaults; parameters a kind does not
// take, or values no kind takes, are refused on one line by each command that
// takes every kind.
TEST(VarnexKindsCliTest, ParametersTakeTheKindsDefaultsOrAreRefused) {
  using namespace Varnex;
  const struct {
    const char* arguments;
    const KvFPTypeBase* type;  // the type made; nullptr: refused with `error`
    const char* error;
  } cases[] = {
      // The circular typing, not the path one.
      {"-fptype Circular -numbits 1024", KvGetCircularFPType(1024, 0, 5, 4239, 1), ""},
      {"-fptype Tree -maxd 3", KvGetTreeFPType(4096, 0, 3, 63, 1), ""},
      {"-fptype Path -a 'AtmNum|Arom' -b Order", KvGetPathFPType(4096, 0, 5, 3, 1), ""},
      {"-fptype UnhashedTree -maxdistance 3 -bondtype 'Order|InRing'",
       KvGetUnhashedTreeFPType(KvGraphFPVersion, 0, 3, 63, KvGetFPBondType("Order|InRing")), ""},
      {"-fptype UnhashedCircular -mindistance 1", KvGetUnhashedCircularFPType(KvGraphFPVersion, 1, 5, 4239, 1), ""},
      {"-fptype Tree -atomtype None", KvGetTreeFPType(4096, 0, 4, 0, 1), ""},
      {"-fptype Lingo -numbits 1024", nullptr, "-numbits does not apply to Lingo fingerprints"},
      {"-fptype MACCS166 -atomtype AtmNum", nullptr, "-atomtype does not apply to MACCS166 fingerprints"},
      {"-fptype UnhashedPath -size 1024", nullptr, "-numbits does not apply to UnhashedPath fingerprints"},
      {"-fptype Path -maxpath 4", nullptr, "-maxpathlength does not apply to Path fingerprints"},
      {"-fptype VSEPRAroType -maxdistance 3", nullptr, "-maxdistance does not apply to VSEPRAroType fingerprints"},
      {"-fptype Path -atomtype Bogus", nullptr, "-atomtype Bogus is not an atom typing"},
      {"-fptype Path -bondtype 'Order|Arom'", nullptr, "-bondtype Order|Arom is not a bond typing"},
      {"-fptype Path -mindistance 4 -maxdistance 2", nullptr, "-mindistance 4 is above -maxdistance 2"},
      {"-fptype Tree -atomtype None -bondtype None", nullptr, "-atomtype and -bondtype cannot both be None"},
  };
  const char* commands[] = {"fp -smiles C ", "compare -a C -b CC ", "explain -smiles C "};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string command = (cases[i].type ? commands[0] : commands[i % 3]) + std::string(cases[i].arguments);
    const auto r = RunVarnex(command);
    if (cases[i].type) {
      EXPECT_EQ(r.status, 0) << command << r.err;
      EXPECT_EQ(Fields(Lines(r.out).at(1)).at(2), cases[i].type->GetFPTypeString()) << command;
      continue;
    }
    EXPECT_EQ(r.status, 2) << command;
    EXPECT_EQ(r.err.rfind(std::string("varnex: ") + cases[i].error, 0), 0u) << command << ": " << r.err;
    EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    EXPECT_TRUE(r.out.empty());
  }
}

TEST(VarnexKindsCliTest, VseprCountsOfEthanol) {
  // CH3 (type 6), CH2 (9), OH (62 = 0x3e); a key holds the start atom's type
  // in its lowest byte.
  EXPECT_EQ(RunOk("fp -smiles 'CCO ethanol' -fptype VSEPRAroStereoType"),
            "index\tname\ttype\tpaths\tvolume\tcounts\n0\tethanol\tVSEPRAroStereoType,maxpathlength=8,"
            "minpathlength=0,forcepathsout=true,weightbylength=false\t9\t9\t"
            "06=1 09=1 3e=1 0609=1 0906=1 093e=1 3e09=1 06093e=1 3e0906=1\n");
  // Weighted by length: three one-atom paths e^4, four two-atom ones e^3.5,
  // two three-atom ones e^3.
  const std::string weighted = RunOk("fp -smiles CCO -fptype VSEPRAroType -weightbylength -minpath 1 -format json");
  EXPECT_NE(weighted.find("\"paths\": 6, \"volume\": 172.633, \"counts\": {\"0609\": 33.1155, "), std::string::npos)
      << weighted;
  EXPECT_EQ(Fields(Lines(RunOk("fp -smiles CCO -fptype VSEPRAroType -maxpathlength 2")).at(1)).at(5),
            "06=1 09=1 3e=1 0609=1 0906=1 093e=1 3e09=1");

  // Counts compare with two measures. CCN shares CH3, CH2 and CH3-CH2 both
  // ways: 4 of the 14 distinct keys; Tversky 0.95/0.05: 4 / (4 + 5) as each has 5 of its own.
  EXPECT_EQ(RunOk("compare -a CCO -b CCN -fptype VSEPRAroType"), "measure\tscore\nTanimoto\t0.285714\nTversky\t0.444444\n");
}

TEST(VarnexKindsCliTest, NamesFromSdDataFields) {
  const std::string sdf = std::string(VARNEX_RDKIT_DATA_DIR) + "/NCI/first_200.props.sdf";
  auto r = RunVarnex("fp -in '" + sdf + "' -fptype MACCS166 -nametag AMW");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Fields(Lines(r.out).at(1)).at(1), "122.12344");
  EXPECT_TRUE(r.err.empty()) << r.err;

  // A field no record has: one message, empty names.
  r = RunVarnex("fp -in '" + sdf + "' -fptype MACCS166 -nametag NOSUCH");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "varnex: record 0 of " + sdf + " has no data field <NOSUCH>; such records have no name\n");
  for (std::size_t i = 1; i < Lines(r.out).size(); ++i) EXPECT_EQ(Fields(Lines(r.out)[i]).at(1), "");
}

}  // namespace
