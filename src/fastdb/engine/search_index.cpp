// Counts and signatures in file order while the records stream past, then a
// counting sort by bit count that moves the signatures into slot order.

#include "fastdb/engine/search_index.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>

#include "fastdb/engine/workers.h"
#include "fastdb/kernels/kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Varnex {
namespace {

// Faults a fresh buffer's pages in at once: one call instead of a fault per
// 4 KiB page, which dominates opening many shards of a collection, whose
// buffers are too small for huge pages. Every word is written right after,
// so nothing is faulted in for nothing.
void PopulateAll(WordBuffer& buffer) { (void)buffer.Populate(0, buffer.Size() * 8); }

// Records counted or folded per call of the scan kernel: enough to make the
// call's cost vanish, few enough that their signatures stay in the first
// cache level.
constexpr std::size_t kRunBytes = 32 * 1024;

// Signature words of the common sizes as a constant, so that the fold's
// words stay in registers.
template <std::size_t S>
void FoldFixed(const std::uint64_t* words, std::size_t w, std::uint64_t* signature) {
  std::uint64_t acc[S];
  for (std::size_t k = 0; k < S; ++k) acc[k] = words[k];
  std::size_t base = S;
  for (; base + S <= w; base += S) {
    for (std::size_t k = 0; k < S; ++k) acc[k] |= words[base + k];
  }
  for (std::size_t k = 0; base + k < w; ++k) acc[k] |= words[base + k];
  for (std::size_t k = 0; k < S; ++k) signature[k] = acc[k];
}

// Copies `words` words (whole 64-byte lines at a 64-byte aligned `to`) past
// the caches: the slots of a run of records are scattered over hundreds of
// bins, and ordinary stores would first read every line they fill.
// StoreLinesDone() orders these stores before any later ones.
void StoreLines(std::uint64_t* to, const std::uint64_t* from, std::size_t words) {
#if defined(__SSE2__)
  for (std::size_t k = 0; k < words; k += 2) {
    _mm_stream_si128(reinterpret_cast<__m128i*>(to + k), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k)));
  }
#else
  std::memcpy(to, from, 8 * words);
#endif
}

void StoreLinesDone() {
#if defined(__SSE2__)
  _mm_sfence();
#endif
}

// Folds `words` (w of them) onto `s` words at `signature`.
void FoldWords(const std::uint64_t* words, std::size_t w, std::uint64_t* signature, std::size_t s) {
  switch (s) {
    case 4: return FoldFixed<4>(words, w, signature);
    case 8: return FoldFixed<8>(words, w, signature);
    case 16: return FoldFixed<16>(words, w, signature);
    case 32: return FoldFixed<32>(words, w, signature);
    default: break;
  }
  std::memcpy(signature, words, 8 * s);
  std::size_t base = s;
  for (; base + s <= w; base += s) {
    for (std::size_t k = 0; k < s; ++k) signature[k] |= words[base + k];
  }
  for (std::size_t k = 0; base + k < w; ++k) signature[k] |= words[base + k];
}

}  // namespace

std::size_t SearchIndex::ChooseSignatureWords(std::size_t w, double meanBits) {
  if (w < 16) return w;
  const double wanted = 4.0 * meanBits / 64.0;
  std::size_t s = 4;
  while (static_cast<double>(s) < wanted && s < w / 4) s *= 2;
  return std::min(s, w / 4);
}

void SearchIndex::Fold(const std::uint64_t* words, std::size_t w, std::uint64_t* signature) const {
  FoldWords(words, w, signature, sigWords_);
}

void SearchIndex::FoldCoarse(const std::uint64_t* signature, std::uint64_t* coarse) const {
  FoldWords(signature, sigWords_, coarse, coarseWords_);
}

void SearchIndex::FoldRecords(const std::uint64_t* records, std::uint64_t count, std::uint64_t* signatures,
                              std::uint32_t* bits) const {
  for (std::uint64_t r = 0; r < count; ++r) Fold(records + r * (words_ + 2) + 2, words_, signatures + r * sigWords_);
  GetActiveScanKernel().intersectRun(reinterpret_cast<const std::uint8_t*>(signatures), 8 * sigWords_,
                                     static_cast<std::size_t>(count), ones_.data(), sigWords_, bits);
}

