// The in-memory engine: the records are read once into one array laid out
// exactly as in the file, and the search index is built from that array.

#include <bit>
#include <exception>

#include "fastdb/engine.h"
#include "fastdb/file_system.h"
#include "kvsystem/error.h"

namespace Varnex {
namespace {
constexpr const char* kOpening = "KvFastFPDatabase::KvFastFPDatabase()";
}  // namespace

KvFastFPInMemoryDatabaseImpl::KvFastFPInMemoryDatabaseImpl(const std::string& path) : KvFastFPDatabaseImplBase(path) {
  if (!valid_) {
    KvSystem::KvThrow()->Warning("%s cannot initialize object for in memory search!", kOpening);
    return;
  }
  valid_ = false;
  valid_ = Load();
}

bool KvFastFPInMemoryDatabaseImpl::Load() {
  KvSystem::KvErrorHandler* report = KvSystem::KvThrow();
  const std::uint64_t n = params_.NumFingerPrints();
  const std::uint64_t recordWords = params_.GetFingerPrintSizeIn64() + KvFastFPRecordExtraWords;
  try {
    if (!records_.Allocate(static_cast<std::size_t>(n * recordWords))) throw std::bad_alloc();
  } catch (const std::bad_alloc&) {
    report->Warning("%s : Cannot allocate enough memory!", kOpening);
    return false;
  } catch (const std::exception& e) {
    report->Warning("%s : %s!", kOpening, e.what());
    return false;
  }

  KvSystem::KvStatus error;
  const std::unique_ptr<KvReadableFile> file = KvGetFileSystem().OpenForReading(path_, error);
  if (file == nullptr) {
    report->Warning(error, "%s : cannot open fingerprint database file %s", kOpening, path_.c_str());
    return false;
  }
  KvReadableFileStream in(*file);
  if (in.skip(KvFastFPHeaderSize) != KvFastFPHeaderSize) {
    report->Warning("%s : cannot skip header in database file %s", kOpening, path_.c_str());
    return false;
  }
  std::uint8_t* bytes = reinterpret_cast<std::uint8_t*>(records_.Data());
  const std::size_t recordBytes = static_cast<std::size_t>(recordWords * 8);
  // Runs of about a megabyte: large reads, each checked while in cache.
  const std::uint64_t perRead = std::max<std::uint64_t>(1, (std::uint64_t{1} << 20) / recordBytes);
  index_.Begin(n, static_cast<std::size_t>(recordWords - KvFastFPRecordExtraWords), false);
  for (std::uint64_t first = 0; first < n; first += perRead) {
    const std::uint64_t want = std::min(perRead, n - first);
    std::uint8_t* block = bytes + first * recordBytes;
    const std::size_t got = in.read(block, static_cast<std::size_t>(want * recordBytes));
    const std::uint64_t complete = got / recordBytes;
    if constexpr (std::endian::native != std::endian::little) {
      std::uint64_t* words = records_.Data() + first * recordWords;
      for (std::uint64_t w = 0; w < complete * recordWords; ++w) {
        words[w] = KvLoadLE64(reinterpret_cast<const std::uint8_t*>(words + w));
      }
    }
    std::uint64_t bad = 0;
    if (!index_.Add(records_.Data() + first * recordWords, complete, bad)) {
      report->Warning("%s : invalid data in %d-th fingerprint", kOpening, static_cast<int>(bad));
      return false;
    }
    if (complete < want) {
      report->Warning("%s : cannot read %d-th fingerprint", kOpening, static_cast<int>(first + complete));
      return false;
    }
  }
  index_.Finish(records_.Data());
  return true;
}

const std::uint8_t* KvFastFPInMemoryDatabaseImpl::Records() const {
  return reinterpret_cast<const std::uint8_t*>(records_.Data());
}

}  // namespace Varnex
