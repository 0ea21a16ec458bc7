// Histogram bin arithmetic, derived values, merges and the variogram.

#include "varnex/histogram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "capture_sink.h"

using Varnex::KvFPHistogram;
using Varnex::KvFPVariogram;

namespace {

TEST(Histogram, DefaultBinEdges) {
  const KvFPHistogram h;
  EXPECT_EQ(h.NumBins(), 200u);
  EXPECT_DOUBLE_EQ(h.GetBinWidth(), 0.005);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (auto [x, bin] : {std::pair{0.0, 0u}, {1.0, 199u}, {7.0, 199u}, {-3.0, 0u}, {0.0051, 1u}, {nan, 0u},
                        {0.005, 1u}, {0.0049, 0u}, {0.9999, 199u}, {inf, 199u}, {-inf, 0u}}) {
    EXPECT_EQ(h.GetBinIdx(x), bin) << "double " << x;
    EXPECT_EQ(h.GetBinIdx(static_cast<float>(x)), bin) << "float " << x;
  }
}

TEST(Histogram, InfiniteOrDegenerateRangesStayInBounds) {
  const double inf = std::numeric_limits<double>::infinity();
  KvFPHistogram wide(4, -inf, inf);
  EXPECT_LT(wide.AddSample(0.5), 4u);
  KvFPHistogram flat(4, 1.0, 1.0);
  EXPECT_EQ(flat.AddSample(1.0), 0u);  // at the minimum: the first rule wins
  EXPECT_EQ(flat.AddSample(2.0), 3u);
  EXPECT_EQ(flat.AddSample(0.5), 0u);
  KvFPHistogram none(0, 0.0, 1.0);
  EXPECT_EQ(none.AddSample(0.5), 0u);
  EXPECT_EQ(none.NumSamples(), 0u);
}

TEST(Histogram, DerivedValues) {
  KvFPHistogram h(4, 0.0, 1.0);
  EXPECT_EQ(KvSystem::KvCollect(h.GetDensity()), (std::vector<double>(4, 0.0)));  // empty: zeros
  EXPECT_EQ(h.Mean(), 0.0);
  EXPECT_EQ(h.Std(), 0.0);
  EXPECT_EQ(h.AddSample(0.1), 0u);
  EXPECT_EQ(h.AddSample(0.1f), 0u);
  EXPECT_EQ(h.AddSample(0.6), 2u);
  EXPECT_EQ(h.NumSamples(), 3u);
  EXPECT_EQ(KvSystem::KvCollect(h.GetCounts()), (std::vector<unsigned>{2, 0, 1, 0}));
  const auto density = KvSystem::KvCollect(h.GetDensity());
  ASSERT_EQ(density.size(), 4u);
  EXPECT_DOUBLE_EQ(density[0], 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(density[2], 1.0 / 3.0);
  const double mean = 0.125 * 2.0 / 3.0 + 0.625 * 1.0 / 3.0;
  EXPECT_DOUBLE_EQ(h.Mean(), mean);
  const double var = 2.0 / 3.0 * (0.125 - mean) * (0.125 - mean) + 1.0 / 3.0 * (0.625 - mean) * (0.625 - mean);
  EXPECT_DOUBLE_EQ(h.Std(), std::sqrt(var));
  EXPECT_EQ(KvSystem::KvCollect(h.GetBinCenters()), (std::vector<double>{0.125, 0.375, 0.625, 0.875}));

  const KvFPHistogram two(4, 0.0, 2.0);
  EXPECT_EQ(KvSystem::KvCollect(two.GetBinBoundaries()), (std::vector<double>{0.0, 0.5, 1.0, 1.5, 2.0}));

  const KvFPHistogram fromCounts(std::vector<std::size_t>{1, 3}, 0.0, 1.0);
  EXPECT_EQ(fromCounts.NumBins(), 2u);
  EXPECT_EQ(fromCounts.NumSamples(), 4u);
  EXPECT_DOUBLE_EQ(fromCounts.GetBinWidth(), 0.5);
}

TEST(Histogram, MergeRequiresSameRangeAndBins) {
  // Limits are compared exactly: 0.1 + 0.2 is not 0.3. (Each refusal's text
  // is walked by the message table.)
  KvFPHistogram a(10, 0.0, 0.3), b(10, 0.0, 0.1 + 0.2);
  a.AddSample(0.16);
  b.AddSample(0.16);
  VarnexTest::CaptureSink refused;
  a += b;
  EXPECT_EQ(refused.Count(), 1u);
  EXPECT_EQ(a.NumSamples(), 1u);
  KvFPHistogram c(10, 0.0, 0.3);
  c.AddSample(0.16);
  c.AddSample(0.01);
  a += c;
  EXPECT_EQ(refused.Count(), 1u);
  EXPECT_EQ(a.NumSamples(), 3u);
  EXPECT_EQ(a.GetCount(5), 2u);
  EXPECT_EQ(a.GetCount(0), 1u);
}

TEST(Variogram, SemivariancePerOccupiedBin) {
  KvFPVariogram v(10, 0.0, 1.0);
  EXPECT_EQ(v.AddSample(0.3f, 2.0f), 3u);
  EXPECT_EQ(v.AddSample(0.31f, 4.0f), 3u);
  EXPECT_EQ(KvSystem::KvCollect(v.GetVariogram()), std::vector<double>{5.0});
  v.AddSample(0.95f, 1.0f);
  EXPECT_EQ(KvSystem::KvCollect(v.GetVariogram()), (std::vector<double>{5.0, 0.5}));

  KvFPVariogram merged(10, 0.0, 1.0);
  merged += v;
  merged += v;
  EXPECT_EQ(KvSystem::KvCollect(merged.GetVariogram()), (std::vector<double>{5.0, 0.5}));
  EXPECT_EQ(merged.GetSum(9), 2.0);
}

TEST(Variogram, FromCountsAndSums) {
  const KvFPVariogram v(std::vector<std::size_t>{2, 0, 1}, std::vector<float>{20.0f, 0.0f, 3.0f}, 0.0, 1.0);
  EXPECT_EQ(KvSystem::KvCollect(v.GetVariogram()), (std::vector<double>{5.0, 1.5}));
  VarnexTest::CaptureSink sink;
  const KvFPVariogram shortSums(std::vector<std::size_t>{2, 1}, std::vector<float>{4.0f}, 0.0, 1.0);
  EXPECT_EQ(sink.Count(), 1u);
  EXPECT_EQ(KvSystem::KvCollect(shortSums.GetVariogram()), (std::vector<double>{1.0, 0.0}));
}

}  // namespace