void SearchIndex::Clear() {
  arrays_.Release();
  counts_ = nullptr;
  order_ = nullptr;
  sigBits_ = nullptr;
  bitsByPosition_.clear();
  binStart_.clear();
  filledBins_.clear();
  sigs_.Release();
  sigWords_ = 0;
  coarse_.Release();
  coarseBits_ = nullptr;
  coarseWords_ = 0;
}

void SearchIndex::Begin(std::uint64_t n, std::size_t words, bool foldWhileAdding) {
  Clear();
  n_ = n;
  words_ = words;
  added_.store(0, std::memory_order_relaxed);
  addedBits_.store(0, std::memory_order_relaxed);
  foldWhileAdding_ = foldWhileAdding;
  ones_.assign(words, ~std::uint64_t{0});
  bool usable = n > 0 && n <= std::numeric_limits<std::uint32_t>::max() && words > 0;
  // Counts and order (n 32-bit values each), then the signatures' bits
  // (n 16-bit values).
  const std::size_t half = static_cast<std::size_t>((n + 1) / 2);
  if (usable && !arrays_.Allocate(2 * half + (half + 1) / 2)) usable = false;
  usable_.store(usable, std::memory_order_relaxed);
  if (!usable) return;
  PopulateAll(arrays_);
  counts_ = reinterpret_cast<std::uint32_t*>(arrays_.Data());
  order_ = reinterpret_cast<std::uint32_t*>(arrays_.Data() + half);
  sigBits_ = reinterpret_cast<std::uint16_t*>(arrays_.Data() + 2 * half);
  if (foldWhileAdding) bitsByPosition_.resize(static_cast<std::size_t>(n));
}

bool SearchIndex::Add(const std::uint64_t* records, std::uint64_t position, std::uint64_t count,
                      std::uint64_t& badRecord, std::string& damage) {
  const std::size_t stride = words_ + 2;
  const ScanKernel& kernel = GetActiveScanKernel();
  // Every record's bits, a run at a time, counted by the scan kernel against
  // a query of all bits.
  constexpr std::size_t kCounted = 1024;
  std::uint32_t bits[kCounted];
  for (std::uint64_t first = 0; first < count; first += kCounted) {
    const std::size_t run = static_cast<std::size_t>(std::min<std::uint64_t>(kCounted, count - first));
    kernel.intersectRun(reinterpret_cast<const std::uint8_t*>(records + first * stride + 2), 8 * stride, run,
                        ones_.data(), words_, bits);
    for (std::size_t k = 0; k < run; ++k) {
      const std::uint64_t stored = records[(first + k) * stride + 1];
      if (stored > 64 * std::uint64_t{words_})
        damage.clear();  // beyond any fingerprint: the invalid-data warning says it all
      else if (stored != bits[k])
        damage = "its stored bit count " + std::to_string(stored) + " is not the " + std::to_string(bits[k]) +
                 " bits it holds";
      else
        continue;
      badRecord = position + first + k;
      usable_.store(false, std::memory_order_relaxed);
      return false;
    }
  }
  if (!usable_.load(std::memory_order_relaxed) || count == 0) {
    added_.fetch_add(count, std::memory_order_relaxed);
    return true;
  }
  if (foldWhileAdding_ && sigWords_ == 0) {  // the first run decides the signature size
    std::uint64_t sum = 0;
    for (std::uint64_t r = 0; r < count; ++r) sum += records[r * stride + 1];
    sigWords_ = ChooseSignatureWords(words_, static_cast<double>(sum) / static_cast<double>(count));
    if (!sigs_.Allocate(static_cast<std::size_t>(n_) * sigWords_)) {
      usable_.store(false, std::memory_order_relaxed);
      added_.fetch_add(count, std::memory_order_relaxed);
      return true;
    }
    PopulateAll(sigs_);
  }
  std::uint64_t sum = 0;
  for (std::uint64_t r = 0; r < count; ++r) {
    const std::uint64_t stored = records[r * stride + 1];
    counts_[position + r] = static_cast<std::uint32_t>(stored);
    sum += stored;
  }
  addedBits_.fetch_add(sum, std::memory_order_relaxed);
  if (foldWhileAdding_) {
    const std::uint64_t perRun = std::max<std::size_t>(1, std::min(kCounted, kRunBytes / (8 * sigWords_)));
    for (std::uint64_t first = 0; first < count; first += perRun) {
      const std::uint64_t run = std::min(perRun, count - first);
      FoldRecords(records + first * stride, run, sigs_.Data() + (position + first) * sigWords_, bits);
      for (std::uint64_t k = 0; k < run; ++k)
        bitsByPosition_[position + first + k] = static_cast<std::uint16_t>(bits[k]);
    }
  }
  added_.fetch_add(count, std::memory_order_relaxed);
  return true;
}

