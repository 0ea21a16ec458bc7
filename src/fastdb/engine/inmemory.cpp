// The in-memory engine: the records are read once into one array laid out
// exactly as in the file, and the search index is built from that array.
//
// About half the work of reading a large file into fresh memory is the
// kernel's zero-filling of the pages as the reads first touch them. For
// large files a helper thread faults the pages in ahead of the reads, so
// that the zeroing and the reads run on two cores; the reads themselves go
// through the file-system layer as always.

#include <algorithm>
#include <atomic>
#include <bit>
#include <exception>

#include "fastdb/engine/engine.h"
#include "fastdb/engine/workers.h"
#include "kvsystem/error.h"
#include "kvsystem/file_system.h"

namespace Varnex {
namespace {
constexpr const char* kOpening = "KvFastFPDatabase::KvFastFPDatabase()";
// Files from this size on have their pages faulted in ahead, in steps of
// kPopulateStep bytes.
constexpr std::uint64_t kPopulateFrom = std::uint64_t{64} << 20;
constexpr std::uint64_t kPopulateStep = std::uint64_t{8} << 20;

// Sets a flag when it goes out of scope, however that happens.
class RaiseOnExit {
 public:
  explicit RaiseOnExit(std::atomic<bool>& flag) : flag_(flag) {}
  ~RaiseOnExit() { flag_.store(true, std::memory_order_relaxed); }
  RaiseOnExit(const RaiseOnExit&) = delete;
  RaiseOnExit& operator=(const RaiseOnExit&) = delete;

 private:
  std::atomic<bool>& flag_;
};
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
  const std::unique_ptr<KvSystem::KvReadableFile> file = KvSystem::KvGetFileSystem().OpenForReading(path_, error);
  if (file == nullptr) {
    report->Warning(error, "%s : cannot open fingerprint database file %s", kOpening, path_.c_str());
    return false;
  }
  KvSystem::KvReadableFileStream in(*file);
  if (in.skip(KvFastFPHeaderSize) != KvFastFPHeaderSize) {
    report->Warning("%s : cannot skip header in database file %s", kOpening, path_.c_str());
    return false;
  }
  const std::uint64_t total = n * recordWords * 8;
  std::atomic<std::uint64_t> readUpTo{0};  // bytes of records read so far
  std::atomic<bool> over{false};           // the reads have ended
  bool loaded = false;
  KvRunWorkers(total >= kPopulateFrom ? 2u : 1u, [&](unsigned worker) {
    if (worker == 0) {
      const RaiseOnExit end(over);
      loaded = ReadRecords(in, readUpTo);
      return;
    }
    for (std::uint64_t at = 0; at < total && !over.load(std::memory_order_relaxed); at += kPopulateStep) {
      const std::uint64_t end = std::min(total, at + kPopulateStep);
      const std::uint64_t from = std::max(at, readUpTo.load(std::memory_order_relaxed));
      if (from < end && !records_.Populate(static_cast<std::size_t>(from), static_cast<std::size_t>(end - from)))
        return;  // not supported here: the reads fault the pages in themselves
    }
  });
  if (!loaded) return false;
  index_.Finish(records_.Data());
  return true;
}

bool KvFastFPInMemoryDatabaseImpl::ReadRecords(KvSystem::KvReadableFileStream& in,
                                               std::atomic<std::uint64_t>& readUpTo) {
  KvSystem::KvErrorHandler* report = KvSystem::KvThrow();
  const std::uint64_t n = params_.NumFingerPrints();
  const std::uint64_t recordWords = params_.GetFingerPrintSizeIn64() + KvFastFPRecordExtraWords;
  std::uint8_t* bytes = reinterpret_cast<std::uint8_t*>(records_.Data());
  const std::size_t recordBytes = static_cast<std::size_t>(recordWords * 8);
  // Runs of about a megabyte: large reads, each checked while in cache.
  const std::uint64_t perRead = std::max<std::uint64_t>(1, (std::uint64_t{1} << 20) / recordBytes);
  index_.Begin(n, static_cast<std::size_t>(recordWords - KvFastFPRecordExtraWords), false);
  for (std::uint64_t first = 0; first < n; first += perRead) {
    const std::uint64_t want = std::min(perRead, n - first);
    std::uint8_t* block = bytes + first * recordBytes;
    const std::size_t got = in.read(block, static_cast<std::size_t>(want * recordBytes));
    readUpTo.store((first + want) * recordBytes, std::memory_order_relaxed);
    const std::uint64_t complete = got / recordBytes;
    if constexpr (std::endian::native != std::endian::little) {
      std::uint64_t* words = records_.Data() + first * recordWords;
      for (std::uint64_t w = 0; w < complete * recordWords; ++w) {
        words[w] = KvLoadLE64(reinterpret_cast<const std::uint8_t*>(words + w));
      }
    }
    std::uint64_t bad = 0;
    std::string damage;
    if (!index_.Add(records_.Data() + first * recordWords, complete, bad, damage)) {
      report->Warning("%s : invalid data in %d-th fingerprint", kOpening, static_cast<int>(bad));
      if (!damage.empty())
        report->Warning(KvSystem::KvStatus(KvSystem::KvStatusCode::Corrupt, ""), "%s : %s is damaged: record %llu: %s",
                        kOpening, path_.c_str(), static_cast<unsigned long long>(bad), damage.c_str());
      return false;
    }
    if (complete < want) {
      report->Warning("%s : cannot read %d-th fingerprint", kOpening, static_cast<int>(first + complete));
      return false;
    }
  }
  return true;
}

const std::uint8_t* KvFastFPInMemoryDatabaseImpl::Records() const {
  return reinterpret_cast<const std::uint8_t*>(records_.Data());
}

}  // namespace Varnex
