// Search options: measure and Tversky validation with their warnings, and
// the processor-count rule.

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "kvsystem/platform.h"
#include "varnex/dboptions.h"

namespace {

using namespace Varnex;
using KvSystem::KvErrorLevel;
using VarnexTest::CaptureSink;

// The setters take every value of their ranges, and outside them keep the
// previous one with a warning; the constructor falls back to Tanimoto.
TEST(DatabaseOptions, MeasureAndTverskyValidation) {
  CaptureSink sink;
  KvFPDatabaseOptions options;
  for (unsigned m = 1; m <= 6; ++m) {
    options.SetSimFunc(m);
    EXPECT_EQ(options.GetSimFunc(), m);
  }
  options.SetTverskyCoeffs(1.0f, 0.0f);
  options.SetTverskyCoeffs(0.0f, 0.0f);  // the sum is not constrained
  EXPECT_EQ(sink.Count(), 0u);
  options.SetTverskyCoeffs(0.3f, 0.6f);
  options.SetSimFunc(0);
  options.SetSimFunc(7);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (auto [alpha, beta] : std::vector<std::pair<float, float>>{{1.01f, 0.5f}, {0.5f, -0.1f}, {nan, 0.5f}, {0.5f, nan}})
    options.SetTverskyCoeffs(alpha, beta);
  EXPECT_EQ(options.GetSimFunc(), KvSimMeasure::Manhattan);
  EXPECT_EQ(options.GetTverskyAlpha(), 0.3f);
  EXPECT_EQ(options.GetTverskyBeta(), 0.6f);
  EXPECT_EQ(sink.Count(), 6u);
  EXPECT_EQ(sink.Messages()[0].level, KvErrorLevel::Warning);

  sink.Clear();
  const KvFPDatabaseOptions bad(10, 7);
  EXPECT_EQ(bad.GetLimit(), 10u);
  EXPECT_EQ(bad.GetSimFunc(), KvSimMeasure::Tanimoto);
  EXPECT_EQ(sink.Count(), 1u);
  EXPECT_EQ(KvFPDatabaseOptions(5, KvSimMeasure::Dice).GetTverskyBeta(), 0.05f);
}

TEST(DatabaseOptions, ProcessorCountRule) {
  EXPECT_EQ(KvGetEffectiveNumProcessors(0, 8), 8u);
  EXPECT_EQ(KvGetEffectiveNumProcessors(100, 8), 16u);
  EXPECT_EQ(KvGetEffectiveNumProcessors(16, 8), 16u);
  EXPECT_EQ(KvGetEffectiveNumProcessors(3, 8), 3u);
  KvFPDatabaseOptions options;  // the options follow the rule
  options.SetNumProcessors(1000000);
  EXPECT_EQ(options.GetNumProcessors(), 2 * KvSystem::KvGetNumProcessors());
}

}  // namespace
