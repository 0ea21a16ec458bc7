// Population counts over runs of 64-bit words.
//
// Two forms of every count: a portable bit-parallel one and one built on the
// processor's population-count instruction, both written once (the loops
// below, over a per-word count) and instantiated per form. The instruction
// forms carry a per-function target attribute, so the library itself is
// compiled for plain x86-64 and runs anywhere. Which form the dispatched
// counts use follows the one instruction-set choice of the library
// (kernel_choice.h, VARNEX_KERNEL): the software form when it is "software",
// the instruction form otherwise.
//
// Every count reads its words through memcpy, so the words need no
// alignment. Counts allocate nothing and keep no state: they may run on any
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

// For the loops written once: they take the target of the function they are
// inlined into, where the word count becomes the instruction or not.
#define VARNEX_INLINE_BODY __attribute__((always_inline)) inline

namespace Varnex {

// Population-count method codes (the values KvGetPopCountMethod reports).
namespace PopCountMethod {
inline constexpr unsigned None = 0;
inline constexpr unsigned Software = 1;     // bit-parallel count on 64-bit words
inline constexpr unsigned Instruction = 2;  // the processor's instruction on 64-bit words
}  // namespace PopCountMethod

// A count: the number of bits set in words[0, n).
using PopCountKernel = std::uint64_t (*)(const std::uint64_t* words, std::size_t n);

inline std::uint64_t LoadWord(const void* p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

inline std::uint32_t LoadHalfWord(const void* p) {
  std::uint32_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// The classic bit-parallel count of one word: pairs, nibbles, bytes, then
// folding by 8, 16 and 32 bits and keeping the low byte.
inline std::uint64_t PopCountWordSoftware(std::uint64_t x) {
  x = x - ((x >> 1) & 0x5555555555555555ULL);
  x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
  x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0fULL;
  x += x >> 8;
  x += x >> 16;
  x += x >> 32;
  return x & 0xffULL;
}

VARNEX_TARGET_POPCNT inline std::uint64_t PopCountWordInstruction(std::uint64_t x) {
  return static_cast<std::uint64_t>(__builtin_popcountll(x));
}

// The word counts the loops are instantiated over. InstructionWord has no
// target of its own: it becomes the instruction inside a function that has.
struct SoftwareWord {
  static std::uint64_t Count(std::uint64_t x) { return PopCountWordSoftware(x); }
};
struct InstructionWord {
  VARNEX_INLINE_BODY static std::uint64_t Count(std::uint64_t x) {
    return static_cast<std::uint64_t>(__builtin_popcountll(x));
  }
};

// The sum of Word::Count(at(i)) for i < n. Steps of four words feed four
// separate accumulators, so that successive counts do not wait on one
// another.
template <class Word, class WordAt>
VARNEX_INLINE_BODY std::uint64_t SumWordCounts(std::size_t n, WordAt at) {
  std::uint64_t c0 = 0, c1 = 0, c2 = 0, c3 = 0;
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    c0 += Word::Count(at(i));
    c1 += Word::Count(at(i + 1));
    c2 += Word::Count(at(i + 2));
    c3 += Word::Count(at(i + 3));
  }
  for (; i < n; ++i) c0 += Word::Count(at(i));
  return c0 + c1 + c2 + c3;
}

// |words[0, n)|.
template <class Word>
VARNEX_INLINE_BODY std::uint64_t CountWords(const std::uint64_t* words, std::size_t n) {
  return SumWordCounts<Word>(n, [words](std::size_t i) { return LoadWord(words + i); });
}

// |a AND b| over `n` words; `a` may be unaligned.
template <class Word>
VARNEX_INLINE_BODY std::uint64_t CountAndWords(const std::uint8_t* a, const std::uint64_t* b, std::size_t n) {
  return SumWordCounts<Word>(n, [a, b](std::size_t i) { return LoadWord(a + 8 * i) & b[i]; });
}

inline std::uint64_t PopCountSoftware(const std::uint64_t* words, std::size_t n) {
  return CountWords<SoftwareWord>(words, n);
}

// REQUIRES: HasPopCountInstruction().
VARNEX_TARGET_POPCNT inline std::uint64_t PopCountInstruction(const std::uint64_t* words, std::size_t n) {
  return CountWords<InstructionWord>(words, n);
}

// Whether this processor has the population-count instruction. Tested once.
bool HasPopCountInstruction();

// The count of a method: the software count for 1; for 2, the instruction
// count unless the library's choice is "software" (then the software count,
// which counts the same); null for any other value.
PopCountKernel GetPopCountKernel(unsigned method);

// ---- Pair counts: one pass over two bit vectors of equal storage.

// Bits set in A, in B and in both.
struct BitPairCounts {
  std::uint64_t onA = 0;
  std::uint64_t onB = 0;
  std::uint64_t onBoth = 0;
};

// Counts over `bytes` bytes at `a` and at `b`. REQUIRES: `bytes` is a
// multiple of 4 (bit vectors store 32-bit words).
BitPairCounts CountBitPairsSoftware(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes);
// REQUIRES: HasPopCountInstruction().
BitPairCounts CountBitPairsInstruction(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes);
// The form the library's instruction-set choice names.
BitPairCounts CountBitPairs(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes);

// Bits set in A or B, and in both: all that measures using only a + b need,
// for two counts per word instead of three.
struct BitUnionCounts {
  std::uint64_t onEither = 0;
  std::uint64_t onBoth = 0;
};

// Same requirements as the pair counts above.
BitUnionCounts CountBitUnionSoftware(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes);
BitUnionCounts CountBitUnionInstruction(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes);
BitUnionCounts CountBitUnion(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes);

}  // namespace Varnex
