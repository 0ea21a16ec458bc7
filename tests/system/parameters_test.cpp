// Parameters: typed reads with their warnings, command-line parsing with
// aliases, validation of ranges, legal values and required flags, help text.

#include <gtest/gtest.h>

#include "capture_sink.h"
#include "kvsystem/parameters.h"

using KvSystem::KvInterface;
using KvSystem::KvParameter;
using VarnexTest::CaptureSink;

namespace {

// A small tree: a root with one child group of an int, a string, a float and
// a bool parameter.
struct SearchInterface {
  KvInterface root{"root"};
  KvParameter* limit = nullptr;
  KvParameter* measure = nullptr;
  KvParameter* cutoff = nullptr;
  KvParameter* descending = nullptr;

  SearchInterface() {
    KvInterface* child = root.AddInterface();
    child->SetName("search options");
    limit = child->AddParameter("int");
    limit->SetName("-limit");
    limit->AddAlias("-l");
    limit->SetBrief("Maximum number of similarity scores");
    limit->SetLegalRange("0", "100000");
    limit->SetDefault(1000);
    measure = child->AddParameter("string");
    measure->SetName("-simfunc");
    measure->AddAlias("-s");
    for (const char* name : {"Tanimoto", "Cosine", "Dice"}) measure->AddLegalValue(name);
    measure->SetDefault("Tanimoto");
    cutoff = child->AddParameter("float");
    cutoff->SetName("-cutoff");
    cutoff->SetRequired(false);
    descending = child->AddParameter("bool");
    descending->SetName("-descending");
    descending->SetDefault(true);
  }
};

// Typed reads of the four value types, and a fifth refused.
TEST(ParameterTest, TypedGetReturnsValuesAndWarnsExactly) {
  SearchInterface s;
  CaptureSink sink;
  EXPECT_EQ(s.root.Get<int>("-limit"), 1000);
  EXPECT_EQ(s.root.Get<std::string>("-simfunc"), "Tanimoto");
  EXPECT_TRUE(s.root.Get<bool>("-descending"));
  EXPECT_TRUE(s.root.HasValue<int>("-l"));
  EXPECT_FALSE(s.root.HasValue<float>("-cutoff"));  // no default, not set
  EXPECT_FALSE(s.root.HasValue<float>("-limit"));   // wrong type
  EXPECT_EQ(sink.Count(), 0u);

  EXPECT_EQ(s.root.Get<int>("-nothing"), 0);
  EXPECT_EQ(s.root.Get<float>("-cutoff"), 0.0f);
  EXPECT_EQ(s.root.Get<std::string>("-limit"), "");
  s.limit->SetDefault(std::string("many"));
  EXPECT_EQ(s.root.Get<int>("-limit"), 0);
  EXPECT_EQ(sink.Count(), 4u);
  s.cutoff->SetDefault(0.5f);
  EXPECT_EQ(s.cutoff->GetDefault(), "0.5");
  s.cutoff->SetDefault(0.1f);
  EXPECT_FLOAT_EQ(s.root.Get<float>("-cutoff"), 0.1f);
  // Only the four value types exist.
  EXPECT_EQ(KvSystem::KvGetParameterTypeId("double"), 0u);
  EXPECT_EQ(s.root.AddParameter("double"), nullptr);
  EXPECT_TRUE(sink.Contains("KvInterface::AddParameter, unknown parameter value type double"));
}

// Names against aliases of the library's own groups: tests/config.
TEST(ParameterTest, CommandLineWithAliasesNegativeValuesBareFlagsAndHelp) {
  SearchInterface s;
  CaptureSink sink;
  EXPECT_TRUE(s.root.ParseCommandLine({"-s", "Dice", "-cutoff", "-0.25", "-descending", "false"}));
  EXPECT_EQ(s.root.Get<std::string>("-simfunc"), "Dice");
  EXPECT_FLOAT_EQ(s.root.Get<float>("-cutoff"), -0.25f);
  EXPECT_FALSE(s.root.Get<bool>("-descending"));
  EXPECT_FALSE(s.root.IsHelpRequested());
  EXPECT_TRUE(s.root.ParseCommandLine({"-descending", "-l", "3", "-help"}));  // a bare flag, then the next parameter
  EXPECT_TRUE(s.root.Get<bool>("-descending"));
  EXPECT_EQ(s.root.Get<int>("-limit"), 3);
  EXPECT_TRUE(s.root.IsHelpRequested());
  EXPECT_EQ(sink.Count(), 0u);
}

TEST(ParameterTest, CommandLineProblemsAreReportedOneByOne) {
  SearchInterface s;
  CaptureSink sink;
  EXPECT_FALSE(s.root.ParseCommandLine({"-bogus", "1", "stray", "-limit", "ten", "-limit", "100001", "-simfunc", "tanimoto",
                                        "-limit"}));
  EXPECT_EQ(sink.Texts(), (std::vector<std::string>{
                              "unknown parameter -bogus",
                              "unexpected argument \"stray\" (parameters are given as -name value)",
                              "value \"ten\" of parameter -limit is not a valid int",
                              "parameter -limit is given twice",
                              "value 100001 of parameter -limit is above the legal maximum 100000",
                              "value \"tanimoto\" of parameter -simfunc is not one of the legal values: "
                              "Tanimoto, Cosine, Dice",
                              "parameter -limit is given twice",
                              "parameter -limit needs a value"}));
  // The bounds are inclusive.
  sink.Clear();
  EXPECT_TRUE(s.root.ParseCommandLine({"-limit", "0"}));
  EXPECT_TRUE(s.root.ParseCommandLine({"-limit", "100000"}));
  EXPECT_FALSE(s.root.ParseCommandLine({"-limit", "-1"}));
  EXPECT_FALSE(s.root.ParseCommandLine({"-limit", "99999999999"}));  // does not fit an int
  EXPECT_EQ(sink.Texts()[0], "value -1 of parameter -limit is below the legal minimum 0");
}

TEST(ParameterTest, ValidateChecksRequiredValuesAndDefaults) {
  KvInterface root;
  KvParameter* query = root.AddParameter("string");
  query->SetName("-query");
  KvParameter* bits = root.AddParameter("int");
  bits->SetName("-numbits");
  bits->SetLegalRange("64", "65535");
  bits->SetDefault(32);
  CaptureSink sink;
  EXPECT_FALSE(root.Validate());
  EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"parameter -query is required but has no value",
                                                     "value 32 of parameter -numbits is below the legal minimum 64"}));
  query->SetValue("CCO");
  bits->SetDefault(4096);
  EXPECT_TRUE(root.Validate());
}

TEST(ParameterTest, HelpTextShowsEveryVisibleParameter) {
  SearchInterface s;
  s.limit->AddDetail("\n\tAPI : KvFPDatabaseOptions::SetLimit method\n\tIf set to zero, then all of the similarity "
                     "scores are returned");
  s.descending->SetVisibility(2);
  const std::string help = s.root.GetHelpText();
  EXPECT_NE(help.find("search options:\n"), std::string::npos);
  EXPECT_NE(help.find("  -limit, -l <int>\n      Maximum number of similarity scores\n"
                      "      API : KvFPDatabaseOptions::SetLimit method\n"
                      "      If set to zero, then all of the similarity scores are returned\n"
                      "      default: 1000\n      legal range: 0 to 100000\n"),
            std::string::npos)
      << help;
  EXPECT_NE(help.find("legal values: Tanimoto Cosine Dice"), std::string::npos);
  EXPECT_NE(help.find("-cutoff <float> (optional)\n      default: none"), std::string::npos);
  EXPECT_NE(help.find("-descending"), std::string::npos);
  EXPECT_EQ(s.root.GetHelpText(0).find("-descending"), std::string::npos);
}

}  // namespace
