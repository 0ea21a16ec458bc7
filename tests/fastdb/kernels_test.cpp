// The scan kernels against a plain std::popcount reference on random records,
// for every kernel this processor runs. (The kernel a user names is the one
// searches use: OracleTest.TheKernelNamedInTheEnvironmentIsTheOneInUse.)

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <random>
#include <vector>

#include "fastdb/kernels/kernels.h"

namespace {

using namespace Varnex;

std::vector<const ScanKernel*> AvailableKernels() {
  std::vector<const ScanKernel*> kernels;
  for (unsigned id = 0; id < ScanKernelId::Count; ++id) {
    if (const ScanKernel* kernel = GetScanKernel(id)) kernels.push_back(kernel);
  }
  return kernels;
}

// Records of `words` words at byte offset `shift` of a buffer (the kernels
// must not assume alignment), random bits with varying densities.
struct Records {
  std::vector<std::uint8_t> bytes;
  std::size_t stride;
  std::size_t shift;
  const std::uint8_t* First() const { return bytes.data() + shift; }
};

Records MakeRecords(std::size_t count, std::size_t words, std::size_t shift, std::mt19937_64& rng) {
  Records r{std::vector<std::uint8_t>(shift + count * (words + 2) * 8), (words + 2) * 8, shift};
  for (std::size_t i = 0; i < count; ++i) {
    const int mode = static_cast<int>(i % 4);
    for (std::size_t w = 0; w < words; ++w) {
      std::uint64_t x = rng();
      if (mode == 1) x &= rng();               // sparse
      if (mode == 2) x = ~std::uint64_t{0};    // full
      if (mode == 3) x = (w % 3 == 0) ? 0 : x;  // holes
      std::memcpy(r.bytes.data() + shift + i * r.stride + 16 + 8 * w, &x, 8);
    }
  }
  return r;
}

std::uint32_t ReferenceAnd(const std::uint8_t* record, const std::vector<std::uint64_t>& query) {
  std::uint32_t count = 0;
  for (std::size_t w = 0; w < query.size(); ++w) {
    std::uint64_t x;
    std::memcpy(&x, record + 16 + 8 * w, 8);
    count += static_cast<std::uint32_t>(std::popcount(x & query[w]));
  }
  return count;
}

TEST(ScanKernels, EveryKernelCountsTheSameAsTheReference) {
  std::mt19937_64 rng(42);
  const auto kernels = AvailableKernels();
  ASSERT_NE(GetScanKernel(ScanKernelId::Software), nullptr);  // runs anywhere
  EXPECT_EQ(GetScanKernel(ScanKernelId::Count), nullptr);
  // Word counts around the vector widths (4 and 8 words) and their multiples,
  // odd ones included: the kernels handle any W, the files only multiples of 4.
  for (const std::size_t words : {1u, 3u, 4u, 7u, 8u, 12u, 15u, 16u, 20u, 33u, 64u, 68u, 128u}) {
    for (const std::size_t shift : {0u, 8u, 3u}) {
      const std::size_t count = 37;
      const Records records = MakeRecords(count, words, shift, rng);
      std::vector<std::uint64_t> query(words);
      for (auto& w : query) w = rng() | rng();
      std::vector<std::uint32_t> expected(count);
      for (std::size_t i = 0; i < count; ++i) expected[i] = ReferenceAnd(records.First() + i * records.stride, query);
      std::vector<std::uint32_t> positions = {36, 0, 5, 5, 17, 2};

      for (const ScanKernel* kernel : kernels) {
        SCOPED_TRACE(std::string(kernel->name) + " W=" + std::to_string(words) + " shift=" + std::to_string(shift));
        std::vector<std::uint32_t> got(count, 0xdeadbeef);
        kernel->intersectRun(records.First() + 16, records.stride, count, query.data(), words, got.data());
        EXPECT_EQ(got, expected);
        for (const auto at : {kernel->intersectAt, kernel->intersectAtFar}) {
          std::vector<std::uint32_t> got(positions.size(), 0xdeadbeef);
          at(records.First() + 16, records.stride, positions.data(), positions.size(), query.data(), words, got.data());
          for (std::size_t k = 0; k < positions.size(); ++k) EXPECT_EQ(got[k], expected[positions[k]]);
        }
        // The screen of the same runs for three queries, each needing the
        // count at one run (so ties fall on the limit) with and without slack.
        std::vector<std::uint32_t> slack(count);
        for (std::size_t i = 0; i < count; ++i) slack[i] = static_cast<std::uint32_t>(i % 5);
        const std::vector<ScreenQuery> screens = {
            {query.data(), 0, expected[5]}, {query.data(), 2, expected[17] + 1}, {query.data(), 9, expected[36] + 9}};
        std::vector<std::uint64_t> masks(2 * screens.size(), ~std::uint64_t{0});
        kernel->screenRuns(records.First() + 16, records.stride, count, slack.data(), screens.data(), screens.size(),
                           words, masks.data());
        for (std::size_t j = 0; j < screens.size(); ++j) {
          for (std::size_t i = 0; i < 128; ++i) {
            const bool passes =
                i < count && expected[i] + std::min(slack[i], screens[j].extra) >= std::uint64_t{screens[j].need};
            EXPECT_EQ((masks[2 * j + i / 64] >> (i % 64)) & 1, passes ? 1u : 0u) << "query " << j << " run " << i;
          }
        }
      }
    }
  }
}

TEST(ScanKernels, PopCountOfRunsOfEveryLength) {
  std::mt19937_64 rng(7);
  std::vector<std::uint64_t> words(130);
  for (auto& w : words) w = rng();
  words[3] = ~std::uint64_t{0};
  for (const ScanKernel* kernel : AvailableKernels()) {
    SCOPED_TRACE(kernel->name);
    std::uint64_t expected = 0;
    for (std::size_t n = 0; n <= words.size(); ++n) {
      EXPECT_EQ(kernel->popCount(words.data(), n), expected) << n;
      if (n < words.size()) expected += static_cast<std::uint64_t>(std::popcount(words[n]));
    }
  }
}

}  // namespace
