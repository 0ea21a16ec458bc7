// The pair counts behind the similarity measures, written once over a word
// count, and their dispatch by the library's instruction-set choice.

#include "similarity/popcount.h"

#include "similarity/kernel_choice.h"

namespace Varnex {
namespace {

// The software forms unless the choice is "software": every other kernel
// runs only where POPCNT does.
bool UseInstruction() { return ActiveKernel() != KvScanKernelId::Software; }

// The 64-bit words of a and b in one pass, then one trailing 32-bit word
// (bit vectors store 32-bit words): `visit(x, y)` for each pair.
template <class Visit>
VARNEX_INLINE_BODY void VisitWordPairs(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes, Visit visit) {
  std::size_t i = 0;
  for (; i + 8 <= bytes; i += 8) visit(KvLoadWord(a + i), KvLoadWord(b + i));
  if (i < bytes) visit(std::uint64_t{KvLoadHalfWord(a + i)}, std::uint64_t{KvLoadHalfWord(b + i)});
}

template <class Word>
VARNEX_INLINE_BODY KvBitPairCounts CountPairs(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  KvBitPairCounts counts;
  VisitWordPairs(a, b, bytes, [&counts](std::uint64_t x, std::uint64_t y) {
    counts.onA += Word::Count(x);
    counts.onB += Word::Count(y);
    counts.onBoth += Word::Count(x & y);
  });
  return counts;
}

template <class Word>
VARNEX_INLINE_BODY KvBitUnionCounts CountUnion(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  KvBitUnionCounts counts;
  VisitWordPairs(a, b, bytes, [&counts](std::uint64_t x, std::uint64_t y) {
    counts.onEither += Word::Count(x | y);
    counts.onBoth += Word::Count(x & y);
  });
  return counts;
}

}  // namespace

bool KvHasPopCountInstruction() { return KernelRunsHere(KvScanKernelId::PopCnt); }

KvPopCountKernel KvGetPopCountKernel(unsigned method) {
  switch (method) {
    case KvPopCountMethod::Software:
      return &KvPopCountSoftware;
    case KvPopCountMethod::Instruction:
      return UseInstruction() ? &KvPopCountInstruction : &KvPopCountSoftware;
    default:
      return nullptr;
  }
}

KvBitPairCounts KvCountBitPairsSoftware(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  return CountPairs<SoftwareWord>(a, b, bytes);
}

VARNEX_TARGET_POPCNT KvBitPairCounts KvCountBitPairsInstruction(const std::uint8_t* a, const std::uint8_t* b,
                                                                std::size_t bytes) {
  return CountPairs<InstructionWord>(a, b, bytes);
}

KvBitPairCounts KvCountBitPairs(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  return UseInstruction() ? KvCountBitPairsInstruction(a, b, bytes) : KvCountBitPairsSoftware(a, b, bytes);
}

KvBitUnionCounts KvCountBitUnionSoftware(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  return CountUnion<SoftwareWord>(a, b, bytes);
}

VARNEX_TARGET_POPCNT KvBitUnionCounts KvCountBitUnionInstruction(const std::uint8_t* a, const std::uint8_t* b,
                                                                 std::size_t bytes) {
  return CountUnion<InstructionWord>(a, b, bytes);
}

KvBitUnionCounts KvCountBitUnion(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  return UseInstruction() ? KvCountBitUnionInstruction(a, b, bytes) : KvCountBitUnionSoftware(a, b, bytes);
}

}  // namespace Varnex
