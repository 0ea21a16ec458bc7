// The AVX-512 scan kernel: VPOPCNTQ on 512-bit vectors, a masked load for a
// final partial vector. Short runs are counted eight at a time, with one
// accumulator each and one transposing sum for all eight, so signatures do
// not pay a horizontal sum each: only this flavour has the 512-bit lanes to
// hold eight runs' sums in one vector, hence its own AndEight.

#include <immintrin.h>

#define KV_TARGET __attribute__((target("avx512f,avx512vpopcntdq,avx2,popcnt")))
#include "fastdb/kernels/scan_body.h"

// GCC 12's headers pass an undefined vector as the unused source of
// unmasked shuffles and extracts, which trips its own uninitialised-value
// warnings wherever they are inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace Varnex {
namespace {

// The sum of the eight lanes, in registers.
KV_TARGET inline std::uint64_t SumLanes(__m512i v) {
  const __m512i folded = _mm512_add_epi64(v, _mm512_shuffle_i64x2(v, v, _MM_SHUFFLE(1, 0, 3, 2)));
  const __m256i quarter = _mm512_castsi512_si256(folded);
  const __m128i half = _mm_add_epi64(_mm256_castsi256_si128(quarter), _mm256_extracti128_si256(quarter, 1));
  return static_cast<std::uint64_t>(_mm_cvtsi128_si64(half)) + static_cast<std::uint64_t>(_mm_extract_epi64(half, 1));
}

// The words [i, i + 8) that are below `words`: the final vector may be
// partial, and a masked load reads nothing past it.
KV_TARGET inline __mmask8 MaskFrom(std::size_t i, std::size_t words) {
  const std::size_t left = words - i;
  return left >= 8 ? static_cast<__mmask8>(0xff) : static_cast<__mmask8>((1u << left) - 1u);
}

// The lane sums of a[0..8) as the eight lanes of one vector, in order.
KV_TARGET inline __m512i SumEach(const __m512i* a) {
  __m512i pairs[4];
  for (int k = 0; k < 4; ++k) {
    pairs[k] = _mm512_add_epi64(_mm512_unpacklo_epi64(a[2 * k], a[2 * k + 1]),
                                _mm512_unpackhi_epi64(a[2 * k], a[2 * k + 1]));
  }
  // Each 128-bit lane of pairs[k] now holds partial sums of a[2k], a[2k + 1].
  const __m512i lo = _mm512_add_epi64(_mm512_shuffle_i64x2(pairs[0], pairs[1], _MM_SHUFFLE(2, 0, 2, 0)),
                                      _mm512_shuffle_i64x2(pairs[0], pairs[1], _MM_SHUFFLE(3, 1, 3, 1)));
  const __m512i hi = _mm512_add_epi64(_mm512_shuffle_i64x2(pairs[2], pairs[3], _MM_SHUFFLE(2, 0, 2, 0)),
                                      _mm512_shuffle_i64x2(pairs[2], pairs[3], _MM_SHUFFLE(3, 1, 3, 1)));
  return _mm512_add_epi64(_mm512_shuffle_i64x2(lo, hi, _MM_SHUFFLE(2, 0, 2, 0)),
                          _mm512_shuffle_i64x2(lo, hi, _MM_SHUFFLE(3, 1, 3, 1)));
}

// ScreenEight for runs of one vector (kTwo false: at most 8 words) or two.
// The eight runs stay in registers while every query counts them.
template <bool kTwo>
KV_TARGET __attribute__((always_inline)) inline void ScreenEightOf(const std::uint8_t* first, std::size_t stride,
                                                                   const std::uint32_t* slack,
                                                                   const ScreenQuery* queries, std::size_t nq,
                                                                   std::size_t words, std::uint64_t* masks,
                                                                   std::size_t at) {
  const __mmask8 lowMask = MaskFrom(0, words);
  const __mmask8 highMask = kTwo ? MaskFrom(8, words) : 0;
  __m512i low[8], high[8];
  for (int k = 0; k < 8; ++k) {
    low[k] = _mm512_maskz_loadu_epi64(lowMask, first + k * stride);
    if (kTwo) high[k] = _mm512_maskz_loadu_epi64(highMask, first + k * stride + 64);
  }
  // The bound in 64-bit lanes of full vectors: the 256-bit compares need
  // AVX512VL, which choosing this kernel does not check for.
  const __m512i slacks = _mm512_cvtepu32_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(slack)));
  std::uint64_t* word = masks + at / 64;
  const unsigned shift = static_cast<unsigned>(at % 64);
  for (std::size_t j = 0; j < nq; ++j) {
    const ScreenQuery& query = queries[j];
    const __m512i y0 = _mm512_maskz_loadu_epi64(lowMask, query.signature);
    __m512i acc[8];
    if (kTwo) {
      const __m512i y1 = _mm512_maskz_loadu_epi64(highMask, query.signature + 8);
      for (int k = 0; k < 8; ++k) {
        acc[k] = _mm512_add_epi64(_mm512_popcnt_epi64(_mm512_and_si512(low[k], y0)),
                                  _mm512_popcnt_epi64(_mm512_and_si512(high[k], y1)));
      }
    } else {
      for (int k = 0; k < 8; ++k) acc[k] = _mm512_popcnt_epi64(_mm512_and_si512(low[k], y0));
    }
    const __m512i extra = _mm512_set1_epi64(static_cast<long long>(query.extra));
    const __m512i bound = _mm512_add_epi64(SumEach(acc), _mm512_min_epu64(slacks, extra));
    const __mmask8 pass = _mm512_cmpge_epu64_mask(bound, _mm512_set1_epi64(static_cast<long long>(query.need)));
    word[2 * j] |= static_cast<std::uint64_t>(pass) << shift;
  }
}

