// The C++ objects behind varnex.FPType, varnex.Fingerprint and
// varnex.FingerprintArray, shared by the binding sources.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "varnex/fingerprint.h"
#include "varnex/fptypes.h"

namespace VarnexPy {

// A fingerprint type: a registry type, immutable and shared process-wide.
struct FPType {
  const Varnex::KvFPTypeBase* ptr = nullptr;
  bool operator==(const FPType& other) const { return ptr == other.ptr; }
};

// One fingerprint, always typed.
struct Fingerprint {
  Varnex::KvFingerPrint fp;
};

// n fingerprints of one type in one buffer laid out like the records of a
// fast database file: per row W + 2 64-bit words (the row index, the row's
// bit count, then W fingerprint words; bit i of a row is bit i % 64 of word
// i / 64). Fixed-size kinds have the type's size in every row; Lingo and
// unhashed rows differ in size, so they are padded to the widest row and
// their sizes kept. Immutable once built, so views on the buffer stay valid.
class FingerprintArray {
 public:
  // Packs `rows` (each of type `type`, or empty for a failed row).
  FingerprintArray(const Varnex::KvFPTypeBase* type, const std::vector<Varnex::KvFingerPrint>& rows,
                   std::vector<std::uint64_t> failed);
  // Takes a finished buffer of `n` rows of `words` words.
  FingerprintArray(const Varnex::KvFPTypeBase* type, std::size_t words, std::vector<std::uint64_t> records,
                   std::vector<std::uint32_t> sizes, std::vector<std::uint64_t> failed);

  const Varnex::KvFPTypeBase* Type() const { return type_; }
  std::size_t Size() const { return n_; }
  std::size_t Words() const { return words_; }
  std::size_t StrideBytes() const { return (words_ + 2) * 8; }
  // Bits of row i: the type's size for fixed kinds, else the row's own.
  std::size_t RowBits(std::size_t i) const { return sizes_.empty() ? fixedBits_ : sizes_[i]; }
  const std::uint64_t* Row(std::size_t i) const { return records_.data() + i * (words_ + 2) + 2; }
  const std::uint8_t* Records() const { return reinterpret_cast<const std::uint8_t*>(records_.data()); }
  std::uint64_t Count(std::size_t i) const { return records_[i * (words_ + 2) + 1]; }
  const std::vector<std::uint64_t>& RawRecords() const { return records_; }
  const std::vector<std::uint32_t>& Sizes() const { return sizes_; }
  const std::vector<std::uint64_t>& Failed() const { return failed_; }
  bool HasFixedSize() const { return sizes_.empty(); }
  // Row i as a fingerprint of the array's type.
  Varnex::KvFingerPrint Get(std::size_t i) const;

 private:
  const Varnex::KvFPTypeBase* type_;
  std::size_t n_ = 0;
  std::size_t words_ = 0;
  std::size_t fixedBits_ = 0;
  std::vector<std::uint64_t> records_;
  std::vector<std::uint32_t> sizes_;
  std::vector<std::uint64_t> failed_;
};

// The number of bits every fingerprint of `type` has, 0 for the kinds whose
// size varies (Lingo, unhashed).
std::size_t FixedBits(const Varnex::KvFPTypeBase* type);
// A fingerprint's bits as `words` 64-bit words (zero padded).
std::vector<std::uint64_t> ToWords(const Varnex::KvFingerPrint& fp, std::size_t words);

// Binding entry points, one per source file.
void BindTypes(pybind11::module_& m);
void BindFingerprints(pybind11::module_& m);
void BindSimilarity(pybind11::module_& m);
void BindDatabase(pybind11::module_& m);
void BindFastDatabase(pybind11::module_& m);
void BindExplain(pybind11::module_& m);
void BindPictures(pybind11::module_& m);
void BindBaselines(pybind11::module_& m);
void BindShards(pybind11::module_& m);
void BindCollection(pybind11::module_& m);

}  // namespace VarnexPy
