// Opening steps shared by both engines, record reads and query words.

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>

#include "fastdb/engine/engine.h"
#include "fastdb/kernels/kernels.h"
#include "kvsystem/file_system.h"
#include "kvsystem/error.h"
#include "system/messages.h"

namespace Varnex {
namespace {
constexpr const char* kOpening = "KvFastFPDatabase::KvFastFPDatabase()";
constexpr const char* kGetFingerPrint = "KvFastFPDatabase::GetFingerPrint()";
std::atomic<std::uint64_t> scanWholeUpTo{4096};
std::atomic<std::uint64_t> shareSearchFrom{32768};
std::atomic<std::uint64_t> matrixRowsFrom{262144};
std::atomic<std::uint64_t> twoThreadOpeningFrom{std::uint64_t{64} << 20};
}  // namespace

std::uint64_t ScanWholeUpTo() { return scanWholeUpTo.load(std::memory_order_relaxed); }
void SetScanWholeUpTo(std::uint64_t records) { scanWholeUpTo.store(records, std::memory_order_relaxed); }
std::uint64_t ShareSearchFrom() { return shareSearchFrom.load(std::memory_order_relaxed); }
void SetShareSearchFrom(std::uint64_t records) { shareSearchFrom.store(records, std::memory_order_relaxed); }
std::uint64_t MatrixRowsFrom() { return matrixRowsFrom.load(std::memory_order_relaxed); }
void SetMatrixRowsFrom(std::uint64_t records) { matrixRowsFrom.store(records, std::memory_order_relaxed); }
std::uint64_t TwoThreadOpeningFrom() { return twoThreadOpeningFrom.load(std::memory_order_relaxed); }
void SetTwoThreadOpeningFrom(std::uint64_t bytes) { twoThreadOpeningFrom.store(bytes, std::memory_order_relaxed); }

KvFastFPDatabaseImplBase::KvFastFPDatabaseImplBase(const std::string& path) : path_(path), params_(path) {
  valid_ = params_.IsValid();
  if (!valid_) KvSystem::KvThrow()->Warning(Msg::kEngineInvalid, kOpening);
  // No record is touched unless the file holds exactly n records of W words.
  if (valid_ && !KvCheckFastFPDatabaseLayout(params_, path_, kOpening)) valid_ = false;
}

bool KvFastFPDatabaseImplBase::ReadRecords(std::uint64_t* into, const char* cannotSkip,
                                           std::atomic<std::uint64_t>* readUpTo) {
  KvSystem::KvErrorHandler* report = KvSystem::KvThrow();
  const RecordView view = View();
  const std::size_t recordWords = view.stride / 8;
  index_.Begin(view.n, static_cast<std::size_t>(view.words), into == nullptr);
  KvSystem::KvStatus error;
  const std::unique_ptr<KvSystem::KvReadableFile> file = KvSystem::KvGetFileSystem().OpenForReading(path_, error);
  if (file == nullptr) {
    report->Warning(error, Msg::kEngineOpen, kOpening, path_.c_str());
    return false;
  }
  KvSystem::KvReadableFileStream in(*file);
  if (in.skip(KvFastFPHeaderSize) != KvFastFPHeaderSize) {
    report->Warning(cannotSkip, kOpening, path_.c_str());
    return false;
  }
  const std::uint64_t perRead = std::max<std::uint64_t>(1, (std::uint64_t{1} << 20) / view.stride);
  std::vector<std::uint64_t> buffer(into == nullptr ? static_cast<std::size_t>(perRead) * recordWords : 0);
  for (std::uint64_t first = 0; first < view.n; first += perRead) {
    const std::uint64_t want = std::min(perRead, view.n - first);
    std::uint64_t* run = into != nullptr ? into + first * recordWords : buffer.data();
    const std::uint64_t complete = in.read(run, static_cast<std::size_t>(want * view.stride)) / view.stride;
    if (readUpTo != nullptr) readUpTo->store((first + want) * view.stride, std::memory_order_relaxed);
    if constexpr (std::endian::native != std::endian::little) {
      for (std::uint64_t w = 0; w < complete * recordWords; ++w)
        run[w] = LoadLE64(reinterpret_cast<const std::uint8_t*>(run + w));
    }
    std::uint64_t bad = 0;
    std::string damage;
    if (!index_.Add(run, complete, bad, damage)) {
      report->Warning(Msg::kEngineBadRecord, kOpening, static_cast<int>(bad));
      if (!damage.empty())
        report->Warning(KvSystem::KvStatus(KvSystem::KvStatusCode::Corrupt, ""), "%s : %s is damaged: record %llu: %s",
                        kOpening, path_.c_str(), static_cast<unsigned long long>(bad), damage.c_str());
      return false;
    }
    if (complete < want) {
      report->Warning(Msg::kEngineShortRead, kOpening, static_cast<int>(first + complete));
      return false;
    }
  }
  return true;
}

RecordView KvFastFPDatabaseImplBase::View() const {
  RecordView view;
  view.records = Records();
  view.n = params_.NumFingerPrints();
  view.words = params_.GetFingerPrintSizeIn64();
  view.stride = static_cast<std::size_t>((view.words + KvFastFPRecordExtraWords) * 8);
  return view;
}

bool KvFastFPDatabaseImplBase::ReadRecord(std::vector<std::uint64_t>& words, std::uint64_t& molIdx,
                                          std::uint64_t& count, std::uint64_t position) const {
  const RecordView view = View();
  if (position >= view.n) {
    KvSystem::KvThrow()->Warning(Msg::kIndexOutOfRange, kGetFingerPrint);
    return false;
  }
  if (view.records == nullptr) {
    KvSystem::KvThrow()->Warning(Msg::kNoFilePointer, kGetFingerPrint);
    return false;
  }
  const std::uint8_t* record = view.At(position);
  molIdx = LoadLE64(record);
  count = LoadLE64(record + 8);
  words.resize(static_cast<std::size_t>(view.words));
  for (std::size_t w = 0; w < words.size(); ++w) words[w] = LoadLE64(RecordWords(record) + 8 * w);
  return true;
}

// The kernels AND the query with the record bytes as they lie in memory, so
// the query words hold the fingerprint's storage bytes in the same order.
QueryWords KvFastFPDatabaseImplBase::MakeQuery(const KvFingerPrint& query) const {
  QueryWords result;
  const std::size_t words = static_cast<std::size_t>(params_.GetFingerPrintSizeIn64());
  result.words.assign(words, 0);
  const std::size_t stored = std::min<std::size_t>(query.NumWords() * 4, 8 * words);
  if (stored > 0) std::memcpy(result.words.data(), query.GetBytes(), stored);
  result.bits = GetActiveScanKernel().popCount(result.words.data(), words);
  return result;
}

void KvFastFPDatabaseImplBase::RecordAsQuery(std::uint64_t position, QueryWords& query) const {
  const RecordView view = View();
  query.words.resize(static_cast<std::size_t>(view.words));
  std::memcpy(query.words.data(), RecordWords(view.At(position)), 8 * query.words.size());
  query.bits = GetActiveScanKernel().popCount(query.words.data(), query.words.size());
}

}  // namespace Varnex
