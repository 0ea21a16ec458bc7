// Opening steps shared by both engines, record reads and query words.

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>

#include "fastdb/engine/engine.h"
#include "fastdb/engine/workers.h"
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

std::function<void()> KvFastFPDatabaseImplBase::ReadRange(std::uint64_t first, std::uint64_t last,
                                                          std::uint64_t* into, const char* cannotSkip) {
  const std::string& path = path_;
  const RecordView view = View();
  const std::size_t recordWords = view.stride / 8;
  KvSystem::KvStatus error;
  const std::unique_ptr<KvSystem::KvReadableFile> file = KvSystem::KvGetFileSystem().OpenForReading(path, error);
  if (file == nullptr)
    return [=] { KvSystem::KvThrow()->Warning(error, Msg::kEngineOpen, kOpening, path.c_str()); };
  KvSystem::KvReadableFileStream in(*file);
  const std::uint64_t skip = KvFastFPHeaderSize + first * view.stride;
  if (in.skip(static_cast<std::size_t>(skip)) != skip)
    return [=] { KvSystem::KvThrow()->Warning(cannotSkip, kOpening, path.c_str()); };
  const std::uint64_t perRead = std::max<std::uint64_t>(1, (std::uint64_t{1} << 20) / view.stride);
  std::vector<std::uint64_t> buffer(into == nullptr ? static_cast<std::size_t>(perRead) * recordWords : 0);
  for (std::uint64_t at = first; at < last; at += perRead) {
    const std::uint64_t want = std::min(perRead, last - at);
    std::uint64_t* run = into != nullptr ? into + at * recordWords : buffer.data();
    const std::uint64_t complete = in.read(run, static_cast<std::size_t>(want * view.stride)) / view.stride;
    if constexpr (std::endian::native != std::endian::little) {
      for (std::uint64_t w = 0; w < complete * recordWords; ++w)
        run[w] = LoadLE64(reinterpret_cast<const std::uint8_t*>(run + w));
    }
    std::uint64_t bad = 0;
    std::string damage;
    if (!index_.Add(run, at, complete, bad, damage)) {
      return [=] {
        KvSystem::KvThrow()->Warning(Msg::kEngineBadRecord, kOpening, static_cast<int>(bad));
        if (!damage.empty())
          KvSystem::KvThrow()->Warning(KvSystem::KvStatus(KvSystem::KvStatusCode::Corrupt, ""),
                                       "%s : %s is damaged: record %llu: %s", kOpening, path.c_str(),
                                       static_cast<unsigned long long>(bad), damage.c_str());
      };
    }
    if (complete < want) {
      const std::uint64_t missing = at + complete;
      return [=] { KvSystem::KvThrow()->Warning(Msg::kEngineShortRead, kOpening, static_cast<int>(missing)); };
    }
  }
  return {};
}

bool KvFastFPDatabaseImplBase::ReadRecords(std::uint64_t* into, const char* cannotSkip, unsigned threads) {
  const RecordView view = View();
  index_.Begin(view.n, static_cast<std::size_t>(view.words), into == nullptr);
  // Into memory, the records are split among the threads, each reading its
  // share; what a sequential read would have met first is reported.
  threads = into == nullptr ? 1u : static_cast<unsigned>(std::clamp<std::uint64_t>(view.n, 1, threads));
  std::vector<std::function<void()>> failures(threads);
  KvRunWorkers(threads, [&](unsigned t) {
    failures[t] = ReadRange(view.n * t / threads, view.n * (t + 1) / threads, into, cannotSkip);
  });
  for (const std::function<void()>& warn : failures) {
    if (warn) {
      warn();
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
