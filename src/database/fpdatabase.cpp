// KvFPDatabase: construction by kind or type, and the checks every
// implementation shares before the call is forwarded.

#include "varnex/fpdatabase.h"

#include <exception>

#include "database/fpdatabase_impl.h"
#include "kvsystem/error.h"
#include "varnex/fpkinds.h"
#include "varnex/generation.h"
#include "system/messages.h"

namespace Varnex {
namespace {

constexpr unsigned int kNoIndex = 0xFFFFFFFFu;

// The default type of a kind at its current version; null for other kinds.
const KvFPTypeBase* DefaultType(unsigned int code) {
  const KvFPKind* kind = KvFindFPKind(code);
  return kind != nullptr ? kind->DefaultType() : nullptr;
}

std::unique_ptr<KvFPDatabaseImplBase> MakeImplOrReport(const KvFPTypeBase* type) {
  auto impl = MakeFPDatabaseImpl(type);
  if (!impl) KvSystem::KvThrow()->Error(Msg::kDatabaseUnknownType);
  return impl;
}

// Runs a query; an exception (memory exhaustion) becomes a warning and the
// empty iterator, so that none leaves the library.
template <typename Query>
KvSystem::KvIterBase<KvSimScore>* Guarded(const char* operation, Query&& query) {
  try {
    return query();
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning(Msg::kOperationFailed, operation, e.what());
    return KvSystem::KvMakeEmptyIter<KvSimScore>();
  }
}

}  // namespace

std::unique_ptr<KvFPDatabaseImplBase> MakeFPDatabaseImpl(const KvFPTypeBase* type) {
  if (type == nullptr) return nullptr;
  const KvFPKind* kind = KvFindFPKind(type->GetFPType());
  if (kind == nullptr) return nullptr;
  // Lingo and unhashed fingerprints hold text, compared as texts.
  if (kind->code == KvFPType::Lingo) return std::make_unique<FPDatabaseImplLingo>(type);
  if (kind->layout == KvFPParamLayout::Unhashed) return std::make_unique<FPDatabaseImplUnhashed>(type);
  return std::make_unique<FPDatabaseImplStd>(type);
}

bool KvFPDatabaseImplBase::CheckQueryType(const KvFingerPrint& query, const char* message) const {
  if (query.GetFPTypeBase() == type_) return true;
  KvSystem::KvThrow()->Warning("%s", message);
  return false;
}

KvFPDatabase::KvFPDatabase(unsigned int kind) : impl_(MakeImplOrReport(DefaultType(kind))) {}

KvFPDatabase::KvFPDatabase(const KvFPTypeBase* type) : impl_(MakeImplOrReport(type)) {}

KvFPDatabase::~KvFPDatabase() = default;

unsigned int KvFPDatabase::AddFP(const KvFingerPrint& fp) {
  if (!impl_ || fp.GetFPTypeBase() != impl_->GetFPTypeBase() || impl_->NumFingerPrints() >= kNoIndex)
    return kNoIndex;
  try {
    return impl_->AddFP(fp);
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning(Msg::kOperationFailed, "KvFPDatabase::AddFP()", e.what());
    return kNoIndex;
  }
}

unsigned int KvFPDatabase::AddFP(const KvChem::KvMolBase& mol) {
  KvFingerPrint fp;
  if (!MakeQuery(mol, fp)) return kNoIndex;
  return AddFP(fp);
}

bool KvFPDatabase::MakeQuery(const KvChem::KvMolBase& mol, KvFingerPrint& fp) const {
  return impl_ && KvMakeFP(fp, mol, impl_->GetFPTypeBase());
}

unsigned int KvFPDatabase::NumFingerPrints() const { return impl_ ? impl_->NumFingerPrints() : 0; }

KvSystem::KvIterBase<const KvFingerPrint>* KvFPDatabase::GetFingerPrints() const {
  if (!impl_) return KvSystem::KvMakeEmptyIter<const KvFingerPrint>();
  return impl_->GetFingerPrints();
}

const KvFPTypeBase* KvFPDatabase::GetFPTypeBase() const { return impl_ ? impl_->GetFPTypeBase() : nullptr; }

float KvFPDatabase::GetCutoff() const { return impl_ ? impl_->GetCutoff() : 0.0f; }
void KvFPDatabase::SetCutoff(float cutoff) {
  if (impl_) impl_->SetCutoff(cutoff);
}
bool KvFPDatabase::HasCutoff() const { return impl_ && impl_->HasCutoff(); }
void KvFPDatabase::ClearCutoff() {
  if (impl_) impl_->ClearCutoff();
}
bool KvFPDatabase::GetDescendingOrder() const { return !impl_ || impl_->GetDescendingOrder(); }
void KvFPDatabase::SetDescendingOrder(bool descending) {
  if (impl_) impl_->SetDescendingOrder(descending);
}

void KvFPDatabase::SetSimFunc(const KvSimFuncBase& measure, bool descending) {
  if (impl_) impl_->SetSimFunc(measure, descending);
}
void KvFPDatabase::SetSimFunc(unsigned int measure, bool descending) {
  if (impl_) impl_->SetSimFunc(measure, descending);
}

KvSystem::KvIterBase<KvSimScore>* KvFPDatabase::GetScores(const KvFingerPrint& query, unsigned int begin,
                                                          unsigned int end) {
  if (!impl_) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  if (end == 0) end = impl_->NumFingerPrints();
  return Guarded("KvFPDatabase::GetScores()", [&] { return impl_->GetScores(query, begin, end); });
}

KvSystem::KvIterBase<KvSimScore>* KvFPDatabase::GetScores(const KvFingerPrint& query,
                                                          const KvFPDatabaseOptions& options) {
  if (!impl_) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  return Guarded("KvFPDatabase::GetScores()", [&] { return impl_->GetScores(query, options); });
}

KvSystem::KvIterBase<KvSimScore>* KvFPDatabase::GetSortedScores(const KvFingerPrint& query, unsigned int limit,
                                                                unsigned int begin, unsigned int end) {
  if (!impl_) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  if (limit == 0) limit = impl_->NumFingerPrints();
  if (end == 0) end = impl_->NumFingerPrints();
  return Guarded("KvFPDatabase::GetSortedScores()",
                 [&] { return impl_->GetSortedScores(query, limit, begin, end); });
}

KvSystem::KvIterBase<KvSimScore>* KvFPDatabase::GetSortedScores(const KvFingerPrint& query,
                                                                const KvFPDatabaseOptions& options) {
  if (!impl_) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  KvFPDatabaseOptions adjusted(options);
  if (adjusted.GetLimit() == 0) adjusted.SetLimit(impl_->NumFingerPrints());
  return Guarded("KvFPDatabase::GetSortedScores()", [&] { return impl_->GetSortedScores(query, adjusted); });
}

KvSystem::KvIterBase<KvSimScore>* KvFPDatabase::GetScores(const KvChem::KvMolBase& query, unsigned int begin,
                                                          unsigned int end) {
  KvFingerPrint fp;
  if (!MakeQuery(query, fp)) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  return GetScores(fp, begin, end);
}

KvSystem::KvIterBase<KvSimScore>* KvFPDatabase::GetScores(const KvChem::KvMolBase& query,
                                                          const KvFPDatabaseOptions& options) {
  KvFingerPrint fp;
  if (!MakeQuery(query, fp)) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  return GetScores(fp, options);
}

KvSystem::KvIterBase<KvSimScore>* KvFPDatabase::GetSortedScores(const KvChem::KvMolBase& query, unsigned int limit,
                                                                unsigned int begin, unsigned int end) {
  KvFingerPrint fp;
  if (!MakeQuery(query, fp)) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  return GetSortedScores(fp, limit, begin, end);
}

KvSystem::KvIterBase<KvSimScore>* KvFPDatabase::GetSortedScores(const KvChem::KvMolBase& query,
                                                                const KvFPDatabaseOptions& options) {
  KvFingerPrint fp;
  if (!MakeQuery(query, fp)) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  return GetSortedScores(fp, options);
}

}  // namespace Varnex
