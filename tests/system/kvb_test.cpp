// KvB records: the byte layout of tags and lengths, the registry, skipping of
// unknown records, attached data and byte-exact preservation of records that
// nobody reads, and truncated input.
#include <gtest/gtest.h>

#include <string>

#include "capture_sink.h"
#include "kvsystem/kvb.h"

namespace {

using KvSystem::KvBStatus;
using KvSystem::kvisstream;
using KvSystem::kvosstream;

struct TestPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool operator==(const TestPoint&) const = default;
};

}  // namespace

template <>
struct KvSystem::KvTypeIdTraits<TestPoint> {
  static constexpr std::uint64_t Value() { return KvHashTypeName("TestPoint"); }
};

namespace {

class PointWriter final : public KvSystem::KvWriteFxn<TestPoint> {
 public:
  std::string GetTypeName() const override { return "TestPoint"; }
  std::unique_ptr<KvSystem::KvWriteFxnBase> CreateNew() const override { return std::make_unique<PointWriter>(); }
  KvBStatus Write(KvSystem::kvostream& out, const TestPoint& p) const override {
    kvosstream payload;
    KvSystem::KvBWriteUInt32(payload, static_cast<std::uint32_t>(p.x));
    KvSystem::KvBWriteUInt32(payload, static_cast<std::uint32_t>(p.y));
    return KvSystem::KvBWriteRecord(out, "TestPoint", payload.str()) ? KvBStatus::Success : KvBStatus::Failure;
  }
};

class PointReader final : public KvSystem::KvReadFxn<TestPoint> {
 public:
  std::string GetTypeName() const override { return "TestPoint"; }
  std::unique_ptr<KvSystem::KvReadFxnBase> CreateNew() const override { return std::make_unique<PointReader>(); }
  KvBStatus Read(KvSystem::kvistream& in, TestPoint& p, std::uint64_t length) const override {
    std::string bytes;
    if (KvSystem::KvBReadPayload(in, length, bytes) != KvBStatus::Success) return KvBStatus::Failure;
    kvisstream payload(bytes);
    std::uint32_t x = 0, y = 0;
    if (!KvSystem::KvBReadUInt32(payload, x) || !KvSystem::KvBReadUInt32(payload, y)) return KvBStatus::Failure;
    p = {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
    return KvBStatus::Success;
  }
};

int initializerRuns = 0;
void RegisterPoints() {
  ++initializerRuns;
  KvSystem::KvBRegisterWriter(std::make_unique<PointWriter>());
  KvSystem::KvBRegisterReader(std::make_unique<PointReader>());
  KvSystem::KvBRegisterWriter(std::make_unique<KvSystem::KvBaseKvBWriteFxn<TestPoint>>("KvBaseTestPoint"));
  KvSystem::KvBRegisterReader(std::make_unique<KvSystem::KvBaseKvBReadFxn<TestPoint>>("KvBaseTestPoint"));
}
const bool pointsRegistered = KvSystem::KvRegisterKvBInitializer(&RegisterPoints);

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes.push_back(static_cast<char>(v));
  return bytes;
}

// Tags, lengths and integers are little-endian (refused tags write nothing);
// malformed tags and payloads are refused.
TEST(KvBPrimitives, LittleEndianLayoutAndMalformedTags) {
  VarnexTest::CaptureSink sink;
  kvosstream out;
  EXPECT_FALSE(KvSystem::KvBWriteTag(out, ""));
  EXPECT_FALSE(KvSystem::KvBWriteTag(out, std::string(KvSystem::KvBMaxTagLength + 1, 'x')));
  EXPECT_EQ(sink.Count(), 2u);
  ASSERT_TRUE(KvSystem::KvBWriteTag(out, "AB"));
  ASSERT_TRUE(KvSystem::KvBWriteDataLength(out, 0x0102030405060708ULL));
  ASSERT_TRUE(KvSystem::KvBWriteUInt16(out, 0xBEEF));
  EXPECT_EQ(out.str(), Bytes({2, 0, 0, 0, 'A', 'B', 8, 7, 6, 5, 4, 3, 2, 1, 0xEF, 0xBE}));
  // Read back: the length's high bytes (the round trips below and in tests/io
  // read small ones only).
  kvisstream in(out.str().substr(6));
  std::uint64_t length = 0;
  EXPECT_EQ(KvSystem::KvBReadDataLength(in, length), KvBStatus::Success);
  EXPECT_EQ(length, 0x0102030405060708ULL);

  // Empty, huge, cut and one byte over the longest: refused, the tag kept.
  std::string tag = "kept";
  for (const std::string& bad : {Bytes({0, 0, 0, 0}), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 'a'}),
                                 Bytes({3, 0, 0, 0, 'a', 'b'}), Bytes({1, 0}),
                                 Bytes({1, 4, 0, 0}) + std::string(1025, 'x')}) {
    kvisstream in(bad);
    EXPECT_EQ(KvSystem::KvBReadTag(in, tag), KvBStatus::Failure) << bad.size();
  }
  EXPECT_EQ(tag, "kept");
  kvosstream longest;
  ASSERT_TRUE(KvSystem::KvBWriteTag(longest, std::string(KvSystem::KvBMaxTagLength, 'x')));
  kvisstream atLimit(longest.str());
  EXPECT_EQ(KvSystem::KvBReadTag(atLimit, tag), KvBStatus::Success);
  EXPECT_EQ(tag, std::string(KvSystem::KvBMaxTagLength, 'x'));

  // A payload longer than the data fails without a huge allocation.
  std::string payload = "x";
  kvisstream cut(Bytes({1, 2, 3}));
  EXPECT_EQ(KvSystem::KvBReadPayload(cut, ~0ULL, payload), KvBStatus::Failure);
  EXPECT_TRUE(payload.empty());
  kvisstream skip(Bytes({1, 2, 3}));
  EXPECT_EQ(KvSystem::KvBSkipPayload(skip, 4), KvBStatus::Failure);
}

