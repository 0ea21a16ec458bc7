// The pair counts behind the similarity measures, written once over a word
// count, and their dispatch by the library's instruction-set choice.

#include "similarity/popcount.h"

#include "similarity/kernel_choice.h"

namespace Varnex {
namespace {

// The software forms unless the choice is "software": every other kernel
// runs only where POPCNT does.
bool UseInstruction() { return ActiveKernel() != ScanKernelId::Software; }

// The 64-bit words of a and b in one pass, then one trailing 32-bit word
// (bit vectors store 32-bit words): `visit(x, y)` for each pair.
template <class Visit>
VARNEX_INLINE_BODY void VisitWordPairs(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes, Visit visit) {
  std::size_t i = 0;
  for (; i + 8 <= bytes; i += 8) visit(LoadWord(a + i), LoadWord(b + i));
  if (i < bytes) visit(std::uint64_t{LoadHalfWord(a + i)}, std::uint64_t{LoadHalfWord(b + i)});
}

template <class Word>
VARNEX_INLINE_BODY BitPairCounts CountPairs(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  BitPairCounts counts;
  VisitWordPairs(a, b, bytes, [&counts](std::uint64_t x, std::uint64_t y) {
    counts.onA += Word::Count(x);
    counts.onB += Word::Count(y);
    counts.onBoth += Word::Count(x & y);
  });
  return counts;
}

template <class Word>
VARNEX_INLINE_BODY BitUnionCounts CountUnion(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  BitUnionCounts counts;
  VisitWordPairs(a, b, bytes, [&counts](std::uint64_t x, std::uint64_t y) {
    counts.onEither += Word::Count(x | y);
    counts.onBoth += Word::Count(x & y);
  });
  return counts;
}

}  // namespace

bool HasPopCountInstruction() { return KernelRunsHere(ScanKernelId::PopCnt); }

PopCountKernel GetPopCountKernel(unsigned method) {
  switch (method) {
    case PopCountMethod::Software:
      return &PopCountSoftware;
    case PopCountMethod::Instruction:
      return UseInstruction() ? &PopCountInstruction : &PopCountSoftware;
    default:
      return nullptr;
  }
}

BitPairCounts CountBitPairsSoftware(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  return CountPairs<SoftwareWord>(a, b, bytes);
}

VARNEX_TARGET_POPCNT BitPairCounts CountBitPairsInstruction(const std::uint8_t* a, const std::uint8_t* b,
                                                                std::size_t bytes) {
  return CountPairs<InstructionWord>(a, b, bytes);
}

BitPairCounts CountBitPairs(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  return UseInstruction() ? CountBitPairsInstruction(a, b, bytes) : CountBitPairsSoftware(a, b, bytes);
}

BitUnionCounts CountBitUnionSoftware(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  return CountUnion<SoftwareWord>(a, b, bytes);
}

VARNEX_TARGET_POPCNT BitUnionCounts CountBitUnionInstruction(const std::uint8_t* a, const std::uint8_t* b,
                                                                 std::size_t bytes) {
  return CountUnion<InstructionWord>(a, b, bytes);
}

BitUnionCounts CountBitUnion(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes) {
  return UseInstruction() ? CountBitUnionInstruction(a, b, bytes) : CountBitUnionSoftware(a, b, bytes);
}

}  // namespace Varnex
