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

TEST(BitVector, OutOfRangeIndicesAreIgnoredAndStorageTailStaysClear) {
  KvBitVector v(70);
  EXPECT_EQ(v.NumWords(), 3u);
  EXPECT_EQ(v.NumBytes(), 9u);
  for (std::size_t i : {0u, 31u, 32u, 63u, 64u, 69u, 70u, 1000u}) v.SetBitOn(i);
  EXPECT_EQ(v.CountBits(), 6u);
  EXPECT_FALSE(v.IsBitOn(70));
  EXPECT_FALSE(v.IsBitOn(SIZE_MAX));
  v.SetBitOff(31);
  v.SetBitOff(500);
  EXPECT_EQ(v.CountBits(), 5u);
  EXPECT_EQ(v.GetWords()[2] >> 6, 0u);
  // Raw word writes past the size are trimmed on request.
  v.WordsMutable()[2] = 0xFFFFFFFFu;
  v.ClearUnusedBits();
  EXPECT_EQ(v.GetWords()[2], 0x3Fu);
  // Shrinking clears the cut bits: growing again must not resurrect them.
  v.SetSize(37);
  v.SetSize(70);
  EXPECT_EQ(v.CountBits(), 2u);  // bits 0 and 32: not 63, 64 or 69
  v.ClearBits();
  EXPECT_EQ(v.CountBits(), 0u);
  EXPECT_EQ(v.GetSize(), 70u);
  KvBitVector moved = std::move(v);
  EXPECT_EQ(v.GetSize(), 0u);  // documented moved-from state
  v.SetBitOn(0);               // must not touch missing storage
  EXPECT_EQ(v.CountBits(), 0u);
}

TEST(BitVector, SetDataUsesLittleEndianBitOrder) {
  const std::uint8_t bytes[] = {0x01, 0x01, 0x80};
  KvBitVector v;
  v.SetData(bytes, 24);
  EXPECT_EQ(v.CountBits(), 3u);
  EXPECT_TRUE(v.IsBitOn(0));
  EXPECT_TRUE(v.IsBitOn(8));
  EXPECT_TRUE(v.IsBitOn(23));
  // Bits of the last byte past the size are dropped.
  const std::uint8_t ones[] = {0xFF, 0xFF};
  v.SetData(ones, 12);
  EXPECT_EQ(v.CountBits(), 12u);
  EXPECT_EQ(v.GetBytes()[1], 0x0Fu);
  // The storage read back as bytes is what went in.
  std::mt19937 rng(7);
  std::vector<std::uint8_t> in(37);
  for (auto& b : in) b = static_cast<std::uint8_t>(rng());
  v.SetData(in.data(), in.size() * 8);
  ASSERT_EQ(v.Bytes().size(), in.size());
  EXPECT_TRUE(std::equal(in.begin(), in.end(), v.Bytes().begin()));
  VarnexTest::CaptureSink sink;
  v.SetData(nullptr, 16);
  EXPECT_EQ(v.GetSize(), 37u * 8);
  EXPECT_TRUE(sink.Contains("KvBitVector::SetData() null data for 16 bits"));
}

TEST(BitVector, HexTextRoundTripsEverySizeAndRefusesMalformedText) {
  std::mt19937 rng(42);
  for (std::size_t bits : {0u, 1u, 7u, 8u, 9u, 31u, 32u, 33u, 65u, 4096u}) {
    const KvBitVector v = RandomVector(bits, rng);
    const std::string text = v.ToHexString();
    KvBitVector back(3);
    back.SetBitOn(1);
    ASSERT_TRUE(back.FromHexString(text)) << text;
    EXPECT_EQ(back, v) << text;
  }
  KvBitVector v(16);
  for (std::size_t i : {0u, 4u, 15u}) v.SetBitOn(i);
  EXPECT_EQ(v.ToHexString(), "1180");
  KvBitVector nine(9);
  nine.SetBitOn(0);
  nine.SetBitOn(8);
  EXPECT_EQ(nine.ToHexString(), "0101/9");
  ASSERT_TRUE(v.FromHexString("FF0A"));
  EXPECT_EQ(v.CountBits(), 10u);
  EXPECT_NE(nine, KvBitVector(9)) << "same size, other bits";
  EXPECT_NE(KvBitVector(40), KvBitVector(41)) << "same bits, other size";

  // Malformed texts are refused, each with a warning, and leave the vector.
  VarnexTest::CaptureSink sink;
  const KvBitVector before = nine;
  for (const char* bad : {"0", "0g", "01/", "01/8", "0101/17", "01/-3", "01/3x", "0101/+9", "ff/3", "/0",
                          "01/18446744073709551615", "01/99999999999999999999999"}) {
    sink.Clear();
    EXPECT_FALSE(nine.FromHexString(bad)) << bad;
    EXPECT_EQ(sink.Count(), 1u) << bad;
    EXPECT_EQ(nine, before) << bad;
  }
}

TEST(BitCounts, MatchANaiveLoopOnOddSizes) {
  std::mt19937 rng(1234);
  for (std::size_t bits : {1u, 5u, 31u, 33u, 63u, 65u, 95u, 97u, 1021u, 4093u}) {
    for (double density : {0.05, 0.5, 0.95}) {
      const KvBitVector a = RandomVector(bits, rng, density);
      const KvBitVector b = RandomVector(bits, rng, density);
      std::uint32_t want[4] = {0, 0, 0, 0};
      for (std::size_t i = 0; i < bits; ++i) {
        const bool x = a.IsBitOn(i), y = b.IsBitOn(i);
        ++want[x && y ? 2 : x ? 0 : y ? 1 : 3];
      }
      std::uint32_t got[4] = {~0u, ~0u, ~0u, ~0u};
      ASSERT_TRUE(KvGetBitCounts(a, b, &got[0], &got[1], &got[2], &got[3]));
      for (int k = 0; k < 4; ++k) EXPECT_EQ(got[k], want[k]) << bits << " count " << k;
      std::uint32_t three[3] = {~0u, ~0u, ~0u};
      ASSERT_TRUE(KvGetBitCounts(a, b, &three[0], &three[1], &three[2]));
      for (int k = 0; k < 3; ++k) EXPECT_EQ(three[k], want[k]) << bits;
      EXPECT_EQ(a.CountBits(), static_cast<std::size_t>(want[0] + want[2]));
    }
  }
  // Sizes that differ: a warning, the outputs left alone; null outputs are allowed.
  VarnexTest::CaptureSink sink;
  KvBitVector a(64), b(65);
  std::uint32_t counts[4] = {7, 7, 7, 7};
  EXPECT_FALSE(KvGetBitCounts(a, b, &counts[0], &counts[1], &counts[2], &counts[3]));
  EXPECT_FALSE(KvGetBitCounts(a, b, &counts[0], &counts[1], &counts[2]));
  EXPECT_EQ(counts[0] + counts[1] + counts[2] + counts[3], 28u);
  ASSERT_EQ(sink.Count(), 2u);
  EXPECT_EQ(sink.Texts()[0], "KvGetBitCounts() bit vector size mismatch (64 and 65 bits)");
  EXPECT_TRUE(KvGetBitCounts(a, a, nullptr, nullptr, nullptr, nullptr));
}

}  // namespace
