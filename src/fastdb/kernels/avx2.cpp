// The AVX2 scan kernel: population counts of 256-bit vectors by nibble lookup
// (vpshufb), summed in bytes and folded into 64-bit lanes with vpsadbw.

#include <immintrin.h>

#include "fastdb/kernels/kernels.h"
#include "similarity/popcount.h"

#define KV_TARGET __attribute__((target("avx2,popcnt")))

namespace Varnex {
namespace {

// A byte lane gains at most 8 per vector, so 31 vectors fit in a byte; fold
// every 16 to stay well clear.
constexpr std::size_t kVectorsPerFold = 16;

KV_TARGET inline __m256i CountBytes(__m256i v) {
  const __m256i lookup = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4,  //
                                          0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
  const __m256i low = _mm256_set1_epi8(0x0f);
  const __m256i lo = _mm256_and_si256(v, low);
  const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(v, 4), low);
  return _mm256_add_epi8(_mm256_shuffle_epi8(lookup, lo), _mm256_shuffle_epi8(lookup, hi));
}

KV_TARGET inline std::uint64_t SumLanes(__m256i v) {
  const __m128i sum = _mm_add_epi64(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  return static_cast<std::uint64_t>(_mm_cvtsi128_si64(sum)) + static_cast<std::uint64_t>(_mm_extract_epi64(sum, 1));
}

// |a AND b| over `words` words; a may be unaligned, b is the query.
KV_TARGET inline std::uint64_t AndCount(const std::uint8_t* a, const std::uint64_t* b, std::size_t words) {
  const std::size_t vectors = words / 4;
  __m256i total = _mm256_setzero_si256();
  std::size_t v = 0;
  while (v < vectors) {
    const std::size_t end = v + kVectorsPerFold < vectors ? v + kVectorsPerFold : vectors;
    __m256i bytes = _mm256_setzero_si256();
    for (; v < end; ++v) {
      const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + 32 * v));
      const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + 4 * v));
      bytes = _mm256_add_epi8(bytes, CountBytes(_mm256_and_si256(x, y)));
    }
    total = _mm256_add_epi64(total, _mm256_sad_epu8(bytes, _mm256_setzero_si256()));
  }
  std::uint64_t count = SumLanes(total);
  for (std::size_t i = 4 * vectors; i < words; ++i) {
    count += static_cast<std::uint64_t>(__builtin_popcountll(KvLoadWord(a + 8 * i) & b[i]));
  }
  return count;
}

KV_TARGET void IntersectRun(const std::uint8_t* first, std::size_t stride, std::size_t count,
                            const std::uint64_t* query, std::size_t words, std::uint32_t* out) {
  for (std::size_t r = 0; r < count; ++r) {
    // Short runs (signatures) are read faster than the hardware prefetcher
    // ramps up in a short range.
    if (words <= 16 && r % 8 == 0 && r + 24 <= count) KvPrefetchRun(first + (r + 16) * stride, 8 * stride);
    out[r] = static_cast<std::uint32_t>(AndCount(first + r * stride, query, words));
  }
}

template <bool kPrefetch>
KV_TARGET void IntersectAtImpl(const std::uint8_t* base, std::size_t stride, const std::uint32_t* positions,
                               std::size_t count, const std::uint64_t* query, std::size_t words, std::uint32_t* out) {
  for (std::size_t r = 0; r < count; ++r) {
    if (kPrefetch && r + kKvPrefetchAhead < count) {
      KvPrefetchRun(base + positions[r + kKvPrefetchAhead] * stride, 8 * words);
    }
    out[r] = static_cast<std::uint32_t>(AndCount(base + positions[r] * stride, query, words));
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

KV_TARGET std::uint64_t PopCount(const std::uint64_t* words, std::size_t n) {
  const std::size_t vectors = n / 4;
  __m256i total = _mm256_setzero_si256();
  std::size_t v = 0;
  while (v < vectors) {
    const std::size_t end = v + kVectorsPerFold < vectors ? v + kVectorsPerFold : vectors;
    __m256i bytes = _mm256_setzero_si256();
    for (; v < end; ++v) {
      bytes = _mm256_add_epi8(bytes, CountBytes(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(words + 4 * v))));
    }
    total = _mm256_add_epi64(total, _mm256_sad_epu8(bytes, _mm256_setzero_si256()));
  }
  std::uint64_t count = SumLanes(total);
  for (std::size_t i = 4 * vectors; i < n; ++i) count += static_cast<std::uint64_t>(__builtin_popcountll(words[i]));
  return count;
}

}  // namespace

const KvScanKernel kKvScanKernelAvx2 = {KvScanKernelId::Avx2, "avx2",          &IntersectRun,
                                        &IntersectAt,         &IntersectAtFar, &PopCount};

}  // namespace Varnex
