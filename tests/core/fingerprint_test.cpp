// KvFingerPrint: equality with its warnings, copies, type queries and the
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

const char* const kUntyped = "KvFingerPrint::operator== : uninitialized fingerprint type!";

KvFingerPrint MakeFP(const KvFPTypeBase* type, std::size_t size, std::vector<std::size_t> on) {
  KvFingerPrint fp;
  fp.SetSize(size);
  for (std::size_t i : on) fp.SetBitOn(i);
  fp.SetFPTypeBase(type);
  return fp;
}

TEST(FingerPrint, UntypedFingerprintsAreNeverEqualAndEachComparisonWarns) {
  CaptureSink sink;
  const KvFingerPrint a, b;
  EXPECT_FALSE(static_cast<bool>(a));
  EXPECT_FALSE(a == b);
  EXPECT_TRUE(a != b);
  EXPECT_FALSE(a == a);
  const KvFingerPrint typed = MakeFP(KvGetFPType(102, false, 0), 4096, {});
  EXPECT_TRUE(static_cast<bool>(typed));
  EXPECT_TRUE(typed != a);
  EXPECT_EQ(sink.Texts(), (std::vector<std::string>(4, kUntyped)));
}

TEST(FingerPrint, EqualityNeedsTheSameTypePointerSizeAndBits) {
  CaptureSink sink;
  const KvFPTypeBase* path = KvGetFPType(102, false, 0);
  const KvFPTypeBase* tree = KvGetFPType(105, false, 0);
  const KvFingerPrint p = MakeFP(path, 4096, {1, 77, 4095});
  EXPECT_FALSE(p == MakeFP(tree, 4096, {1, 77, 4095}));  // same bits, other type
  EXPECT_FALSE(p == MakeFP(path, 4095, {1, 77}));
  EXPECT_TRUE(p == MakeFP(KvGetPathFPType(4096, 0, 5, 191, 3), 4096, {1, 77, 4095}));

  KvFingerPrint copy(p);
  EXPECT_EQ(copy.GetFPTypeBase(), path);
  EXPECT_TRUE(copy == p);
  EXPECT_FALSE(copy != p);
  copy.SetBitOn(2);
  EXPECT_FALSE(copy == p);
  EXPECT_TRUE(copy != p);
  EXPECT_EQ(sink.Count(), 0u);
}

TEST(FingerPrint, AssignmentCopiesBitsAndTypeAndSetTypeLeavesBitsAlone) {
  const KvFPTypeBase* path = KvGetFPType(102, false, 0);
  KvFingerPrint target = MakeFP(KvGetFPType(101, false, 0), 166, {5});
  const KvFingerPrint source = MakeFP(path, 4096, {9});
  target = source;
  EXPECT_EQ(target.GetFPTypeBase(), path);
  EXPECT_EQ(target.GetSize(), 4096u);
  EXPECT_TRUE(target.IsBitOn(9));
  EXPECT_FALSE(target.IsBitOn(5));

  KvFingerPrint& self = target;
  target = self;
  EXPECT_TRUE(target == source);

  target.SetFPTypeBase(nullptr);
  EXPECT_EQ(target.GetSize(), 4096u);
  EXPECT_TRUE(target.IsBitOn(9));
  EXPECT_FALSE(static_cast<bool>(target));

}

TEST(FingerPrint, KindAndSameTypeQueries) {
  const KvFingerPrint path = MakeFP(KvGetPathFPType(1024, 0, 6, 1, 1), 1024, {});
  const KvFingerPrint samePath = MakeFP(KvGetPathFPType(1024, 0, 6, 1, 1), 1024, {3});
  const KvFingerPrint otherPath = MakeFP(KvGetPathFPType(1024, 0, 7, 1, 1), 1024, {});
  const KvFingerPrint untyped;
  CaptureSink sink;
  EXPECT_TRUE(KvIsFPType(path, KvFPType::Path));
  EXPECT_FALSE(KvIsFPType(path, KvFPType::Tree));
  EXPECT_FALSE(KvIsFPType(untyped, KvFPType::Path));
  EXPECT_TRUE(KvIsFPType(MakeFP(KvGetFPType(9001, false, 0), 0, {}), 9001));
  EXPECT_TRUE(KvIsSameFPType(path, samePath));
  EXPECT_FALSE(KvIsSameFPType(path, otherPath));
  EXPECT_EQ(sink.Count(), 0u);
  EXPECT_FALSE(KvIsSameFPType(path, untyped));
  EXPECT_FALSE(KvIsSameFPType(untyped, untyped));
  EXPECT_EQ(sink.Texts(), (std::vector<std::string>(2, "KvIsSameFPType() : uninitialized fingerprint type!")));
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
