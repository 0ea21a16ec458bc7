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
  const size_t n = KvStringTokenize(tokens, text, delimiters, keepEmpty);
  EXPECT_EQ(n, tokens.size());
  return tokens;
}

TEST(StringTokenize, SkipsOrKeepsEmptyTokens) {
  EXPECT_EQ(Split("a,,b", ",", false), (Tokens{"a", "b"}));
  EXPECT_EQ(Split("a,,b", ",", true), (Tokens{"a", "", "b"}));
  EXPECT_EQ(Split(",a,", ",", true), (Tokens{"", "a", ""}));
  EXPECT_EQ(Split(",a,", ",", false), (Tokens{"a"}));
  EXPECT_EQ(Split(",,,", ",", false), Tokens{});
  EXPECT_EQ(Split(",", ",", true), (Tokens{"", ""}));
  EXPECT_EQ(Split("", ",", true), Tokens{});
  EXPECT_EQ(Split("", ",", false), Tokens{});
}

TEST(StringTokenize, AnyDelimiterCharacterSplits) {
  EXPECT_EQ(Split("Path,ver=2.0.0,size=4096", ",=", false),
            (Tokens{"Path", "ver", "2.0.0", "size", "4096"}));
  EXPECT_EQ(Split(" a\tb \n c ", " \t\n", false), (Tokens{"a", "b", "c"}));
  EXPECT_EQ(Split("no delimiters here", "", true), (Tokens{"no delimiters here"}));
  EXPECT_EQ(Split("abc", ";", true), (Tokens{"abc"}));
  // Embedded NUL bytes are ordinary characters.
  EXPECT_EQ(Split(std::string("a\0b;c", 5), ";", false), (Tokens{std::string("a\0b", 3), "c"}));
}

TEST(StringTokenize, ListOutputMatchesVectorOutput) {
  std::list<std::string> tokens{"stale", "entries"};
  EXPECT_EQ(KvStringTokenize(tokens, "x|y||z", "|", true), 4u);
  EXPECT_EQ(tokens, (std::list<std::string>{"x", "y", "", "z"}));
  EXPECT_EQ(KvStringTokenize(tokens, "x|y||z", "|", false), 3u);
  EXPECT_EQ(tokens, (std::list<std::string>{"x", "y", "z"}));
}

TEST(StringToNumber, AcceptsWholeNumbersInRange) {
  unsigned u = 0;
  EXPECT_TRUE(KvStringToNumber("4096", u, 10));
  EXPECT_EQ(u, 4096u);
  EXPECT_TRUE(KvStringToNumber("0", u));
  EXPECT_EQ(u, 0u);
  EXPECT_TRUE(KvStringToNumber("4294967295", u));
  EXPECT_EQ(u, 4294967295u);
  EXPECT_TRUE(KvStringToNumber("ff", u, 16));
  EXPECT_EQ(u, 255u);
  EXPECT_TRUE(KvStringToNumber("DeadBeef", u, 16));
  EXPECT_EQ(u, 0xDEADBEEFu);
  EXPECT_TRUE(KvStringToNumber("101", u, 2));
  EXPECT_EQ(u, 5u);
  EXPECT_TRUE(KvStringToNumber("z", u, 36));
  EXPECT_EQ(u, 35u);
  std::uint64_t big = 0;
  EXPECT_TRUE(KvStringToNumber("18446744073709551615", big));
  EXPECT_EQ(big, UINT64_MAX);
  EXPECT_TRUE(KvStringToNumber("4294967296", big));
  EXPECT_EQ(big, 4294967296ull);
}

TEST(StringToNumber, RejectsAnythingElseAndKeepsTheOutput) {
  for (const char* bad : {"", "-1", "+1", " 1", "1 ", "1x", "x1", "99999999999999999999", "4294967296", "0x10", "1.5",
                          "1e3", "٣"}) {
    unsigned u = 77;
    EXPECT_FALSE(KvStringToNumber(bad, u)) << bad;
    EXPECT_EQ(u, 77u) << bad;
  }
  std::uint64_t big = 77;
  EXPECT_FALSE(KvStringToNumber("18446744073709551616", big));
  EXPECT_FALSE(KvStringToNumber("99999999999999999999", big));
  EXPECT_FALSE(KvStringToNumber("-0", big));
  EXPECT_EQ(big, 77u);
  unsigned u = 77;
  EXPECT_FALSE(KvStringToNumber("12", u, 2)) << "digit outside the base";
  EXPECT_FALSE(KvStringToNumber("1", u, 1)) << "invalid base";
  EXPECT_FALSE(KvStringToNumber("1", u, 37)) << "invalid base";
  EXPECT_FALSE(KvStringToNumber(std::string("1\0", 2), u)) << "embedded NUL";
  EXPECT_EQ(u, 77u);
}

TEST(NumberToString, BasesAndRoundTrip) {
  EXPECT_EQ(KvNumberToString(0), "0");
  EXPECT_EQ(KvNumberToString(4096), "4096");
  EXPECT_EQ(KvNumberToString(255, 16), "ff");
  EXPECT_EQ(KvNumberToString(5, 2), "101");
  EXPECT_EQ(KvNumberToString(35, 36), "z");
  EXPECT_EQ(KvNumberToString(4294967295u, 2), std::string(32, '1'));
  for (unsigned base = 2; base <= 36; ++base)
    for (unsigned value : {0u, 1u, 35u, 36u, 123456789u, 4294967295u}) {
      unsigned back = 0;
      ASSERT_TRUE(KvStringToNumber(KvNumberToString(value, base), back, base));
      EXPECT_EQ(back, value) << base;
    }
  VarnexTest::CaptureSink sink;
  EXPECT_EQ(KvNumberToString(5, 1), "");
  EXPECT_EQ(KvNumberToString(5, 37), "");
  EXPECT_EQ(sink.Count(), 2u);
  EXPECT_TRUE(sink.Contains("KvNumberToString() invalid base 37"));
}

TEST(FileExtension, LastDotOfTheFileNameOnly) {
  EXPECT_EQ(KvFileExtension("mols.smi", "x"), "smi");
  EXPECT_EQ(KvFileExtension("a.smi.gz", "x"), "gz");
  EXPECT_EQ(KvFileExtension("/data/NCI/First_5K.SDF", "x"), "sdf");
  EXPECT_EQ(KvFileExtension("dir.d/file", "none"), "none");
  EXPECT_EQ(KvFileExtension("dir.d/file.fpbin", "none"), "fpbin");
  EXPECT_EQ(KvFileExtension(".hidden", "none"), "none");
  EXPECT_EQ(KvFileExtension("dir/.hidden", "none"), "none");
  EXPECT_EQ(KvFileExtension(".hidden.txt", "none"), "txt");
  EXPECT_EQ(KvFileExtension("trailing.", "none"), "none");
  EXPECT_EQ(KvFileExtension("", "none"), "none");
  EXPECT_EQ(KvFileExtension("dir/", "none"), "none");
  EXPECT_EQ(KvFileExtension("plain"), "");
}

}  // namespace
