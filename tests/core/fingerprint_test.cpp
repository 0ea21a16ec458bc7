// KvFingerPrint: equality and its warnings, copies, type queries and the
// bool-array export.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "varnex/fingerprint.h"

namespace {

using namespace Varnex;
using VarnexTest::CaptureSink;

KvFingerPrint MakeFP(const KvFPTypeBase* type, std::size_t size, std::vector<std::size_t> on) {
  KvFingerPrint fp;
  fp.SetSize(size);
  for (std::size_t i : on) fp.SetBitOn(i);
  fp.SetFPTypeBase(type);
  return fp;
}

TEST(FingerPrint, EqualityNeedsTypesOneTypePointerSizeAndBits) {
  CaptureSink sink;
  const KvFPTypeBase* path = KvGetFPType(KvFPType::Path);
  const KvFingerPrint untyped, p = MakeFP(path, 4096, {1, 77, 4095});
  // Untyped: unequal under both operators, one warning per comparison.
  EXPECT_FALSE(untyped == untyped);
  EXPECT_TRUE(untyped != p);
  EXPECT_EQ(sink.Texts(), std::vector<std::string>(2, "KvFingerPrint::operator== : uninitialized fingerprint type!"));
  sink.Clear();
  EXPECT_FALSE(p == MakeFP(KvGetFPType(KvFPType::Tree), 4096, {1, 77, 4095}));  // same bits, other type
  EXPECT_FALSE(p == MakeFP(path, 4095, {1, 77}));
  EXPECT_TRUE(p == MakeFP(KvGetPathFPType(4096, 0, 5, 191, 3), 4096, {1, 77, 4095}));
  KvFingerPrint copy(p);
  copy.SetBitOn(2);
  EXPECT_TRUE(copy != p);
  copy = p;
  EXPECT_TRUE(copy == p);
  EXPECT_EQ(sink.Count(), 0u);
  // Setting the type leaves the bits alone.
  copy.SetFPTypeBase(nullptr);
  EXPECT_FALSE(static_cast<bool>(copy));
  EXPECT_EQ(copy.CountBits(), 3u);
}

// KvIsSameFPType's answers and message: Measures.TypeMismatchGivesZeroAndOneError.
TEST(FingerPrint, KindQuery) {
  const KvFingerPrint path = MakeFP(KvGetPathFPType(1024, 0, 6, 1, 1), 1024, {});
  EXPECT_TRUE(KvIsFPType(path, KvFPType::Path));
  EXPECT_FALSE(KvIsFPType(path, KvFPType::Tree));
  EXPECT_FALSE(KvIsFPType(KvFingerPrint(), KvFPType::Path));
}

TEST(FingerPrint, BoolArrayHasOneEntryPerBitAndWritesNothingElse) {
  bool out[12];
  std::fill(std::begin(out), std::end(out), true);
  KvFPToBoolArray(KvFingerPrint(), out);
  EXPECT_TRUE(std::all_of(std::begin(out), std::end(out), [](bool b) { return b; }));
  KvFPToBoolArray(MakeFP(nullptr, 10, {0, 3, 9}), out);
  const bool expected[12] = {true, false, false, true, false, false, false, false, false, true, true, true};
  EXPECT_TRUE(std::equal(std::begin(out), std::end(out), std::begin(expected)));
}

}  // namespace