TEST(KvBRegistry, InitializerRunsOnceBeforeTheFirstLookup) {
  ASSERT_TRUE(pointsRegistered);
  ASSERT_NE(KvSystem::KvBFindReader("TestPoint"), nullptr);
  ASSERT_NE(KvSystem::KvBFindWriter(KvSystem::KvTypeIdOf<TestPoint>()), nullptr);
  EXPECT_EQ(KvSystem::KvBFindReader("NoSuchTag"), nullptr);
  EXPECT_EQ(initializerRuns, 1);
  // A second reader for a taken tag is refused; the first stays.
  const auto* first = KvSystem::KvBFindReader("TestPoint");
  EXPECT_FALSE(KvSystem::KvBRegisterReader(std::make_unique<PointReader>()));
  EXPECT_EQ(KvSystem::KvBFindReader("TestPoint"), first);
  EXPECT_EQ(initializerRuns, 1);
}

TEST(KvBStream, ObjectsRoundTripUnknownRecordsAreSkippedAndCutRecordsFail) {
  kvosstream out;
  ASSERT_EQ(KvSystem::KvBWrite(out, TestPoint{1, -2}), KvBStatus::Success);
  ASSERT_TRUE(KvSystem::KvBWriteRecord(out, "SomethingElse", "payload"));
  ASSERT_EQ(KvSystem::KvBWrite(out, TestPoint{300, 4}), KvBStatus::Success);
  // tag (4 + 9) + length 8 + payload 8
  EXPECT_EQ(out.str().size(), 29u + 4 + 13 + 8 + 7 + 29);

  kvisstream in(out.str());
  TestPoint p;
  EXPECT_EQ(KvSystem::KvBRead(in, p), KvBStatus::Success);
  EXPECT_EQ(p, (TestPoint{1, -2}));
  EXPECT_EQ(KvSystem::KvBRead(in, p), KvBStatus::NotHandled);
  EXPECT_EQ(p, (TestPoint{1, -2}));
  EXPECT_EQ(KvSystem::KvBRead(in, p), KvBStatus::Success);
  EXPECT_EQ(p, (TestPoint{300, 4}));
  EXPECT_EQ(KvSystem::KvBRead(in, p), KvBStatus::EndOfStream);
  // Every truncation of the first record fails and leaves the object.
  for (std::size_t cut = 1; cut < 29; ++cut) {
    kvisstream part(out.str().substr(0, cut));
    TestPoint q{5, 5};
    EXPECT_EQ(KvSystem::KvBRead(part, q), KvBStatus::Failure) << "cut at " << cut;
    EXPECT_EQ(q, (TestPoint{5, 5}));
  }

  VarnexTest::CaptureSink sink;
  kvosstream none;
  EXPECT_EQ(KvSystem::KvBWrite(none, 42.0), KvBStatus::NotHandled) << "a type without writer";
  EXPECT_EQ(none.size(), 0u);
  EXPECT_EQ(sink.Count(), 1u);
}

