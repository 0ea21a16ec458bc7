// KvFingerPrint: equality and its warnings, copies, type queries and the
// bool-array export.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "fp_texts.h"
#include "varnex/fingerprint.h"

namespace {

using namespace Varnex;
using VarnexTest::CaptureSink;
using VarnexTest::RangesFP;

TEST(FingerPrint, EqualityNeedsTypesOneTypePointerSizeAndBitsAndTheKindQuery) {
  CaptureSink sink;
  const KvFPTypeBase* path = KvGetFPType(KvFPType::Path);
  const KvFingerPrint untyped, p = RangesFP(path, 4096, {{1, 2}, {77, 78}, {4095, 4096}});
  // Untyped: unequal under both operators, one warning per comparison.
  EXPECT_FALSE(untyped == untyped);
  EXPECT_TRUE(untyped != p);
  EXPECT_EQ(sink.Texts(), std::vector<std::string>(2, "KvFingerPrint::operator== : uninitialized fingerprint type!"));
  sink.Clear();
  // Same bits under another type; fewer bits; the same bits under the same type.
  EXPECT_FALSE(p == RangesFP(KvGetFPType(KvFPType::Tree), 4096, {{1, 2}, {77, 78}, {4095, 4096}}));
  EXPECT_FALSE(p == RangesFP(path, 4095, {{1, 2}, {77, 78}}));
  EXPECT_TRUE(p == RangesFP(KvGetPathFPType(4096, 0, 5, 191, 3), 4096, {{1, 2}, {77, 78}, {4095, 4096}}));
  KvFingerPrint copy(p);
  copy.SetBitOn(2);
  EXPECT_TRUE(copy != p);
  copy = p;
  EXPECT_TRUE(copy == p);
  EXPECT_EQ(sink.Count(), 0u);
  // The kind query (KvIsSameFPType's answers and message: MeasureTable).
  EXPECT_TRUE(KvIsFPType(p, KvFPType::Path));
  EXPECT_FALSE(KvIsFPType(p, KvFPType::Tree));
  EXPECT_FALSE(KvIsFPType(untyped, KvFPType::Path));
  // Setting the type leaves the bits alone.
  copy.SetFPTypeBase(nullptr);
  EXPECT_FALSE(static_cast<bool>(copy));
  EXPECT_EQ(copy.CountBits(), 3u);
}

TEST(FingerPrint, BoolArrayHasOneEntryPerBitAndWritesNothingElse) {
  bool out[12];
  std::fill(std::begin(out), std::end(out), true);
  KvFPToBoolArray(KvFingerPrint(), out);
  EXPECT_TRUE(std::all_of(std::begin(out), std::end(out), [](bool b) { return b; }));
  KvFPToBoolArray(RangesFP(nullptr, 10, {{0, 1}, {3, 4}, {9, 10}}), out);
  const bool expected[12] = {true, false, false, true, false, false, false, false, false, true, true, true};
  EXPECT_TRUE(std::equal(std::begin(out), std::end(out), std::begin(expected)));
}

}  // namespace
