// Primitives of the KvB record layout: tags, lengths, payloads, integers.
#include "kvsystem/kvb.h"

#include <algorithm>
#include <array>

#include "kvsystem/error.h"

namespace KvSystem {
namespace {

// Payloads are read in pieces of this size, so that memory follows the data
// that really arrives rather than the length a record announces.
constexpr std::size_t kPayloadChunk = 64 * 1024;

template <typename T>
bool WriteLittleEndian(kvostream& out, T value) {
  std::array<unsigned char, sizeof(T)> bytes;
  for (std::size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
  return out.write(bytes.data(), bytes.size());
}

template <typename T>
bool ReadLittleEndian(kvistream& in, T& value) {
  std::array<unsigned char, sizeof(T)> bytes;
  if (in.read(bytes.data(), bytes.size()) != bytes.size()) return false;
  T result = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) result |= static_cast<T>(static_cast<T>(bytes[i]) << (8 * i));
  value = result;
  return true;
}

}  // namespace

bool KvBWriteUInt16(kvostream& out, std::uint16_t value) { return WriteLittleEndian(out, value); }
bool KvBWriteUInt32(kvostream& out, std::uint32_t value) { return WriteLittleEndian(out, value); }
bool KvBWriteUInt64(kvostream& out, std::uint64_t value) { return WriteLittleEndian(out, value); }
bool KvBReadUInt16(kvistream& in, std::uint16_t& value) { return ReadLittleEndian(in, value); }
bool KvBReadUInt32(kvistream& in, std::uint32_t& value) { return ReadLittleEndian(in, value); }
bool KvBReadUInt64(kvistream& in, std::uint64_t& value) { return ReadLittleEndian(in, value); }

bool KvBWriteTag(kvostream& out, std::string_view tag) {
  if (tag.empty() || tag.size() > KvBMaxTagLength) {
    KvThrow()->Warning("KvBWriteTag() invalid tag length %zu", tag.size());
    return false;
  }
  return KvBWriteUInt32(out, static_cast<std::uint32_t>(tag.size())) && out.write(tag);
}

KvBStatus KvBReadTag(kvistream& in, std::string& tag) {
  if (in.peek() < 0) return KvBStatus::EndOfStream;
  std::uint32_t length = 0;
  if (!KvBReadUInt32(in, length) || length == 0 || length > KvBMaxTagLength) return KvBStatus::Failure;
  std::string name(length, '\0');
  if (in.read(name.data(), length) != length) return KvBStatus::Failure;
  tag = std::move(name);
  return KvBStatus::Success;
}

bool KvBWriteDataLength(kvostream& out, std::uint64_t length) { return KvBWriteUInt64(out, length); }

KvBStatus KvBReadDataLength(kvistream& in, std::uint64_t& length) {
  return KvBReadUInt64(in, length) ? KvBStatus::Success : KvBStatus::Failure;
}

KvBStatus KvBReadPayload(kvistream& in, std::uint64_t length, std::string& payload) {
  payload.clear();
  while (payload.size() < length) {
    const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(length - payload.size(), kPayloadChunk));
    const std::size_t start = payload.size();
    payload.resize(start + piece);
    const std::size_t got = in.read(payload.data() + start, piece);
    if (got != piece) {
      payload.clear();
      return KvBStatus::Failure;
    }
  }
  return KvBStatus::Success;
}

KvBStatus KvBSkipPayload(kvistream& in, std::uint64_t length) {
  while (length > 0) {
    const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(length, kPayloadChunk));
    if (in.skip(piece) != piece) return KvBStatus::Failure;
    length -= piece;
  }
  return KvBStatus::Success;
}

bool KvBWriteRecord(kvostream& out, std::string_view tag, std::string_view payload) {
  return KvBWriteTag(out, tag) && KvBWriteDataLength(out, payload.size()) && out.write(payload);
}

}  // namespace KvSystem
