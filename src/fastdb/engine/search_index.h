// The side structures of the pruned searches, built in one pass over the
// records when a database opens (nothing is written to disk):
//
// - the stored bit count of every record, by position (a compact copy, so
//   that a scan can pick records without touching the ones it skips);
// - the record positions ordered by bit count ("slots": slot s holds the
//   position Order()[s]; bin p, the records of count p, is the slot range
//   [BinBegin(p), BinEnd(p)), positions ascending within a bin);
// - per slot a signature: the record's words folded by OR onto S words
//   (word w onto word w mod S), with the number of bits it sets. Signatures
//   lie in slot order, so the records of one bit count are checked side by
//   side, reading S words instead of W.
//
// - per slot a coarse signature (when S >= 16): the signature folded once
//   more onto C = S / 4 words, with the bits it sets. A scan reads these C
//   words first and the S words only of the records they let through: far
//   from its best scores a search rejects nearly every record on the coarse
//   bound alone, reading a quarter of the bytes.
//
// Why a signature bounds the intersection: fold the query the same way.
// Every common bit of record and query sets a common bit of the two folds,
// and each fold bit of the record stands for at least one record bit, so
//   |record AND query| <= |fold(r) AND fold(q)| + min(p - |fold(r)|, q - |fold(q)|)
// where p and q are the bit counts. Sparse fingerprints folded 4:1 keep
// most of their bits apart, so the bound rejects most of the records that
// the bit count alone would have to read.
//
// Every bound assumes that a record's stored count is its true bit count;
// a file where that is not so gets no index (Empty()), and its searches
// score every record as the stored counts demand.
//
// Building: Begin, then Add for every run of records, then Finish. The
// signatures are folded either from each run as it is added (when the
// records will not stay in memory; the runs then come in file order) or by
// Finish from the records in memory, straight into slot order. Thread
// safety: runs that do not overlap may be added on several threads at once
// unless folding while adding; immutable after Finish, any number of
// readers.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <span>
#include <vector>

#include "fastdb/storage/word_buffer.h"

namespace Varnex {

struct ScanKernel;

// The bound above on the bits a record of `p` bits, whose fold sets
// `recordFoldBits`, shares with a query of `q` bits and `queryExcess` =
// q - |fold(q)|, given the `common` bits of the two folds.
template <typename U>
inline U CommonBitsBound(U common, U p, U recordFoldBits, U q, U queryExcess) {
  return std::min(std::min(p, q), common + std::min(p - recordFoldBits, queryExcess));
}

class SearchIndex {
 public:
  // Starts an index of `n` records of `words` words; `foldWhileAdding` as
  // above.
  void Begin(std::uint64_t n, std::size_t words, bool foldWhileAdding);
  // Adds the `count` records from `position` on, laid out as in the file
  // but as words in the host's order (W + 2 words each). Returns false,
  // with the position of the first damaged one in `badRecord` and what is
  // wrong with it in `damage` (empty for a count above 64W), when a
  // record's stored bit count is not the count of its bits: searches would
  // silently score it wrong (an infinite score, or a record pruned away).
  bool Add(const std::uint64_t* records, std::uint64_t position, std::uint64_t count, std::uint64_t& badRecord,
           std::string& damage);
  // Orders what was added, folding the signatures from `records` unless
  // they were folded while adding (then `records` may be null), on up to
  // `threads` threads of the worker pool. The index stays empty when there
  // is nothing to prune with (no records, more than 2^32 - 1 of them, or no
  // memory for the signatures).
  void Finish(const std::uint64_t* records, unsigned threads = 1);

  bool Empty() const { return binStart_.empty(); }
  // The number of bins (64W + 1).
  std::size_t NumBins() const { return binStart_.empty() ? 0 : binStart_.size() - 1; }
  std::span<const std::uint32_t> Counts() const { return {counts_, Slots()}; }
  std::span<const std::uint32_t> Order() const { return {order_, Slots()}; }
  // The bit counts p whose bins hold records, ascending.
  std::span<const std::uint32_t> FilledBins() const { return filledBins_; }
  std::uint64_t BinBegin(std::size_t p) const { return binStart_[p]; }
  std::uint64_t BinEnd(std::size_t p) const { return binStart_[p + 1]; }

