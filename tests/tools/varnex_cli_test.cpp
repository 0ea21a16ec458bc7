// End-to-end tests of the varnex program's help (its faults are in
// varnex_input_faults_cli_test.cpp).

#include <gtest/gtest.h>

#include "run_program.h"

using VarnexTest::RunOk;

namespace {

TEST(VarnexCliTest, HelpListsCommandsAndParameters) {
  const std::string help = RunOk("help");
  for (const char* command : {"create", "search", "fp", "compare", "matrix", "histogram", "info", "help"})
    EXPECT_NE(help.find(command), std::string::npos);

  const std::string fp = RunOk("fp -help");
  for (const char* text : {"-fptype, -fpt <string> (optional)\n      Fingerprint kind\n",
                           "legal values: Path Circular Tree MACCS166 Lingo UnhashedPath UnhashedTree UnhashedCircular "
                           "VSEPRAroType VSEPRAroStereoType",
                           "Tree: 4\n" /* the kinds' own maximum distances */, "legal range: 64 to 65535",
                           "default: 4096"})
    EXPECT_NE(fp.find(text), std::string::npos) << text;

  const std::string compare = RunOk("help -command compare");
  EXPECT_NE(compare.find("usage: varnex compare"), std::string::npos);
  EXPECT_EQ(RunOk("help compare"), compare);
}

}  // namespace
