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
std::unique_ptr<KvLingoSimFunc> MakeLingoMeasure(unsigned int measure) {
  switch (measure) {
    case KvSimMeasure::Tanimoto:
      return std::make_unique<KvTanimotoLingoSim>();
    case KvSimMeasure::Cosine:
      return std::make_unique<KvCosineLingoSim>();
    case KvSimMeasure::Dice:
      return std::make_unique<KvDiceLingoSim>();
    case KvSimMeasure::Euclid:
      return std::make_unique<KvEuclidLingoSim>();
    case KvSimMeasure::Tversky:
      return std::make_unique<KvTverskyLingoSim>(0.95f, 1.0f - 0.95f);
    case KvSimMeasure::Manhattan:
      return std::make_unique<KvManhattanLingoSim>();
    default:
      return nullptr;
  }
}

constexpr const char* kScores = "KvFPDatabase::GetScores()";
constexpr const char* kSorted = "KvFPDatabase::GetSortedScores()";

}  // namespace

KvFPDatabaseImplLingo::KvFPDatabaseImplLingo(const KvFPTypeBase* type)
    : KvFPDatabaseImplBase(type), measure_(std::make_unique<KvTanimotoLingoSim>()) {}

void KvFPDatabaseImplLingo::SetSimFunc(const KvSimFuncBase& measure, bool descending) {
  SetDescendingOrder(descending);
  if (dynamic_cast<const KvTanimotoSim*>(&measure) != nullptr) {
    measure_ = std::make_unique<KvTanimotoLingoSim>();
  } else if (dynamic_cast<const KvTverskySim*>(&measure) != nullptr) {
    // The Lingo form always uses the default coefficients, not the object's.
    measure_ = std::make_unique<KvTverskyLingoSim>(0.95f, 1.0f - 0.95f);
  } else {
    KvSystem::KvThrow()->Warning(
        Msg::kDatabaseLingoUserMeasure);
    measure_ = std::make_unique<KvTanimotoLingoSim>();
  }
}

void KvFPDatabaseImplLingo::SetSimFunc(unsigned int measure, bool descending) {
  SetDescendingOrder(descending);
  measure_ = MakeLingoMeasure(measure);
  if (measure_) return;
  KvSystem::KvThrow()->Warning(Msg::kDatabaseSetSimFunc);
  measure_ = std::make_unique<KvTanimotoLingoSim>();
}

unsigned int KvFPDatabaseImplLingo::AddFP(const KvFingerPrint& fp) {
  fps_.push_back(fp);
  return static_cast<unsigned int>(fps_.size() - 1);
}

unsigned int KvFPDatabaseImplLingo::NumFingerPrints() const { return static_cast<unsigned int>(fps_.size()); }

KvSystem::KvIterBase<const KvFingerPrint>* KvFPDatabaseImplLingo::GetFingerPrints() const {
  return new KvFingerPrintViewIter(fps_);
}

std::unique_ptr<KvChem::KvLingoSim> KvFPDatabaseImplLingo::MakeComparer(const KvFingerPrint& query,
                                                                      const char* operation) {
  auto comparer = std::make_unique<KvChem::KvLingoSim>(std::string(KvGetFPText(query)), 1u);
  if (comparer->IsValid()) return comparer;
  KvSystem::KvThrow()->Warning(Msg::kLingoQuery, operation);
  return nullptr;
}

KvSystem::KvIterBase<KvSimScore>* KvFPDatabaseImplLingo::ScanScores(const KvFingerPrint& query, unsigned int begin,
                                                                    unsigned int end, bool hasCutoff, float cutoff,
                                                                    bool descending) {
  if (!CheckQueryType(query, Msg::kScoresMismatch))
    return KvSystem::KvMakeEmptyIter<KvSimScore>();
  const auto comparer = MakeComparer(query, kScores);
  if (!comparer) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  const KvLingoSimFunc& measure = *measure_;
  return KvScanScores([&](std::size_t i) { return measure(*comparer, fps_[i]); }, begin,
                      std::min<std::size_t>(end, fps_.size()), {hasCutoff, cutoff, descending});
}

KvSystem::KvIterBase<KvSimScore>* KvFPDatabaseImplLingo::ScanSortedScores(const KvFingerPrint& query,
                                                                          unsigned int limit, unsigned int begin,
                                                                          unsigned int end, bool hasCutoff,
                                                                          float cutoff, bool descending,
                                                                          const char* mismatch) {
  if (!CheckQueryType(query, mismatch)) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  const auto comparer = MakeComparer(query, kSorted);
  if (!comparer) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  const KvLingoSimFunc& measure = *measure_;
  return KvScanSortedScores([&](std::size_t i) { return measure(*comparer, fps_[i]); }, begin,
                            std::min<std::size_t>(end, fps_.size()), limit, {hasCutoff, cutoff, descending});
}

KvSystem::KvIterBase<KvSimScore>* KvFPDatabaseImplLingo::GetScores(const KvFingerPrint& query, unsigned int begin,
                                                                   unsigned int end) {
  return ScanScores(query, begin, end, HasCutoff(), GetCutoff(), GetDescendingOrder());
}

// The Lingo database keeps its own measure; the options give cutoff and order.
KvSystem::KvIterBase<KvSimScore>* KvFPDatabaseImplLingo::GetScores(const KvFingerPrint& query,
                                                                   const KvFPDatabaseOptions& options) {
  return ScanScores(query, 0, NumFingerPrints(), options.HasCutoff(), options.GetCutoff(),
                    options.GetDescendingOrder());
}

KvSystem::KvIterBase<KvSimScore>* KvFPDatabaseImplLingo::GetSortedScores(const KvFingerPrint& query,
                                                                         unsigned int limit, unsigned int begin,
                                                                         unsigned int end) {
  // This form's message has never had a blank before "fingerprint".
  return ScanSortedScores(query, limit, begin, end, HasCutoff(), GetCutoff(), GetDescendingOrder(),
                          Msg::kSortedMismatchLingoRange);
}

KvSystem::KvIterBase<KvSimScore>* KvFPDatabaseImplLingo::GetSortedScores(const KvFingerPrint& query,
                                                                         const KvFPDatabaseOptions& options) {
  return ScanSortedScores(query, options.GetLimit(), 0, NumFingerPrints(), options.HasCutoff(), options.GetCutoff(),
                          options.GetDescendingOrder(), Msg::kSortedMismatch);
}

}  // namespace Varnex
