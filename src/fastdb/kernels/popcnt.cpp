// The POPCNT scan kernel: one instruction per word, four accumulators.

#include "fastdb/kernels/kernels.h"
#include "similarity/popcount.h"

#define KV_TARGET VARNEX_TARGET_POPCNT

namespace Varnex {
namespace {

KV_TARGET inline std::uint32_t IntersectOne(const std::uint8_t* record, const std::uint64_t* query, std::size_t words) {
  const std::uint8_t* bits = record;
  std::uint64_t c0 = 0, c1 = 0, c2 = 0, c3 = 0;
  std::size_t i = 0;
  for (; i + 4 <= words; i += 4) {
    c0 += KvPopCountWordInstruction(KvLoadWord(bits + 8 * i) & query[i]);
    c1 += KvPopCountWordInstruction(KvLoadWord(bits + 8 * i + 8) & query[i + 1]);
    c2 += KvPopCountWordInstruction(KvLoadWord(bits + 8 * i + 16) & query[i + 2]);
    c3 += KvPopCountWordInstruction(KvLoadWord(bits + 8 * i + 24) & query[i + 3]);
  }
  for (; i < words; ++i) c0 += KvPopCountWordInstruction(KvLoadWord(bits + 8 * i) & query[i]);
  return static_cast<std::uint32_t>(c0 + c1 + c2 + c3);
}

KV_TARGET void IntersectRun(const std::uint8_t* first, std::size_t stride, std::size_t count,
                            const std::uint64_t* query, std::size_t words, std::uint32_t* out) {
  for (std::size_t r = 0; r < count; ++r) out[r] = IntersectOne(first + r * stride, query, words);
}

template <bool kPrefetch>
KV_TARGET void IntersectAtImpl(const std::uint8_t* base, std::size_t stride, const std::uint32_t* positions,
                               std::size_t count, const std::uint64_t* query, std::size_t words, std::uint32_t* out) {
  for (std::size_t r = 0; r < count; ++r) {
    if (kPrefetch && r + kKvPrefetchAhead < count) {
      KvPrefetchRun(base + positions[r + kKvPrefetchAhead] * stride, 8 * words);
    }
    out[r] = IntersectOne(base + positions[r] * stride, query, words);
  }
}

KV_TARGET void IntersectAt(const std::uint8_t* base, std::size_t stride, const std::uint32_t* positions,
                           std::size_t count, const std::uint64_t* query, std::size_t words, std::uint32_t* out) {
  IntersectAtImpl<false>(base, stride, positions, count, query, words, out);
}

KV_TARGET void IntersectAtFar(const std::uint8_t* base, std::size_t stride, const std::uint32_t* positions,
                              std::size_t count, const std::uint64_t* query, std::size_t words, std::uint32_t* out) {
  IntersectAtImpl<true>(base, stride, positions, count, query, words, out);
}

KV_TARGET std::uint64_t PopCount(const std::uint64_t* words, std::size_t n) { return KvPopCountInstruction(words, n); }

}  // namespace

const KvScanKernel kKvScanKernelPopCnt = {KvScanKernelId::PopCnt, "popcnt",        &IntersectRun,
                                          &IntersectAt,           &IntersectAtFar, &PopCount};

}  // namespace Varnex