TEST(KvBAttachedData, ItemsRoundTripUnknownRecordsSurviveByteExactAndCutStreamsFail) {
  KvSystem::KvBase source;
  source.AddData(new KvSystem::KvBaseDataT<TestPoint>(KvSystem::KvGetTag("origin"), TestPoint{0, 1}));
  source.AddData(new KvSystem::KvBaseDataT<double>(KvSystem::KvGetTag("no writer"), 2.5));
  source.AddData(new KvSystem::KvBaseDataT<TestPoint>(KvSystem::KvGetTag("corner"), TestPoint{9, 9}));
  kvosstream out;
  ASSERT_EQ(KvSystem::KvBWriteAttachedData(out, source), KvBStatus::Success);
  ASSERT_TRUE(KvSystem::KvBWriteRecord(out, "FromTheFuture", std::string("\0\1\2", 3)));

  // The bytes of an attached record (the item's tag, then a whole record of
  // the item): AttachedFingerPrintRecord in tests/io.
  kvisstream in(out.str());
  KvSystem::KvBase target;
  ASSERT_EQ(KvSystem::KvBReadAttachedData(in, target), KvBStatus::Success);
  // The points are read as points, not kept as unknown records; everything
  // is written back byte for byte.
  ASSERT_EQ(target.GetAllData().size(), 3u);
  const auto* origin = target.FindDataT<TestPoint>(KvSystem::KvGetTag("origin"));
  ASSERT_NE(origin, nullptr);
  EXPECT_EQ(origin->GetData(), (TestPoint{0, 1}));
  kvosstream again;
  ASSERT_EQ(KvSystem::KvBWriteAttachedData(again, target), KvBStatus::Success);
  EXPECT_EQ(again.str(), out.str());

  // A stream cut in its last record fails and keeps the items read before it.
  kvisstream cut(out.str().substr(0, out.str().size() - 1));
  KvSystem::KvBase partial;
  EXPECT_EQ(KvSystem::KvBReadAttachedData(cut, partial), KvBStatus::Failure);
  EXPECT_EQ(partial.GetAllData().size(), 2u);  // origin and corner
  EXPECT_EQ(partial.FindDataT<KvSystem::KvUnknownKvBData>(KvSystem::KvGetTag("KvUnknownKvBData")), nullptr);

  // A whole record whose item does not read attaches nothing.
  kvosstream item, broken;
  ASSERT_TRUE(KvSystem::KvBWriteTag(item, "corner") && KvSystem::KvBWriteRecord(item, "TestPoint", "short"));
  ASSERT_TRUE(KvSystem::KvBWriteRecord(broken, "KvBaseTestPoint", item.str()));
  kvisstream brokenIn(broken.str());
  KvSystem::KvBase none;
  EXPECT_EQ(KvSystem::KvBReadAttachedData(brokenIn, none), KvBStatus::Failure);
  EXPECT_FALSE(none.HasData());
}

}  // namespace
