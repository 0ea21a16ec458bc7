#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "kvsystem/bitvector.h"

namespace {

using KvSystem::KvBitVector;
using KvSystem::KvGetBitCounts;

KvBitVector RandomVector(std::size_t bits, std::mt19937& rng, double density = 0.5) {
  KvBitVector v(bits);
  std::bernoulli_distribution on(density);
  for (std::size_t i = 0; i < bits; ++i)
    if (on(rng)) v.SetBitOn(i);
  return v;
}

// Recounts from the public bit accessors only.
std::size_t NaiveCount(const KvBitVector& v) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < v.GetSize(); ++i) n += v.IsBitOn(i);
  return n;
}

TEST(BitVector, SetClearAndOutOfRangeAccess) {
  KvBitVector v(70);
  EXPECT_EQ(v.GetSize(), 70u);
  EXPECT_EQ(v.NumWords(), 3u);
  EXPECT_EQ(v.NumBytes(), 9u);
  EXPECT_EQ(v.CountBits(), 0u);
  for (std::size_t i : {0u, 31u, 32u, 63u, 64u, 69u}) v.SetBitOn(i);
  v.SetBitOn(70);    // past the end: ignored
  v.SetBitOn(1000);  // far past the end: ignored
  EXPECT_EQ(v.CountBits(), 6u);
  EXPECT_TRUE(v.IsBitOn(69));
  EXPECT_FALSE(v.IsBitOn(70));
  EXPECT_FALSE(v.IsBitOn(SIZE_MAX));
  v.SetBitOff(31);
  v.SetBitOff(500);
  EXPECT_FALSE(v.IsBitOn(31));
  EXPECT_EQ(v.CountBits(), 5u);
  EXPECT_EQ(v.GetWords()[2] >> 6, 0u) << "storage past the size must stay clear";
  v.ClearBits();
  EXPECT_EQ(v.CountBits(), 0u);
  EXPECT_EQ(v.GetSize(), 70u);

  KvBitVector empty;
  EXPECT_EQ(empty.GetSize(), 0u);
  EXPECT_FALSE(empty.IsBitOn(0));
  empty.SetBitOn(0);
  EXPECT_EQ(empty.CountBits(), 0u);
}

TEST(BitVector, SetSizeKeepsLowBitsAndShrinkClearsHighBits) {
  KvBitVector v(64);
  for (std::size_t i = 0; i < 64; ++i) v.SetBitOn(i);
  v.SetSize(37);
  EXPECT_EQ(v.CountBits(), 37u);
  EXPECT_EQ(v.GetWords()[1], 0x1Fu);
  // Growing again must not resurrect the bits cut off by the shrink.
  v.SetSize(64);
  EXPECT_EQ(v.CountBits(), 37u);
  EXPECT_FALSE(v.IsBitOn(37));
  EXPECT_TRUE(v.IsBitOn(36));
  v.SetSize(5);
  EXPECT_EQ(v.CountBits(), 5u);
  v.SetSize(0);
  EXPECT_EQ(v.CountBits(), 0u);
  EXPECT_EQ(v.NumWords(), 0u);
}

TEST(BitVector, SetDataUsesLittleEndianBitOrder) {
  const std::uint8_t bytes[] = {0x01, 0x01, 0x80};
  KvBitVector v;
  v.SetData(bytes, 24);
  EXPECT_EQ(v.GetSize(), 24u);
  EXPECT_EQ(v.CountBits(), 3u);
  EXPECT_TRUE(v.IsBitOn(0));
  EXPECT_TRUE(v.IsBitOn(8));
  EXPECT_TRUE(v.IsBitOn(23));

  const std::uint8_t high[] = {0x80};
  v.SetData(high, 8);
  EXPECT_TRUE(v.IsBitOn(7));
  EXPECT_EQ(v.CountBits(), 1u);

  // Bits of the last byte past the size are dropped, bytes past it never read.
  const std::uint8_t partial[] = {0xFF, 0xFF};
  v.SetData(partial, 12);
  EXPECT_EQ(v.CountBits(), 12u);
  EXPECT_EQ(v.GetBytes()[1], 0x0Fu);
  EXPECT_EQ(v.NumBytes(), 2u);

  // The storage read back as bytes is what went in.
  std::mt19937 rng(7);
  std::vector<std::uint8_t> in(37);
  for (auto& b : in) b = static_cast<std::uint8_t>(rng());
  v.SetData(in.data(), in.size() * 8);
  ASSERT_EQ(v.Bytes().size(), in.size());
  EXPECT_TRUE(std::equal(in.begin(), in.end(), v.Bytes().begin()));
  for (std::size_t i = 0; i < in.size() * 8; ++i) ASSERT_EQ(v.IsBitOn(i), ((in[i / 8] >> (i % 8)) & 1) != 0) << i;
}

