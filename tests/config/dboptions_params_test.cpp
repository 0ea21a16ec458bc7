// Search option and memory-type parameters: defaults from options, the mask
// form, setup with valid and invalid measure names, memory-type round trip.

#include <gtest/gtest.h>

#include <tuple>

#include "capture_sink.h"
#include "kvsystem/parameters.h"
#include "varnex/config.h"

using KvSystem::KvInterface;
using VarnexTest::CaptureSink;
using namespace Varnex;

namespace {

std::vector<std::string> Names(const KvInterface& group) {
  std::vector<std::string> names;
  for (const auto& p : group.GetParameters()) names.push_back(p->GetName());
  return names;
}

TEST(ConfigureFPDatabaseOptionsTest, DefaultsFromOptions) {
  KvInterface itf;
  ASSERT_TRUE(KvConfigureFPDatabaseOptions(itf, KvFPDatabaseOptions()));
  ASSERT_EQ(itf.GetInterfaces().size(), 1u);
  EXPECT_EQ(itf.GetInterfaces()[0]->GetName(), "fingerprint database search options");
  EXPECT_EQ(Names(*itf.GetInterfaces()[0]), (std::vector<std::string>{"-limit", "-simfunc", "-cutoff", "-descending"}));
  EXPECT_EQ(itf.Get<int>("-l"), 1000);
  EXPECT_EQ(itf.Get<std::string>("-s"), "Tanimoto");
  const KvSystem::KvParameter* cutoff = itf.GetParameter("-c");
  ASSERT_NE(cutoff, nullptr);
  EXPECT_FALSE(cutoff->HasDefault());
  EXPECT_FALSE(cutoff->IsRequired());
  EXPECT_TRUE(itf.Get<bool>("-d"));
  EXPECT_EQ(itf.GetParameter("-simfunc")->GetLegalValues(),
            (std::vector<std::string>{"Tanimoto", "Cosine", "Dice", "Euclid", "Tversky", "Manhattan"}));

  // Other options give other defaults: set up again, they come back.
  KvFPDatabaseOptions options(25, KvSimMeasure::Dice), back;
  options.SetCutoff(0.5f);
  options.SetDescendingOrder(false);
  KvInterface other;
  ASSERT_TRUE(KvConfigureFPDatabaseOptions(other, options) && KvSetupFPDatabaseOptions(back, other));
  EXPECT_EQ(std::make_tuple(back.GetLimit(), back.GetSimFunc(), back.GetCutoff(), back.GetDescendingOrder()),
            std::make_tuple(25u, unsigned{KvSimMeasure::Dice}, 0.5f, false));

  // The mask form: the parameters of its bits, with its own defaults.
  KvInterface masked;
  ASSERT_TRUE(KvConfigureFPDatabaseOptions(masked, 7u));
  EXPECT_EQ(Names(*masked.GetInterfaces()[0]), (std::vector<std::string>{"-limit", "-simfunc", "-cutoff"}));
  EXPECT_EQ(masked.Get<int>("-limit"), 10);

  KvInterface none;
  ASSERT_TRUE(KvConfigureFPDatabaseOptions(none, 0u));
  EXPECT_TRUE(Names(*none.GetInterfaces().at(0)).empty());
  // Options set up from a group without parameters keep every value.
  KvFPDatabaseOptions kept(7, KvSimMeasure::Cosine);
  EXPECT_TRUE(KvSetupFPDatabaseOptions(kept, none));
  EXPECT_EQ(std::make_tuple(kept.GetLimit(), kept.GetSimFunc(), kept.HasCutoff(), kept.GetDescendingOrder()),
            std::make_tuple(7u, unsigned{KvSimMeasure::Cosine}, false, true));
}

TEST(SetupFPDatabaseOptionsTest, ReadsValuesAndKeepsMeasureOnUnknownName) {
  CaptureSink sink;
  KvInterface itf;
  ASSERT_TRUE(KvConfigureFPDatabaseOptions(itf, KvFPDatabaseOptions()));
  ASSERT_TRUE(itf.ParseCommandLine({"-simfunc", "Dice", "-limit", "0", "-cutoff", "0.7", "-descending", "no"}));
  KvFPDatabaseOptions options;
  EXPECT_TRUE(KvSetupFPDatabaseOptions(options, itf));
  EXPECT_EQ(options.GetSimFunc(), KvSimMeasure::Dice);
  EXPECT_EQ(options.GetLimit(), 0u);
  EXPECT_TRUE(options.HasCutoff());
  EXPECT_FLOAT_EQ(options.GetCutoff(), 0.7f);
  EXPECT_FALSE(options.GetDescendingOrder());
  EXPECT_EQ(sink.Count(), 0u);

  // A lower-case name is not in the namespace: SetSimFunc(0) warns and keeps Dice.
  itf.GetParameter("-simfunc")->SetValue("dice");
  EXPECT_TRUE(KvSetupFPDatabaseOptions(options, itf));
  EXPECT_EQ(options.GetSimFunc(), KvSimMeasure::Dice);
  EXPECT_EQ(sink.Count(), 1u);
}

TEST(MemoryTypeParameterTest, DefaultAndReadBack) {
  CaptureSink sink;
  KvInterface itf;
  ASSERT_TRUE(KvConfigureFPDatabaseMemoryType(itf, 2, "-memtype", "-mt"));
  EXPECT_EQ(itf.GetInterfaces()[0]->GetName(), "fingerprint database options");
  const KvSystem::KvParameter* p = itf.GetParameter("-mt");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->GetDefault(), "in-memory");
  EXPECT_EQ(p->GetLegalValues(), (std::vector<std::string>{"memory-mapped", "in-memory", "CUDA"}));
  EXPECT_EQ(KvGetFPDatabaseMemoryType(itf, "-memtype"), 2u);
  ASSERT_TRUE(itf.ParseCommandLine({"-mt", "memory-mapped"}));
  EXPECT_EQ(KvGetFPDatabaseMemoryType(itf, "-memtype"), 1u);
  EXPECT_EQ(sink.Count(), 0u);

  EXPECT_EQ(KvGetFPDatabaseMemoryType(itf, "-nothere"), 0u);
  EXPECT_EQ(sink.Count(), 1u);

  KvInterface invalid;
  ASSERT_TRUE(KvConfigureFPDatabaseMemoryType(invalid, 9, "-memtype", "-mt"));
  EXPECT_EQ(invalid.GetParameter("-memtype")->GetDefault(), "invalid");
  EXPECT_EQ(KvGetFPDatabaseMemoryType(invalid, "-memtype"), 0u);
}

}  // namespace
