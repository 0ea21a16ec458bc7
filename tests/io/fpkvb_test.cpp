// The "KvFingerPrint" and "KvBaseKvFingerPrint" binary records: round trips
// for every kind, exact payload sizes and bytes, legacy kinds, unknown kinds,
// short payloads and the registration made at load.
#include <gtest/gtest.h>

#include <cstring>

#include "capture_sink.h"
#include "fp_test_util.h"
#include "molecules.h"
#include "kvsystem/kvb.h"
#include "varnex/fpio.h"

namespace {

using KvSystem::KvBStatus;
using KvSystem::kvisstream;
using KvSystem::kvosstream;
using Varnex::KvFingerPrint;

std::string Record(const KvFingerPrint& fp) {
  kvosstream out;
  EXPECT_EQ(KvSystem::KvBWrite(out, fp), KvBStatus::Success);
  return out.str();
}

// The payload of the record that is all of `stream`, checking its tag.
std::string Payload(const std::string& stream, const std::string& tag = "KvFingerPrint") {
  kvisstream in(stream);
  std::string read, payload;
  std::uint64_t length = 0;
  EXPECT_EQ(KvSystem::KvBReadTag(in, read), KvBStatus::Success);
  EXPECT_EQ(read, tag);
  EXPECT_EQ(KvSystem::KvBReadDataLength(in, length), KvBStatus::Success);
  EXPECT_EQ(KvSystem::KvBReadPayload(in, length, payload), KvBStatus::Success);
  EXPECT_EQ(in.peek(), -1);
  return payload;
}

std::string LE(std::uint64_t value, int bytes) {
  std::string text;
  for (int i = 0; i < bytes; ++i) text.push_back(static_cast<char>(value >> (8 * i)));
  return text;
}


TEST(FingerPrintRecord, EveryKindRoundTripsWithTheSameTypeAndBitsButUnhashedOnes) {
  VarnexTest::CaptureSink sink;
  const KvFingerPrint fps[] = {VarnexIoTest::PathFP(), VarnexIoTest::MACCSFP(), VarnexIoTest::LingoFP(),
                               VarnexIoTest::TreeFP(), VarnexIoTest::CircularFP(),
                               VarnexIoTest::RangesFP(Varnex::KvGetPathFPType(33, 1, 7, 1, 2), 33, {{0, 3}, {32, 33}}),
                               VarnexIoTest::RangesFP(Varnex::KvGetMACCS166FPType(0x2020), 0, {})};
  kvosstream stream;  // all of them in one stream, read into one fingerprint that each record replaces
  for (const auto& fp : fps) ASSERT_EQ(KvSystem::KvBWrite(stream, fp), KvBStatus::Success);
  kvisstream in(stream.str());
  KvFingerPrint back;
  for (const auto& fp : fps) {
    ASSERT_EQ(KvSystem::KvBRead(in, back), KvBStatus::Success);
    EXPECT_EQ(back.GetFPTypeBase(), fp.GetFPTypeBase()) << fp.GetFPTypeBase()->GetFPTypeString();
    EXPECT_EQ(back, fp) << fp.GetFPTypeBase()->GetFPTypeString();
  }
  EXPECT_EQ(KvSystem::KvBRead(in, back), KvBStatus::EndOfStream);
  EXPECT_EQ(sink.Count(), 0u);
  // Unhashed and untyped fingerprints have no record: an error each, nothing written.
  kvosstream none;
  const Varnex::KvFPTypeBase* unhashed = Varnex::KvGetUnhashedPathFPType(0x2000, 0, 5, 191, 3);
  EXPECT_EQ(KvSystem::KvBWrite(none, VarnexIoTest::RangesFP(unhashed, 16, {{0, 16}})), KvBStatus::NotHandled);
  EXPECT_EQ(KvSystem::KvBWrite(none, KvFingerPrint()), KvBStatus::NotHandled);
  EXPECT_EQ(none.size(), 0u);
  EXPECT_EQ(sink.Count(), 2u);
  EXPECT_EQ(sink.Messages()[0].level, KvSystem::KvErrorLevel::Error);
}

// The payloads the library writes; then records written by hand, in one
// stream: the three legacy kinds (read as version 0, each with a warning), a
// current kind whose parameter word holds stray bits (kept as they are), an
// unknown kind (an error and no type; the stream stays in step) and a record
// written by the library.
TEST(FingerPrintRecord, PayloadLayoutAndLegacyStrayAndUnknownKindsInOneStream) {
  const KvFingerPrint path = VarnexIoTest::PathFP();
  ASSERT_EQ(path.GetSize(), 4096u);
  const std::string pathPayload = Payload(Record(path));
  ASSERT_EQ(pathPayload.size(), 530u);  // 4 + 2 + 8 + 4 + 512
  const auto* pathType = static_cast<const Varnex::KvFPGraphTypeBase*>(path.GetFPTypeBase());
  EXPECT_EQ(pathPayload.substr(0, 18),
            LE(102, 4) + LE(0x2000, 2) + LE(pathType->GetParameterWord(), 8) + LE(4096, 4));
  EXPECT_EQ(0, std::memcmp(pathPayload.data() + 18, path.GetBytes(), 512));

  const KvFingerPrint maccs = VarnexIoTest::MACCSFP();
  const std::string maccsPayload = Payload(Record(maccs));
  ASSERT_EQ(maccsPayload.size(), 34u);  // 4 + 2 + 4 + 24
  EXPECT_EQ(maccsPayload.substr(0, 10), LE(101, 4) + LE(0x2020, 2) + LE(166, 4));

  VarnexTest::CaptureSink sink;
  const std::uint64_t word = Varnex::KvMakeFPParameterWord(64, 0, 5, 191, 3);
  const std::uint64_t stray = Varnex::KvMakeFPParameterWord(32, 1, 2, 3, 4) | (0xFULL << 40) | (0xAULL << 60);
  kvosstream out;
  for (const std::string& payload :
       {LE(2, 4) + LE(word, 8) + LE(64, 4) + LE(0x80000001u, 4) + LE(0x00000010u, 4),  // bits 0, 31 and 36
        LE(1, 4) + LE(0, 4), LE(3, 4) + LE(8, 4) + LE(0x43, 4), LE(104, 4) + LE(0x2000, 2) + LE(stray, 8) + LE(0, 4),
        LE(9000, 4) + LE(0x2000, 2) + LE(0, 4)})
    ASSERT_TRUE(KvSystem::KvBWriteRecord(out, "KvFingerPrint", payload));
  ASSERT_EQ(KvSystem::KvBWrite(out, VarnexIoTest::MACCSFP()), KvBStatus::Success);
  kvisstream in(out.str());

  KvFingerPrint fp;
  ASSERT_EQ(KvSystem::KvBRead(in, fp), KvBStatus::Success);
  EXPECT_EQ(fp.GetFPTypeBase(), Varnex::KvGetPathFPType(0, 64, 0, 5, 191, 3));
  EXPECT_EQ(VarnexTest::OnBits(fp), (std::vector<size_t>{0, 31, 36}));
  EXPECT_EQ(fp.GetSize(), 64u);
  ASSERT_EQ(KvSystem::KvBRead(in, fp), KvBStatus::Success);
  EXPECT_EQ(fp.GetFPTypeBase(), Varnex::KvGetMACCS166FPType(0));
  ASSERT_EQ(KvSystem::KvBRead(in, fp), KvBStatus::Success);
  EXPECT_EQ(fp.GetFPTypeBase(), Varnex::KvGetLingoFPType(0));
  EXPECT_EQ(fp.GetBytes()[0], 0x43);
  ASSERT_EQ(KvSystem::KvBRead(in, fp), KvBStatus::Success);
  ASSERT_TRUE(Varnex::KvIsFPType(fp, 104));
  EXPECT_EQ(static_cast<const Varnex::KvFPCircularType*>(fp.GetFPTypeBase())->GetParameterWord(), stray);
  EXPECT_EQ(KvSystem::KvBRead(in, fp), KvBStatus::Failure);
  EXPECT_FALSE(fp);
  EXPECT_EQ(KvSystem::KvBRead(in, fp), KvBStatus::Success);
  EXPECT_TRUE(Varnex::KvIsFPType(fp, 101));

  using Level = KvSystem::KvErrorLevel;
  std::vector<Level> levels;
  for (const auto& message : sink.Messages()) levels.push_back(message.level);
  EXPECT_EQ(levels, (std::vector<Level>{Level::Warning, Level::Warning, Level::Warning, Level::Error}));
}

TEST(FingerPrintRecord, ShortOrInconsistentPayloadsLeaveTheFingerPrintUntouched) {
  VarnexTest::CaptureSink sink;
  const std::string payload = Payload(Record(VarnexIoTest::PathFP("c1ccncc1")));
  const KvFingerPrint original = VarnexIoTest::MACCSFP();
  // A complete record whose payload stops inside the fields (an empty one is
  // read as nothing at all; records cut by the stream: kvb_test.cpp).
  for (std::size_t keep : {0u, 1u, 4u, 6u, 13u, 14u, 17u, 18u, 529u}) {
    kvosstream out;
    ASSERT_TRUE(KvSystem::KvBWriteRecord(out, "KvFingerPrint", payload.substr(0, keep)));
    KvFingerPrint fp = original;
    kvisstream in(out.str());
    EXPECT_EQ(KvSystem::KvBRead(in, fp), keep == 0 ? KvBStatus::Success : KvBStatus::Failure) << keep;
    EXPECT_EQ(fp, original) << keep;
  }
  // An absurd bit count with a few data bytes.
  kvosstream absurd;
  ASSERT_TRUE(KvSystem::KvBWriteRecord(absurd, "KvFingerPrint", LE(101, 4) + LE(0x2020, 2) + LE(~0u, 4) + "abcd"));
  KvFingerPrint fp = original;
  kvisstream in(absurd.str());
  EXPECT_EQ(KvSystem::KvBRead(in, fp), KvBStatus::Failure);
  EXPECT_EQ(fp, original);
  EXPECT_EQ(sink.Count(), 0u);
}

TEST(AttachedFingerPrintRecord, RoundTripsUnderItsTag) {
  KvSystem::KvBase source;
  const KvFingerPrint path = VarnexIoTest::PathFP();
  source.AddData(new KvSystem::KvBaseDataT<KvFingerPrint>(KvSystem::KvGetTag("PathFP"), path));
  kvosstream out;
  ASSERT_EQ(KvSystem::KvBWriteAttachedData(out, source), KvBStatus::Success);
  // The record: tag "KvBaseKvFingerPrint", then the item's tag and a whole fingerprint record.
  EXPECT_EQ(Payload(out.str(), "KvBaseKvFingerPrint"), LE(6, 4) + "PathFP" + Record(path));

  KvSystem::KvBase target;
  kvisstream in(out.str());
  ASSERT_EQ(KvSystem::KvBReadAttachedData(in, target), KvBStatus::Success);
  ASSERT_EQ(target.GetAllData().size(), 1u);
  const auto* read = target.FindDataT<KvFingerPrint>(KvSystem::KvGetTag("PathFP"));
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->GetData(), path);
}

}  // namespace
