// The fast fingerprint database file (".fpbin"): layout, header, records and
// the memory-mapped files it is read and written through.
//
// Layout (every binary integer unsigned 64-bit little-endian; W = fingerprint
// size in bits / 64, n = number of fingerprints):
//   offset   0  header text: "LE" or "BE", the molecule file name, the type
//               string and n in decimal, each ended by "\n", zero-padded
//   offset 784  W
//   offset 792  n
//   offset 800  n records of W + 2 words: molecule index, bit count, then the
//               W words of the bit vector's storage (byte order as stored)
// Record i starts at byte 800 + i x (W + 2) x 8, that is at 64-bit word
// 100 + i x (W + 2) of the file.
//
// Thread safety: the free functions are reentrant. KvFastFPDatabaseParams,
// MMapInputFile and MMapOutputFile are plain objects without internal locks;
// a mapped view may be read by any number of threads at once.
//
// Mapped files: a file must not be truncated or rewritten in place while
// it is mapped. The system then delivers SIGBUS to a reader touching a page
// past the new end, which ends the process; no library can catch that.
// Varnex itself never does either: creation renames a new file over the
// old one (see fpbin_create.h) and MMapOutputFile replaces an existing file
// instead of truncating it, so readers keep the old file's pages. Tools
// that update databases should do the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "kvsystem/file_system.h"
#include "varnex/fingerprint.h"
#include "varnex/fptypes.h"

namespace Varnex {

// ---- Byte layout constants.
inline constexpr std::uint64_t KvFastFPHeaderSize = 800;         // bytes before record 0
inline constexpr std::uint64_t KvFastFPHeaderWords = 100;        // the same in 64-bit words
inline constexpr std::uint64_t KvFastFPHeaderTextSize = 784;     // text area (zero padded)
inline constexpr std::uint64_t KvFastFPHeaderWordsOffset = 784;  // W, fingerprint size in words
inline constexpr std::uint64_t KvFastFPHeaderCountOffset = 792;  // n, number of fingerprints
inline constexpr std::uint64_t KvFastFPRecordExtraWords = 2;     // molecule index + bit count
inline constexpr std::uint64_t KvFastFPRecordIndexWord = 0;      // word 0 of a record
inline constexpr std::uint64_t KvFastFPRecordCountWord = 1;      // word 1 of a record
inline constexpr std::uint64_t KvFastFPRecordBitsWord = 2;       // first fingerprint word
inline constexpr unsigned KvFastFPSizeGranularity = 256;         // admitted sizes are multiples

// Byte offset of record `i` in a file of W-word fingerprints.
constexpr std::uint64_t KvFastFPRecordOffset(std::uint64_t i, std::uint64_t words) {
  return KvFastFPHeaderSize + i * (words + KvFastFPRecordExtraWords) * 8;
}

class MMapOutputFile;

// The header of a fast database file. Default-constructed: not valid, no
// type, all counts 0. Constructed from a path it reads that file's header;
// IsValid() tells whether that succeeded (faults are warnings naming
// "KvFastFPDatabaseParams()" and leave the fields read so far). Reading checks
// the text lines, the type string and that the text and binary counts agree;
// it does not compare W with the type or the file size with n and W (see
// KvCheckFastFPDatabaseLayout). A plain value; copyable.
class KvFastFPDatabaseParams {
 public:
  KvFastFPDatabaseParams() = default;
  explicit KvFastFPDatabaseParams(const std::string& path);

  bool IsValid() const { return valid_; }
  // Whether the header's marker was "LE". Records are always read little-endian.
  bool IsInLittleEndian() const { return littleEndian_; }
  const std::string& GetMolDatabaseFilename() const { return molFilename_; }
  const KvFPTypeBase* GetFPTypeBase() const { return type_; }
  std::uint64_t NumFingerPrints() const { return numFingerPrints_; }
  // The file's byte size as found when the header was read.
  std::uint64_t GetFileSize() const { return fileSize_; }
  // W as stored at byte 784 (0 until a header was read).
  std::uint64_t GetFingerPrintSizeIn64() const { return words_; }
  std::uint64_t GetFingerPrintSizeIn32() const { return 2 * words_; }
  std::uint64_t GetFingerPrintSizeInBits() const { return 64 * words_; }
  std::uint64_t GetFingerPrintSizeInBytes() const { return 8 * words_; }

  void SetMolDatabaseFilename(const std::string& name) { molFilename_ = name; }
  // The writer derives W from this type's size.
  void SetFPTypeBase(const KvFPTypeBase* type) { type_ = type; }
  void SetNumFingerPrints(std::uint64_t n) { numFingerPrints_ = n; }
  void SetFileSize(std::uint64_t bytes) { fileSize_ = bytes; }

