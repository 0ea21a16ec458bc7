// The "Chem.FingerPrint" and "Chem.FingerPrintVec" data-flow field types:
// byte forms, the older text form, JSON forms with escaping, lists with
// absent entries, formatting and the cache behaviour of KvSetFingerPrintValue.
#include <gtest/gtest.h>

#include "capture_sink.h"
#include "fp_test_util.h"
#include "kvsystem/dataflow.h"
#include "varnex/fpio.h"

namespace {

using KvDataFlow::KvBytes;
using KvDataFlow::KvOptionalFPVec;
using Varnex::KvFingerPrint;
using Single = KvDataFlow::KvFieldType<KvFingerPrint>;
using List = KvDataFlow::KvVectorFieldType<KvFingerPrint>;

// The six items of the binary form.
struct Decoded {
  bool flag = true;
  std::uint32_t kind = 0;
  std::int32_t version = 0;
  KvBytes block;
  std::uint32_t bits = 0;
  KvBytes words;
};

Decoded Decode(const KvBytes& bytes) {
  Decoded d;
  KvDataFlow::KvReadBuffer in(bytes);
  EXPECT_TRUE(in.ReadBool(d.flag) && in.ReadInt(d.kind) && in.ReadInt(d.version) && in.ReadBlob(d.block) &&
              in.ReadInt(d.bits) && in.ReadBlob(d.words));
  EXPECT_EQ(in.Remaining(), 0u);
  return d;
}

KvFingerPrint FromBytes(const KvBytes& bytes) {
  KvFingerPrint fp;
  EXPECT_TRUE(Single::FromBytes(fp, bytes));
  return fp;
}

// flag, kind, version, bits, block size, word bytes
auto Items(const Decoded& d) {
  return std::make_tuple(d.flag, d.kind, d.version, d.bits, d.block.size(), d.words.size());
}

TEST(FingerPrintField, BinaryItemsAndEveryKindThroughBytesAndTheOlderTextForm) {
  KvFingerPrint path1024;
  ASSERT_TRUE(Varnex::KvMakePathFP(path1024, VarnexIoTest::Mol("c1ccccc1CCN"), 1024, 0, 5, 191, 3));
  const Decoded d = Decode(Single::ToBytes(path1024));
  EXPECT_EQ(Items(d), std::make_tuple(false, 102u, 0x2000, 1024u, std::size_t{8}, std::size_t{128}));
  KvSystem::kvosstream block;
  ASSERT_TRUE(Varnex::KvWritePathFingerPrintType(block, path1024));
  EXPECT_EQ(d.block, KvBytes(block.str().begin(), block.str().end()));
  // 33 bits take two whole words.
  const KvFingerPrint odd = VarnexIoTest::RangesFP(Varnex::KvGetPathFPType(33, 0, 3, 1, 1), 33, {{0, 3}, {32, 33}});
  EXPECT_EQ(Decode(Single::ToBytes(odd)).words.size(), 8u);
  EXPECT_EQ(FromBytes(Single::ToBytes(odd)), odd);
  EXPECT_EQ(Items(Decode(Single::ToBytes(VarnexIoTest::MACCSFP()))),
            std::make_tuple(false, 101u, 0x2020, 166u, std::size_t{0}, std::size_t{24}));
  // Every kind through the binary form and through the older text form (two
  // strings: the type and the hex bits, told apart by a first byte that is not 0).
  for (const KvFingerPrint& fp : {VarnexIoTest::PathFP(), VarnexIoTest::MACCSFP(), VarnexIoTest::LingoFP(),
                                  VarnexIoTest::TreeFP(), VarnexIoTest::CircularFP()}) {
    KvDataFlow::KvWriteBuffer old;
    old.WriteString(fp.GetFPTypeBase()->GetFPTypeString());
    old.WriteString(fp.ToHexString());
    for (const KvBytes& bytes : {Single::ToBytes(fp), old.Get()}) {
      const KvFingerPrint back = FromBytes(bytes);
      EXPECT_EQ(back.GetFPTypeBase(), fp.GetFPTypeBase());
      EXPECT_EQ(back, fp);
    }
  }
}

// An untyped fingerprint has no bytes, and no bytes leave the fingerprint as
// it was; bytes that do not decode give an untyped one.
TEST(FingerPrintField, UntypedFingerPrintsAndUndecodableBytes) {
  KvFingerPrint fp = VarnexIoTest::MACCSFP();
  EXPECT_TRUE(Single::ToBytes(KvFingerPrint()).empty());
  EXPECT_EQ(Single().BytesToJSON(KvBytes{}), "null");
  EXPECT_FALSE(Single::FromBytes(fp, KvBytes{}));
  EXPECT_TRUE(fp);
  EXPECT_FALSE(Single::ToBytes(std::optional<KvFingerPrint>()).has_value());
  EXPECT_EQ(*Single::ToBytes(std::optional<KvFingerPrint>(fp)), Single::ToBytes(fp));

  VarnexTest::CaptureSink sink;
  const KvBytes good = Single::ToBytes(VarnexIoTest::PathFP());
  for (std::size_t keep = 1; keep < good.size(); keep += 29) {
    fp = VarnexIoTest::MACCSFP();
    EXPECT_TRUE(Single::FromBytes(fp, KvBytes(good.begin(), good.begin() + static_cast<long>(keep))));
    EXPECT_FALSE(fp);
    EXPECT_EQ(fp.GetSize(), 0u);
  }
  // The binary items with no type block.
  const auto binary = [](std::uint32_t kind, std::int32_t version, std::uint32_t bits, const KvBytes& words) {
    KvDataFlow::KvWriteBuffer out;
    out.WriteBool(false);
    out.WriteInt(kind);
    out.WriteInt(version);
    out.WriteBlob(KvBytes{});
    out.WriteInt(bits);
    out.WriteBlob(words);
    return out.Get();
  };
  // An unknown kind calls no type reader.
  fp = VarnexIoTest::MACCSFP();
  EXPECT_TRUE(Single::FromBytes(fp, binary(9000, 0x2000, 8, KvBytes{0xFF, 0, 0, 0})));
  EXPECT_FALSE(fp);
  // An absurd bit count with a short word blob is refused, not allocated.
  EXPECT_TRUE(Single::FromBytes(fp, binary(101, 0x2020, 0xFFFFFFFF, KvBytes{1, 2, 3, 4})));
  EXPECT_FALSE(fp);
  EXPECT_EQ(fp.GetSize(), 0u);
}

// A single field's JSON is its escaped text form, a list's holds null for
// its absent entries; JSONToBytes takes the same forms back.
TEST(FingerPrintField, JSONIsTheEscapedTextFormWithNullForAbsentEntries) {
  const KvFingerPrint maccs = VarnexIoTest::MACCSFP();
  const std::string text = "MACCS166,ver=2.2.0\n" + maccs.ToHexString();
  const std::string quoted = "\"MACCS166,ver=2.2.0\\n" + maccs.ToHexString() + "\"";
  EXPECT_EQ(Single::ToText(maccs), text);
  EXPECT_EQ(Single().BytesToJSON(Single::ToBytes(maccs)), quoted);
  EXPECT_EQ(Single::ToText(KvFingerPrint()), "\n");
  const KvOptionalFPVec list{std::nullopt, maccs};
  const std::string json = List().BytesToJSON(List::ToBytes(list));
  EXPECT_EQ(json, "[null," + quoted + "]");
  EXPECT_EQ(List().BytesToJSON(KvBytes{}), "null");

  EXPECT_EQ(Single().JSONToBytes(text), Single::ToBytes(maccs));
  EXPECT_EQ(List().JSONToBytes("{\"value\": " + json + "}"), List::ToBytes(list));
  EXPECT_EQ(List().JSONToBytes("{\"value\": []}"), KvBytes(8, 0));
  EXPECT_TRUE(Single().JSONToBytes("MACCS166,ver=2.2.0").empty());
  EXPECT_TRUE(Single().JSONToBytes("\nMACCS166,ver=2.2.0").empty());
  VarnexTest::CaptureSink sink;  // bad JSON texts: dataflow_test.cpp
  EXPECT_TRUE(Single().JSONToBytes("MACCS166,ver=2.2.0\nzz").empty());
  EXPECT_TRUE(Single().JSONToBytes("Nonsense\n00").empty());
  EXPECT_TRUE(List().JSONToBytes("{\"other\": []}").empty());
  // A number is not a text form: a present entry (not null) without type.
  EXPECT_EQ(List().BytesToJSON(List().JSONToBytes("{\"value\": [1]}")), "[\"\\n\"]");
}

TEST(FingerPrintField, ListsKeepAbsentEntriesInOrder) {
  const KvFingerPrint path = VarnexIoTest::PathFP();
  const KvFingerPrint lingo = VarnexIoTest::LingoFP();
  const KvOptionalFPVec list{std::nullopt, path, std::nullopt, lingo};
  const KvBytes bytes = List::ToBytes(list);  // the count first: ListJSON's empty list
  KvOptionalFPVec back{VarnexIoTest::MACCSFP()};
  ASSERT_TRUE(List::FromBytes(back, bytes));  // appended after the entry already there
  EXPECT_EQ(back, (KvOptionalFPVec{VarnexIoTest::MACCSFP(), std::nullopt, path, std::nullopt, lingo}));

  std::vector<KvFingerPrint> plain;
  ASSERT_TRUE(List::FromBytes(plain, bytes));
  EXPECT_EQ(plain, (std::vector<KvFingerPrint>{path, lingo}));
  EXPECT_EQ(List::ToBytes(plain), List::ToBytes(KvOptionalFPVec{path, lingo}));
  EXPECT_EQ(List().PtrToBytes(&list), bytes);

  KvOptionalFPVec untouched;
  EXPECT_FALSE(List::FromBytes(untouched, KvBytes{}));
  EXPECT_FALSE(List::FromBytes(untouched, KvBytes(bytes.begin(), bytes.end() - 1)));
  EXPECT_TRUE(untouched.empty());
  const KvBytes hugeCount{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
  EXPECT_FALSE(List::FromBytes(untouched, hugeCount));
  EXPECT_TRUE(untouched.empty());
  EXPECT_EQ(List::Format(KvOptionalFPVec{std::nullopt}), "[1 fingerprint]");
  EXPECT_EQ(List::Format(std::vector<KvFingerPrint>(3)), "[3 fingerprints]");
  EXPECT_EQ(Single::Format(path), "<KvFingerPrint>");
}

TEST(FingerPrintField, SetFingerPrintValueRetypesTheFieldAndUpdatesTheCachedValueInPlace) {
  KvDataFlow::KvRecord record;
  record.SetBytes(KvDataFlow::KvField<KvOptionalFPVec>("fp"), List::ToBytes(KvOptionalFPVec{}));
  KvDataFlow::KvField<KvFingerPrint> field("fp");
  ASSERT_EQ(record.CheckField(field, false), KvDataFlow::KvFieldState::OtherType);
  const KvFingerPrint first = VarnexIoTest::PathFP("CCO");
  const KvFingerPrint second = VarnexIoTest::PathFP("CCN");

  EXPECT_TRUE(KvDataFlow::KvSetFingerPrintValue(record, field, first));
  EXPECT_EQ(record.CheckField(field, false), KvDataFlow::KvFieldState::Cached);  // no bytes made yet
  const std::shared_ptr<KvFingerPrint> cached = record.CheckCache(field, false);
  ASSERT_NE(cached, nullptr);
  EXPECT_EQ(*record.GetBytes(field), Single::ToBytes(first));

  EXPECT_TRUE(KvDataFlow::KvSetFingerPrintValue(record, field, second));
  EXPECT_EQ(record.CheckCache(field, false), cached);  // the same object, assigned
  EXPECT_EQ(*cached, second);
  EXPECT_EQ(*record.GetBytes(field), Single::ToBytes(second));  // dirty: bytes remade
}

}  // namespace
