// A counting sort of record positions by stored bit count.

#include "fastdb/count_index.h"

#include <limits>

#include "fastdb/fpbin_bytes.h"

namespace Varnex {

bool KvCountIndex::Build(const std::uint8_t* records, std::size_t stride, std::uint64_t n, std::uint64_t maxCount,
                         std::uint64_t& badRecord) {
  counts_.clear();
  positions_.clear();
  binStart_.clear();
  // Read each count word once; the second pass works on this copy.
  std::vector<std::uint32_t> counts(static_cast<std::size_t>(n));
  for (std::uint64_t i = 0; i < n; ++i) {
    const std::uint64_t count = KvLoadLE64(records + i * stride + 8);
    if (count > maxCount) {
      badRecord = i;
      return false;
    }
    counts[i] = static_cast<std::uint32_t>(count);
  }
  if (n > std::numeric_limits<std::uint32_t>::max()) return true;  // positions would not fit: scan instead

  std::vector<std::uint64_t> start(static_cast<std::size_t>(maxCount) + 2, 0);
  for (const std::uint32_t count : counts) ++start[count + 1];
  for (std::size_t p = 1; p < start.size(); ++p) start[p] += start[p - 1];
  positions_.resize(static_cast<std::size_t>(n));
  std::vector<std::uint64_t> next(start.begin(), start.end() - 1);
  for (std::uint64_t i = 0; i < n; ++i) positions_[next[counts[i]]++] = static_cast<std::uint32_t>(i);
  binStart_ = std::move(start);
  counts_ = std::move(counts);
  return true;
}

}  // namespace Varnex