 private:
  bool valid_ = false;
  bool littleEndian_ = false;
  std::string molFilename_;
  const KvFPTypeBase* type_ = nullptr;
  std::uint64_t numFingerPrints_ = 0;
  std::uint64_t fileSize_ = 0;
  std::uint64_t words_ = 0;
};

// The 800-byte header: the four text lines (marker of this platform's byte
// order, molecule file name, type string, count), zeros, then W (type size /
// 64) and the count at bytes 784 and 792. Text beyond 784 bytes is lost. A
// null type gives the type line empty and W = 0.
std::string KvWriteFastFPDatabaseHeaderBlob(const KvFastFPDatabaseParams& params);

// Copies the header blob to the start of `file`'s view. False (no message)
// when the params have no type or the file has no view.
// REQUIRES: the view holds at least 800 bytes.
bool KvWriteFastFPDatabaseParams(MMapOutputFile& file, const KvFastFPDatabaseParams& params);

// One record: `index` and the bit count as 8 little-endian bytes each, then
// the first (bits + 31) / 32 x 4 bytes of the bit vector's storage. Empty,
// with a warning naming "KvWriteFastFingerPrintBlob()", for an untyped
// fingerprint, one without data, or one whose storage is not whole 64-bit words.
std::string KvWriteFastFingerPrintBlob(std::uint64_t index, const KvFingerPrint& fp);

// 800 + n x (W + 2) x 8 with W = KvGetFingerPrintSize(type) / 64 (0 for a
// null type). No message.
std::uint64_t KvGetFPDatabaseFileSize(std::uint64_t n, const KvFPTypeBase* type);

// The words of a fingerprint as stored in a record: each 64-bit word
// assembled little-endian from 8 bytes of the bit vector's storage. Replaces
// `words` (resized to (bits + 63) / 64 words) and returns the bit count. A
// storage whose byte length, rounded up to 32 bits, is not a multiple of 8
// gives no words and 0. Allocation-free when `words` has the capacity.
std::uint64_t KvFingerPrintToWords(const KvFingerPrint& fp, std::vector<std::uint64_t>& words);

// Type admission of the fast database: the type is not null, its type string
// parses, it is a Path, Circular or Tree type and its size is a multiple of
// 256 bits. Otherwise a warning with `caller` for the leading %s
// ("%s invalid fingerprint pointer!", "%s invalid fingerprint type!",
// "%s invalid fingerprint type (only path, circular or tree allowed)!",
// "%s invalid fingerprint size (has to be multiple of 256)!") and false.
bool KvIsAdmissibleFastFPType(const KvFPTypeBase* type, const char* caller);

// Checks that a valid header describes a readable file: W > 0, W a multiple
// of 4, 64W equal to the type's size, and a file size of exactly
// KvFastFPRecordOffset(n, W) (no overflow). Otherwise one warning with
// `caller` and `path` naming the fault, and false. Engines call this before
// they touch a record, so that no read goes past the file.
bool KvCheckFastFPDatabaseLayout(const KvFastFPDatabaseParams& params, const std::string& path, const char* caller);

// A read-only mapping of the first `size` bytes of a file, made through the
// file system in use (KvSystem::KvGetFileSystem). Owns the view; Close() or
// the destructor unmaps it. Not copyable; movable.
class MMapInputFile {
 public:
  // Maps `path` read-only for `size` bytes (closing any earlier view).
  // Errors (error level): "Unable to open file: %s" (cannot open),
  // "unable for create file mapping" (not a regular file, size 0 or beyond
  // the end of the file), "Unable to mmap file". The file handle is closed
  // at once either way.
  bool Open(const std::string& path, std::uint64_t size);
  // Unmaps the view; idempotent.
  void Close() { region_.reset(); }
  // The view (null when none) and its length in bytes (0 when none).
  const void* GetPtr() const { return region_ ? region_->Data() : nullptr; }
  std::uint64_t GetLength() const { return region_ ? region_->Size() : 0; }
  bool IsOpen() const { return region_ != nullptr; }
  // The view as bytes; empty when none.
  std::span<const std::uint8_t> Bytes() const {
    return {static_cast<const std::uint8_t*>(GetPtr()), static_cast<std::size_t>(GetLength())};
  }

 private:
  std::unique_ptr<KvSystem::KvMappedRegion> region_;
};

// A writable shared mapping of a file created anew and sized to `size`
// bytes, so that stores through the view land in the file; made through the
// file system in use. Owns the view; Close() or the destructor unmaps it.
// Not copyable; movable.
class MMapOutputFile {
 public:
  // Creates `path` anew (an existing file is replaced, not truncated in
  // place, so that mappings of it elsewhere stay readable), sizes it to
  // `size` bytes (zeros) and maps it writable. Errors (error level): "Unable
  // to create file: %s", "unable for create file mapping" (size 0 or sizing
  // failed), "Unable to mmap file"; the file is then removed.
  bool Open(const std::string& path, std::uint64_t size);
  // Unmaps the view (the file keeps what was stored); idempotent.
  void Close() { region_.reset(); }
  void* GetPtr() const { return region_ ? region_->Data() : nullptr; }
  std::uint64_t GetLength() const { return region_ ? region_->Size() : 0; }
  bool IsOpen() const { return region_ != nullptr; }

 private:
  std::unique_ptr<KvSystem::KvMappedRegion> region_;
};

}  // namespace Varnex
