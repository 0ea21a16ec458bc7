// Type-string parsers, their messages, version arithmetic and the
// string-level queries KvGetFPType, KvIsValidFPTypeString, KvGetFPTypeVersion.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture_sink.h"
#include "varnex/fptypes.h"

namespace {

using namespace Varnex;
using VarnexTest::CaptureSink;

const std::string kTail = ",atype=AtmNum,btype=Order";

struct GraphResult {
  bool ok;
  unsigned short version;
  unsigned bits, minimum, maximum, atomType, bondType;
};

GraphResult ParsePath(const std::string& text) {
  GraphResult r{};
  r.ok = KvGetPathFPTypeParams(text, r.version, r.bits, r.minimum, r.maximum, r.atomType, r.bondType);
  return r;
}

// Parses with the parser of the kind the text names and returns the messages.
std::vector<std::string> GraphMessages(unsigned kind, const std::string& text) {
  CaptureSink sink;
  unsigned short v;
  unsigned b, mn, mx, a, bo;
  bool ok = false;
  switch (kind) {
    case 102: ok = KvGetPathFPTypeParams(text, v, b, mn, mx, a, bo); break;
    case 104: ok = KvGetCircularFPTypeParams(text, v, b, mn, mx, a, bo); break;
    case 105: ok = KvGetTreeFPTypeParams(text, v, b, mn, mx, a, bo); break;
    case 9000: ok = KvGetUnhashedPathFPTypeParams(text, v, mn, mx, a, bo); break;
    case 9001: ok = KvGetUnhashedCircularFPTypeParams(text, v, mn, mx, a, bo); break;
    case 9002: ok = KvGetUnhashedTreeFPTypeParams(text, v, mn, mx, a, bo); break;
  }
  std::vector<std::string> texts = sink.Texts();
  if (ok) texts.insert(texts.begin(), "<ok>");
  return texts;
}

// Variants of each fault across the kinds; the first example of every
// message is raised in tests/messages.
TEST(FPTypeParsing, GraphParserTakesAnyOrderAndReportsEachFaultWithItsMessage) {
  struct Case {
    unsigned kind;
    std::string text;
    std::string message;  // "" for a silent failure
  };
  const std::string v = "Path,ver=2.0.0";
  const Case cases[] = {
      {102, v + ",size=64=1", "Invalid string can not be tokenized for `Path` type!"},
      {104, "Circular,ver=2", "Invalid version for `Circular` type!"},
      {102, v + ",size=99999999999", "Invalid fingerprint size for `Path` type!"},
      {105, "Tree,bonds=1-2-3", "Invalid fingerprint distance for `Tree` type!"},
      {102, v + ",bonds=0-99999999999", "Invalid fingerprint maximum distance for `Path` type!"},
      {102, v + ",radius=0-5", "'radius' is not a valid fingerprint type primitive!"},
      {9001, "UHCircular,size=64", "'size' is not a valid fingerprint type primitive!"},
      {9002, "UHTree,numbits=64", "'numbits' is not a valid fingerprint type primitive!"},
      {102, v + ",size=0,bonds=0-5" + kTail, "Size cannot be initialized for `Path` type!"},
      {9000, "UHPath,ver=2.0.0,numbits=4294967295,bonds=0-5" + kTail, "Size cannot be initialized for `UHPath` type!"},
      {9001, "UHCircular,ver=2.0.0,radius=0-5,atype=AtmNum", "Bond type cannot be initialized for `UHCircular` type!"},
      {105, "Tree,ver=2.0.0,size=64,bonds=0-5,atype=None,btype=None",
       "The atom and bond type cannot be both None for `Tree` type!"},
      {102, v + ",atype=Bogus", ""},
      {102, v + ",btype=AtmNum", ""},
  };
  for (const Case& c : cases) {
    const auto expected = c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message};
    EXPECT_EQ(GraphMessages(c.kind, c.text), expected) << c.text;
  }
  // Entries in any order, the last one winning.
  CaptureSink sink;
  GraphResult r = ParsePath("size=64,bonds=1-2,ver=1.2.3,Path,atype=None,btype=Order,size=128,bonds=3-4");
  EXPECT_EQ(std::vector<unsigned>({r.ok, r.version, r.bits, r.minimum, r.maximum, r.atomType, r.bondType}),
            (std::vector<unsigned>{1, 0x1023, 128, 3, 4, 0, 1}));
  // Empty entries between commas are skipped; named combinations are names.
  r = ParsePath("Path,,ver=2.0.0,size=64,,bonds=0-5,atype=DefaultPathAtom,btype=None,");
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.atomType, 191u);
  EXPECT_EQ(r.bondType, 0u);
  EXPECT_EQ(sink.Count(), 0u);
}

