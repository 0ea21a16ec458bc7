// Anonymous mappings with a hint for huge pages.

#include "fastdb/storage/word_buffer.h"

#include <sys/mman.h>

#include <algorithm>
#include <limits>
#include <utility>

namespace Varnex {

WordBuffer::~WordBuffer() { Release(); }

void WordBuffer::Release() {
  if (data_ != nullptr) ::munmap(data_, bytes_);
  data_ = nullptr;
  words_ = 0;
  bytes_ = 0;
}

void WordBuffer::Swap(WordBuffer& other) {
  std::swap(data_, other.data_);
  std::swap(words_, other.words_);
  std::swap(bytes_, other.bytes_);
}

bool WordBuffer::Allocate(std::size_t words) {
  Release();
  if (words == 0) return true;
  if (words > std::numeric_limits<std::size_t>::max() / 8 - 4096) return false;
  const std::size_t bytes = (words * 8 + 4095) / 4096 * 4096;
  void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return false;
#ifdef MADV_HUGEPAGE
  ::madvise(p, bytes, MADV_HUGEPAGE);  // a hint; refusals change nothing
#endif
  data_ = static_cast<std::uint64_t*>(p);
  words_ = words;
  bytes_ = bytes;
  return true;
}

bool WordBuffer::Populate(std::size_t from, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  if (from >= bytes_) return true;
  const std::size_t begin = from / 4096 * 4096;
  const std::size_t end = std::min(bytes_, (from + bytes + 4095) / 4096 * 4096);
  return ::madvise(reinterpret_cast<char*>(data_) + begin, end - begin, MADV_POPULATE_WRITE) == 0;
#else
  (void)from;
  (void)bytes;
  return false;
#endif
}

}  // namespace Varnex
