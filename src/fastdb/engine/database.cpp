// KvFastFPDatabase: request validation in a fixed order, the three query
// forms, and the hand-over to the engine.

#include "varnex/fastdb.h"

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "database/searchresult_impl.h"
#include "fastdb/engine/engine.h"
#include "fastdb/kernels/kernels.h"
#include "kvsystem/error.h"
#include "varnex/generation.h"
#include "system/messages.h"

namespace Varnex {
namespace {

using KvSystem::KvIterBase;
using KvSystem::KvMakeEmptyIter;

KvSystem::KvErrorHandler* Report() { return KvSystem::KvThrow(); }

std::string OperationName(const char* operation) { return std::string("KvFastFPDatabase::") + operation + "()"; }

bool CheckMolecule(const KvChem::KvMolBase& mol, const std::string& name) {
  if (mol.IsValid()) return true;
  Report()->Warning(Msg::kEmptyMolecule, name.c_str());
  return false;
}

bool CheckOptions(const KvFPDatabaseOptions& options, const std::string& name) {
  if (KvIsValidSimMeasure(options.GetSimFunc())) return true;
  Report()->Warning(Msg::kUnknownMeasureQuoted, name.c_str(), static_cast<int>(options.GetSimFunc()));
  return false;
}

}  // namespace

bool KvIsFastFPDatabaseReady() { return true; }
std::string KvGetScanKernelName() { return GetActiveScanKernel().name; }

KvFastFPDatabase::KvFastFPDatabase(const std::string& path, unsigned int memoryType) {
  const char* name = "KvFastFPDatabase::KvFastFPDatabase()";
  if (memoryType == KvFastFPDatabaseMemoryType::InMemory) {
    impl_ = std::make_unique<FastFPInMemoryDatabaseImpl>(path);
    return;
  }
  if (memoryType == KvFastFPDatabaseMemoryType::CUDA) {
    Report()->Warning(Msg::kNoCuda, name);
  } else if (memoryType != KvFastFPDatabaseMemoryType::MemoryMapped) {
    Report()->Warning(Msg::kBadMemoryType, name);
  }
  impl_ = std::make_unique<FastFPMemoryMapDatabaseImpl>(path);
}

KvFastFPDatabase::~KvFastFPDatabase() = default;

// ---- Validation steps shared by the queries.
namespace {

bool CheckDatabase(const KvFastFPDatabaseImplBase* impl, const std::string& name) {
  if (impl != nullptr && impl->IsValid()) return true;
  Report()->Warning(Msg::kInvalidDatabase, name.c_str());
  return false;
}

}  // namespace

bool KvFastFPDatabase::IsValid() const { return impl_ != nullptr && impl_->IsValid(); }

std::size_t KvFastFPDatabase::NumFingerPrints() const {
  if (!CheckDatabase(impl_.get(), OperationName("NumFingerPrints"))) return 0;
  return static_cast<std::size_t>(impl_->NumFingerPrints());
}

const KvFPTypeBase* KvFastFPDatabase::GetFPTypeBase() const {
  if (!CheckDatabase(impl_.get(), OperationName("GetFPTypeBase"))) return nullptr;
  return impl_->GetFPTypeBase();
}

unsigned int KvFastFPDatabase::GetMemoryType() const {
  if (!CheckDatabase(impl_.get(), OperationName("GetMemoryType"))) return 0;
  return impl_->GetMemoryType();
}

std::string KvFastFPDatabase::GetMemoryTypeString() const {
  if (!CheckDatabase(impl_.get(), OperationName("GetMemoryTypeString"))) return "";
  return impl_->GetMemoryTypeString();
}

namespace {

// idx < NumFingerPrints(); on an invalid database NumFingerPrints() warns too.
bool CheckIndex(const KvFastFPDatabase& db, std::size_t idx, const std::string& name) {
  if (idx < db.NumFingerPrints()) return true;
  Report()->Warning(Msg::kIndexOutOfRange, name.c_str());
  return false;
}

bool CheckQuery(const KvFastFPDatabase& db, const KvFingerPrint& fp, const std::string& name) {
  if (fp.GetFPTypeBase() == nullptr) {
    Report()->Warning(Msg::kQueryType, name.c_str());
    return false;
  }
  if (fp.GetFPTypeBase() != db.GetFPTypeBase()) {
    Report()->Warning(Msg::kQueryMismatch, name.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool KvFastFPDatabase::GetFingerPrint(KvFingerPrint& fp, std::size_t idx) const {
  const std::string name = OperationName("GetFingerPrint");
  if (!CheckDatabase(impl_.get(), name) || !CheckIndex(*this, idx, name)) return false;
  fp.SetFPTypeBase(impl_->GetFPTypeBase());
  std::vector<std::uint64_t> words;
  std::uint64_t molIdx = 0;
  std::uint64_t count = 0;
  if (!impl_->ReadRecord(words, molIdx, count, idx)) {
    Report()->Warning(Msg::kCannotAccess, name.c_str());
    return false;
  }
  std::vector<std::uint8_t> bytes(8 * words.size());
  for (std::size_t w = 0; w < words.size(); ++w) StoreLE64(bytes.data() + 8 * w, words[w]);
  fp.SetData(bytes.data(), 64 * words.size());
  if (fp.GetSize() != 64 * words.size()) {
    Report()->Warning(Msg::kCannotAccess, name.c_str());
    return false;
  }
  if (molIdx != idx) {
    Report()->Warning(Msg::kIndexInconsistency, name.c_str());
    return false;
  }
  return true;
}

bool KvFastFPDatabase::GetBitCountRange(std::uint64_t& lo, std::uint64_t& hi) const {
  if (!IsValid() || impl_->Index().Empty() || impl_->Index().Order().empty()) return false;
  // Slots are ordered by bit count: the first and the last hold the extremes.
  const SearchIndex& index = impl_->Index();
  lo = index.Counts()[index.Order().front()];
  hi = index.Counts()[index.Order().back()];
  return true;
}

std::size_t KvFastFPDatabase::GetMoleculeIndex(std::size_t idx) const {
  constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
  const std::string name = OperationName("GetMolculeIndex");
  if (!CheckDatabase(impl_.get(), name) || !CheckIndex(*this, idx, name)) return kNone;
  std::vector<std::uint64_t> words;
  std::uint64_t molIdx = 0;
  std::uint64_t count = 0;
  if (!impl_->ReadRecord(words, molIdx, count, idx)) {
    Report()->Warning(Msg::kCannotAccess, name.c_str());
    return kNone;
  }
  return static_cast<std::size_t>(molIdx);
}

// ---- The three query forms. `Run` is the engine call on a checked query.
namespace {

template <typename T, typename Run>
KvIterBase<T>* ByFingerPrint(const KvFastFPDatabase& db, const KvFastFPDatabaseImplBase* impl,
                             const KvFingerPrint& query, const KvFPDatabaseOptions& options, const std::string& name,
                             Run&& run) {
  if (!CheckDatabase(impl, name) || !CheckQuery(db, query, name) || !CheckOptions(options, name)) {
    return KvMakeEmptyIter<T>();
  }
  return run(query);
}

template <typename T, typename Run>
KvIterBase<T>* ByMolecule(const KvFastFPDatabase& db, const KvFastFPDatabaseImplBase* impl,
                          const KvChem::KvMolBase& mol, const KvFPDatabaseOptions& options, const std::string& name,
                          const char* failure, Run&& run) {
  if (!CheckDatabase(impl, name) || !CheckMolecule(mol, name) || !CheckOptions(options, name)) {
    return KvMakeEmptyIter<T>();
  }
  KvFingerPrint fp;
  if (!KvMakeFP(fp, mol, db.GetFPTypeBase())) {
    Report()->Warning(failure, name.c_str());
    return KvMakeEmptyIter<T>();
  }
  return run(fp);
}

template <typename T, typename Run>
KvIterBase<T>* ByIndex(const KvFastFPDatabase& db, const KvFastFPDatabaseImplBase* impl, std::size_t idx,
                       const KvFPDatabaseOptions& options, const std::string& name, Run&& run) {
  if (!CheckDatabase(impl, name) || !CheckIndex(db, idx, name) || !CheckOptions(options, name)) {
    return KvMakeEmptyIter<T>();
  }
  KvFingerPrint fp;
  if (!db.GetFingerPrint(fp, idx)) {
    Report()->Warning(Msg::kCannotGenerateSpaced, name.c_str());
    return KvMakeEmptyIter<T>();
  }
  return run(fp);
}

}  // namespace

#define KV_ENGINE_CALL(method) [&](const KvFingerPrint& fp) { return impl_->method(fp, options); }

KvIterBase<KvSimScore>* KvFastFPDatabase::GetScores(const KvFingerPrint& query,
                                                    const KvFPDatabaseOptions& options) const {
  return ByFingerPrint<KvSimScore>(*this, impl_.get(), query, options, OperationName("GetScores"),
                                   KV_ENGINE_CALL(GetScores));
}
KvIterBase<KvSimScore>* KvFastFPDatabase::GetScores(const KvChem::KvMolBase& query,
                                                    const KvFPDatabaseOptions& options) const {
  return ByMolecule<KvSimScore>(*this, impl_.get(), query, options, OperationName("GetScores"),
                                Msg::kCannotGenerateSpaced, KV_ENGINE_CALL(GetScores));
}
KvIterBase<KvSimScore>* KvFastFPDatabase::GetScores(std::size_t queryIdx, const KvFPDatabaseOptions& options) const {
  return ByIndex<KvSimScore>(*this, impl_.get(), queryIdx, options, OperationName("GetScores"),
                             KV_ENGINE_CALL(GetScores));
}

KvIterBase<KvSimScore>* KvFastFPDatabase::GetSortedScores(const KvFingerPrint& query,
                                                          const KvFPDatabaseOptions& options) const {
  return ByFingerPrint<KvSimScore>(*this, impl_.get(), query, options, OperationName("GetSortedScores"),
                                   KV_ENGINE_CALL(GetSortedScores));
}
KvIterBase<KvSimScore>* KvFastFPDatabase::GetSortedScores(const KvChem::KvMolBase& query,
                                                          const KvFPDatabaseOptions& options) const {
  return ByMolecule<KvSimScore>(*this, impl_.get(), query, options, OperationName("GetSortedScores"),
                                Msg::kCannotGenerateSpaced, KV_ENGINE_CALL(GetSortedScores));
}
KvIterBase<KvSimScore>* KvFastFPDatabase::GetSortedScores(std::size_t queryIdx,
                                                          const KvFPDatabaseOptions& options) const {
  return ByIndex<KvSimScore>(*this, impl_.get(), queryIdx, options, OperationName("GetSortedScores"),
                             KV_ENGINE_CALL(GetSortedScores));
}

KvIterBase<double>* KvFastFPDatabase::GetRawScores(const KvFingerPrint& query,
                                                   const KvFPDatabaseOptions& options) const {
  return ByFingerPrint<double>(*this, impl_.get(), query, options, OperationName("GetRawScores"),
                               KV_ENGINE_CALL(GetRawScores));
}
KvIterBase<double>* KvFastFPDatabase::GetRawScores(const KvChem::KvMolBase& query,
                                                   const KvFPDatabaseOptions& options) const {
  return ByMolecule<double>(*this, impl_.get(), query, options, OperationName("GetRawScores"), Msg::kCannotGenerate,
                            KV_ENGINE_CALL(GetRawScores));
}
KvIterBase<double>* KvFastFPDatabase::GetRawScores(std::size_t queryIdx, const KvFPDatabaseOptions& options) const {
  return ByIndex<double>(*this, impl_.get(), queryIdx, options, OperationName("GetRawScores"),
                         KV_ENGINE_CALL(GetRawScores));
}

#undef KV_ENGINE_CALL

KvIterBase<float>* KvFastFPDatabase::GetAllScores(const KvFPDatabaseOptions& options) const {
  const std::string name = OperationName("GetAllScores");
  if (!CheckDatabase(impl_.get(), name) || !CheckOptions(options, name)) return KvMakeEmptyIter<float>();
  return impl_->GetAllScores(options);
}

KvIterBase<KvSimScorePair>* KvFastFPDatabase::GetSparseMatrix(const KvFPDatabaseOptions& options) const {
  if (!CheckDatabase(impl_.get(), OperationName("GetSparseMatrix"))) return KvMakeEmptyIter<KvSimScorePair>();
  return impl_->GetSparseMatrix(options);
}

KvIterBase<KvSimScorePair>* KvFastFPDatabase::GetThresholdMatrix(const KvFPDatabaseOptions& options) const {
  const std::string name = OperationName("GetThresholdMatrix");
  if (!CheckDatabase(impl_.get(), name) || !CheckOptions(options, name)) return KvMakeEmptyIter<KvSimScorePair>();
  return impl_->GetThresholdMatrix(options);
}

KvFPHistogram KvFastFPDatabase::GetHistogram(const KvFPDatabaseOptions& options, std::size_t nbins) const {
  const std::string name = OperationName("GetHistogram");
  KvFPHistogram histogram(nbins, 0.0, 1.0);
  if (!CheckDatabase(impl_.get(), name) || !CheckOptions(options, name)) return histogram;
  impl_->GetHistogram(histogram, options, nbins);
  return histogram;
}

KvFPVariogram KvFastFPDatabase::GetVariogram(const std::vector<float>& values, const KvFPDatabaseOptions& options,
                                             std::size_t nbins) const {
  const std::string name = OperationName("GetVariogram");
  KvFPVariogram variogram(nbins, 0.0, 1.0);
  if (!CheckDatabase(impl_.get(), name) || !CheckOptions(options, name)) return variogram;
  // Tversky, the one measure that is not symmetric, has a fixed text.
  if (!options.GetSimMeasure().symmetric) {
    Report()->Warning(Msg::kTverskyUnsupported, name.c_str());
    return variogram;
  }
  impl_->GetVariogram(variogram, values, options, nbins);
  return variogram;
}

// ---- Batches: the database and options once, then every query.
namespace {

// results[i] = the engine's answer for queries[i] when that query passes the
// checks, else `empty`. `run` gets the checked queries in their order.
template <typename Result, typename Run>
std::vector<Result> ForEachQuery(const KvFastFPDatabase& db, const KvFastFPDatabaseImplBase* impl,
                                 const std::vector<KvFingerPrint>& queries, const KvFPDatabaseOptions& options,
                                 const std::string& name, const Result& empty, Run&& run) {
  std::vector<Result> results(queries.size(), empty);
  if (!CheckDatabase(impl, name) || !CheckOptions(options, name)) return results;
  std::vector<const KvFingerPrint*> checked;
  std::vector<std::size_t> positions;
  for (std::size_t i = 0; i < queries.size(); ++i) {
    if (!CheckQuery(db, queries[i], name)) continue;
    checked.push_back(&queries[i]);
    positions.push_back(i);
  }
  if (checked.empty()) return results;
  std::vector<Result> answers = run(checked);
  for (std::size_t k = 0; k < positions.size(); ++k) results[positions[k]] = std::move(answers[k]);
  return results;
}

}  // namespace

std::vector<std::vector<KvSimScore>> KvFastFPDatabase::GetSortedScoresMany(const std::vector<KvFingerPrint>& queries,
                                                                           const KvFPDatabaseOptions& options) const {
  return ForEachQuery(*this, impl_.get(), queries, options, OperationName("GetSortedScoresMany"),
                      std::vector<KvSimScore>(), [&](const std::vector<const KvFingerPrint*>& checked) {
                        return impl_->GetSortedScoresMany(checked, options);
                      });
}

std::vector<std::uint64_t> KvFastFPDatabase::NumHitsMany(const std::vector<KvFingerPrint>& queries,
                                                         const KvFPDatabaseOptions& options) const {
  return ForEachQuery(*this, impl_.get(), queries, options, OperationName("NumHitsMany"), std::uint64_t{0},
                      [&](const std::vector<const KvFingerPrint*>& checked) {
                        return impl_->NumHitsMany(checked, options);
                      });
}

std::vector<KvFPHistogram> KvFastFPDatabase::GetHistogramMany(const std::vector<KvFingerPrint>& queries,
                                                              const KvFPDatabaseOptions& options,
                                                              std::size_t nbins) const {
  nbins = std::max<std::size_t>(nbins, 1);
  return ForEachQuery(*this, impl_.get(), queries, options, OperationName("GetHistogramMany"),
                      KvFPHistogram(nbins, 0.0, 1.0), [&](const std::vector<const KvFingerPrint*>& checked) {
                        return impl_->GetHistogramMany(checked, options, nbins);
                      });
}

unsigned int KvFastFPDatabase::SortedSearch(KvSimSearchResult& result, const KvChem::KvMolBase& mol,
                                            const KvFPDatabaseOptions& options) const {
  if (!CheckDatabase(impl_.get(), OperationName("Search"))) return result.GetSearchStatus();
  const std::string name = OperationName("SortedSearch");
  result.GetImpl()->SetStatus(KvSimSearchStatus::Uninitialized);
  // The engine would score nothing for an unknown measure; refuse it as the
  // other queries do.
  if (!CheckOptions(options, name)) return result.GetSearchStatus();
  KvFingerPrint fp;
  if (!KvMakeFP(fp, mol, impl_->GetFPTypeBase())) {
    Report()->Warning(Msg::kCannotGenerate, name.c_str());
    return result.GetSearchStatus();
  }
  return impl_->SortedSearch(result, fp, options);
}

unsigned int KvFastFPDatabase::SortedSearch(KvSimSearchResult& result, const KvFingerPrint& query,
                                            const KvFPDatabaseOptions& options) const {
  if (!CheckDatabase(impl_.get(), OperationName("Search"))) return result.GetSearchStatus();
  const std::string name = OperationName("SortedSearch");
  result.GetImpl()->SetStatus(KvSimSearchStatus::Uninitialized);
  if (!CheckQuery(*this, query, name) || !CheckOptions(options, name)) return result.GetSearchStatus();
  return impl_->SortedSearch(result, query, options);
}

}  // namespace Varnex
