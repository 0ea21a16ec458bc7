// The measures the in-memory database uses for its two special kinds of
// fingerprint: Lingo functors, which score a prepared Lingo comparer of the
// query against a stored Lingo fingerprint, and the unhashed Tanimoto, which
// compares ascending lists of identifiers.
//
// Their two-fingerprint operator() answers 0.0 without looking at its
// arguments: these measures only make sense with the prepared query.
// Thread safety: as for the public functors (const, stateless).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kvchem/lingo.h"
#include "varnex/simfunc.h"

namespace Varnex {

class KvLingoSimFunc : public KvSimFuncBase {
 public:
  float operator()(const KvFingerPrint& a, const KvFingerPrint& b) const override;
  // The score of the query's text against fp's Lingo text; 0.0 when the
  // comparer is not valid (with KvGetLingoSimTerms' warning).
  virtual float operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const = 0;
  [[nodiscard]] KvLingoSimFunc* CreateCopy() const override = 0;

 protected:
  KvLingoSimFunc() = default;
  KvLingoSimFunc(const KvLingoSimFunc&) = default;
  KvLingoSimFunc& operator=(const KvLingoSimFunc&) = default;
};

class KvTanimotoLingoSim final : public KvLingoSimFunc {
 public:
  using KvLingoSimFunc::operator();
  float operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const override;
  [[nodiscard]] KvTanimotoLingoSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;
};

class KvTverskyLingoSim final : public KvLingoSimFunc {
 public:
  KvTverskyLingoSim() : KvTverskyLingoSim(0.95f) {}
  explicit KvTverskyLingoSim(float alpha) : alpha_(alpha), beta_(1.0f - alpha) {}
  KvTverskyLingoSim(float alpha, float beta) : alpha_(alpha), beta_(beta) {}

  using KvLingoSimFunc::operator();
  float operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const override;
  [[nodiscard]] KvTverskyLingoSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;

  float GetAlpha() const { return alpha_; }
  float GetBeta() const { return beta_; }

 private:
  float alpha_;
  float beta_;
};

class KvDiceLingoSim final : public KvLingoSimFunc {
 public:
  using KvLingoSimFunc::operator();
  float operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const override;
  [[nodiscard]] KvDiceLingoSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;
};

class KvCosineLingoSim final : public KvLingoSimFunc {
 public:
  using KvLingoSimFunc::operator();
  float operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const override;
  [[nodiscard]] KvCosineLingoSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;
};

class KvEuclidLingoSim final : public KvLingoSimFunc {
 public:
  using KvLingoSimFunc::operator();
  float operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const override;
  [[nodiscard]] KvEuclidLingoSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;
};

class KvManhattanLingoSim final : public KvLingoSimFunc {
 public:
  using KvLingoSimFunc::operator();
  float operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const override;
  [[nodiscard]] KvManhattanLingoSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;
};

class KvUnhashedSimFunc : public KvSimFuncBase {
 public:
  float operator()(const KvFingerPrint& a, const KvFingerPrint& b) const override;
  // The score of two ascending identifier lists.
  virtual float operator()(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b) const = 0;
  [[nodiscard]] KvUnhashedSimFunc* CreateCopy() const override = 0;

 protected:
  KvUnhashedSimFunc() = default;
  KvUnhashedSimFunc(const KvUnhashedSimFunc&) = default;
  KvUnhashedSimFunc& operator=(const KvUnhashedSimFunc&) = default;
};

// shared / (|a| + |b| - shared); two empty lists score 1.0 (identical, like
// two fingerprints without bits). "KvTanimoto".
class KvTanimotoUnhashedSim final : public KvUnhashedSimFunc {
 public:
  using KvUnhashedSimFunc::operator();
  float operator()(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b) const override;
  [[nodiscard]] KvTanimotoUnhashedSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;
};

}  // namespace Varnex