void SearchIndex::Finish(const std::uint64_t* records, unsigned threads) {
  if (!usable_.load(std::memory_order_relaxed) || added_.load(std::memory_order_relaxed) != n_ ||
      (!foldWhileAdding_ && records == nullptr)) {
    Clear();
    return;
  }
  // Counting sort: bin p starts at slot start[p], positions ascending in a
  // bin.
  const std::size_t bins = 64 * words_ + 1;
  std::vector<std::uint64_t> start(bins + 1, 0);
  for (std::uint64_t i = 0; i < n_; ++i) ++start[counts_[i] + 1];
  for (std::size_t p = 1; p < start.size(); ++p) start[p] += start[p - 1];

  if (foldWhileAdding_) {
    // The signatures, folded by position, move into slot order in place.
    std::vector<std::uint64_t> next(start.begin(), start.end() - 1);
    std::vector<std::uint32_t> slotOf(static_cast<std::size_t>(n_));
    for (std::uint64_t i = 0; i < n_; ++i) {
      const std::uint64_t slot = next[counts_[i]]++;
      order_[slot] = static_cast<std::uint32_t>(i);
      slotOf[i] = static_cast<std::uint32_t>(slot);
      sigBits_[slot] = bitsByPosition_[i];
    }
    bitsByPosition_ = {};
    MoveToSlots(slotOf);
  } else {
    sigWords_ = ChooseSignatureWords(words_, static_cast<double>(addedBits_.load(std::memory_order_relaxed)) / n_);
    if (!sigs_.Allocate(static_cast<std::size_t>(n_) * sigWords_)) {
      Clear();
      return;
    }
    FoldAll(records, start, std::max(1u, threads));
  }
  FoldAllCoarse(std::max(1u, threads));
  binStart_ = std::move(start);
  for (std::size_t p = 0; p < bins; ++p) {
    if (binStart_[p] < binStart_[p + 1]) filledBins_.push_back(static_cast<std::uint32_t>(p));
  }
}

void SearchIndex::FoldAllCoarse(unsigned threads) {
  if (sigWords_ < 16) return;
  const std::size_t c = sigWords_ / 4;
  const std::size_t n = static_cast<std::size_t>(n_);
  if (!coarse_.Allocate(n * c + (n + 3) / 4)) return;
  PopulateAll(coarse_);
  coarseWords_ = c;
  coarseBits_ = reinterpret_cast<std::uint16_t*>(coarse_.Data() + n * c);
  constexpr std::uint64_t kRun = 1024;
  const std::uint64_t runs = (n_ + kRun - 1) / kRun;
  std::atomic<std::uint64_t> nextRun{0};
  KvRunWorkers(threads, [&](unsigned) {
    std::uint32_t bits[kRun];
    for (std::uint64_t k = KvClaim(nextRun, runs); k < runs; k = KvClaim(nextRun, runs)) {
      const std::uint64_t first = k * kRun, count = std::min(kRun, n_ - first);
      for (std::uint64_t slot = first; slot < first + count; ++slot)
        FoldCoarse(sigs_.Data() + slot * sigWords_, coarse_.Data() + slot * c);
      GetActiveScanKernel().intersectRun(reinterpret_cast<const std::uint8_t*>(coarse_.Data() + first * c), 8 * c,
                                         static_cast<std::size_t>(count), ones_.data(), c, bits);
      for (std::uint64_t r = 0; r < count; ++r) coarseBits_[first + r] = static_cast<std::uint16_t>(bits[r]);
    }
  });
}

