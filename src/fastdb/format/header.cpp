// The 800-byte header of a fast database file: writing the blob and reading
// it back into KvFastFPDatabaseParams.

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "fastdb/format/bytes.h"
#include "kvsystem/error.h"
#include "kvsystem/file_system.h"
#include "kvsystem/streams.h"
#include "kvsystem/strings.h"
#include "varnex/fpbin.h"
#include "system/messages.h"

namespace Varnex {
namespace {

constexpr const char* kReader = "KvFastFPDatabaseParams()";
// Lines and the marker token are read with at most this many characters.
constexpr std::size_t kLineCapacity = KvFastFPHeaderSize + 1;
// The header's text lines are looked for in the header's bytes only: text
// past them never belongs to a valid header.
constexpr std::uint64_t kTextReadLimit = KvFastFPHeaderSize;

// Reads up to `count` bytes at `offset` into `out`; false on a read error.
bool ReadFully(KvSystem::KvReadableFile& file, std::uint64_t offset, std::size_t count, std::string& out,
               KvSystem::KvStatus& error) {
  out.resize(count);
  std::size_t got = 0;
  while (got < count) {
    const std::size_t n = file.ReadAt(offset + got, out.data() + got, count - got, error);
    if (n == 0) break;
    got += n;
  }
  out.resize(got);
  return error.IsOk();
}

}  // namespace

std::string KvWriteFastFPDatabaseHeaderBlob(const KvFastFPDatabaseParams& params) {
  const KvFPTypeBase* type = params.GetFPTypeBase();
  std::string blob;
  blob += std::endian::native == std::endian::little ? "LE" : "BE";
  blob += '\n';
  blob += params.GetMolDatabaseFilename();
  blob += '\n';
  if (type != nullptr) blob += type->GetFPTypeString();
  blob += '\n';
  blob += std::to_string(params.NumFingerPrints());
  blob += '\n';
  // Padding with zeros or cutting; text past byte 784 is then overwritten.
  blob.resize(KvFastFPHeaderSize, '\0');
  const std::uint64_t words = type != nullptr ? type->GetNumBits() / 64 : 0;
  StoreLE64(reinterpret_cast<std::uint8_t*>(blob.data()) + KvFastFPHeaderWordsOffset, words);
  StoreLE64(reinterpret_cast<std::uint8_t*>(blob.data()) + KvFastFPHeaderCountOffset, params.NumFingerPrints());
  return blob;
}

bool KvWriteFastFPDatabaseParams(MMapOutputFile& file, const KvFastFPDatabaseParams& params) {
  if (params.GetFPTypeBase() == nullptr || file.GetPtr() == nullptr || file.GetLength() < KvFastFPHeaderSize)
    return false;
  const std::string blob = KvWriteFastFPDatabaseHeaderBlob(params);
  std::memcpy(file.GetPtr(), blob.data(), blob.size());
  return true;
}

KvFastFPDatabaseParams::KvFastFPDatabaseParams(const std::string& path) {
  KvSystem::KvErrorHandler* report = KvSystem::KvThrow();
  KvSystem::KvStatus error;
  const std::unique_ptr<KvSystem::KvReadableFile> file = KvSystem::KvGetFileSystem().OpenForReading(path, error);
  if (file == nullptr) {
    report->Warning(error, Msg::kHeaderOpen, kReader, path.c_str());
    return;
  }
  fileSize_ = file->Size();
  if (fileSize_ <= 100) {
    report->Warning(Msg::kHeaderTooSmall, kReader, path.c_str());
    return;
  }
  // The text lines are parsed from the start of the file, read at once, so
  // that a read fault is named as one and not as a fault of the text.
  std::string text;
  if (!ReadFully(*file, 0, static_cast<std::size_t>(std::min(fileSize_, kTextReadLimit)), text, error)) {
    report->Warning(error, "%s cannot read fingerprint database file %s: %s", kReader, path.c_str(),
                    error.Message().c_str());
    return;
  }
  KvSystem::kvisstream in(text);

  std::array<char, kLineCapacity> buffer{};
  auto readLine = [&](std::string& line) {
    const std::ptrdiff_t length = in.getline(buffer.data(), buffer.size());
    if (length < 0) return false;
    line.assign(buffer.data(), static_cast<std::size_t>(length));
    return true;
  };

  const std::ptrdiff_t tokenLength = in.gettoken(buffer.data(), buffer.size());
  const std::string marker = tokenLength > 0 ? std::string(buffer.data(), static_cast<std::size_t>(tokenLength)) : "";
  std::string rest;
  readLine(rest);  // the end of the marker's line
  const bool little = marker.starts_with("LE");
  if (!little && !marker.starts_with("BE")) {
    report->Warning(Msg::kHeaderEndianness, kReader, marker.c_str(), path.c_str());
    return;
  }
  littleEndian_ = little;

  if (!readLine(molFilename_)) {
    report->Warning(Msg::kHeaderMolFile, kReader, path.c_str());
    return;
  }
  std::string typeString;
  if (!readLine(typeString)) {
    report->Warning(Msg::kHeaderTypeLine, kReader, path.c_str());
    return;
  }
  type_ = KvGetFPType(typeString);
  if (type_ == nullptr) {
    report->Warning(Msg::kHeaderType, kReader, path.c_str());
    return;
  }
  std::string countText;
  if (!readLine(countText)) {
    report->Warning(Msg::kHeaderCountLine, kReader, path.c_str());
    return;
  }
  std::uint64_t textCount = 0;
  if (!KvSystem::KvStringToNumber(countText, textCount, 10)) {
    report->Warning(Msg::kHeaderCount, kReader, path.c_str());
    return;
  }

  // The binary fields, W and n, at bytes 784 to 799.
  std::string fields;
  if (!ReadFully(*file, KvFastFPHeaderWordsOffset, 16, fields, error) || fields.size() < 16) {
    report->Warning(error, Msg::kHeaderMap, kReader, path.c_str());
    return;
  }
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(fields.data());
  numFingerPrints_ = LoadLE64(bytes + (KvFastFPHeaderCountOffset - KvFastFPHeaderWordsOffset));
  if (numFingerPrints_ != textCount) {
    report->Warning(Msg::kHeaderInconsistent, kReader, path.c_str());
    return;
  }
  words_ = LoadLE64(bytes);
  valid_ = true;
}

}  // namespace Varnex
