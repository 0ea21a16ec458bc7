// Opening steps shared by both engines, record reads and query words.

#include <algorithm>
#include <atomic>
#include <cstring>

#include "fastdb/engine/engine.h"
#include "fastdb/kernels/kernels.h"
#include "kvsystem/error.h"
#include "system/messages.h"

namespace Varnex {
namespace {
constexpr const char* kOpening = "KvFastFPDatabase::KvFastFPDatabase()";
constexpr const char* kGetFingerPrint = "KvFastFPDatabase::GetFingerPrint()";
std::atomic<std::uint64_t> scanWholeUpTo{4096};
std::atomic<std::uint64_t> shareSearchFrom{32768};
}  // namespace

std::uint64_t KvScanWholeUpTo() { return scanWholeUpTo.load(std::memory_order_relaxed); }
void KvSetScanWholeUpTo(std::uint64_t records) { scanWholeUpTo.store(records, std::memory_order_relaxed); }
std::uint64_t KvShareSearchFrom() { return shareSearchFrom.load(std::memory_order_relaxed); }
void KvSetShareSearchFrom(std::uint64_t records) { shareSearchFrom.store(records, std::memory_order_relaxed); }

KvFastFPDatabaseImplBase::KvFastFPDatabaseImplBase(const std::string& path) : path_(path), params_(path) {
  valid_ = params_.IsValid();
  if (!valid_) KvSystem::KvThrow()->Warning(Msg::kEngineInvalid, kOpening);
  // No record is touched unless the file holds exactly n records of W words.
  if (valid_ && !KvCheckFastFPDatabaseLayout(params_, path_, kOpening)) valid_ = false;
}

KvRecordView KvFastFPDatabaseImplBase::View() const {
  KvRecordView view;
  view.records = Records();
  view.n = params_.NumFingerPrints();
  view.words = params_.GetFingerPrintSizeIn64();
  view.stride = static_cast<std::size_t>((view.words + KvFastFPRecordExtraWords) * 8);
  return view;
}

bool KvFastFPDatabaseImplBase::ReadRecord(std::vector<std::uint64_t>& words, std::uint64_t& molIdx,
                                          std::uint64_t& count, std::uint64_t position) const {
  const KvRecordView view = View();
  if (position >= view.n) {
    KvSystem::KvThrow()->Warning(Msg::kIndexOutOfRange, kGetFingerPrint);
    return false;
  }
  if (view.records == nullptr) {
    KvSystem::KvThrow()->Warning(Msg::kNoFilePointer, kGetFingerPrint);
    return false;
  }
  const std::uint8_t* record = view.At(position);
  molIdx = KvLoadLE64(record);
  count = KvLoadLE64(record + 8);
  words.resize(static_cast<std::size_t>(view.words));
  for (std::size_t w = 0; w < words.size(); ++w) words[w] = KvLoadLE64(KvRecordWords(record) + 8 * w);
  return true;
}

// The kernels AND the query with the record bytes as they lie in memory, so
// the query words hold the fingerprint's storage bytes in the same order.
KvQueryWords KvFastFPDatabaseImplBase::MakeQuery(const KvFingerPrint& query) const {
  KvQueryWords result;
  const std::size_t words = static_cast<std::size_t>(params_.GetFingerPrintSizeIn64());
  result.words.assign(words, 0);
  const std::size_t stored = std::min<std::size_t>(query.NumWords() * 4, 8 * words);
  if (stored > 0) std::memcpy(result.words.data(), query.GetBytes(), stored);
  result.bits = KvGetActiveScanKernel().popCount(result.words.data(), words);
  return result;
}

void KvFastFPDatabaseImplBase::RecordAsQuery(std::uint64_t position, KvQueryWords& query) const {
  const KvRecordView view = View();
  query.words.resize(static_cast<std::size_t>(view.words));
  std::memcpy(query.words.data(), KvRecordWords(view.At(position)), 8 * query.words.size());
  query.bits = KvGetActiveScanKernel().popCount(query.words.data(), query.words.size());
}

}  // namespace Varnex
