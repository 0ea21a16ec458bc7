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

class LingoSimFunc : public KvSimFuncBase {
 public:
  float operator()(const KvFingerPrint& a, const KvFingerPrint& b) const override;
  // The score of the query's text against fp's Lingo text; 0.0 when the
  // comparer is not valid (with KvGetLingoSimTerms' warning).
  virtual float operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const = 0;
  [[nodiscard]] LingoSimFunc* CreateCopy() const override = 0;

 protected:
  LingoSimFunc() = default;
  LingoSimFunc(const LingoSimFunc&) = default;
  LingoSimFunc& operator=(const LingoSimFunc&) = default;
};

class TanimotoLingoSim final : public LingoSimFunc {
 public:
  using LingoSimFunc::operator();
  float operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const override;
  [[nodiscard]] TanimotoLingoSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;
};

class TverskyLingoSim final : public LingoSimFunc {
 public:
  TverskyLingoSim() : TverskyLingoSim(0.95f) {}
  explicit TverskyLingoSim(float alpha) : alpha_(alpha), beta_(1.0f - alpha) {}
  TverskyLingoSim(float alpha, float beta) : alpha_(alpha), beta_(beta) {}

  using LingoSimFunc::operator();
  float operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const override;
  [[nodiscard]] TverskyLingoSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;

  float GetAlpha() const { return alpha_; }
  float GetBeta() const { return beta_; }

 private:
  float alpha_;
  float beta_;
};

class DiceLingoSim final : public LingoSimFunc {
 public:
  using LingoSimFunc::operator();
  float operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const override;
  [[nodiscard]] DiceLingoSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;
};

class CosineLingoSim final : public LingoSimFunc {
 public:
  using LingoSimFunc::operator();
  float operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const override;
  [[nodiscard]] CosineLingoSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;
};

class EuclidLingoSim final : public LingoSimFunc {
 public:
  using LingoSimFunc::operator();
  float operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const override;
  [[nodiscard]] EuclidLingoSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;
};

class ManhattanLingoSim final : public LingoSimFunc {
 public:
  using LingoSimFunc::operator();
  float operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const override;
  [[nodiscard]] ManhattanLingoSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;
};

class UnhashedSimFunc : public KvSimFuncBase {
 public:
  float operator()(const KvFingerPrint& a, const KvFingerPrint& b) const override;
  // The score of two ascending identifier lists.
  virtual float operator()(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b) const = 0;
  [[nodiscard]] UnhashedSimFunc* CreateCopy() const override = 0;

 protected:
  UnhashedSimFunc() = default;
  UnhashedSimFunc(const UnhashedSimFunc&) = default;
  UnhashedSimFunc& operator=(const UnhashedSimFunc&) = default;
};

// shared / (|a| + |b| - shared); two empty lists score 1.0 (identical, like
// two fingerprints without bits). "KvTanimoto".
class TanimotoUnhashedSim final : public UnhashedSimFunc {
 public:
  using UnhashedSimFunc::operator();
  float operator()(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b) const override;
  [[nodiscard]] TanimotoUnhashedSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;
};

}  // namespace Varnex
