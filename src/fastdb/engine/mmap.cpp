// The memory-mapped engine: the records stay in a read-only mapping of the
// file. The search index is built from plain reads of the file rather than
// through the mapping: a first touch of every page of a fresh mapping costs
// more than the reads, and most searches afterwards touch few pages.

#include "fastdb/engine/engine.h"
#include "kvsystem/error.h"
#include "system/messages.h"

namespace Varnex {
namespace {
constexpr const char* kOpening = "KvFastFPDatabase::KvFastFPDatabase()";
}  // namespace

FastFPMemoryMapDatabaseImpl::FastFPMemoryMapDatabaseImpl(const std::string& path) : KvFastFPDatabaseImplBase(path) {
  if (!valid_) return;
  if (!file_.Open(path_, params_.GetFileSize())) {
    KvSystem::KvThrow()->Warning(Msg::kEngineMapped, kOpening);
    valid_ = false;
    return;
  }
  valid_ = ReadRecords(nullptr, Msg::kEngineOpen);
  if (valid_) index_.Finish(nullptr);
}

const std::uint8_t* FastFPMemoryMapDatabaseImpl::Records() const {
  if (!file_.IsOpen()) return nullptr;
  return static_cast<const std::uint8_t*>(file_.GetPtr()) + KvFastFPHeaderSize;
}

}  // namespace Varnex
