// Data-flow record buffers: the byte form of field values.
//
// KvWriteBuffer appends primitive items to a byte vector; KvReadBuffer reads
// them back in the same order. Byte layout of each item:
//
//   bool        1 byte: 0x00 false, 0x01 true (any other byte is malformed)
//   uint32      4 bytes, little-endian
//   int32       4 bytes, little-endian two's complement
//   uint64      8 bytes, little-endian
//   string      LEB128 length n (7 bits per byte, low group first, high bit
//               set on every byte but the last, at most 10 bytes), n bytes
//   blob        0x01, LEB128 length n, n bytes
//   none-blob   0x00 (a blob that is absent)
//
// A non-empty string therefore never starts with a zero byte, which lets a
// reader tell a form that starts with a bool false from one that starts with
// a string.
//
// Bad input: every read checks the bytes that remain and fails (returns false,
// output untouched) on a truncated or malformed item; after the first failure
// every further read fails too. Nothing allocates more than the input holds.
//
// Thread safety: a buffer belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace KvDataFlow {

using KvBytes = std::vector<std::uint8_t>;

// Builds the bytes of a field value.
class KvWriteBuffer {
 public:
  void WriteBool(bool value);
  void WriteInt(std::uint32_t value);
  void WriteInt(std::int32_t value);
  void WriteInt(std::uint64_t value);
  void WriteString(std::string_view text);
  void WriteBlob(std::span<const std::uint8_t> bytes);
  void WriteBlob(const KvBytes& bytes) { WriteBlob(std::span<const std::uint8_t>(bytes)); }
  // An absent blob.
  void WriteNoneBlob();
  // The bytes written so far.
  const KvBytes& Get() const { return bytes_; }
  // Hands the bytes over; the buffer is empty afterwards.
  KvBytes Release() { return std::move(bytes_); }

 private:
  void WriteLength(std::uint64_t length);
  KvBytes bytes_;
};

// Reads items from bytes the caller keeps alive for the reader's lifetime.
class KvReadBuffer {
 public:
  explicit KvReadBuffer(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  explicit KvReadBuffer(const KvBytes& bytes) : bytes_(bytes) {}
  KvReadBuffer(KvBytes&&) = delete;  // would read a destroyed temporary

  bool ReadBool(bool& value);
  bool ReadInt(std::uint32_t& value);
  bool ReadInt(std::int32_t& value);
  bool ReadInt(std::uint64_t& value);
  bool ReadString(std::string& text);
  // Reads a blob; an absent blob reads as empty bytes.
  bool ReadBlob(KvBytes& bytes);
  // Reads a blob and whether it was absent (`none` true, `bytes` emptied).
  bool ReadBlob(KvBytes& bytes, bool& none);

  // Bytes not yet read.
  std::size_t Remaining() const { return bytes_.size() - pos_; }
  // True after a read failed.
  bool Failed() const { return failed_; }

 private:
  bool Take(std::size_t count, const std::uint8_t*& at);
  bool ReadLength(std::uint64_t& length);
  template <typename T>
  bool ReadLittleEndian(T& value);

  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
  bool failed_ = false;
};

}  // namespace KvDataFlow