void SearchIndex::FoldAll(const std::uint64_t* records, const std::vector<std::uint64_t>& start, unsigned threads) {
  // The signatures' pages first, faulted in in bulk (cheaper than a fault
  // per page as the stores land), in steps claimed by the threads.
  const std::size_t bytes = sigs_.Size() * 8;
  constexpr std::size_t kStep = std::size_t{8} << 20;
  std::atomic<std::size_t> nextStep{0};
  KvRunWorkers(threads, [&](unsigned) {
    for (std::size_t at = KvClaim(nextStep, bytes, kStep); at < bytes; at = KvClaim(nextStep, bytes, kStep)) {
      if (!sigs_.Populate(at, std::min(kStep, bytes - at))) return;  // the stores fault the pages in
    }
  });
  // Pieces of consecutive records, a few per thread so that a thread kept
  // off its core delays the others little; each piece's first slot in every
  // bin follows the records of that bin in the pieces before it.
  const std::size_t bins = start.size() - 1;
  const std::uint64_t pieces = std::min<std::uint64_t>(n_, threads == 1 ? 1 : 4 * threads);
  std::vector<std::uint64_t> next(static_cast<std::size_t>(pieces) * bins);
  auto pieceBegin = [&](std::uint64_t k) { return n_ * k / pieces; };
  for (std::uint64_t k = 0; k < pieces; ++k) {
    std::uint64_t* own = next.data() + k * bins;
    for (std::uint64_t i = pieceBegin(k); i < pieceBegin(k + 1); ++i) ++own[counts_[i]];
  }
  for (std::size_t p = 0; p < bins; ++p) {
    std::uint64_t slot = start[p];
    for (std::uint64_t k = 0; k < pieces; ++k) {
      const std::uint64_t inPiece = next[k * bins + p];
      next[k * bins + p] = slot;
      slot += inPiece;
    }
  }
  std::atomic<std::uint64_t> nextPiece{0};
  KvRunWorkers(threads, [&](unsigned) {
    for (std::uint64_t k = KvClaim(nextPiece, pieces); k < pieces; k = KvClaim(nextPiece, pieces))
      FoldBySlot(records, pieceBegin(k), pieceBegin(k + 1), next.data() + k * bins);
  });
}

void SearchIndex::FoldBySlot(const std::uint64_t* records, std::uint64_t first, std::uint64_t last,
                             std::uint64_t* next) {
  // A run of records in file order is folded into a small buffer, then each
  // signature goes to its slot.
  const std::size_t perRun = std::max<std::size_t>(1, std::min<std::size_t>(1024, kRunBytes / (8 * sigWords_)));
  std::vector<std::uint64_t> folded(perRun * sigWords_);
  std::vector<std::uint32_t> bits(perRun);
  const bool wholeLines = sigWords_ % 8 == 0;  // the buffer starts on a page
  for (std::uint64_t from = first; from < last; from += perRun) {
    const std::uint64_t run = std::min<std::uint64_t>(perRun, last - from);
    FoldRecords(records + from * (words_ + 2), run, folded.data(), bits.data());
    for (std::uint64_t k = 0; k < run; ++k) {
      const std::uint64_t i = from + k;
      const std::uint64_t slot = next[counts_[i]]++;
      order_[slot] = static_cast<std::uint32_t>(i);
      sigBits_[slot] = static_cast<std::uint16_t>(bits[k]);
      std::uint64_t* to = sigs_.Data() + slot * sigWords_;
      if (wholeLines)
        StoreLines(to, folded.data() + k * sigWords_, sigWords_);
      else
        std::memcpy(to, folded.data() + k * sigWords_, 8 * sigWords_);
    }
  }
  StoreLinesDone();
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
