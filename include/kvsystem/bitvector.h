// A fixed-size vector of bits, the storage of every fingerprint.
//
// Bit order: bit i is bit (i mod 8) of byte i / 8 of the storage. The storage
// is a run of 32-bit words, so on a little-endian host (x86-64, AArch64) bit i
// is also bit (i mod 32) of word i / 32. Storage bits at and above GetSize()
// are always zero, so popcounts over whole words are exact.
//
// Hexadecimal text (ToHexString / FromHexString): the NumBytes() storage bytes
// in order, byte 0 first, each as two lower-case digits, high nibble first
// (bits 0..7 = {0, 4} give "11"). When the size is not a multiple of 8 the
// text ends with "/" and the size in decimal ("0101/9" is bits 0 and 8 of a
// 9-bit vector). The empty vector is "". The text round-trips every size.
//
// Thread safety: const methods may run concurrently; any change needs
// exclusive access. KvGetBitCounts only reads its arguments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace KvSystem {

class KvBitVector {
 public:
  KvBitVector() = default;
  // A vector of `bits` clear bits.
  explicit KvBitVector(std::size_t bits) { SetSize(bits); }
  KvBitVector(const KvBitVector&) = default;
  KvBitVector& operator=(const KvBitVector&) = default;
  // Moving leaves the source empty (size 0).
  KvBitVector(KvBitVector&& other) noexcept;
  KvBitVector& operator=(KvBitVector&& other) noexcept;
  virtual ~KvBitVector() = default;

  // Changes the size. Bits below min(old, new size) keep their values; new
  // bits are clear.
  void SetSize(std::size_t bits);
  std::size_t GetSize() const { return size_; }
  // Clears every bit; the size stays.
  void ClearBits();

  // Bit access. An index at or above GetSize() is ignored by the setters and
  // reads as off.
  void SetBitOn(std::size_t index) {
    if (index < size_) MutableByte(index >> 3) |= static_cast<std::uint8_t>(1u << (index & 7));
  }
  void SetBitOff(std::size_t index) {
    if (index < size_) MutableByte(index >> 3) &= static_cast<std::uint8_t>(~(1u << (index & 7)));
  }
  bool IsBitOn(std::size_t index) const {
    return index < size_ && ((GetBytes()[index >> 3] >> (index & 7)) & 1u) != 0;
  }
  // The number of bits on.
  std::size_t CountBits() const;

  // Makes the vector `bits` long and copies its bits from the first
  // ceil(bits / 8) bytes at `bytes` (bit order above); bits of the last byte
  // at and above `bits` are dropped. A null `bytes` with bits > 0 is reported
  // and leaves the vector unchanged.
  void SetData(const void* bytes, std::size_t bits);

  // Writes the hexadecimal text of the vector (format above) into `text`.
  void ToHexString(std::string& text) const;
  std::string ToHexString() const;
  // Reads text written by ToHexString (upper-case digits are accepted too).
  // On malformed text (odd digit count, non-hex character, a size that does
  // not fit the digits, bits set past the size) reports a warning, returns
  // false and leaves the vector unchanged.
  bool FromHexString(const std::string& text);

  // Same size and same bits.
  bool operator==(const KvBitVector& other) const;

  // Raw storage, for kernels, file writers and generators. The storage holds
  // NumWords() words; GetBytes() reads the same memory as bytes, of which the
  // first NumBytes() = ceil(GetSize() / 8) carry the bits. Pointers stay valid
  // until the next SetSize, SetData, FromHexString, assignment or move.
  const std::uint32_t* GetWords() const { return words_.data(); }
  std::size_t NumWords() const { return words_.size(); }
  const std::uint8_t* GetBytes() const { return reinterpret_cast<const std::uint8_t*>(words_.data()); }
  std::size_t NumBytes() const { return (size_ + 7) / 8; }
  std::span<const std::uint32_t> Words() const { return {words_.data(), words_.size()}; }
  std::span<const std::uint8_t> Bytes() const { return {GetBytes(), NumBytes()}; }
  // Mutable storage. REQUIRES: writers keep the bits at and above GetSize()
  // clear, or call ClearUnusedBits() when done.
  std::uint32_t* GetWordsMutable() { return words_.data(); }
  std::span<std::uint32_t> WordsMutable() { return {words_.data(), words_.size()}; }
  std::uint8_t* GetBytesMutable() { return reinterpret_cast<std::uint8_t*>(words_.data()); }
  // Clears the storage bits at and above GetSize().
  void ClearUnusedBits();

 private:
  std::uint8_t& MutableByte(std::size_t byte) { return GetBytesMutable()[byte]; }

  std::size_t size_ = 0;
  std::vector<std::uint32_t> words_;
};

// Counts, over two vectors of the same size, the bits on only in `a`, only in
// `b`, in both and (second form) in neither. Any output pointer may be null.
// Returns false with a warning, outputs untouched, when the sizes differ.
// Reentrant; no allocation.
bool KvGetBitCounts(const KvBitVector& a, const KvBitVector& b, std::uint32_t* onlyA, std::uint32_t* onlyB,
                    std::uint32_t* both);
bool KvGetBitCounts(const KvBitVector& a, const KvBitVector& b, std::uint32_t* onlyA, std::uint32_t* onlyB,
                    std::uint32_t* both, std::uint32_t* neither);

}  // namespace KvSystem
