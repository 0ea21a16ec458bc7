// Kernel selection and the pair counts behind the similarity measures.

#include "similarity/popcount.h"

#include "kvsystem/platform.h"

namespace Varnex {

bool KvHasPopCountInstruction() {
#if defined(__x86_64__) || defined(__i386__)
  return KvSystem::KvGetCpuFeatures().popcnt;
#else
  return true;  // elsewhere the builtin is the plain instruction set's own count
#endif
}

KvPopCountKernel KvGetPopCountKernel(unsigned method) {
  switch (method) {
    case KvPopCountMethod::Software:
      return &KvPopCountSoftware;
    case KvPopCountMethod::Instruction:
      return KvHasPopCountInstruction() ? &KvPopCountInstruction : &KvPopCountSoftware;
    default:
      return nullptr;
  }
}

KvBitPairCounts KvCountBitPairsSoftware(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  KvBitPairCounts counts;
  std::size_t i = 0;
  for (; i + 8 <= bytes; i += 8) {
    const std::uint64_t x = KvLoadWord(a + i);
    const std::uint64_t y = KvLoadWord(b + i);
    counts.onA += KvPopCountWordSoftware(x);
    counts.onB += KvPopCountWordSoftware(y);
    counts.onBoth += KvPopCountWordSoftware(x & y);
  }
  if (i < bytes) {  // one trailing 32-bit word
    const std::uint64_t x = KvLoadHalfWord(a + i);
    const std::uint64_t y = KvLoadHalfWord(b + i);
    counts.onA += KvPopCountWordSoftware(x);
    counts.onB += KvPopCountWordSoftware(y);
    counts.onBoth += KvPopCountWordSoftware(x & y);
  }
  return counts;
}

VARNEX_TARGET_POPCNT KvBitPairCounts KvCountBitPairsInstruction(const std::uint8_t* a, const std::uint8_t* b,
                                                                std::size_t bytes) {
  KvBitPairCounts counts;
  std::size_t i = 0;
  for (; i + 8 <= bytes; i += 8) {
    const std::uint64_t x = KvLoadWord(a + i);
    const std::uint64_t y = KvLoadWord(b + i);
    counts.onA += KvPopCountWordInstruction(x);
    counts.onB += KvPopCountWordInstruction(y);
    counts.onBoth += KvPopCountWordInstruction(x & y);
  }
  if (i < bytes) {
    const std::uint64_t x = KvLoadHalfWord(a + i);
    const std::uint64_t y = KvLoadHalfWord(b + i);
    counts.onA += KvPopCountWordInstruction(x);
    counts.onB += KvPopCountWordInstruction(y);
    counts.onBoth += KvPopCountWordInstruction(x & y);
  }
  return counts;
}

KvBitPairCounts KvCountBitPairs(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  return KvHasPopCountInstruction() ? KvCountBitPairsInstruction(a, b, bytes) : KvCountBitPairsSoftware(a, b, bytes);
}

KvBitUnionCounts KvCountBitUnionSoftware(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  KvBitUnionCounts counts;
  std::size_t i = 0;
  for (; i + 8 <= bytes; i += 8) {
    const std::uint64_t x = KvLoadWord(a + i);
    const std::uint64_t y = KvLoadWord(b + i);
    counts.onEither += KvPopCountWordSoftware(x | y);
    counts.onBoth += KvPopCountWordSoftware(x & y);
  }
  if (i < bytes) {
    const std::uint64_t x = KvLoadHalfWord(a + i);
    const std::uint64_t y = KvLoadHalfWord(b + i);
    counts.onEither += KvPopCountWordSoftware(x | y);
    counts.onBoth += KvPopCountWordSoftware(x & y);
  }
  return counts;
}

VARNEX_TARGET_POPCNT KvBitUnionCounts KvCountBitUnionInstruction(const std::uint8_t* a, const std::uint8_t* b,
                                                                 std::size_t bytes) {
  KvBitUnionCounts counts;
  std::size_t i = 0;
  for (; i + 8 <= bytes; i += 8) {
    const std::uint64_t x = KvLoadWord(a + i);
    const std::uint64_t y = KvLoadWord(b + i);
    counts.onEither += KvPopCountWordInstruction(x | y);
    counts.onBoth += KvPopCountWordInstruction(x & y);
  }
  if (i < bytes) {
    const std::uint64_t x = KvLoadHalfWord(a + i);
    const std::uint64_t y = KvLoadHalfWord(b + i);
    counts.onEither += KvPopCountWordInstruction(x | y);
    counts.onBoth += KvPopCountWordInstruction(x & y);
  }
  return counts;
}

KvBitUnionCounts KvCountBitUnion(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  return KvHasPopCountInstruction() ? KvCountBitUnionInstruction(a, b, bytes) : KvCountBitUnionSoftware(a, b, bytes);
}

}  // namespace Varnex
