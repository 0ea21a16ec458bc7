// Data-flow layer: buffer byte layout and bad input, JSON escaping and
// parsing, the handler registry, and record fields with cached values.
#include <gtest/gtest.h>

#include <rapidjson/document.h>

#include <string>
#include <tuple>

#include "capture_sink.h"
#include "kvsystem/dataflow.h"

namespace {

using KvDataFlow::KvBytes;
using KvDataFlow::KvReadBuffer;
using KvDataFlow::KvWriteBuffer;

TEST(KvDataFlowBuffer, ItemsHaveTheDocumentedBytesAndReadBack) {
  KvWriteBuffer out;
  out.WriteBool(false);
  out.WriteBool(true);
  out.WriteInt(std::uint32_t{0x01020304});
  out.WriteInt(std::int32_t{-2});
  out.WriteInt(std::uint64_t{5});
  out.WriteString("hi");
  out.WriteBlob(KvBytes{7, 8});
  out.WriteNoneBlob();
  out.WriteString(std::string(300, 'z'));
  const KvBytes& bytes = out.Get();
  const KvBytes head{0, 1, 4, 3, 2, 1, 0xFE, 0xFF, 0xFF, 0xFF, 5, 0, 0, 0, 0, 0, 0, 0, 2, 'h', 'i', 1, 2, 7, 8, 0,
                     0xAC, 0x02};
  ASSERT_EQ(bytes.size(), head.size() + 300);
  EXPECT_TRUE(std::equal(head.begin(), head.end(), bytes.begin()));

  KvReadBuffer in(bytes);
  bool b1 = true, b2 = false, isNone = true, noneIsNone = false;
  std::uint32_t u = 0;
  std::int32_t i = 0;
  std::uint64_t w = 0;
  std::string s, longText;
  KvBytes blob, none{1};
  ASSERT_TRUE(in.ReadBool(b1) && in.ReadBool(b2) && in.ReadInt(u) && in.ReadInt(i) && in.ReadInt(w) &&
              in.ReadString(s) && in.ReadBlob(blob, isNone) && in.ReadBlob(none, noneIsNone) &&
              in.ReadString(longText));
  EXPECT_EQ(std::tuple(b1, b2, u, i, w, s, blob, isNone), std::tuple(false, true, 0x01020304u, -2, std::uint64_t{5},
                                                                      std::string("hi"), KvBytes{7, 8}, false));
  EXPECT_TRUE(noneIsNone);
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(longText, std::string(300, 'z'));
  EXPECT_EQ(in.Remaining(), 0u);
  EXPECT_FALSE(in.Failed());
}

TEST(KvDataFlowBuffer, TruncatedAndMalformedItemsFailAndStayFailed) {
  const KvBytes shortInt{1, 2, 3};
  KvReadBuffer a(shortInt);
  std::uint32_t u = 99;
  EXPECT_FALSE(a.ReadInt(u));
  EXPECT_EQ(u, 99u);
  bool b = false;
  EXPECT_FALSE(a.ReadBool(b));  // sticky, although a byte remains
  EXPECT_TRUE(a.Failed());

  const KvBytes badBool{2};
  KvReadBuffer c(badBool);
  EXPECT_FALSE(c.ReadBool(b));

  // A blob claiming far more bytes than exist, a bad marker, a length that
  // does not fit 64 bits, and a string cut short.
  const KvBytes hugeBlob{1, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 'x'};
  const KvBytes badMarker{2, 0};
  const KvBytes overlong{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F};
  const KvBytes cutString{5, 'a', 'b'};
  KvBytes blob{4};
  std::string text = "kept";
  KvReadBuffer d(hugeBlob), e(badMarker), f(overlong), g(cutString);
  EXPECT_FALSE(d.ReadBlob(blob));
  EXPECT_FALSE(e.ReadBlob(blob));
  EXPECT_FALSE(f.ReadString(text));
  EXPECT_FALSE(g.ReadString(text));
  EXPECT_EQ(blob, KvBytes{4});
  EXPECT_EQ(text, "kept");
}

// Strings escape quotes, backslashes and control characters; the parser and
// the array attribute refuse bad text.
TEST(KvDataFlowJSON, StringsParserAndArrayAttribute) {
  EXPECT_EQ(KvDataFlow::KvJSONString(std::string("a\"b\\c/\n\x1f\0", 9)), "\"a\\\"b\\\\c/\\n\\u001F\\u0000\"");
  VarnexTest::CaptureSink sink;
  rapidjson::Document doc;
  EXPECT_FALSE(KvDataFlow::JSONParseHelper("{\"value\": [", doc));
  EXPECT_FALSE(KvDataFlow::JSONParseHelper("\"\xff\xfe\"", doc));  // invalid UTF-8
  EXPECT_FALSE(KvDataFlow::JSONParseHelper("", doc));
  EXPECT_EQ(sink.Count(), 3u);
  EXPECT_EQ(sink.Texts()[0].rfind("JSONParseHelper() ", 0), 0u);
  // Deep nesting is parsed iteratively: no stack overflow.
  EXPECT_TRUE(KvDataFlow::JSONParseHelper(std::string(200000, '[') + std::string(200000, ']'), doc));

  sink.Clear();
  ASSERT_TRUE(KvDataFlow::JSONParseHelper("{\"value\": [1, 2], \"other\": 3}", doc));
  const rapidjson::Value* array = KvDataFlow::GetJSONArrayAttr(doc, "value", true);
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(array->Size(), 2u);
  EXPECT_EQ(KvDataFlow::GetJSONArrayAttr(doc, "other", false), nullptr);
  EXPECT_EQ(sink.Count(), 0u) << "an optional attribute is not reported";
  ASSERT_TRUE(KvDataFlow::JSONParseHelper("[1]", doc));
  EXPECT_EQ(KvDataFlow::GetJSONArrayAttr(doc, "value", true), nullptr);
  EXPECT_EQ(sink.Texts(), std::vector<std::string>{"GetJSONArrayAttr() missing array attribute 'value'"});
}

// A test field type: an int stored as 4 bytes; counts conversions.
struct Counter {
  int value = 0;
};
int conversions = 0;

class CounterHandler : public KvDataFlow::KvFieldTypeHandler {
 public:
  explicit CounterHandler(std::string name, bool cacheable) : name_(std::move(name)), cacheable_(cacheable) {}
  std::string BytesToJSON(const KvBytes& bytes) const override {
    KvReadBuffer in(bytes);
    std::int32_t v = 0;
    return in.ReadInt(v) ? std::to_string(v) : "null";
  }
  KvBytes JSONToBytes(const std::string& json) const override {
    KvWriteBuffer out;
    out.WriteInt(static_cast<std::int32_t>(std::stoi(json)));
    return out.Release();
  }
  KvBytes PtrToBytes(const void* value) const override {
    ++conversions;
    KvWriteBuffer out;
    out.WriteInt(static_cast<std::int32_t>(static_cast<const Counter*>(value)->value));
    return out.Release();
  }
  std::string GetName() const override { return name_; }
  bool IsCacheable() const override { return cacheable_; }

