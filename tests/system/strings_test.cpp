#include <gtest/gtest.h>

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "kvsystem/strings.h"

namespace {

using KvSystem::KvFileExtension;
using KvSystem::KvNumberToString;
using KvSystem::KvStringToNumber;
using KvSystem::KvStringTokenize;
using Tokens = std::vector<std::string>;

Tokens Split(const std::string& text, const std::string& delimiters, bool keepEmpty) {
  Tokens tokens{"stale"};
  const size_t count = KvStringTokenize(tokens, text, delimiters, keepEmpty);
  EXPECT_EQ(count, tokens.size());
  return tokens;
}

TEST(StringTokenize, EmptyTokensAndDelimiterSets) {
  EXPECT_EQ(Split("a,,b", ",", false), (Tokens{"a", "b"}));
  EXPECT_EQ(Split("a,,b", ",", true), (Tokens{"a", "", "b"}));
  EXPECT_EQ(Split(",a,", ",", true), (Tokens{"", "a", ""}));
  EXPECT_EQ(Split(",,,", ",", false), Tokens{});
  EXPECT_EQ(Split("", ",", true), Tokens{});
  EXPECT_EQ(Split("Path,ver=2.0.0", ",=", false), (Tokens{"Path", "ver", "2.0.0"}));
  EXPECT_EQ(Split("whole text", "", true), (Tokens{"whole text"}));
  EXPECT_EQ(Split(std::string("a\0b;c", 5), ";", false), (Tokens{std::string("a\0b", 3), "c"}));
  std::list<std::string> list{"stale"};
  EXPECT_EQ(KvStringTokenize(list, "x|y||z", "|", true), 4u);
  EXPECT_EQ(list, (std::list<std::string>{"x", "y", "", "z"}));
}

// The largest value of each width and mixed-case digits are read.
TEST(StringToNumber, AcceptsWholeNumbersInRangeOnlyAndEveryBaseRoundTrips) {
  unsigned u = 0;
  EXPECT_TRUE(KvStringToNumber("DeadBeef", u, 16));
  EXPECT_EQ(u, 0xDEADBEEFu);
  std::uint64_t big = 0;
  EXPECT_TRUE(KvStringToNumber("18446744073709551615", big));
  EXPECT_EQ(big, UINT64_MAX);
  for (const char* bad : {"", "-1", "+1", " 1", "1 ", "1x", "99999999999999999999", "4294967296", "0x10", "1.5"}) {
    unsigned u = 77;
    EXPECT_FALSE(KvStringToNumber(bad, u)) << bad;
    EXPECT_EQ(u, 77u) << bad;
  }
  big = 77;
  EXPECT_FALSE(KvStringToNumber("18446744073709551616", big));
  EXPECT_EQ(big, 77u);
  u = 77;
  EXPECT_FALSE(KvStringToNumber("12", u, 2));
  EXPECT_FALSE(KvStringToNumber("1", u, 37));
  EXPECT_FALSE(KvStringToNumber(std::string("1\0", 2), u));
  // Numbers of every base and size round trip.
  EXPECT_EQ(KvNumberToString(255, 16), "ff");
  EXPECT_EQ(KvNumberToString(4294967295u, 2), std::string(32, '1'));
  for (unsigned base = 2; base <= 36; ++base)
    for (unsigned value : {0u, 1u, 35u, 36u, 123456789u, 4294967295u}) {
      unsigned back = 0;
      ASSERT_TRUE(KvStringToNumber(KvNumberToString(value, base), back, base));
      EXPECT_EQ(back, value) << base;
    }
  VarnexTest::CaptureSink sink;
  EXPECT_EQ(KvNumberToString(5, 37), "");
  EXPECT_TRUE(sink.Contains("KvNumberToString() invalid base 37"));
}

TEST(FileExtension, LastDotOfTheFileNameOnly) {
  EXPECT_EQ(KvFileExtension("a.smi.gz", "x"), "gz");
  EXPECT_EQ(KvFileExtension("/data/NCI/First_5K.SDF", "x"), "sdf");
  EXPECT_EQ(KvFileExtension("dir.d/file", "none"), "none");
  EXPECT_EQ(KvFileExtension("dir/.hidden", "none"), "none");
  EXPECT_EQ(KvFileExtension(".hidden.txt", "none"), "txt");
  EXPECT_EQ(KvFileExtension("trailing.", "none"), "none");
  EXPECT_EQ(KvFileExtension("", "none"), "none");
}

}  // namespace
