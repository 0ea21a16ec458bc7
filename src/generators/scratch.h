// Scratch memory for generators: arrays whose byte size is at most the
// platform's scratch threshold (KvSystem::KvGetAllocaThreshold()) live on the
// stack of the calling function, larger ones on the heap.
//
// Usage, in the function that uses the memory:
//   ScratchHeap heap;
//   void* block = VARNEX_SCRATCH(heap, bytes);
//   ScratchCarver carve(block);
//   unsigned* a = carve.Take<unsigned>(n);
// The stack block lives until the function returns; the heap block until
// `heap` is destroyed.
#pragma once

#include <alloca.h>

#include <cstddef>
#include <memory>

#include "kvsystem/platform.h"

namespace Varnex {

// Owns the heap block when the request was too large for the stack.
class ScratchHeap {
 public:
  void* Allocate(std::size_t bytes) {
    block_.reset(new std::max_align_t[(bytes + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t)]);
    return block_.get();
  }

 private:
  std::unique_ptr<std::max_align_t[]> block_;
};

// Bytes needed for `count` items of T in a carved block, with alignment slack.
template <typename T>
constexpr std::size_t ScratchBytes(std::size_t count) {
  return (count * sizeof(T) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) * alignof(std::max_align_t);
}

// Hands out consecutive, suitably aligned arrays from one block.
class ScratchCarver {
 public:
  explicit ScratchCarver(void* block) : next_(static_cast<std::byte*>(block)) {}
  template <typename T>
  T* Take(std::size_t count) {
    T* items = reinterpret_cast<T*>(next_);
    next_ += ScratchBytes<T>(count);
    return items;
  }

 private:
  std::byte* next_;
};

}  // namespace Varnex

// A block of `bytes` on the caller's stack when within the threshold, else
// from `heap` (a ScratchHeap). alloca has to run in the using function's own
// frame, hence a macro. The block is aligned for any fundamental type.
#define VARNEX_SCRATCH(heap, bytes)                                                             \
  ((bytes) <= ::KvSystem::KvGetAllocaThreshold() ? alloca((bytes) > 0 ? (bytes) : 1) \
                                                 : (heap).Allocate(bytes))
