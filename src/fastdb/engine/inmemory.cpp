// The in-memory engine: the records are read once into one array laid out
// exactly as in the file, and the search index is built from that array.
//
// About half the work of reading a large file into fresh memory is the
// kernel's zero-filling of the pages as the reads first touch them, and the
// rest is memory traffic too. A large file is therefore read on two
// threads, each its half of the records: each thread zero-fills the pages
// it reads into and counts their bits while they are still in its caches.
// (A helper zero-filling ahead of a single reader was measured to cost more
// CPU time: its pages had left the caches before the reads arrived.) The
// signatures are then folded from the records in memory, on both threads
// too. The reads go through the file-system layer as always.

#include <exception>

#include "fastdb/engine/engine.h"
#include "kvsystem/error.h"
#include "system/messages.h"

namespace Varnex {
namespace {
constexpr const char* kOpening = "KvFastFPDatabase::KvFastFPDatabase()";
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
  const unsigned threads = n * recordWords * 8 >= TwoThreadOpeningFrom() ? 2u : 1u;
  if (!ReadRecords(records_.Data(), Msg::kEngineSkipHeader, threads)) return false;
  index_.Finish(records_.Data(), threads);
  return true;
}

const std::uint8_t* FastFPInMemoryDatabaseImpl::Records() const {
  return reinterpret_cast<const std::uint8_t*>(records_.Data());
}

}  // namespace Varnex