  // Words per signature (S) and the signature of slot s.
  std::size_t SignatureWords() const { return sigWords_; }
  const std::uint64_t* Signature(std::uint64_t slot) const { return sigs_.Data() + slot * sigWords_; }
  std::span<const std::uint16_t> SignatureBits() const { return {sigBits_, Slots()}; }

  // Folds `words` (W of them) onto `signature` (S words).
  void Fold(const std::uint64_t* words, std::size_t w, std::uint64_t* signature) const;

  // Words per coarse signature (C; 0 when there are none) and the coarse
  // signature of slot s. Folding a signature onto C words gives the fold of
  // its record onto C words, as C divides S.
  std::size_t CoarseWords() const { return coarseWords_; }
  const std::uint64_t* Coarse(std::uint64_t slot) const { return coarse_.Data() + slot * coarseWords_; }
  std::span<const std::uint16_t> CoarseBits() const { return {coarseBits_, coarseWords_ == 0 ? 0 : Slots()}; }
  // Folds a signature (S words) onto `coarse` (C words).
  void FoldCoarse(const std::uint64_t* signature, std::uint64_t* coarse) const;

  // S for records of W words holding `meanBits` bits on average: about
  // four fold bits per record bit, within 4 <= S <= W / 4 (S = W for
  // records of fewer than 16 words, where the fold is the record itself).
  static std::size_t ChooseSignatureWords(std::size_t w, double meanBits);

 private:
  std::size_t Slots() const { return binStart_.empty() ? 0 : static_cast<std::size_t>(n_); }
  void Clear();
  // Folds the `count` records at `records` (W + 2 words each, as added)
  // onto the signatures at `signatures`, one after the other, and stores
  // the bits each sets in `bits`.
  void FoldRecords(const std::uint64_t* records, std::uint64_t count, std::uint64_t* signatures,
                   std::uint32_t* bits) const;
  // Folds the records [first, last) in memory into slot order, filling the
  // order of slots on the way: the second step of a counting sort, where
  // next[p] is the slot of the piece's first record of p bits.
  void FoldBySlot(const std::uint64_t* records, std::uint64_t first, std::uint64_t last, std::uint64_t* next);
  // Folds all records into slot order on up to `threads` threads, in pieces
  // of consecutive records; `start` as binStart_.
  void FoldAll(const std::uint64_t* records, const std::vector<std::uint64_t>& start, unsigned threads);
  // Folds every signature onto its coarse one, on up to `threads` threads;
  // leaves none when S < 16 or there is no memory for them (searches are
  // exact either way, only slower).
  void FoldAllCoarse(unsigned threads);
  // Puts the signatures, folded by position, into slot order in place
  // (no second buffer); `slotOf` (the slot of each position) is used up.
  void MoveToSlots(std::vector<std::uint32_t>& slotOf);

  std::uint64_t n_ = 0;
  std::size_t words_ = 0;
  std::atomic<std::uint64_t> added_{0};
  std::atomic<std::uint64_t> addedBits_{0};
  bool foldWhileAdding_ = false;
  std::atomic<bool> usable_{false};  // false once a stored count proved wrong or memory ran out

  // The per-record arrays share one buffer of their own pages: small pages
  // faulted in one by one cost more than the sort that fills them.
  WordBuffer arrays_;
  std::uint32_t* counts_ = nullptr;    // by position
  std::uint32_t* order_ = nullptr;     // by slot
  std::uint16_t* sigBits_ = nullptr;   // by slot
  std::vector<std::uint16_t> bitsByPosition_;  // while folding during Add
  std::vector<std::uint64_t> ones_;    // W words of all bits: the scan kernel counts bits with it
  std::vector<std::uint64_t> binStart_;  // NumBins() + 1 slot offsets
  std::vector<std::uint32_t> filledBins_;
  std::size_t sigWords_ = 0;
  WordBuffer sigs_;  // by slot; by position while folding during Add
  std::size_t coarseWords_ = 0;
  WordBuffer coarse_;                    // the coarse signatures by slot, then their bits
  std::uint16_t* coarseBits_ = nullptr;  // by slot, in coarse_
};

}  // namespace Varnex
