// Counts and signatures in file order while the records stream past, then a
// counting sort by bit count that moves the signatures into slot order.

#include "fastdb/engine/search_index.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "fastdb/kernels/kernels.h"

namespace Varnex {
namespace {

// Faults a fresh buffer's pages in at once: one call instead of a fault per
// 4 KiB page, which dominates opening many shards of a collection, whose
// buffers are too small for huge pages. Every signature word is written
// right after, so nothing is faulted in for nothing.
void PopulateAll(WordBuffer& buffer) { (void)buffer.Populate(0, buffer.Size() * 8); }

}  // namespace

std::size_t SearchIndex::ChooseSignatureWords(std::size_t w, double meanBits) {
  if (w < 16) return w;
  const double wanted = 4.0 * meanBits / 64.0;
  std::size_t s = 4;
  while (static_cast<double>(s) < wanted && s < w / 4) s *= 2;
  return std::min(s, w / 4);
}

void SearchIndex::Fold(const std::uint64_t* words, std::size_t w, std::uint64_t* signature) const {
  const std::size_t s = sigWords_;
  std::memcpy(signature, words, 8 * s);
  std::size_t base = s;
  for (; base + s <= w; base += s) {
    for (std::size_t k = 0; k < s; ++k) signature[k] |= words[base + k];
  }
  for (std::size_t k = 0; base + k < w; ++k) signature[k] |= words[base + k];
}

std::uint16_t SearchIndex::FoldRecord(const ScanKernel& kernel, const std::uint64_t* record,
                                        std::uint64_t* signature) const {
  Fold(record + 2, words_, signature);
  return static_cast<std::uint16_t>(kernel.popCount(signature, sigWords_));
}

void SearchIndex::Clear() {
  counts_.clear();
  order_.clear();
  binStart_.clear();
  sigs_.Release();
  sigBits_.clear();
  sigWords_ = 0;
}

void SearchIndex::Begin(std::uint64_t n, std::size_t words, bool foldWhileAdding) {
  Clear();
  n_ = n;
  words_ = words;
  added_ = 0;
  addedBits_ = 0;
  foldWhileAdding_ = foldWhileAdding;
  usable_ = n > 0 && n <= std::numeric_limits<std::uint32_t>::max() && words > 0;
  if (usable_) {
    counts_.resize(static_cast<std::size_t>(n));
    if (foldWhileAdding) sigBits_.resize(static_cast<std::size_t>(n));
  }
}

bool SearchIndex::Add(const std::uint64_t* records, std::uint64_t count, std::uint64_t& badRecord,
                        std::string& damage) {
  const std::size_t stride = words_ + 2;
  const ScanKernel& kernel = GetActiveScanKernel();
  for (std::uint64_t r = 0; r < count; ++r) {
    const std::uint64_t* record = records + r * stride;
    const std::uint64_t bits = kernel.popCount(record + 2, words_);
    if (record[1] > 64 * std::uint64_t{words_})
      damage.clear();  // beyond any fingerprint: the invalid-data warning says it all
    else if (record[1] != bits)
      damage = "its stored bit count " + std::to_string(record[1]) + " is not the " + std::to_string(bits) +
               " bits it holds";
    else
      continue;
    badRecord = added_ + r;
    usable_ = false;
    return false;
  }
  if (!usable_ || count == 0) {
    added_ += count;
    return true;
  }
  if (foldWhileAdding_ && sigWords_ == 0) {  // the first run decides the signature size
    std::uint64_t bits = 0;
    for (std::uint64_t r = 0; r < count; ++r) bits += records[r * stride + 1];
    sigWords_ = ChooseSignatureWords(words_, static_cast<double>(bits) / static_cast<double>(count));
    if (!sigs_.Allocate(static_cast<std::size_t>(n_) * sigWords_)) {
      usable_ = false;
      added_ += count;
      return true;
    }
    PopulateAll(sigs_);
  }
  for (std::uint64_t r = 0; r < count && usable_; ++r) {
    const std::uint64_t* record = records + r * stride;
    const std::uint64_t position = added_ + r;
    const std::uint64_t stored = record[1];
    counts_[position] = static_cast<std::uint32_t>(stored);
    addedBits_ += stored;
    if (foldWhileAdding_) sigBits_[position] = FoldRecord(kernel, record, sigs_.Data() + position * sigWords_);
  }
  added_ += count;
  return true;
}

void SearchIndex::Finish(const std::uint64_t* records) {
  if (!usable_ || added_ != n_ || (!foldWhileAdding_ && records == nullptr)) {
    Clear();
    return;
  }
  // Counting sort: the slot of each position, positions ascending in a bin.
  const std::size_t bins = 64 * words_ + 1;
  std::vector<std::uint64_t> start(bins + 1, 0);
  for (const std::uint32_t count : counts_) ++start[count + 1];
  for (std::size_t p = 1; p < start.size(); ++p) start[p] += start[p - 1];
  std::vector<std::uint64_t> next(start.begin(), start.end() - 1);
  order_.resize(static_cast<std::size_t>(n_));
  std::vector<std::uint32_t> slotOf(static_cast<std::size_t>(n_));
  for (std::uint64_t i = 0; i < n_; ++i) {
    const std::uint64_t slot = next[counts_[i]]++;
    order_[slot] = static_cast<std::uint32_t>(i);
    slotOf[i] = static_cast<std::uint32_t>(slot);
  }

  // Signatures and their bit counts into slot order: moved from file order
  // in place, or folded from the records (read in file order, written by
  // slot).
  std::vector<std::uint16_t> bitsBySlot(static_cast<std::size_t>(n_));
  if (foldWhileAdding_) {
    for (std::uint64_t i = 0; i < n_; ++i) bitsBySlot[slotOf[i]] = sigBits_[i];
    MoveToSlots(slotOf);
  } else {
    sigWords_ = ChooseSignatureWords(words_, static_cast<double>(addedBits_) / n_);
    WordBuffer bySlot;
    if (!bySlot.Allocate(static_cast<std::size_t>(n_) * sigWords_)) {
      Clear();
      return;
    }
    PopulateAll(bySlot);
    const ScanKernel& kernel = GetActiveScanKernel();
    for (std::uint64_t i = 0; i < n_; ++i) {
      bitsBySlot[slotOf[i]] =
          FoldRecord(kernel, records + i * (words_ + 2), bySlot.Data() + std::uint64_t{slotOf[i]} * sigWords_);
    }
    sigs_.Swap(bySlot);
  }
  sigBits_ = std::move(bitsBySlot);
  binStart_ = std::move(start);
}

void SearchIndex::MoveToSlots(std::vector<std::uint32_t>& slotOf) {
  // Cycle by cycle: the signature carried into a slot displaces the one of
  // that position, which goes on to its own slot. A moved position is marked
  // as its own slot.
  const std::size_t bytes = 8 * sigWords_;
  std::vector<std::uint64_t> carried(sigWords_), displaced(sigWords_);
  for (std::uint64_t start = 0; start < n_; ++start) {
    if (slotOf[start] == start) continue;
    std::memcpy(carried.data(), sigs_.Data() + start * sigWords_, bytes);
    std::uint64_t from = start;
    do {
      const std::uint64_t to = slotOf[from];
      std::uint64_t* target = sigs_.Data() + to * sigWords_;
      std::memcpy(displaced.data(), target, bytes);
      std::memcpy(target, carried.data(), bytes);
      carried.swap(displaced);
      slotOf[from] = static_cast<std::uint32_t>(from);
      from = to;
    } while (from != start);
  }
}

}  // namespace Varnex
