// Population-count kernels against a plain bit-by-bit loop: the software
// kernel always, the instruction kernels where this processor has them, over
// word counts that do and do not fill whole steps of four, and pair counts
// over unaligned storage.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "similarity/kernel_choice.h"
#include "similarity/popcount.h"

namespace {

using namespace Varnex;

std::uint64_t PlainCount(const std::uint8_t* bytes, std::size_t n) {
  std::uint64_t count = 0;
  for (std::size_t i = 0; i < n; ++i)
    for (int bit = 0; bit < 8; ++bit) count += (bytes[i] >> bit) & 1u;
  return count;
}

std::vector<std::uint64_t> RandomWords(std::mt19937_64& rng, std::size_t n) {
  std::vector<std::uint64_t> words(n);
  for (auto& w : words) {
    // Mix dense, sparse and extreme words.
    switch (rng() % 4) {
      case 0: w = rng(); break;
      case 1: w = rng() & rng() & rng(); break;
      case 2: w = ~std::uint64_t{0}; break;
      default: w = std::uint64_t{1} << (rng() % 64); break;
    }
  }
  return words;
}

std::vector<std::pair<const char*, PopCountKernel>> AvailableKernels() {
  std::vector<std::pair<const char*, PopCountKernel>> kernels = {{"software", &PopCountSoftware}};
  if (HasPopCountInstruction()) kernels.push_back({"instruction", &PopCountInstruction});
  return kernels;
}

TEST(PopCountKernels, MatchPlainLoopOnRandomAndUnalignedWords) {
  std::mt19937_64 rng(20240607);
  for (std::size_t n : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 12u, 63u, 64u, 65u, 256u}) {
    for (int round = 0; round < 20; ++round) {
      const std::vector<std::uint64_t> words = RandomWords(rng, n);
      const std::uint64_t expected = PlainCount(reinterpret_cast<const std::uint8_t*>(words.data()), n * 8);
      for (auto [name, kernel] : AvailableKernels()) EXPECT_EQ(kernel(words.data(), n), expected) << name << " n=" << n;
    }
  }
  // Words at an odd address: the kernels load through memcpy.
  std::vector<std::uint8_t> buffer(8 * 9 + 1, 0xFF);
  const auto* odd = reinterpret_cast<const std::uint64_t*>(buffer.data() + 1);  // only read via memcpy
  for (auto [name, kernel] : AvailableKernels()) EXPECT_EQ(kernel(odd, 9), 576u) << name;

  EXPECT_EQ(GetPopCountKernel(0), nullptr);
  EXPECT_EQ(GetPopCountKernel(3), nullptr);
  EXPECT_EQ(GetPopCountKernel(1), &PopCountSoftware);
  // Method 2 follows the library's instruction-set choice (VARNEX_KERNEL).
  const unsigned before = ActiveKernel();
  for (unsigned id = 0; id < ScanKernelId::Count; ++id) {
    if (!SetActiveKernel(id)) continue;
    EXPECT_EQ(GetPopCountKernel(2), id == ScanKernelId::Software ? &PopCountSoftware : &PopCountInstruction)
        << KernelName(id);
  }
  ASSERT_TRUE(SetActiveKernel(before));
}

// The dispatched counts under every choice this processor runs, which walks
// each flavour (software, instruction) against the plain loop.
TEST(PairCounts, PairAndUnionCountsMatchPlainLoopOnUnalignedStorage) {
  std::mt19937_64 rng(7);
  const unsigned before = ActiveKernel();
  for (unsigned id = 0; id < ScanKernelId::Count; ++id) {
    if (!SetActiveKernel(id)) continue;
    SCOPED_TRACE(KernelName(id));
    for (std::size_t halfWords : {0u, 1u, 2u, 3u, 5u, 32u, 128u, 129u}) {
      const std::size_t bytes = halfWords * 4;
      const std::vector<std::uint64_t> wa = RandomWords(rng, halfWords / 2 + 2);
      const std::vector<std::uint64_t> wb = RandomWords(rng, halfWords / 2 + 2);
      // Shift the start by 4 bytes, as a 32-bit-word storage may be.
      const auto* a = reinterpret_cast<const std::uint8_t*>(wa.data()) + 4;
      const auto* b = reinterpret_cast<const std::uint8_t*>(wb.data()) + 4;
      std::vector<std::uint8_t> both(bytes), either(bytes);
      for (std::size_t i = 0; i < bytes; ++i) {
        both[i] = a[i] & b[i];
        either[i] = a[i] | b[i];
      }
      const BitPairCounts pairs = CountBitPairs(a, b, bytes);
      EXPECT_EQ(pairs.onA, PlainCount(a, bytes)) << bytes;
      EXPECT_EQ(pairs.onB, PlainCount(b, bytes)) << bytes;
      EXPECT_EQ(pairs.onBoth, PlainCount(both.data(), bytes)) << bytes;
      const BitUnionCounts unions = CountBitUnion(a, b, bytes);
      EXPECT_EQ(unions.onEither, PlainCount(either.data(), bytes)) << bytes;
      EXPECT_EQ(unions.onBoth, PlainCount(both.data(), bytes)) << bytes;
    }
  }
  ASSERT_TRUE(SetActiveKernel(before));
}

}  // namespace