struct Avx512Counts {
  static constexpr bool kPrefetchShortRuns = true;
  static constexpr bool kCountsEightShortRuns = true;
  static constexpr bool kScreensEightShortRuns = true;

  KV_TARGET static std::uint64_t And(const std::uint8_t* a, const std::uint64_t* b, std::size_t words) {
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
      const __mmask8 mask = MaskFrom(i, words);
      const __m512i x = _mm512_maskz_loadu_epi64(mask, a + 8 * i);
      const __m512i y = _mm512_maskz_loadu_epi64(mask, b + i);
      acc0 = _mm512_add_epi64(acc0, _mm512_popcnt_epi64(_mm512_and_si512(x, y)));
    }
    return SumLanes(_mm512_add_epi64(acc0, acc1));
  }

  KV_TARGET static std::uint64_t Words(const std::uint64_t* words, std::size_t n) {
    __m512i acc = _mm512_setzero_si512();
    for (std::size_t i = 0; i < n; i += 8) {
      acc = _mm512_add_epi64(acc, _mm512_popcnt_epi64(_mm512_maskz_loadu_epi64(MaskFrom(i, n), words + i)));
    }
    return SumLanes(acc);
  }

  // Inlined into the scan loop, as one of its steps.
  KV_TARGET __attribute__((always_inline)) static void AndEight(const std::uint8_t* first, std::size_t stride,
                                                                const std::uint64_t* query, std::size_t words,
                                                                std::uint32_t* out) {
    __m512i acc[8];
    for (int k = 0; k < 8; ++k) acc[k] = _mm512_setzero_si512();
    for (std::size_t i = 0; i < words; i += 8) {
      const __mmask8 mask = MaskFrom(i, words);
      const __m512i y = _mm512_maskz_loadu_epi64(mask, query + i);
      for (int k = 0; k < 8; ++k) {
        const __m512i x = _mm512_maskz_loadu_epi64(mask, first + k * stride + 8 * i);
        acc[k] = _mm512_add_epi64(acc[k], _mm512_popcnt_epi64(_mm512_and_si512(x, y)));
      }
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm512_cvtepi64_epi32(SumEach(acc)));
  }

  KV_TARGET static void ScreenEight(const std::uint8_t* first, std::size_t stride, const std::uint32_t* slack,
                                    const ScreenQuery* queries, std::size_t nq, std::size_t words,
                                    std::uint64_t* masks, std::size_t at) {
    if (words > 8) {
      ScreenEightOf<true>(first, stride, slack, queries, nq, words, masks, at);
    } else {
      ScreenEightOf<false>(first, stride, slack, queries, nq, words, masks, at);
    }
  }
};

}  // namespace

const ScanKernel kScanKernelAvx512 = MakeScanKernel<Avx512Counts>(ScanKernelId::Avx512);

}  // namespace Varnex
