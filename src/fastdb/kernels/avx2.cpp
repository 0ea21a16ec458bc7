// The AVX2 scan kernel: population counts of 256-bit vectors by nibble lookup
// (vpshufb), summed in bytes and folded into 64-bit lanes with vpsadbw.

#include <immintrin.h>

#define KV_TARGET __attribute__((target("avx2,popcnt")))
#include "fastdb/kernels/scan_body.h"

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

// The bits of `words` words, read through `in`: in.Vector(v) gives words
// [4v, 4v + 4) as a vector, in.Word(i) word i.
template <class Input>
KV_TARGET inline std::uint64_t CountVectors(std::size_t words, const Input& in) {
  const std::size_t vectors = words / 4;
  __m256i total = _mm256_setzero_si256();
  std::size_t v = 0;
  while (v < vectors) {
    const std::size_t end = v + kVectorsPerFold < vectors ? v + kVectorsPerFold : vectors;
    __m256i bytes = _mm256_setzero_si256();
    for (; v < end; ++v) bytes = _mm256_add_epi8(bytes, CountBytes(in.Vector(v)));
    total = _mm256_add_epi64(total, _mm256_sad_epu8(bytes, _mm256_setzero_si256()));
  }
  std::uint64_t count = SumLanes(total);
  for (std::size_t i = 4 * vectors; i < words; ++i) {
    count += static_cast<std::uint64_t>(__builtin_popcountll(in.Word(i)));
  }
  return count;
}

// A run (may be unaligned) AND the query.
struct AndInput {
  const std::uint8_t* a;
  const std::uint64_t* b;
  KV_TARGET __m256i Vector(std::size_t v) const {
    return _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + 32 * v)),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + 4 * v)));
  }
  KV_TARGET std::uint64_t Word(std::size_t i) const { return LoadWord(a + 8 * i) & b[i]; }
};

struct PlainInput {
  const std::uint64_t* w;
  KV_TARGET __m256i Vector(std::size_t v) const {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + 4 * v));
  }
  KV_TARGET std::uint64_t Word(std::size_t i) const { return w[i]; }
};

struct Avx2Counts {
  static constexpr bool kPrefetchShortRuns = true;
  static constexpr bool kCountsEightShortRuns = false;
  static constexpr bool kScreensEightShortRuns = false;
  KV_TARGET static std::uint64_t And(const std::uint8_t* run, const std::uint64_t* query, std::size_t words) {
    return CountVectors(words, AndInput{run, query});
  }
  KV_TARGET static std::uint64_t Words(const std::uint64_t* words, std::size_t n) {
    return CountVectors(n, PlainInput{words});
  }
};

}  // namespace

const ScanKernel kScanKernelAvx2 = MakeScanKernel<Avx2Counts>(ScanKernelId::Avx2);

}  // namespace Varnex
