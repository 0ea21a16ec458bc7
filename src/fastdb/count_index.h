// Record positions grouped by stored bit count, for the pruned sorted search.
//
// Built once when a database opens (one pass over the count words): bin p
// lists, in ascending order, the positions of the records whose stored count
// is p, for p = 0 to N (= 64W). A sorted search visits the bins in order of
// the best score their records can reach and stops when no bin can beat the
// hit list's threshold.
//
// Thread safety: immutable after Build; any number of readers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace Varnex {

class KvCountIndex {
 public:
  // Indexes `n` records of `stride` bytes from `records`, whose count word
  // (bytes 8 to 15, little-endian) must be at most `maxCount`. Returns false
  // and sets `badRecord` to the first record whose count is larger. An index
  // of more than 2^32 - 1 records is not built (Empty() stays true) and the
  // searches scan instead.
  bool Build(const std::uint8_t* records, std::size_t stride, std::uint64_t n, std::uint64_t maxCount,
             std::uint64_t& badRecord);

  // True when no index was built.
  bool Empty() const { return binStart_.empty(); }
  // The number of bins (N + 1).
  std::size_t NumBins() const { return binStart_.empty() ? 0 : binStart_.size() - 1; }
  // The stored count of every record, by position: a compact copy, so that
  // a scan can pick records without touching the ones it skips.
  std::span<const std::uint32_t> Counts() const { return {counts_.data(), counts_.size()}; }
  // The positions of the records of count p, ascending.
  std::span<const std::uint32_t> Bin(std::size_t p) const {
    return {positions_.data() + binStart_[p], static_cast<std::size_t>(binStart_[p + 1] - binStart_[p])};
  }

 private:
  std::vector<std::uint32_t> counts_;
  std::vector<std::uint32_t> positions_;
  std::vector<std::uint64_t> binStart_;  // NumBins() + 1 offsets into positions_
};

}  // namespace Varnex