 private:
  std::string name_;
  bool cacheable_;
};

}  // namespace

// The same value under a field type whose handler is not cacheable.
struct PlainCounter : Counter {};

template <>
struct KvDataFlow::KvFieldTypeName<Counter> {
  static const char* Get() { return "Test.Counter"; }
};
template <>
struct KvDataFlow::KvFieldTypeName<PlainCounter> {
  static const char* Get() { return "Test.Plain"; }
};

namespace {

class KvDataFlowRecord : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    KvDataFlow::KvFieldTypeHandlerRegistry::GetInstance().RegisterHandler(new CounterHandler("Test.Counter", true),
                                                                         0);
  }
};

TEST(KvDataFlowRegistry, FirstHandlerKeepsItsNameUnlessReplaced) {
  auto& registry = KvDataFlow::KvFieldTypeHandlerRegistry::GetInstance();
  EXPECT_FALSE(registry.RegisterHandler(nullptr, 0));
  ASSERT_TRUE(registry.RegisterHandler(new CounterHandler("Test.Registry", true), 0));
  const auto* first = registry.GetHandler("Test.Registry");
  EXPECT_FALSE(registry.RegisterHandler(new CounterHandler("Test.Registry", false), 0));
  EXPECT_EQ(registry.GetHandler("Test.Registry"), first);
  EXPECT_TRUE(first->IsCacheable());
  EXPECT_TRUE(registry.RegisterHandler(new CounterHandler("Test.Registry", false), KvDataFlow::KvReplaceHandler));
  EXPECT_FALSE(registry.GetHandler("Test.Registry")->IsCacheable());
  EXPECT_TRUE(first->IsCacheable());  // the replaced handler stays alive for its holders
  EXPECT_EQ(registry.GetHandler("Test.Nothing"), nullptr);
}

