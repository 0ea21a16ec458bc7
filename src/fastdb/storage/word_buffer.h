// Large arrays of 64-bit words for the fast database (records read into
// memory, signatures): pages of their own, zero-filled, 64-byte aligned, and
// offered to the operating system for huge pages, so that filling hundreds of
// megabytes costs a few hundred page faults instead of a few hundred
// thousand.
//
// Thread safety: none for Allocate, Release and Swap; the words themselves
// are plain memory, and Populate may run beside their writers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Varnex {

class WordBuffer {
 public:
  WordBuffer() = default;
  ~WordBuffer();
  WordBuffer(const WordBuffer&) = delete;
  WordBuffer& operator=(const WordBuffer&) = delete;

  // Replaces the contents by `words` zero words; false (and empty) when the
  // system has no memory for them.
  bool Allocate(std::size_t words);
  void Release();
  void Swap(WordBuffer& other);
  // Faults in (and so zero-fills) the pages holding bytes [from, from +
  // bytes) without changing any word, so that a later write there costs no
  // page fault. Safe while other threads write the words; false when the
  // system cannot do it (nothing happened then).
  bool Populate(std::size_t from, std::size_t bytes);

  std::uint64_t* Data() { return data_; }
  const std::uint64_t* Data() const { return data_; }
  std::size_t Size() const { return words_; }

 private:
  std::uint64_t* data_ = nullptr;
  std::size_t words_ = 0;
  std::size_t bytes_ = 0;  // mapped length
};

}  // namespace Varnex
