// The implementations behind KvFPDatabase: a common base with the type, the
// cutoff and the order, and one class per family of fingerprint kinds.
//
// The handle (fpdatabase.cpp) checks what all implementations share (the
// type of added fingerprints, the size limit, limit 0 and end 0); the
// implementations check the query type, because their warning texts differ.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "kvchem/lingo.h"
#include "kvsystem/iterator.h"
#include "similarity/internal_simfunc.h"
#include "varnex/dboptions.h"
#include "varnex/fingerprint.h"
#include "varnex/simfunc.h"

namespace Varnex {

class KvFPDatabaseImplBase {
 public:
  explicit KvFPDatabaseImplBase(const KvFPTypeBase* type) : type_(type) {}
  virtual ~KvFPDatabaseImplBase() = default;
  KvFPDatabaseImplBase(const KvFPDatabaseImplBase&) = delete;
  KvFPDatabaseImplBase& operator=(const KvFPDatabaseImplBase&) = delete;

  virtual void SetSimFunc(const KvSimFuncBase& measure, bool descending) = 0;
  virtual void SetSimFunc(unsigned int measure, bool descending) = 0;
  // REQUIRES: fp has the database's type and the count is below 2^32 - 1.
  virtual unsigned int AddFP(const KvFingerPrint& fp) = 0;
  virtual unsigned int NumFingerPrints() const = 0;
  virtual KvSystem::KvIterBase<const KvFingerPrint>* GetFingerPrints() const = 0;
  virtual KvSystem::KvIterBase<KvSimScore>* GetScores(const KvFingerPrint& query,
                                                      const KvFPDatabaseOptions& options) = 0;
  // Entries begin to min(end, count) - 1; nothing when begin is past that.
  virtual KvSystem::KvIterBase<KvSimScore>* GetScores(const KvFingerPrint& query, unsigned int begin,
                                                      unsigned int end) = 0;
  // REQUIRES: the options' limit is not 0 unless the database is empty.
  virtual KvSystem::KvIterBase<KvSimScore>* GetSortedScores(const KvFingerPrint& query,
                                                            const KvFPDatabaseOptions& options) = 0;
  virtual KvSystem::KvIterBase<KvSimScore>* GetSortedScores(const KvFingerPrint& query, unsigned int limit,
                                                            unsigned int begin, unsigned int end) = 0;

  const KvFPTypeBase* GetFPTypeBase() const { return type_; }
  float GetCutoff() const { return cutoff_; }
  void SetCutoff(float cutoff) {
    cutoff_ = cutoff;
    hasCutoff_ = true;
  }
  bool HasCutoff() const { return hasCutoff_; }
  void ClearCutoff() { hasCutoff_ = false; }
  bool GetDescendingOrder() const { return descending_; }
  void SetDescendingOrder(bool descending) { descending_ = descending; }

 protected:
  // Whether the query has the database's type pointer; warns `message` if not.
  [[nodiscard]] bool CheckQueryType(const KvFingerPrint& query, const char* message) const;

 private:
  const KvFPTypeBase* type_;
  float cutoff_ = 0.0f;
  bool hasCutoff_ = false;
  bool descending_ = true;
};

// Bit-vector kinds: the database's functor over the stored copies.
class FPDatabaseImplStd final : public KvFPDatabaseImplBase {
 public:
  explicit FPDatabaseImplStd(const KvFPTypeBase* type);

  void SetSimFunc(const KvSimFuncBase& measure, bool descending) override;
  void SetSimFunc(unsigned int measure, bool descending) override;
  unsigned int AddFP(const KvFingerPrint& fp) override;
  unsigned int NumFingerPrints() const override;
  KvSystem::KvIterBase<const KvFingerPrint>* GetFingerPrints() const override;
  KvSystem::KvIterBase<KvSimScore>* GetScores(const KvFingerPrint& query, const KvFPDatabaseOptions& options) override;
  KvSystem::KvIterBase<KvSimScore>* GetScores(const KvFingerPrint& query, unsigned int begin,
                                              unsigned int end) override;
  KvSystem::KvIterBase<KvSimScore>* GetSortedScores(const KvFingerPrint& query,
                                                    const KvFPDatabaseOptions& options) override;
  KvSystem::KvIterBase<KvSimScore>* GetSortedScores(const KvFingerPrint& query, unsigned int limit,
                                                    unsigned int begin, unsigned int end) override;