TEST_F(KvDataFlowRecord, CachedValueMakesBytesOnlyWhenDirtyUncacheableAtOnce) {
  KvDataFlow::KvRecord record;
  KvDataFlow::KvField<Counter> field("count");
  EXPECT_EQ(record.CheckField(field, false), KvDataFlow::KvFieldState::Absent);
  EXPECT_EQ(record.CheckCache(field, false), nullptr);

  auto value = std::make_shared<Counter>(Counter{41});
  record.AddToCache(field, value);
  EXPECT_EQ(record.CheckField(field, false), KvDataFlow::KvFieldState::Cached);
  conversions = 0;
  ASSERT_NE(record.GetBytes(field), nullptr);
  EXPECT_EQ(record.GetJSON(field), "41");
  EXPECT_EQ(conversions, 1);  // the second read used the bytes made by the first
  EXPECT_EQ(record.CheckField(field, false), KvDataFlow::KvFieldState::Both);

  record.CheckCache(field, false)->value = 42;
  EXPECT_EQ(record.GetJSON(field), "41");  // not marked dirty: bytes still count
  record.MarkCacheDirty(field, true);
  EXPECT_EQ(record.GetJSON(field), "42");

  record.SetBytes(field, KvBytes{7, 0, 0, 0});
  EXPECT_EQ(record.CheckField(field, false), KvDataFlow::KvFieldState::Bytes);
  EXPECT_EQ(record.CheckCache(field, false), nullptr);
  EXPECT_EQ(record.GetJSON(field), "7");
  EXPECT_TRUE(record.SetJSON(field, "-3"));
  EXPECT_EQ(*record.GetBytes(field), (KvBytes{0xFD, 0xFF, 0xFF, 0xFF}));

  // A value whose handler is not cacheable is converted at once.
  KvDataFlow::KvFieldTypeHandlerRegistry::GetInstance().RegisterHandler(new CounterHandler("Test.Plain", false), 0);
  KvDataFlow::KvField<PlainCounter> plain("p");
  conversions = 0;
  auto plainValue = std::make_shared<PlainCounter>();
  plainValue->value = 5;
  record.AddToCache(plain, plainValue);
  EXPECT_EQ(conversions, 1);
  EXPECT_EQ(record.CheckField(plain, false), KvDataFlow::KvFieldState::Bytes);
  EXPECT_EQ(record.GetJSON(plain), "5");
}

TEST_F(KvDataFlowRecord, FieldOfAnotherTypeIsReportedAndReplaced) {
  VarnexTest::CaptureSink sink;
  KvDataFlow::KvRecord record;
  record.SetBytes(KvDataFlow::KvFieldBase("x", "Other.Type"), KvBytes{1});
  KvDataFlow::KvField<Counter> field("x");
  EXPECT_EQ(record.CheckField(field, false), KvDataFlow::KvFieldState::OtherType);
  EXPECT_EQ(sink.Count(), 0u);
  EXPECT_EQ(record.CheckField(field, true), KvDataFlow::KvFieldState::OtherType);
  EXPECT_EQ(sink.Texts(), std::vector<std::string>{"KvRecord::CheckField() field 'x' holds type Other.Type, not Test.Counter"});
  EXPECT_EQ(record.GetBytes(field), nullptr);
  EXPECT_EQ(record.CheckCache(field, true)->value, 0);  // created, retyping the field
  EXPECT_EQ(record.CheckField(field, false), KvDataFlow::KvFieldState::Cached);
  EXPECT_TRUE(record.DeleteField(field));
  EXPECT_FALSE(record.DeleteField(field));
  EXPECT_EQ(record.NumFields(), 0u);
}

}  // namespace
