// End-to-end tests of the varnex program's help (its faults are in
// varnex_input_faults_cli_test.cpp).

#include <gtest/gtest.h>

#include "run_program.h"

using VarnexTest::RunVarnex;

namespace {

TEST(VarnexCliTest, HelpListsCommandsAndParameters) {
  auto r = RunVarnex("help");
  EXPECT_EQ(r.status, 0);
  for (const char* command : {"create", "search", "fp", "compare", "matrix", "histogram", "info", "help"})
    EXPECT_NE(r.out.find(command), std::string::npos);

  r = RunVarnex("fp -help");
  EXPECT_EQ(r.status, 0);
  for (const char* text : {"-fptype, -fpt <string> (optional)\n      Fingerprint kind\n",
                           "legal values: Path Circular Tree MACCS166 Lingo UnhashedPath UnhashedTree UnhashedCircular "
                           "VSEPRAroType VSEPRAroStereoType",
                           "Tree: 4\n" /* the kinds' own maximum distances */, "legal range: 64 to 65535",
                           "default: 4096"})
    EXPECT_NE(r.out.find(text), std::string::npos) << text;

  r = RunVarnex("help -command compare");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: varnex compare"), std::string::npos);
  EXPECT_EQ(RunVarnex("help compare").out, r.out);
}

}  // namespace
