// The memory-mapped engine: the records stay in a read-only mapping of the file.

#include "fastdb/engine.h"
#include "kvsystem/error.h"

namespace Varnex {

KvFastFPMemoryMapDatabaseImpl::KvFastFPMemoryMapDatabaseImpl(const std::string& path)
    : KvFastFPDatabaseImplBase(path) {
  if (!valid_) return;
  if (!file_.Open(path_, params_.GetFileSize())) {
    KvSystem::KvThrow()->Warning("%s : cannot initialize object for memory mapping!",
                                 "KvFastFPDatabase::KvFastFPDatabase()");
    valid_ = false;
    return;
  }
  valid_ = IndexRecords();
}

const std::uint8_t* KvFastFPMemoryMapDatabaseImpl::Records() const {
  if (!file_.IsOpen()) return nullptr;
  return static_cast<const std::uint8_t*>(file_.GetPtr()) + KvFastFPHeaderSize;
}

}  // namespace Varnex
