// The memory-mapped engine: the records stay in a read-only mapping of the
// file. The search index is built from plain reads of the file rather than
// through the mapping: a first touch of every page of a fresh mapping costs
// more than the reads, and most searches afterwards touch few pages.

#include <bit>

#include "fastdb/engine/engine.h"
#include "kvsystem/error.h"
#include "kvsystem/file_system.h"

namespace Varnex {
namespace {
constexpr const char* kOpening = "KvFastFPDatabase::KvFastFPDatabase()";
}  // namespace

KvFastFPMemoryMapDatabaseImpl::KvFastFPMemoryMapDatabaseImpl(const std::string& path) : KvFastFPDatabaseImplBase(path) {
  if (!valid_) return;
  if (!file_.Open(path_, params_.GetFileSize())) {
    KvSystem::KvThrow()->Warning("%s : cannot initialize object for memory mapping!", kOpening);
    valid_ = false;
    return;
  }
  valid_ = IndexRecords();
}

bool KvFastFPMemoryMapDatabaseImpl::IndexRecords() {
  KvSystem::KvErrorHandler* report = KvSystem::KvThrow();
  const KvRecordView view = View();
  index_.Begin(view.n, static_cast<std::size_t>(view.words), true);
  KvSystem::KvStatus error;
  const std::unique_ptr<KvSystem::KvReadableFile> file = KvSystem::KvGetFileSystem().OpenForReading(path_, error);
  if (file == nullptr) {
    report->Warning(error, "%s : cannot open fingerprint database file %s", kOpening, path_.c_str());
    return false;
  }
  KvSystem::KvReadableFileStream in(*file);
  if (in.skip(KvFastFPHeaderSize) != KvFastFPHeaderSize) {
    report->Warning("%s : cannot open fingerprint database file %s", kOpening, path_.c_str());
    return false;
  }
  const std::uint64_t perRead = std::max<std::uint64_t>(1, (std::uint64_t{1} << 20) / view.stride);
  std::vector<std::uint64_t> run(static_cast<std::size_t>(perRead * view.stride / 8));
  for (std::uint64_t first = 0; first < view.n; first += perRead) {
    const std::uint64_t want = std::min(perRead, view.n - first);
    const std::uint64_t complete = in.read(run.data(), static_cast<std::size_t>(want * view.stride)) / view.stride;
    if constexpr (std::endian::native != std::endian::little) {
      for (std::uint64_t& word : run) word = KvLoadLE64(reinterpret_cast<const std::uint8_t*>(&word));
    }
    std::uint64_t bad = 0;
    std::string damage;
    if (!index_.Add(run.data(), complete, bad, damage)) {
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
  index_.Finish(nullptr);
  return true;
}

const std::uint8_t* KvFastFPMemoryMapDatabaseImpl::Records() const {
  if (!file_.IsOpen()) return nullptr;
  return static_cast<const std::uint8_t*>(file_.GetPtr()) + KvFastFPHeaderSize;
}

}  // namespace Varnex