TEST(BitVector, SetDataWithNullBytesIsReportedAndIgnored) {
  VarnexTest::CaptureSink sink;
  KvBitVector v(10);
  v.SetBitOn(3);
  v.SetData(nullptr, 16);
  EXPECT_EQ(v.GetSize(), 10u);
  EXPECT_TRUE(v.IsBitOn(3));
  EXPECT_TRUE(sink.Contains("KvBitVector::SetData() null data for 16 bits"));
  v.SetData(nullptr, 0);
  EXPECT_EQ(v.GetSize(), 0u);
}

TEST(BitVector, HexTextRoundTripsEverySize) {
  std::mt19937 rng(42);
  for (std::size_t bits : {0u, 1u, 7u, 8u, 9u, 31u, 32u, 33u, 63u, 64u, 65u, 4096u}) {
    const KvBitVector v = RandomVector(bits, rng);
    const std::string text = v.ToHexString();
    EXPECT_EQ(text.find('/') == std::string::npos, bits % 8 == 0) << text;
    KvBitVector back(3);
    back.SetBitOn(1);
    ASSERT_TRUE(back.FromHexString(text)) << text;
    EXPECT_EQ(back.GetSize(), bits);
    EXPECT_EQ(back, v) << text;
  }
}

TEST(BitVector, HexTextFormat) {
  KvBitVector v(16);
  v.SetBitOn(0);
  v.SetBitOn(4);
  v.SetBitOn(15);
  EXPECT_EQ(v.ToHexString(), "1180");
  KvBitVector nine(9);
  nine.SetBitOn(0);
  nine.SetBitOn(8);
  EXPECT_EQ(nine.ToHexString(), "0101/9");
  EXPECT_EQ(KvBitVector().ToHexString(), "");
  KvBitVector upper;
  ASSERT_TRUE(upper.FromHexString("FF0A"));
  EXPECT_EQ(upper.CountBits(), 10u);
  EXPECT_TRUE(upper.IsBitOn(9));
}

TEST(BitVector, MalformedHexIsRejectedAndLeavesTheVector) {
  VarnexTest::CaptureSink sink;
  KvBitVector v(9);
  v.SetBitOn(8);
  const KvBitVector before = v;
  for (const char* bad : {"0", "0g", "zz", "01/", "01/8", "0101/8", "0101/17", "01/x", "01/-3", "01/3x", "0101/+9",
                          "01/ 3", "ff/3", "/0", "01/18446744073709551615", "01/99999999999999999999999"}) {
    sink.Clear();
    EXPECT_FALSE(v.FromHexString(bad)) << bad;
    EXPECT_EQ(sink.Count(), 1u) << bad;
    EXPECT_EQ(v, before) << bad;
  }
  EXPECT_TRUE(v.FromHexString(""));
  EXPECT_EQ(v.GetSize(), 0u);
}

TEST(BitVector, EqualityNeedsSameSizeAndBits) {
  KvBitVector a(40), b(40), c(41);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c) << "same bits, different size";
  a.SetBitOn(39);
  EXPECT_NE(a, b);
  b.SetBitOn(39);
  EXPECT_EQ(a, b);
}

