// The in-memory engine: the records are read once into one array laid out
// exactly as in the file, and the search index is built from that array.
//
// About half the work of reading a large file into fresh memory is the
// kernel's zero-filling of the pages as the reads first touch them. For
// large files a helper thread faults the pages in ahead of the reads, so
// that the zeroing and the reads run on two cores; the reads themselves go
// through the file-system layer as always. The signatures are then folded
// from the records in memory on both threads.

#include <algorithm>
#include <atomic>
#include <exception>

#include "fastdb/engine/engine.h"
#include "fastdb/engine/workers.h"
#include "kvsystem/error.h"
#include "system/messages.h"

namespace Varnex {
namespace {
constexpr const char* kOpening = "KvFastFPDatabase::KvFastFPDatabase()";
// From TwoThreadOpeningFrom() bytes on, the pages are faulted in ahead in
// steps of kPopulateStep bytes.
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

FastFPInMemoryDatabaseImpl::FastFPInMemoryDatabaseImpl(const std::string& path) : KvFastFPDatabaseImplBase(path) {
  if (!valid_) {
    KvSystem::KvThrow()->Warning(Msg::kEngineInMemory, kOpening);
    return;
  }
  valid_ = false;
  valid_ = Load();
}

bool FastFPInMemoryDatabaseImpl::Load() {
  KvSystem::KvErrorHandler* report = KvSystem::KvThrow();
  const std::uint64_t n = params_.NumFingerPrints();
  const std::uint64_t recordWords = params_.GetFingerPrintSizeIn64() + KvFastFPRecordExtraWords;
  try {
    if (!records_.Allocate(static_cast<std::size_t>(n * recordWords))) throw std::bad_alloc();
  } catch (const std::bad_alloc&) {
    report->Warning(Msg::kEngineNoMemory, kOpening);
    return false;
  } catch (const std::exception& e) {
    report->Warning(Msg::kOperationFailed, kOpening, e.what());
    return false;
  }

  const std::uint64_t total = n * recordWords * 8;
  std::atomic<std::uint64_t> readUpTo{0};  // bytes of records read so far
  std::atomic<bool> over{false};           // the reads have ended
  bool loaded = false;
  const unsigned threads = total >= TwoThreadOpeningFrom() ? 2u : 1u;
  KvRunWorkers(threads, [&](unsigned worker) {
    if (worker == 0) {
      const RaiseOnExit end(over);
      loaded = ReadRecords(records_.Data(), Msg::kEngineSkipHeader, &readUpTo);
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
  index_.Finish(records_.Data(), threads);
  return true;
}

const std::uint8_t* FastFPInMemoryDatabaseImpl::Records() const {
  return reinterpret_cast<const std::uint8_t*>(records_.Data());
}

}  // namespace Varnex
