#include "kvsystem/bitvector.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <utility>

#include "kvsystem/error.h"

namespace KvSystem {
namespace {

constexpr std::size_t kWordBits = 32;

std::size_t WordsFor(std::size_t bits) { return (bits + kWordBits - 1) / kWordBits; }

std::uint64_t Load64(const std::uint8_t* bytes) {
  std::uint64_t value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

std::uint32_t Load32(const std::uint8_t* bytes) {
  std::uint32_t value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

KvBitVector::KvBitVector(KvBitVector&& other) noexcept
    : size_(std::exchange(other.size_, 0)), words_(std::move(other.words_)) {
  other.words_.clear();
}

KvBitVector& KvBitVector::operator=(KvBitVector&& other) noexcept {
  if (this != &other) {
    size_ = std::exchange(other.size_, 0);
    words_ = std::move(other.words_);
    other.words_.clear();
  }
  return *this;
}

void KvBitVector::SetSize(std::size_t bits) {
  words_.resize(WordsFor(bits), 0u);
  size_ = bits;
  ClearUnusedBits();
}

void KvBitVector::ClearBits() { std::fill(words_.begin(), words_.end(), 0u); }

void KvBitVector::ClearUnusedBits() {
  // Whole bytes past the size first, then the high bits of the last used byte;
  // byte-wise so that the rule holds whatever the host's byte order.
  std::uint8_t* bytes = GetBytesMutable();
  const std::size_t storage = words_.size() * sizeof(std::uint32_t);
  const std::size_t used = NumBytes();
  if (storage > used) std::memset(bytes + used, 0, storage - used);
  if (size_ % 8 != 0) bytes[used - 1] &= static_cast<std::uint8_t>((1u << (size_ % 8)) - 1);
}

std::size_t KvBitVector::CountBits() const {
  std::size_t count = 0;
  for (std::uint32_t word : words_) count += static_cast<std::size_t>(std::popcount(word));
  return count;
}

void KvBitVector::SetData(const void* bytes, std::size_t bits) {
  if (bytes == nullptr && bits > 0) {
    KvThrow()->Warning("KvBitVector::SetData() null data for %zu bits", bits);
    return;
  }
  words_.assign(WordsFor(bits), 0u);
  size_ = bits;
  if (bits > 0) std::memcpy(GetBytesMutable(), bytes, NumBytes());
  ClearUnusedBits();
}

void KvBitVector::ToHexString(std::string& text) const {
  static constexpr char kDigits[] = "0123456789abcdef";
  const std::uint8_t* bytes = GetBytes();
  const std::size_t count = NumBytes();
  text.clear();
  text.reserve(2 * count + 24);
  for (std::size_t i = 0; i < count; ++i) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 15]);
  }
  if (size_ % 8 != 0) {
    text.push_back('/');
    text += std::to_string(size_);
  }
}

std::string KvBitVector::ToHexString() const {
  std::string text;
  ToHexString(text);
  return text;
}

bool KvBitVector::FromHexString(const std::string& text) {
  const std::size_t slash = text.find('/');
  const std::size_t digits = slash == std::string::npos ? text.size() : slash;
  if (digits % 2 != 0) {
    KvThrow()->Warning("KvBitVector::FromHexString() odd number of hex digits in \"%s\"", text.c_str());
    return false;
  }
  const std::size_t count = digits / 2;
  std::size_t bits = 8 * count;
  if (slash != std::string::npos) {
    const char* first = text.data() + slash + 1;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, bits);
    // Only a size that is not a multiple of 8 is written out, and it must need
    // exactly the bytes given.
    if (first == last || error != std::errc() || end != last || bits % 8 == 0 || bits / 8 + 1 != count) {
      KvThrow()->Warning("KvBitVector::FromHexString() invalid size in \"%s\"", text.c_str());
      return false;
    }
  }
  KvBitVector parsed(bits);
  std::uint8_t* bytes = parsed.GetBytesMutable();
  for (std::size_t i = 0; i < count; ++i) {
    const int high = HexDigit(text[2 * i]);
    const int low = HexDigit(text[2 * i + 1]);
    if (high < 0 || low < 0) {
      KvThrow()->Warning("KvBitVector::FromHexString() invalid hex digit in \"%s\"", text.c_str());
      return false;
    }
    bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  if (bits % 8 != 0 && (bytes[count - 1] >> (bits % 8)) != 0) {
    KvThrow()->Warning("KvBitVector::FromHexString() bits set past the size in \"%s\"", text.c_str());
    return false;
  }
  *this = std::move(parsed);
  return true;
}

bool KvBitVector::operator==(const KvBitVector& other) const {
  return size_ == other.size_ && words_ == other.words_;
}

namespace {

struct Counts {
  std::size_t a = 0;     // bits on in a
  std::size_t b = 0;     // bits on in b
  std::size_t both = 0;  // bits on in both
};

Counts CountPair(const KvBitVector& a, const KvBitVector& b) {
  // Both storages have the same number of words; their unused bits are zero.
  const std::uint8_t* pa = a.GetBytes();
  const std::uint8_t* pb = b.GetBytes();
  const std::size_t bytes = a.NumWords() * sizeof(std::uint32_t);
  Counts counts;
  std::size_t i = 0;
  for (; i + 8 <= bytes; i += 8) {
    const std::uint64_t x = Load64(pa + i);
    const std::uint64_t y = Load64(pb + i);
    counts.a += static_cast<std::size_t>(std::popcount(x));
    counts.b += static_cast<std::size_t>(std::popcount(y));
    counts.both += static_cast<std::size_t>(std::popcount(x & y));
  }
  if (i < bytes) {  // one trailing 32-bit word
    const std::uint32_t x = Load32(pa + i);
    const std::uint32_t y = Load32(pb + i);
    counts.a += static_cast<std::size_t>(std::popcount(x));
    counts.b += static_cast<std::size_t>(std::popcount(y));
    counts.both += static_cast<std::size_t>(std::popcount(x & y));
  }
  return counts;
}

}  // namespace

bool KvGetBitCounts(const KvBitVector& a, const KvBitVector& b, std::uint32_t* onlyA, std::uint32_t* onlyB,
                    std::uint32_t* both, std::uint32_t* neither) {
  if (a.GetSize() != b.GetSize()) {
    KvThrow()->Warning("KvGetBitCounts() bit vector size mismatch (%zu and %zu bits)", a.GetSize(), b.GetSize());
    return false;
  }
  const Counts counts = CountPair(a, b);
  if (onlyA != nullptr) *onlyA = static_cast<std::uint32_t>(counts.a - counts.both);
  if (onlyB != nullptr) *onlyB = static_cast<std::uint32_t>(counts.b - counts.both);
  if (both != nullptr) *both = static_cast<std::uint32_t>(counts.both);
  if (neither != nullptr) *neither = static_cast<std::uint32_t>(a.GetSize() - (counts.a + counts.b - counts.both));
  return true;
}

bool KvGetBitCounts(const KvBitVector& a, const KvBitVector& b, std::uint32_t* onlyA, std::uint32_t* onlyB,
                    std::uint32_t* both) {
  return KvGetBitCounts(a, b, onlyA, onlyB, both, nullptr);
}

}  // namespace KvSystem