TEST(BitVector, CopyIsDeepAndMoveEmptiesTheSource) {
  KvBitVector a(100);
  a.SetBitOn(99);
  KvBitVector copy = a;
  copy.SetBitOn(1);
  EXPECT_FALSE(a.IsBitOn(1));
  KvBitVector moved = std::move(copy);
  EXPECT_EQ(moved.CountBits(), 2u);
  EXPECT_EQ(copy.GetSize(), 0u);  // NOLINT(bugprone-use-after-move): documented state
  EXPECT_EQ(copy.CountBits(), 0u);
  copy.SetBitOn(0);  // must not write into freed or missing storage
  KvBitVector assigned(3);
  assigned = std::move(moved);
  EXPECT_EQ(assigned.GetSize(), 100u);
  EXPECT_EQ(moved.GetSize(), 0u);
}

TEST(BitVector, RawWordWritesThenClearUnusedBits) {
  KvBitVector v(40);
  auto words = v.WordsMutable();
  ASSERT_EQ(words.size(), 2u);
  words[0] = 0xFFFFFFFFu;
  words[1] = 0xFFFFFFFFu;
  v.ClearUnusedBits();
  EXPECT_EQ(v.CountBits(), 40u);
  EXPECT_EQ(v.CountBits(), NaiveCount(v));
}

TEST(BitCounts, MatchANaiveLoopOnOddSizes) {
  std::mt19937 rng(1234);
  for (std::size_t bits : {1u, 5u, 31u, 33u, 63u, 65u, 95u, 97u, 1021u, 4093u}) {
    for (double density : {0.05, 0.5, 0.95}) {
      const KvBitVector a = RandomVector(bits, rng, density);
      const KvBitVector b = RandomVector(bits, rng, density);
      std::uint32_t onlyA = 0, onlyB = 0, both = 0, neither = 0;
      for (std::size_t i = 0; i < bits; ++i) {
        const bool x = a.IsBitOn(i), y = b.IsBitOn(i);
        onlyA += x && !y;
        onlyB += y && !x;
        both += x && y;
        neither += !x && !y;
      }
      std::uint32_t r[4] = {~0u, ~0u, ~0u, ~0u};
      ASSERT_TRUE(KvGetBitCounts(a, b, &r[0], &r[1], &r[2], &r[3]));
      EXPECT_EQ(r[0], onlyA) << bits;
      EXPECT_EQ(r[1], onlyB) << bits;
      EXPECT_EQ(r[2], both) << bits;
      EXPECT_EQ(r[3], neither) << bits;
      std::uint32_t s[3] = {~0u, ~0u, ~0u};
      ASSERT_TRUE(KvGetBitCounts(a, b, &s[0], &s[1], &s[2]));
      EXPECT_EQ(s[0], onlyA);
      EXPECT_EQ(s[1], onlyB);
      EXPECT_EQ(s[2], both);
      EXPECT_EQ(a.CountBits(), NaiveCount(a));
    }
  }
}

TEST(BitCounts, NullOutputsAndEmptyVectors) {
  KvBitVector a(10), b(10);
  a.SetBitOn(2);
  std::uint32_t both = 9;
  EXPECT_TRUE(KvGetBitCounts(a, b, nullptr, nullptr, &both, nullptr));
  EXPECT_EQ(both, 0u);
  std::uint32_t counts[4] = {9, 9, 9, 9};
  EXPECT_TRUE(KvGetBitCounts(KvBitVector(), KvBitVector(), &counts[0], &counts[1], &counts[2], &counts[3]));
  EXPECT_EQ(counts[0] + counts[1] + counts[2] + counts[3], 0u);
}

TEST(BitCounts, SizeMismatchWarnsAndLeavesOutputs) {
  VarnexTest::CaptureSink sink;
  KvBitVector a(64), b(65);
  std::uint32_t onlyA = 7, onlyB = 7, both = 7, neither = 7;
  EXPECT_FALSE(KvGetBitCounts(a, b, &onlyA, &onlyB, &both, &neither));
  EXPECT_FALSE(KvGetBitCounts(a, b, &onlyA, &onlyB, &both));
  EXPECT_EQ(onlyA + onlyB + both + neither, 28u);
  ASSERT_EQ(sink.Count(), 2u);
  EXPECT_EQ(sink.Texts()[0], "KvGetBitCounts() bit vector size mismatch (64 and 65 bits)");
}

}  // namespace
