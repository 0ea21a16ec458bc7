// The in-memory database of bit-vector fingerprints (MACCS166, Path,
// Circular, Tree): a functor over stored copies.

#include "database/fpdatabase_impl.h"
#include "database/scan.h"
#include "kvsystem/error.h"
#include "system/messages.h"

namespace Varnex {
namespace {

// The functor of a measure code (Tversky with the given coefficients); null
// for an unknown code.
std::unique_ptr<KvSimFuncBase> MakeMeasure(unsigned int measure, float alpha, float beta) {
  switch (measure) {
    case KvSimMeasure::Tanimoto:
      return std::make_unique<KvTanimotoSim>();
    case KvSimMeasure::Cosine:
      return std::make_unique<KvCosineSim>();
    case KvSimMeasure::Dice:
      return std::make_unique<KvDiceSim>();
    case KvSimMeasure::Euclid:
      return std::make_unique<KvEuclidSim>();
    case KvSimMeasure::Tversky:
      return std::make_unique<KvTverskySim>(alpha, beta);
    case KvSimMeasure::Manhattan:
      return std::make_unique<KvManhattanSim>();
    default:
      return nullptr;
  }
}

// The options' measure; an unknown code warns and gives Tanimoto.
std::unique_ptr<KvSimFuncBase> MeasureOf(const KvFPDatabaseOptions& options) {
  auto measure = MakeMeasure(options.GetSimFunc(), options.GetTverskyAlpha(), options.GetTverskyBeta());
  if (measure) return measure;
  KvSystem::KvThrow()->Warning(Msg::kDatabaseGetSimFunc);
  return std::make_unique<KvTanimotoSim>();
}

ScanRule RuleOf(const KvFPDatabaseOptions& options) {
  return {options.HasCutoff(), options.GetCutoff(), options.GetDescendingOrder()};
}


}  // namespace

FPDatabaseImplStd::FPDatabaseImplStd(const KvFPTypeBase* type)
    : KvFPDatabaseImplBase(type), measure_(std::make_unique<KvTanimotoSim>()) {}

void FPDatabaseImplStd::SetSimFunc(const KvSimFuncBase& measure, bool descending) {
  SetDescendingOrder(descending);
  measure_.reset(measure.CreateCopy());
}

void FPDatabaseImplStd::SetSimFunc(unsigned int measure, bool descending) {
  SetDescendingOrder(descending);
  measure_ = MakeMeasure(measure, 0.95f, 1.0f - 0.95f);
  if (measure_) return;
  KvSystem::KvThrow()->Warning(Msg::kDatabaseSetSimFunc);
  measure_ = std::make_unique<KvTanimotoSim>();
}

unsigned int FPDatabaseImplStd::AddFP(const KvFingerPrint& fp) {
  fps_.push_back(fp);
  return static_cast<unsigned int>(fps_.size() - 1);
}

unsigned int FPDatabaseImplStd::NumFingerPrints() const { return static_cast<unsigned int>(fps_.size()); }

KvSystem::KvIterBase<const KvFingerPrint>* FPDatabaseImplStd::GetFingerPrints() const {
  return new FingerPrintViewIter(fps_);
}

KvSystem::KvIterBase<KvSimScore>* FPDatabaseImplStd::GetScores(const KvFingerPrint& query, unsigned int begin,
                                                                 unsigned int end) {
  if (!CheckQueryType(query, Msg::kScoresMismatch)) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  const KvSimFuncBase& measure = *measure_;
  return ScanRecordScores([&](std::size_t i) { return measure(query, fps_[i]); }, begin,
                      std::min<std::size_t>(end, fps_.size()), {HasCutoff(), GetCutoff(), GetDescendingOrder()});
}

KvSystem::KvIterBase<KvSimScore>* FPDatabaseImplStd::GetScores(const KvFingerPrint& query,
                                                                 const KvFPDatabaseOptions& options) {
  if (!CheckQueryType(query, Msg::kScoresMismatch)) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  const auto measure = MeasureOf(options);
  return ScanRecordScores([&](std::size_t i) { return (*measure)(query, fps_[i]); }, 0, fps_.size(), RuleOf(options));
}

KvSystem::KvIterBase<KvSimScore>* FPDatabaseImplStd::GetSortedScores(const KvFingerPrint& query,
                                                                       unsigned int limit, unsigned int begin,
                                                                       unsigned int end) {
  if (!CheckQueryType(query, Msg::kSortedMismatch)) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  const KvSimFuncBase& measure = *measure_;
  return ScanSortedRecordScores([&](std::size_t i) { return measure(query, fps_[i]); }, begin,
                            std::min<std::size_t>(end, fps_.size()), limit,
                            {HasCutoff(), GetCutoff(), GetDescendingOrder()});
}

KvSystem::KvIterBase<KvSimScore>* FPDatabaseImplStd::GetSortedScores(const KvFingerPrint& query,
                                                                       const KvFPDatabaseOptions& options) {
  if (!CheckQueryType(query, Msg::kSortedMismatch)) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  const auto measure = MeasureOf(options);
  return ScanSortedRecordScores([&](std::size_t i) { return (*measure)(query, fps_[i]); }, 0, fps_.size(),
                            options.GetLimit(), RuleOf(options));
}

}  // namespace Varnex
