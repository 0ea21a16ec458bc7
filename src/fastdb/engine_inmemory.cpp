// The in-memory engine: the records are read once into one array laid out
// exactly as in the file.

#include <bit>
#include <exception>

#include "fastdb/engine.h"
#include "fastdb/file_system.h"
#include "kvsystem/error.h"

namespace Varnex {
namespace {
constexpr const char* kOpening = "KvFastFPDatabase::KvFastFPDatabase()";
// Records per read call: large reads, few calls.
constexpr std::uint64_t kRecordsPerRead = 2048;
}  // namespace

KvFastFPInMemoryDatabaseImpl::KvFastFPInMemoryDatabaseImpl(const std::string& path)
    : KvFastFPDatabaseImplBase(path) {
  if (!valid_) {
    KvSystem::KvThrow()->Warning("%s cannot initialize object for in memory search!", kOpening);
    return;
  }
  valid_ = false;
  valid_ = Load() && IndexRecords();
}

bool KvFastFPInMemoryDatabaseImpl::Load() {
  KvSystem::KvErrorHandler* report = KvSystem::KvThrow();
  const std::uint64_t n = params_.NumFingerPrints();
  const std::uint64_t recordWords = params_.GetFingerPrintSizeIn64() + KvFastFPRecordExtraWords;
  const std::uint64_t maxCount = params_.GetFingerPrintSizeInBits();
  try {
    records_.resize(static_cast<std::size_t>(n * recordWords));
  } catch (const std::bad_alloc&) {
    report->Warning("%s : Cannot allocate enough memory!", kOpening);
    return false;
  } catch (const std::exception& e) {
    report->Warning("%s : %s!", kOpening, e.what());
    return false;
  }

  std::string error;
  const std::unique_ptr<KvReadableFile> file = KvGetFileSystem().OpenForReading(path_, error);
  if (file == nullptr) {
    report->Warning("%s : cannot open fingerprint database file %s", kOpening, path_.c_str());
    return false;
  }
  KvReadableFileStream in(*file);
  if (in.skip(KvFastFPHeaderSize) != KvFastFPHeaderSize) {
    report->Warning("%s : cannot skip header in database file %s", kOpening, path_.c_str());
    return false;
  }
  std::uint8_t* bytes = reinterpret_cast<std::uint8_t*>(records_.data());
  const std::size_t recordBytes = static_cast<std::size_t>(recordWords * 8);
  for (std::uint64_t first = 0; first < n; first += kRecordsPerRead) {
    const std::uint64_t want = std::min(kRecordsPerRead, n - first);
    std::uint8_t* block = bytes + first * recordBytes;
    const std::size_t got = in.read(block, static_cast<std::size_t>(want * recordBytes));
    const std::uint64_t complete = got / recordBytes;
    for (std::uint64_t r = 0; r < complete; ++r) {
      std::uint64_t* words = records_.data() + (first + r) * recordWords;
      if constexpr (std::endian::native != std::endian::little) {
        for (std::uint64_t w = 0; w < recordWords; ++w) {
          words[w] = KvLoadLE64(reinterpret_cast<const std::uint8_t*>(words + w));
        }
      }
      if (words[KvFastFPRecordCountWord] > maxCount) {
        report->Warning("%s : invalid data in %d-th fingerprint", kOpening, static_cast<int>(first + r));
        return false;
      }
    }
    if (complete < want) {
      report->Warning("%s : cannot read %d-th fingerprint", kOpening, static_cast<int>(first + complete));
      return false;
    }
  }
  if (records_.size() != n * recordWords) {
    report->Warning("%s : cannot read all fingerprints!", kOpening);
    return false;
  }
  return true;
}

const std::uint8_t* KvFastFPInMemoryDatabaseImpl::Records() const {
  return reinterpret_cast<const std::uint8_t*>(records_.data());
}

}  // namespace Varnex
