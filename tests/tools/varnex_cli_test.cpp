// End-to-end tests of the varnex program: help, unknown commands and
// parameters, bad SMILES and files, and the output of fp and compare.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

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

TEST(VarnexCliTest, UsageFaultsExitNonZeroWithOneClearMessage) {
  auto r = RunVarnex("");
  EXPECT_EQ(r.status, 2);
  r = RunVarnex("frobnicate");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "varnex: unknown command 'frobnicate'; see 'varnex help' for the commands\n");
  EXPECT_TRUE(r.out.empty());

  r = RunVarnex("compare -a C -b CC -numbits 20");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("value 20 of parameter -numbits is below the legal minimum 64"), std::string::npos);
  EXPECT_NE(r.err.find("see 'varnex compare -help'"), std::string::npos);
  EXPECT_TRUE(r.out.empty());

  r = RunVarnex("compare -a C -b");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("parameter -b needs a value"), std::string::npos);

  r = RunVarnex("compare -a C");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("parameter -b is required but has no value"), std::string::npos);

  r = RunVarnex("fp -smiles C -fptype Circle");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("is not one of the legal values: Path, Circular, Tree, MACCS166,"), std::string::npos);
}

TEST(VarnexCliTest, BadSmilesAndMissingFilesFail) {
  auto r = RunVarnex("compare -a 'c1ccccc1O' -b 'C1CC('");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("molecule -b is not a valid SMILES: C1CC("), std::string::npos);
  EXPECT_TRUE(r.out.empty());

  r = RunVarnex("fp -smiles 'not a smiles'");
  EXPECT_EQ(r.status, 1);

  r = RunVarnex("fp -in /nonexistent/mols.smi");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot read molecule file /nonexistent/mols.smi"), std::string::npos);
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
  const std::string path = ::testing::TempDir() + "varnex_cli_fp.smi";
  {
    std::ofstream out(path);
    out << "CCO ethanol\nc1ccccc1 benzene\nC1CC( broken\n";
  }
  auto r = RunVarnex("fp -in '" + path + "' -numbits 64 -fptype Path");
  std::remove(path.c_str());
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