 private:
  std::vector<KvFingerPrint> fps_;
  std::unique_ptr<KvSimFuncBase> measure_;
};

// Lingo fingerprints: a comparer of the query's text against each stored text.
class FPDatabaseImplLingo final : public KvFPDatabaseImplBase {
 public:
  explicit FPDatabaseImplLingo(const KvFPTypeBase* type);

  void SetSimFunc(const KvSimFuncBase& measure, bool descending) override;
  void SetSimFunc(unsigned int measure, bool descending) override;
  unsigned int AddFP(const KvFingerPrint& fp) override;
  unsigned int NumFingerPrints() const override;
  KvSystem::KvIterBase<const KvFingerPrint>* GetFingerPrints() const override;
  KvSystem::KvIterBase<KvSimScore>* GetScores(const KvFingerPrint& query, const KvFPDatabaseOptions& options) override;
  KvSystem::KvIterBase<KvSimScore>* GetScores(const KvFingerPrint& query, unsigned int begin,
                                              unsigned int end) override;
  KvSystem::KvIterBase<KvSimScore>* GetSortedScores(const KvFingerPrint& query,
                                                    const KvFPDatabaseOptions& options) override;
  KvSystem::KvIterBase<KvSimScore>* GetSortedScores(const KvFingerPrint& query, unsigned int limit,
                                                    unsigned int begin, unsigned int end) override;

 private:
  // The comparer of the query's text, or null after the warning
  // "<operation> cannot initialize lingo similarity!".
  static std::unique_ptr<KvChem::KvLingoSim> MakeComparer(const KvFingerPrint& query, const char* operation);
  KvSystem::KvIterBase<KvSimScore>* ScanScores(const KvFingerPrint& query, unsigned int begin, unsigned int end,
                                               bool hasCutoff, float cutoff, bool descending);
  KvSystem::KvIterBase<KvSimScore>* ScanSortedScores(const KvFingerPrint& query, unsigned int limit,
                                                     unsigned int begin, unsigned int end, bool hasCutoff,
                                                     float cutoff, bool descending, const char* mismatch);

  std::vector<KvFingerPrint> fps_;
  std::unique_ptr<LingoSimFunc> measure_;
};

// The token dictionary of an unhashed database: one entry per distinct token for the life
// of the dictionary; a token's identifier is the address of its entry, equal
// for equal tokens and different for different ones.
class TokenDictionary {
 public:
  std::uint64_t Intern(std::string_view token);
  // The ascending identifiers of the distinct whitespace-separated tokens of
  // an unhashed fingerprint's text, interning new ones.
  std::vector<std::uint64_t> InternText(std::string_view text);
  std::size_t Size() const { return tokens_.size(); }

 private:
  std::set<std::string, std::less<>> tokens_;
};

// Unhashed kinds: sorted identifier lists compared by the unhashed Tanimoto.
class FPDatabaseImplUnhashed final : public KvFPDatabaseImplBase {
 public:
  explicit FPDatabaseImplUnhashed(const KvFPTypeBase* type);

  void SetSimFunc(const KvSimFuncBase& measure, bool descending) override;
  void SetSimFunc(unsigned int measure, bool descending) override;
  unsigned int AddFP(const KvFingerPrint& fp) override;
  unsigned int NumFingerPrints() const override;
  KvSystem::KvIterBase<const KvFingerPrint>* GetFingerPrints() const override;
  KvSystem::KvIterBase<KvSimScore>* GetScores(const KvFingerPrint& query, const KvFPDatabaseOptions& options) override;
  KvSystem::KvIterBase<KvSimScore>* GetScores(const KvFingerPrint& query, unsigned int begin,
                                              unsigned int end) override;
  KvSystem::KvIterBase<KvSimScore>* GetSortedScores(const KvFingerPrint& query,
                                                    const KvFPDatabaseOptions& options) override;
  KvSystem::KvIterBase<KvSimScore>* GetSortedScores(const KvFingerPrint& query, unsigned int limit,
                                                    unsigned int begin, unsigned int end) override;

  const TokenDictionary& GetDictionary() const { return dictionary_; }

 private:
  std::vector<KvFingerPrint> placeholders_;
  TokenDictionary dictionary_;
  std::vector<std::vector<std::uint64_t>> lists_;
  std::unique_ptr<UnhashedSimFunc> measure_;
};

// The implementation for a type's kind; null for kinds without one.
std::unique_ptr<KvFPDatabaseImplBase> MakeFPDatabaseImpl(const KvFPTypeBase* type);

}  // namespace Varnex
