// End-to-end tests of varnex explain: one line per pattern, the bit filter,
// JSON output, the unhashed kinds, and the drawings of -svg against the
// library's.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "molecules.h"
#include "run_program.h"
#include "temp_dir.h"
#include "varnex/fptypes.h"
#include "varnex/pictures.h"
#include "xml_tree.h"

using VarnexTest::Fields;
using VarnexTest::Lines;
using VarnexTest::ParseXml;
using VarnexTest::ReadFile;
using VarnexTest::RunOk;
using VarnexTest::RunVarnex;

namespace {

TEST(VarnexExplainCliTest, OneLinePerPatternAndBitFilter) {
  const std::vector<std::string> lines = Lines(RunOk("explain -smiles CCO -fptype Path -numbits 1024"));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "bit\tidentifier\tpattern\tatoms");
  const std::string bit = Fields(lines[1]).at(0);  // the four fields are the exact outputs' below

  const std::vector<std::string> kept = Lines(RunOk("explain -smiles CCO -fptype Path -numbits 1024 -bit " + bit));
  ASSERT_GE(kept.size(), 2u);
  for (size_t i = 1; i < kept.size(); ++i) EXPECT_EQ(kept[i].substr(0, bit.size() + 1), bit + "\t");
  EXPECT_LT(kept.size(), lines.size());

  const std::string json = RunOk("explain -smiles C -fptype Circular -format json");
  EXPECT_EQ(json.rfind("[\n  {\"bit\": ", 0), 0u) << json;
  EXPECT_NE(json.find("\"atoms\": [0]"), std::string::npos) << json;
}

TEST(VarnexExplainCliTest, EveryKindListsItsPatternsAndVseprIsRefused) {
  EXPECT_EQ(RunOk("explain -smiles CCO -fptype UnhashedPath -maxdistance 0"),
            "bit\tidentifier\tpattern\tatoms\n\t\t[C;D1;^3]\t0\n\t\t[C;D2;^3]\t1\n\t\t[O;D1;^3]\t2\n");
  // Lingo: its substrings; MACCS: the key (bit and number) and its pattern.
  EXPECT_EQ(RunOk("explain -smiles OCCCl -fptype Lingo"), "bit\tidentifier\tpattern\tatoms\n\t\tOCCL\t0,1,2,3\n");
  EXPECT_EQ(RunOk("explain -smiles CCO -fptype MACCS166 -bit 163"), "bit\tidentifier\tpattern\tatoms\n163\t164\t[#8]\t2\n");
  for (const char* kind : {"UnhashedTree", "Lingo"}) {
    const auto r = RunVarnex(std::string("explain -smiles CCO -bit 3 -fptype ") + kind);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, std::string("varnex explain: ") + kind +
                         " fingerprints have no bits; -bit is for Path, Tree, Circular and MACCS166\n");
  }
  const auto r = RunVarnex("explain -smiles CCO -fptype VSEPRAroType");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "varnex explain: VSEPRAroType fingerprints have no patterns; explain takes every other kind\n");
}

// The drawing is the library's for the kind, molecule and bit asked for
// (which atoms a panel lights up is the pictures library's to test); a bit no
// pattern sets gives no lines and a grid with a note.
TEST(VarnexExplainSvgTest, TheDrawingIsTheLibrarysForTheKindAndBit) {
  const VarnexTest::TempDir dir;
  const std::string svg = dir.Path("picture.svg");
  const std::string aspirin = "CC(=O)Oc1ccccc1C(=O)O";
  for (const auto& [smiles, kind, code, bit] : {std::tuple{aspirin, "Path", Varnex::KvFPType::Path, -1},
                                                {aspirin, "Circular", Varnex::KvFPType::Circular, -1},
                                                {aspirin, "MACCS166", Varnex::KvFPType::MACCS166, 163},
                                                {std::string("C"), "Circular", Varnex::KvFPType::Circular, 0}}) {
    RunOk("explain -smiles '" + smiles + "' -fptype " + kind + " -bit " + std::to_string(bit) + " -svg '" + svg + "'");
    EXPECT_EQ(ReadFile(svg), Varnex::KvDrawFPPatterns(VarnexTest::Mol(smiles), Varnex::KvGetFPType(code), bit)) << kind;
  }
  EXPECT_EQ(ParseXml(ReadFile(svg))->FindAll("text", "note").at(0)->AllText(), "no pattern of this molecule sets bit 0");
  EXPECT_EQ(RunOk("explain -smiles C -fptype Circular -bit 0"), "bit\tidentifier\tpattern\tatoms\n");
  EXPECT_EQ(RunOk("explain -smiles C -fptype Circular -format json -bit 0"), "[]\n");
}

}  // namespace
