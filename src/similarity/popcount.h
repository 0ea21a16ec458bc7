// Population counts over runs of 64-bit words.
//
// Two forms of every kernel: a portable bit-parallel count and one built on
// the processor's population-count instruction. The instruction forms carry a
// per-function target attribute, so the library itself is compiled for plain
// x86-64 and runs anywhere; KvHasPopCountInstruction() says (from a cached
// CPUID test) whether they may be called. They are inline so that callers
// compiled for the same target (the fast database's scan loops) can inline
// them; elsewhere, use the selectors, which choose once per process.
//
// Every kernel reads its words through memcpy, so the words need no
// alignment. Kernels allocate nothing and keep no state: they may run on any
// number of threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define VARNEX_TARGET_POPCNT __attribute__((target("popcnt")))
#else
#define VARNEX_TARGET_POPCNT
#endif

namespace Varnex {

// Population-count method codes (the values KvGetPopCountMethod reports).
namespace KvPopCountMethod {
inline constexpr unsigned None = 0;
inline constexpr unsigned Software = 1;     // bit-parallel count on 64-bit words
inline constexpr unsigned Instruction = 2;  // the processor's instruction on 64-bit words
}  // namespace KvPopCountMethod

// A kernel: the number of bits set in words[0, n).
using KvPopCountKernel = std::uint64_t (*)(const std::uint64_t* words, std::size_t n);

inline std::uint64_t KvLoadWord(const void* p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

inline std::uint32_t KvLoadHalfWord(const void* p) {
  std::uint32_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// The classic bit-parallel count of one word: pairs, nibbles, bytes, then
// folding by 8, 16 and 32 bits and keeping the low byte.
inline std::uint64_t KvPopCountWordSoftware(std::uint64_t x) {
  x = x - ((x >> 1) & 0x5555555555555555ULL);
  x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
  x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0fULL;
  x += x >> 8;
  x += x >> 16;
  x += x >> 32;
  return x & 0xffULL;
}

VARNEX_TARGET_POPCNT inline std::uint64_t KvPopCountWordInstruction(std::uint64_t x) {
  return static_cast<std::uint64_t>(__builtin_popcountll(x));
}

// The kernels proper. Steps of four words feed four separate accumulators,
// so that successive counts do not wait on one another. A final partial step
// (n not a multiple of 4) reads only the words that are there.

// Method 1.
inline std::uint64_t KvPopCountSoftware(const std::uint64_t* words, std::size_t n) {
  std::uint64_t c0 = 0, c1 = 0, c2 = 0, c3 = 0;
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    c0 += KvPopCountWordSoftware(KvLoadWord(words + i));
    c1 += KvPopCountWordSoftware(KvLoadWord(words + i + 1));
    c2 += KvPopCountWordSoftware(KvLoadWord(words + i + 2));
    c3 += KvPopCountWordSoftware(KvLoadWord(words + i + 3));
  }
  if (i < n) c0 += KvPopCountWordSoftware(KvLoadWord(words + i));
  if (i + 1 < n) c1 += KvPopCountWordSoftware(KvLoadWord(words + i + 1));
  if (i + 2 < n) c2 += KvPopCountWordSoftware(KvLoadWord(words + i + 2));
  return c0 + c1 + c2 + c3;
}

// Method 2. REQUIRES: KvHasPopCountInstruction().
VARNEX_TARGET_POPCNT inline std::uint64_t KvPopCountInstruction(const std::uint64_t* words, std::size_t n) {
  std::uint64_t c0 = 0, c1 = 0, c2 = 0, c3 = 0;
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    c0 += KvPopCountWordInstruction(KvLoadWord(words + i));
    c1 += KvPopCountWordInstruction(KvLoadWord(words + i + 1));
    c2 += KvPopCountWordInstruction(KvLoadWord(words + i + 2));
    c3 += KvPopCountWordInstruction(KvLoadWord(words + i + 3));
  }
  if (i < n) c0 += KvPopCountWordInstruction(KvLoadWord(words + i));
  if (i + 1 < n) c1 += KvPopCountWordInstruction(KvLoadWord(words + i + 1));
  if (i + 2 < n) c2 += KvPopCountWordInstruction(KvLoadWord(words + i + 2));
  return c0 + c1 + c2 + c3;
}

// Whether this processor has the population-count instruction. Tested once.
bool KvHasPopCountInstruction();

// The kernel of a method: the software kernel for 1, the instruction kernel
// for 2 (the software kernel on a processor without the instruction, which
// counts the same), null for any other value.
KvPopCountKernel KvGetPopCountKernel(unsigned method);

// ---- Pair counts: one pass over two bit vectors of equal storage.

// Bits set in A, in B and in both.
struct KvBitPairCounts {
  std::uint64_t onA = 0;
  std::uint64_t onB = 0;
  std::uint64_t onBoth = 0;
};

// Counts over `bytes` bytes at `a` and at `b`. REQUIRES: `bytes` is a
// multiple of 4 (bit vectors store 32-bit words).
KvBitPairCounts KvCountBitPairsSoftware(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes);
// REQUIRES: KvHasPopCountInstruction().
KvBitPairCounts KvCountBitPairsInstruction(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes);
// The fastest form this processor runs.
KvBitPairCounts KvCountBitPairs(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes);

// Bits set in A or B, and in both: all that measures using only a + b need,
// for two counts per word instead of three.
struct KvBitUnionCounts {
  std::uint64_t onEither = 0;
  std::uint64_t onBoth = 0;
};

// Same requirements as the pair counts above.
KvBitUnionCounts KvCountBitUnionSoftware(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes);
KvBitUnionCounts KvCountBitUnionInstruction(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes);
KvBitUnionCounts KvCountBitUnion(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes);

}  // namespace Varnex
