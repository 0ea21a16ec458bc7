// End-to-end tests of the varnex program: help, unknown commands and
// parameters, bad SMILES and files, and the output of fp and compare.

#include <gtest/gtest.h>


#include "run_program.h"

using VarnexTest::RunVarnex;

namespace {

TEST(VarnexCliTest, HelpListsCommandsAndParameters) {
  auto r = RunVarnex("help");
  EXPECT_EQ(r.status, 0);
  for (const char* command : {"create", "search", "fp", "compare", "matrix", "histogram", "info", "help"}) EXPECT_NE(r.out.find(command), std::string::npos);

  r = RunVarnex("fp -help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("-fptype, -fpt <string> (optional)\n      Fingerprint kind\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("legal values: Path Circular Tree MACCS166 Lingo UnhashedPath UnhashedTree UnhashedCircular "
                       "VSEPRAroType VSEPRAroStereoType"),
            std::string::npos);
  EXPECT_NE(r.out.find("Tree: 4\n"), std::string::npos) << "the kinds' own maximum distances";
  EXPECT_NE(r.out.find("legal range: 64 to 65535"), std::string::npos);
  EXPECT_NE(r.out.find("default: 4096"), std::string::npos);

  r = RunVarnex("help -command compare");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: varnex compare"), std::string::npos);
  EXPECT_EQ(RunVarnex("help compare").out, r.out);
  r = RunVarnex("help nosuch");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("value \"nosuch\" of parameter -command is not one of the legal values"), std::string::npos);
}

// Usage faults exit 2, bad molecules and files 1, each with its message and
// nothing on stdout.
TEST(VarnexCliTest, FaultsExitNonZeroWithOneClearMessage) {
  const struct {
    const char* arguments;
    int status;
    const char* message;
  } cases[] = {
      {"", 2, "usage: varnex <command>"},
      {"frobnicate", 2, "varnex: unknown command 'frobnicate'; see 'varnex help' for the commands\n"},
      {"compare -a C -b CC -numbits 20", 2, "value 20 of parameter -numbits is below the legal minimum 64"},
      {"compare -a C -b CC -numbits 20", 2, "see 'varnex compare -help'"},
      {"compare -a C -b", 2, "parameter -b needs a value"},
      {"compare -a C", 2, "parameter -b is required but has no value"},
      {"fp -smiles C -fptype Circle", 2, "is not one of the legal values: Path, Circular, Tree, MACCS166,"},
      {"compare -a 'c1ccccc1O' -b 'C1CC('", 1, "molecule -b is not a valid SMILES: C1CC("},
      {"fp -smiles 'not a smiles'", 1, "varnex"},
      {"fp -in /nonexistent/mols.smi", 1, "cannot read molecule file /nonexistent/mols.smi"},
  };
  for (const auto& c : cases) {
    const auto r = RunVarnex(c.arguments);
    EXPECT_EQ(r.status, c.status) << c.arguments;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.arguments << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << c.arguments;
  }
}

TEST(VarnexCliTest, CompareGivesSixMeasuresAsTsvAndJson) {
  auto r = RunVarnex("compare -a c1ccccc1O -b c1ccccc1O");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "measure\tscore\nTanimoto\t1.000000\nTversky\t1.000000\nDice\t1.000000\nCosine\t1.000000\n"
            "Euclid\t1.000000\nManhattan\t0.000000\n");

  r = RunVarnex("compare -a CCO -b c1ccccc1 -format json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.front(), '{');
  EXPECT_NE(r.out.find("\"Tanimoto\": 0.000000"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"Manhattan\": "), std::string::npos);
}

TEST(VarnexCliTest, FpWritesTypeStringAndHexPerMolecule) {
  const VarnexTest::TempDir dir;
  const std::string path = dir.File("fp.smi", "CCO ethanol\nc1ccccc1 benzene\nC1CC( broken\n");
  auto r = RunVarnex("fp -in '" + path + "' -numbits 64 -fptype Path");
  ASSERT_EQ(r.status, 3) << r.err;  // one record could not be read
  const std::string type =
      "Path,ver=2.0.0,size=64,bonds=0-5,atype=AtmNum|Arom|Chiral|FCharge|HvyDeg|Hyb|EqHalo,btype=Order|Chiral";
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "index\tname\ttype\tbits\thex");
  EXPECT_NE(r.out.find("0\tethanol\t" + type + "\t"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1\tbenzene\t" + type + "\t"), std::string::npos);
  EXPECT_EQ(r.out.find("broken"), std::string::npos);
  EXPECT_NE(r.err.find("1 of 3 molecules could not be read"), std::string::npos) << r.err;

  r = RunVarnex("fp -smiles 'CCO ethanol' -numbits 64 -format json");
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\"name\": \"ethanol\", \"type\": \"" + type + "\""), std::string::npos) << r.out;
}

}  // namespace
