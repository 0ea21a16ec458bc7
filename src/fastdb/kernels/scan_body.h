// The loops of a scan kernel, written once and compiled once per instruction
// set (each flavour's .cpp includes this file).
//
// Before including it, a flavour defines KV_TARGET, the target attribute of
// its instruction set, which every function here carries, so that the
// flavour's counts inline into the loops. It then makes its kernel with
// MakeScanKernel<Counts>(id) from a struct of its counts:
//
//   struct Counts {
//     // |run AND query| over `words` words; `run` may be unaligned.
//     static std::uint64_t And(const std::uint8_t* run, const std::uint64_t* query, std::size_t words);
//     // |words[0, n)|.
//     static std::uint64_t Words(const std::uint64_t* words, std::size_t n);
//     // Whether AndEight below exists: eight short runs (at most 16 words)
//     // counted at once, out[k] = |run k AND query| for the runs at
//     // first + k x stride.
//     // Whether runs of at most 16 words are asked for ahead of use.
//     static constexpr bool kPrefetchShortRuns;
//     static constexpr bool kCountsEightShortRuns;
//     static void AndEight(const std::uint8_t* first, std::size_t stride, const std::uint64_t* query,
//                          std::size_t words, std::uint32_t* out);
//     // Whether ScreenEight exists: screenRuns (kernels.h) for eight short
//     // runs at `first` (at most 16 words), setting bits `at` to at + 7 of
//     // each query's masks.
//     static constexpr bool kScreensEightShortRuns;
//     static void ScreenEight(const std::uint8_t* first, std::size_t stride, const std::uint32_t* slack,
//                             const ScreenQuery* queries, std::size_t nq, std::size_t words,
//                             std::uint64_t* masks, std::size_t at);
//   };
//
// Everything here has internal linkage: each flavour gets its own copy,
// compiled for its own instruction set, which the linker cannot mistake
// for another flavour's.

// No include guard: once per flavour's translation unit, by design.
#ifndef KV_TARGET
#error "define KV_TARGET (the flavour's target attribute) before including scan_body.h"
#endif

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fastdb/kernels/kernels.h"
#include "similarity/popcount.h"

namespace Varnex {
namespace {

template <class Counts>
KV_TARGET void IntersectRun(const std::uint8_t* first, std::size_t stride, std::size_t count,
                            const std::uint64_t* query, std::size_t words, std::uint32_t* out) {
  // Sixteen runs ahead: short runs (signatures) are read faster than the
  // hardware prefetcher ramps up in a short range (the vector flavours only:
  // the word-by-word ones are slower than memory there).
  const bool prefetch = Counts::kPrefetchShortRuns && words <= 16;
  std::size_t r = 0;
  if constexpr (Counts::kCountsEightShortRuns) {
    if (words <= 16) {
      for (; r + 8 <= count; r += 8) {
        if (prefetch && r + 24 <= count) PrefetchRun(first + (r + 16) * stride, 8 * stride);
        Counts::AndEight(first + r * stride, stride, query, words, out + r);
      }
    }
  }
  for (; r < count; ++r) {
    if (prefetch && r % 8 == 0 && r + 24 <= count) PrefetchRun(first + (r + 16) * stride, 8 * stride);
    out[r] = static_cast<std::uint32_t>(Counts::And(first + r * stride, query, words));
  }
}

template <class Counts, bool kPrefetch>
KV_TARGET void IntersectAt(const std::uint8_t* base, std::size_t stride, const std::uint32_t* positions,
                           std::size_t count, const std::uint64_t* query, std::size_t words, std::uint32_t* out) {
  for (std::size_t r = 0; r < count; ++r) {
    if (kPrefetch && r + kPrefetchAhead < count) {
      PrefetchRun(base + positions[r + kPrefetchAhead] * stride, 8 * words);
    }
    out[r] = static_cast<std::uint32_t>(Counts::And(base + positions[r] * stride, query, words));
  }
}

// Runs in the outer loop: a run's words stay in cache (or registers) while
// every query counts them.
template <class Counts>
KV_TARGET void ScreenRuns(const std::uint8_t* first, std::size_t stride, std::size_t count,
                          const std::uint32_t* slack, const ScreenQuery* queries, std::size_t nq, std::size_t words,
                          std::uint64_t* masks) {
  for (std::size_t j = 0; j < 2 * nq; ++j) masks[j] = 0;
  std::size_t r = 0;
  if constexpr (Counts::kScreensEightShortRuns) {
    if (words <= 16) {
      for (; r + 8 <= count; r += 8) {
        if (r + 24 <= count) PrefetchRun(first + (r + 16) * stride, 8 * stride);
        Counts::ScreenEight(first + r * stride, stride, slack + r, queries, nq, words, masks, r);
      }
    }
  }
  for (; r < count; ++r) {
    for (std::size_t j = 0; j < nq; ++j) {
      const std::uint64_t common = Counts::And(first + r * stride, queries[j].signature, words);
      if (common + std::min(slack[r], queries[j].extra) >= queries[j].need)
        masks[2 * j + r / 64] |= std::uint64_t{1} << (r % 64);
    }
  }
}

template <class Counts>
constexpr ScanKernel MakeScanKernel(unsigned id) {
  return {id,
          KernelName(id),
          &IntersectRun<Counts>,
          &IntersectAt<Counts, false>,
          &IntersectAt<Counts, true>,
          &Counts::Words,
          &ScreenRuns<Counts>};
}

// The counts of the flavours that count word by word (software, POPCNT).
template <class Word>
struct WordByWord {
  static constexpr bool kPrefetchShortRuns = false;
  static constexpr bool kCountsEightShortRuns = false;
  static constexpr bool kScreensEightShortRuns = false;
  KV_TARGET static std::uint64_t And(const std::uint8_t* run, const std::uint64_t* query, std::size_t words) {
    return CountAndWords<Word>(run, query, words);
  }
  KV_TARGET static std::uint64_t Words(const std::uint64_t* words, std::size_t n) { return CountWords<Word>(words, n); }
};

}  // namespace
}  // namespace Varnex
