// The in-memory database of Lingo fingerprints: one comparer is built from
// the query's text per query and scored against every stored text.

#include <string>

#include "core/fptext.h"
#include "database/fpdatabase_impl.h"
#include "database/scan.h"
#include "kvsystem/error.h"
#include "system/messages.h"

namespace Varnex {
namespace {

// The Lingo functor of a measure code; null for an unknown code.
std::unique_ptr<LingoSimFunc> MakeLingoMeasure(unsigned int measure) {
  switch (measure) {
    case KvSimMeasure::Tanimoto:
      return std::make_unique<TanimotoLingoSim>();
    case KvSimMeasure::Cosine:
      return std::make_unique<CosineLingoSim>();
    case KvSimMeasure::Dice:
      return std::make_unique<DiceLingoSim>();
    case KvSimMeasure::Euclid:
      return std::make_unique<EuclidLingoSim>();
    case KvSimMeasure::Tversky:
      return std::make_unique<TverskyLingoSim>(0.95f, 1.0f - 0.95f);
    case KvSimMeasure::Manhattan:
      return std::make_unique<ManhattanLingoSim>();
    default:
      return nullptr;
  }
}

constexpr const char* kScores = "KvFPDatabase::GetScores()";
constexpr const char* kSorted = "KvFPDatabase::GetSortedScores()";

}  // namespace

FPDatabaseImplLingo::FPDatabaseImplLingo(const KvFPTypeBase* type)
    : KvFPDatabaseImplBase(type), measure_(std::make_unique<TanimotoLingoSim>()) {}

void FPDatabaseImplLingo::SetSimFunc(const KvSimFuncBase& measure, bool descending) {
  SetDescendingOrder(descending);
  if (dynamic_cast<const KvTanimotoSim*>(&measure) != nullptr) {
    measure_ = std::make_unique<TanimotoLingoSim>();
  } else if (dynamic_cast<const KvTverskySim*>(&measure) != nullptr) {
    // The Lingo form always uses the default coefficients, not the object's.
    measure_ = std::make_unique<TverskyLingoSim>(0.95f, 1.0f - 0.95f);
  } else {
    KvSystem::KvThrow()->Warning(
        Msg::kDatabaseLingoUserMeasure);
    measure_ = std::make_unique<TanimotoLingoSim>();
  }
}

void FPDatabaseImplLingo::SetSimFunc(unsigned int measure, bool descending) {
  SetDescendingOrder(descending);
  measure_ = MakeLingoMeasure(measure);
  if (measure_) return;
  KvSystem::KvThrow()->Warning(Msg::kDatabaseSetSimFunc);
  measure_ = std::make_unique<TanimotoLingoSim>();
}

unsigned int FPDatabaseImplLingo::AddFP(const KvFingerPrint& fp) {
  fps_.push_back(fp);
  return static_cast<unsigned int>(fps_.size() - 1);
}

unsigned int FPDatabaseImplLingo::NumFingerPrints() const { return static_cast<unsigned int>(fps_.size()); }

KvSystem::KvIterBase<const KvFingerPrint>* FPDatabaseImplLingo::GetFingerPrints() const {
  return new FingerPrintViewIter(fps_);
}

std::unique_ptr<KvChem::KvLingoSim> FPDatabaseImplLingo::MakeComparer(const KvFingerPrint& query,
                                                                      const char* operation) {
  auto comparer = std::make_unique<KvChem::KvLingoSim>(std::string(GetFPText(query)), 1u);
  if (comparer->IsValid()) return comparer;
  KvSystem::KvThrow()->Warning(Msg::kLingoQuery, operation);
  return nullptr;
}

KvSystem::KvIterBase<KvSimScore>* FPDatabaseImplLingo::ScanScores(const KvFingerPrint& query, unsigned int begin,
                                                                    unsigned int end, bool hasCutoff, float cutoff,
                                                                    bool descending) {
  if (!CheckQueryType(query, Msg::kScoresMismatch))
    return KvSystem::KvMakeEmptyIter<KvSimScore>();
  const auto comparer = MakeComparer(query, kScores);
  if (!comparer) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  const LingoSimFunc& measure = *measure_;
  return ScanRecordScores([&](std::size_t i) { return measure(*comparer, fps_[i]); }, begin,
                      std::min<std::size_t>(end, fps_.size()), {hasCutoff, cutoff, descending});
}

KvSystem::KvIterBase<KvSimScore>* FPDatabaseImplLingo::ScanSortedScores(const KvFingerPrint& query,
                                                                          unsigned int limit, unsigned int begin,
                                                                          unsigned int end, bool hasCutoff,
                                                                          float cutoff, bool descending,
                                                                          const char* mismatch) {
  if (!CheckQueryType(query, mismatch)) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  const auto comparer = MakeComparer(query, kSorted);
  if (!comparer) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  const LingoSimFunc& measure = *measure_;
  return ScanSortedRecordScores([&](std::size_t i) { return measure(*comparer, fps_[i]); }, begin,
                            std::min<std::size_t>(end, fps_.size()), limit, {hasCutoff, cutoff, descending});
}

KvSystem::KvIterBase<KvSimScore>* FPDatabaseImplLingo::GetScores(const KvFingerPrint& query, unsigned int begin,
                                                                   unsigned int end) {
  return ScanScores(query, begin, end, HasCutoff(), GetCutoff(), GetDescendingOrder());
}

// The Lingo database keeps its own measure; the options give cutoff and order.
KvSystem::KvIterBase<KvSimScore>* FPDatabaseImplLingo::GetScores(const KvFingerPrint& query,
                                                                   const KvFPDatabaseOptions& options) {
  return ScanScores(query, 0, NumFingerPrints(), options.HasCutoff(), options.GetCutoff(),
                    options.GetDescendingOrder());
}

KvSystem::KvIterBase<KvSimScore>* FPDatabaseImplLingo::GetSortedScores(const KvFingerPrint& query,
                                                                         unsigned int limit, unsigned int begin,
                                                                         unsigned int end) {
  // This form's message has never had a blank before "fingerprint".
  return ScanSortedScores(query, limit, begin, end, HasCutoff(), GetCutoff(), GetDescendingOrder(),
                          Msg::kSortedMismatchLingoRange);
}

KvSystem::KvIterBase<KvSimScore>* FPDatabaseImplLingo::GetSortedScores(const KvFingerPrint& query,
                                                                         const KvFPDatabaseOptions& options) {
  return ScanSortedScores(query, options.GetLimit(), 0, NumFingerPrints(), options.HasCutoff(), options.GetCutoff(),
                          options.GetDescendingOrder(), Msg::kSortedMismatch);
}

}  // namespace Varnex
