// The AVX-512 scan kernel: VPOPCNTQ on 512-bit vectors, a masked load for a
// final partial vector, two accumulators.

#include <immintrin.h>

#include "fastdb/scan_kernels.h"

#define KV_TARGET __attribute__((target("avx512f,avx512vpopcntdq")))

namespace Varnex {
namespace {

// The sum of the eight lanes. (GCC 12's _mm512_reduce_add_epi64 trips a false
// uninitialised-value warning.)
KV_TARGET inline std::uint64_t SumLanes(__m512i v) {
  alignas(64) std::uint64_t lanes[8];
  _mm512_store_si512(lanes, v);
  return lanes[0] + lanes[1] + lanes[2] + lanes[3] + lanes[4] + lanes[5] + lanes[6] + lanes[7];
}

// |a AND b| over `words` words; a may be unaligned, b is the query.
KV_TARGET inline std::uint64_t AndCount(const std::uint8_t* a, const std::uint64_t* b, std::size_t words) {
  __m512i acc0 = _mm512_setzero_si512();
  __m512i acc1 = _mm512_setzero_si512();
  std::size_t i = 0;
  for (; i + 16 <= words; i += 16) {
    const __m512i x0 = _mm512_loadu_si512(a + 8 * i);
    const __m512i y0 = _mm512_loadu_si512(b + i);
    const __m512i x1 = _mm512_loadu_si512(a + 8 * i + 64);
    const __m512i y1 = _mm512_loadu_si512(b + i + 8);
    acc0 = _mm512_add_epi64(acc0, _mm512_popcnt_epi64(_mm512_and_si512(x0, y0)));
    acc1 = _mm512_add_epi64(acc1, _mm512_popcnt_epi64(_mm512_and_si512(x1, y1)));
  }
  for (; i < words; i += 8) {
    const std::size_t left = words - i;
    const __mmask8 mask = left >= 8 ? static_cast<__mmask8>(0xff) : static_cast<__mmask8>((1u << left) - 1u);
    const __m512i x = _mm512_maskz_loadu_epi64(mask, a + 8 * i);
    const __m512i y = _mm512_maskz_loadu_epi64(mask, b + i);
    acc0 = _mm512_add_epi64(acc0, _mm512_popcnt_epi64(_mm512_and_si512(x, y)));
  }
  return SumLanes(_mm512_add_epi64(acc0, acc1));
}

KV_TARGET void IntersectRun(const std::uint8_t* first, std::size_t stride, std::size_t count,
                            const std::uint64_t* query, std::size_t words, std::uint32_t* out) {
  for (std::size_t r = 0; r < count; ++r) {
    out[r] = static_cast<std::uint32_t>(AndCount(first + r * stride, query, words));
  }
}

KV_TARGET void IntersectAt(const std::uint8_t* base, std::size_t stride, const std::uint32_t* positions,
                           std::size_t count, const std::uint64_t* query, std::size_t words, std::uint32_t* out) {
  for (std::size_t r = 0; r < count; ++r) {
    if (r + kKvPrefetchAhead < count) KvPrefetchRun(base + positions[r + kKvPrefetchAhead] * stride, 8 * words);
    out[r] = static_cast<std::uint32_t>(AndCount(base + positions[r] * stride, query, words));
  }
}

KV_TARGET std::uint64_t PopCount(const std::uint64_t* words, std::size_t n) {
  __m512i acc = _mm512_setzero_si512();
  for (std::size_t i = 0; i < n; i += 8) {
    const std::size_t left = n - i;
    const __mmask8 mask = left >= 8 ? static_cast<__mmask8>(0xff) : static_cast<__mmask8>((1u << left) - 1u);
    acc = _mm512_add_epi64(acc, _mm512_popcnt_epi64(_mm512_maskz_loadu_epi64(mask, words + i)));
  }
  return SumLanes(acc);
}

}  // namespace

const KvScanKernel kKvScanKernelAvx512 = {KvScanKernelId::Avx512, "avx512", &IntersectRun, &IntersectAt, &PopCount};

}  // namespace Varnex