TEST(FPTypeParsing, MACCS166AndLingoParsers) {
  struct Case {
    std::string text;
    bool ok;
    unsigned short version;
    std::string message;
  };
  const Case maccs[] = {
      {"MACCS166", true, 0, ""},
      {"MACCS166,ver=2.2.0", true, 0x2020, ""},
      {"ver=2.0.0,foo=bar,MACCS166", true, 0x2000, ""},
      {"MACCS166,ver", false, 0xFFFF, "Invalid `MACCS166` type string!"},
      {"MACCS166,ver=2.2", false, 0xFFFF, "Invalid version for `MACCS166` type!"},
      {"MACCS166,foo=1", false, 0xFFFF, "Version number cannot be initialized for `MACCS166` type!"},
      {"ver=2.2.0", false, 0x2020, "Invalid fingerprint type string!"},
  };
  for (const Case& c : maccs) {
    CaptureSink sink;
    unsigned short version = 7;
    EXPECT_EQ(KvGetMACCS166FPTypeParams(c.text, version), c.ok) << c.text;
    EXPECT_EQ(version, c.version) << c.text;
    EXPECT_EQ(sink.Texts(), c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
  }
  // Lingo strings go through the same parser under their own prefix.
  unsigned short version = 0;
  EXPECT_TRUE(KvGetLingoFPTypeParams("Lingo,ver=2.0.0", version));
  EXPECT_EQ(version, 0x2000);
}

TEST(FPTypeVersions, ArithmeticAndItsLimits) {
  EXPECT_EQ(KvGetFingerPrintVersion(std::string("2.2.0")), 0x2020);
  EXPECT_EQ(KvGetFingerPrintVersion(std::string("14.254.14")), 0xEFEE);
  EXPECT_TRUE(KvIsValidFingerPrintVersion("007.0.1"));
  for (const char* bad : {"2.0", "2.0.0.0", "15.0.0", "2.255.0", "2.0.15", "", "..", "2..0", "a.b.c", "-1.0.0",
                          " 2.0.0", "2.0.0 ", "+2.0.0", "4294967296.0.0"}) {
    EXPECT_FALSE(KvIsValidFingerPrintVersion(bad)) << bad;
    EXPECT_EQ(KvGetFingerPrintVersion(std::string(bad)), 0) << bad;
  }
  EXPECT_EQ(KvGetFingerPrintVersionString(0x2020), "2.2.0");
  EXPECT_EQ(KvGetFingerPrintVersionString(0xFFFF), "15.255.15");
  // Every valid version string survives number -> string -> number.
  for (unsigned v = 0; v < 0xF000; v += 0x0111)
    if ((v & 0xF) < 15 && ((v >> 4) & 0xFF) < 255) {
      EXPECT_EQ(KvGetFingerPrintVersion(KvGetFingerPrintVersionString(static_cast<unsigned short>(v))), v);
    }

  // The current kinds' versions: FPTypeDefaults; legacy kinds are silently version 0.
  CaptureSink sink;
  for (unsigned kind : {1u, 2u, 3u}) EXPECT_EQ(KvGetFingerPrintVersion(kind), 0);
  EXPECT_EQ(sink.Count(), 0u);
  EXPECT_EQ(KvGetFingerPrintVersion(4u), 0);
  EXPECT_EQ(sink.Count(), 1u);
}

TEST(FPTypeStringQueries, OldVersionsInvalidStringsAndUnknownPrefixes) {
  CaptureSink sink;
  // An old version is a valid string, but KvGetFPType hands out no type for it.
  const std::string oldPath = "Path,ver=1.0.0,size=64,bonds=0-5" + kTail;
  EXPECT_EQ(KvGetFPType(oldPath), nullptr);
  EXPECT_TRUE(KvIsValidFPTypeString(oldPath));
  EXPECT_EQ(KvGetFPTypeVersion(oldPath), 0x1000);
  EXPECT_EQ(KvGetFPType("MACCS166"), nullptr);  // no version: 0.0.0
  ASSERT_EQ(sink.Count(), 3u);  // the texts: tests/messages
  EXPECT_EQ(sink.Messages()[2].level, KvSystem::KvErrorLevel::Error);
  sink.Clear();
  EXPECT_EQ(KvGetFPTypeVersion("MACCS166,ver=2.2.0"), 0x2020);
  // Unhashed kinds (valid and current: FPTypeStrings) have no version here.
  EXPECT_EQ(KvGetFPTypeVersion("UHTree,ver=2.0.0,bonds=0-4" + kTail), 0);
  for (const char* unknown : {"", "path,ver=2.0.0", " Path,ver=2.0.0", "Pat", "UH", "ECFP4", "XPath,ver=2.0.0"}) {
    EXPECT_EQ(KvGetFPTypeFromString(unknown), 0u) << unknown;
    EXPECT_EQ(KvGetFPType(std::string(unknown)), nullptr) << unknown;
    EXPECT_FALSE(KvIsValidFPTypeString(unknown)) << unknown;
    EXPECT_EQ(KvGetFPTypeVersion(unknown), 0) << unknown;
  }
  EXPECT_EQ(sink.Count(), 0u);
  // An invalid string: the parser's message, then the query's own.
  EXPECT_EQ(KvGetFPType("Path,ver=2.0.0,size=0,bonds=0-5" + kTail), nullptr);
  EXPECT_EQ(KvGetFPType("Lingo,ver"), nullptr);  // only the parser reports
  EXPECT_EQ(sink.Texts()[1], "KvGetFPType() invalid fingerprint type string");
  EXPECT_EQ(sink.Count(), 3u);
  for (auto [prefix, kind] : {std::pair{"MACCS166xyz", 101u}, {"Lingo", 103u}, {"Circular,", 104u}, {"UHCircular", 9001u}})
    EXPECT_EQ(KvGetFPTypeFromString(prefix), kind) << prefix;
}

}  // namespace
