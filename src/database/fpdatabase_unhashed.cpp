// The in-memory database of unhashed fingerprints: each entry's text becomes
// an ascending list of token identifiers from the database's dictionary, and
// lists are compared by the unhashed Tanimoto.

#include <algorithm>

#include "core/fptext.h"
#include "database/fpdatabase_impl.h"
#include "database/scan.h"
#include "kvsystem/error.h"
#include "system/messages.h"

namespace Varnex {
namespace {


}  // namespace

std::uint64_t TokenDictionary::Intern(std::string_view token) {
  auto it = tokens_.find(token);
  if (it == tokens_.end()) it = tokens_.emplace(token).first;
  // Set entries never move, so the entry's address names the token.
  return reinterpret_cast<std::uintptr_t>(&*it);
}

std::vector<std::uint64_t> TokenDictionary::InternText(std::string_view text) {
  std::vector<std::string_view> tokens;
  SplitTokens(text, tokens);
  std::vector<std::uint64_t> ids;
  ids.reserve(tokens.size());
  for (std::string_view token : tokens) ids.push_back(Intern(token));
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  return ids;
}

FPDatabaseImplUnhashed::FPDatabaseImplUnhashed(const KvFPTypeBase* type)
    : KvFPDatabaseImplBase(type), measure_(std::make_unique<TanimotoUnhashedSim>()) {}

void FPDatabaseImplUnhashed::SetSimFunc(const KvSimFuncBase& measure, bool descending) {
  SetDescendingOrder(descending);
  measure_ = std::make_unique<TanimotoUnhashedSim>();
  if (dynamic_cast<const KvTanimotoSim*>(&measure) == nullptr)
    KvSystem::KvThrow()->Warning(
        Msg::kDatabaseUnhashedUserMeasure);
}

void FPDatabaseImplUnhashed::SetSimFunc(unsigned int measure, bool descending) {
  SetDescendingOrder(descending);
  measure_ = std::make_unique<TanimotoUnhashedSim>();
  if (measure != KvSimMeasure::Tanimoto) KvSystem::KvThrow()->Warning(Msg::kDatabaseSetSimFunc);
}

unsigned int FPDatabaseImplUnhashed::AddFP(const KvFingerPrint& fp) {
  std::vector<std::uint64_t> ids = dictionary_.InternText(GetFPText(fp));
  lists_.push_back(std::move(ids));
  placeholders_.emplace_back();
  return static_cast<unsigned int>(lists_.size() - 1);
}

unsigned int FPDatabaseImplUnhashed::NumFingerPrints() const { return static_cast<unsigned int>(lists_.size()); }

KvSystem::KvIterBase<const KvFingerPrint>* FPDatabaseImplUnhashed::GetFingerPrints() const {
  return new FingerPrintViewIter(placeholders_);
}

KvSystem::KvIterBase<KvSimScore>* FPDatabaseImplUnhashed::GetScores(const KvFingerPrint& query,
                                                                      unsigned int begin, unsigned int end) {
  if (!CheckQueryType(query, Msg::kScoresMismatch))
    return KvSystem::KvMakeEmptyIter<KvSimScore>();
  const std::vector<std::uint64_t> ids = dictionary_.InternText(GetFPText(query));
  const UnhashedSimFunc& measure = *measure_;
  return ScanRecordScores([&](std::size_t i) { return measure(ids, lists_[i]); }, begin,
                      std::min<std::size_t>(end, lists_.size()), {HasCutoff(), GetCutoff(), GetDescendingOrder()});
}

KvSystem::KvIterBase<KvSimScore>* FPDatabaseImplUnhashed::GetScores(const KvFingerPrint&,
                                                                      const KvFPDatabaseOptions&) {
  KvSystem::KvThrow()->Warning(Msg::kScoresUnimplemented);
  return KvSystem::KvMakeEmptyIter<KvSimScore>();
}

KvSystem::KvIterBase<KvSimScore>* FPDatabaseImplUnhashed::GetSortedScores(const KvFingerPrint& query,
                                                                            unsigned int limit, unsigned int begin,
                                                                            unsigned int end) {
  if (!CheckQueryType(query, Msg::kSortedMismatch))
    return KvSystem::KvMakeEmptyIter<KvSimScore>();
  const std::vector<std::uint64_t> ids = dictionary_.InternText(GetFPText(query));
  const UnhashedSimFunc& measure = *measure_;
  return ScanSortedRecordScores([&](std::size_t i) { return measure(ids, lists_[i]); }, begin,
                            std::min<std::size_t>(end, lists_.size()), limit,
                            {HasCutoff(), GetCutoff(), GetDescendingOrder()});
}

KvSystem::KvIterBase<KvSimScore>* FPDatabaseImplUnhashed::GetSortedScores(const KvFingerPrint&,
                                                                            const KvFPDatabaseOptions&) {
  KvSystem::KvThrow()->Warning(Msg::kSortedUnimplemented);
  return KvSystem::KvMakeEmptyIter<KvSimScore>();
}

}  // namespace Varnex
