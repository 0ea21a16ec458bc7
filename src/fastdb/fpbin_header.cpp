// The 800-byte header of a fast database file: writing the blob and reading
// it back into KvFastFPDatabaseParams.

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "fastdb/fpbin_bytes.h"
#include "kvsystem/error.h"
#include "kvsystem/streams.h"
#include "kvsystem/strings.h"
#include "varnex/fpbin.h"

namespace Varnex {
namespace {

constexpr const char* kReader = "KvFastFPDatabaseParams()";
// Lines and the marker token are read with at most this many characters.
constexpr std::size_t kLineCapacity = KvFastFPHeaderSize + 1;

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
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
  KvStoreLE64(reinterpret_cast<std::uint8_t*>(blob.data()) + KvFastFPHeaderWordsOffset, words);
  KvStoreLE64(reinterpret_cast<std::uint8_t*>(blob.data()) + KvFastFPHeaderCountOffset, params.NumFingerPrints());
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
  // The stream would report a missing file in words of its own; the header
  // reader's message is the one callers look for.
  if (!IsRegularFile(path)) {
    report->Warning("%s cannot open fingerprint database file %s", kReader, path.c_str());
    return;
  }
  KvSystem::kvifstream in(path);
  if (!in.is_open() || in.fail()) {
    report->Warning("%s cannot open fingerprint database file %s", kReader, path.c_str());
    return;
  }
  fileSize_ = in.size();
  if (fileSize_ <= 100) {
    report->Warning("%s invalid fingerprint database file %s", kReader, path.c_str());
    return;
  }

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
    report->Warning("%s invalid endianess '%2s' in %s header", kReader, marker.c_str(), path.c_str());
    return;
  }
  littleEndian_ = little;

  if (!readLine(molFilename_)) {
    report->Warning("%s cannot read molecule filename from %s header", kReader, path.c_str());
    return;
  }
  std::string typeString;
  if (!readLine(typeString)) {
    report->Warning("%s cannot read fingerprint type from %s header", kReader, path.c_str());
    return;
  }
  type_ = KvGetFPType(typeString);
  if (type_ == nullptr) {
    report->Warning("%s invalid fingerprint type in %s header", kReader, path.c_str());
    return;
  }
  std::string countText;
  if (!readLine(countText)) {
    report->Warning("%s cannot read number of fingerprints from %s header", kReader, path.c_str());
    return;
  }
  std::uint64_t textCount = 0;
  if (!KvSystem::KvStringToNumber(countText, textCount, 10)) {
    report->Warning("%s invalid number of fingerprints in %s header", kReader, path.c_str());
    return;
  }
  in.close();

  // The binary fields; a file shorter than the header fails to map.
  MMapInputFile header;
  if (!header.Open(path, KvFastFPHeaderSize)) {
    report->Warning("%s cannot open %s fingerprint database", kReader, path.c_str());
    return;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(header.GetPtr());
  numFingerPrints_ = KvLoadLE64(bytes + KvFastFPHeaderCountOffset);
  if (numFingerPrints_ != textCount) {
    report->Warning("%s inconsistent number of fingerprints in %s header", kReader, path.c_str());
    return;
  }
  words_ = KvLoadLE64(bytes + KvFastFPHeaderWordsOffset);
  valid_ = true;
}

}  // namespace Varnex
