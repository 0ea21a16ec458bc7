// Byte form of data-flow field values (layout in kvsystem/dfbuffer.h).
#include "kvsystem/dfbuffer.h"

#include <cstring>

namespace KvDataFlow {
namespace {

constexpr std::uint8_t kNone = 0x00;
constexpr std::uint8_t kPresent = 0x01;

template <typename T>
void AppendLittleEndian(KvBytes& bytes, T value) {
  for (std::size_t i = 0; i < sizeof(T); ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

// ---------------------------------------------------------------- writing

void KvWriteBuffer::WriteBool(bool value) { bytes_.push_back(value ? 1 : 0); }
void KvWriteBuffer::WriteInt(std::uint32_t value) { AppendLittleEndian(bytes_, value); }
void KvWriteBuffer::WriteInt(std::int32_t value) { AppendLittleEndian(bytes_, static_cast<std::uint32_t>(value)); }
void KvWriteBuffer::WriteInt(std::uint64_t value) { AppendLittleEndian(bytes_, value); }

void KvWriteBuffer::WriteLength(std::uint64_t length) {
  do {
    std::uint8_t group = static_cast<std::uint8_t>(length & 0x7F);
    length >>= 7;
    if (length != 0) group |= 0x80;
    bytes_.push_back(group);
  } while (length != 0);
}

void KvWriteBuffer::WriteString(std::string_view text) {
  WriteLength(text.size());
  bytes_.insert(bytes_.end(), text.begin(), text.end());
}

void KvWriteBuffer::WriteBlob(std::span<const std::uint8_t> bytes) {
  bytes_.push_back(kPresent);
  WriteLength(bytes.size());
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void KvWriteBuffer::WriteNoneBlob() { bytes_.push_back(kNone); }

// ---------------------------------------------------------------- reading

bool KvReadBuffer::Take(std::size_t count, const std::uint8_t*& at) {
  if (failed_ || count > Remaining()) {
    failed_ = true;
    return false;
  }
  at = bytes_.data() + pos_;
  pos_ += count;
  return true;
}

template <typename T>
bool KvReadBuffer::ReadLittleEndian(T& value) {
  const std::uint8_t* at = nullptr;
  if (!Take(sizeof(T), at)) return false;
  T result = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) result |= static_cast<T>(static_cast<T>(at[i]) << (8 * i));
  value = result;
  return true;
}

bool KvReadBuffer::ReadBool(bool& value) {
  const std::size_t start = pos_;
  const std::uint8_t* at = nullptr;
  if (!Take(1, at)) return false;
  if (*at > 1) {
    pos_ = start;
    failed_ = true;
    return false;
  }
  value = *at == 1;
  return true;
}

bool KvReadBuffer::ReadInt(std::uint32_t& value) { return ReadLittleEndian(value); }
bool KvReadBuffer::ReadInt(std::uint64_t& value) { return ReadLittleEndian(value); }
bool KvReadBuffer::ReadInt(std::int32_t& value) {
  std::uint32_t raw = 0;
  if (!ReadLittleEndian(raw)) return false;
  value = static_cast<std::int32_t>(raw);
  return true;
}

bool KvReadBuffer::ReadLength(std::uint64_t& length) {
  std::uint64_t result = 0;
  for (unsigned shift = 0; shift < 64; shift += 7) {
    const std::uint8_t* at = nullptr;
    if (!Take(1, at)) return false;
    const std::uint64_t group = *at & 0x7F;
    if (shift == 63 && group > 1) break;  // does not fit 64 bits
    result |= group << shift;
    if ((*at & 0x80) == 0) {
      length = result;
      return true;
    }
  }
  failed_ = true;
  return false;
}

bool KvReadBuffer::ReadString(std::string& text) {
  std::uint64_t length = 0;
  const std::uint8_t* at = nullptr;
  if (!ReadLength(length)) return false;
  if (length > Remaining()) {
    failed_ = true;
    return false;
  }
  if (!Take(static_cast<std::size_t>(length), at)) return false;
  text.assign(reinterpret_cast<const char*>(at), static_cast<std::size_t>(length));
  return true;
}

bool KvReadBuffer::ReadBlob(KvBytes& bytes, bool& none) {
  const std::uint8_t* marker = nullptr;
  if (!Take(1, marker)) return false;
  if (*marker == kNone) {
    bytes.clear();
    none = true;
    return true;
  }
  std::uint64_t length = 0;
  const std::uint8_t* at = nullptr;
  if (*marker != kPresent || !ReadLength(length) || length > Remaining()) {
    failed_ = true;
    return false;
  }
  if (!Take(static_cast<std::size_t>(length), at)) return false;
  bytes.assign(at, at + length);
  none = false;
  return true;
}

bool KvReadBuffer::ReadBlob(KvBytes& bytes) {
  bool none = false;
  return ReadBlob(bytes, none);
}

}  // namespace KvDataFlow
