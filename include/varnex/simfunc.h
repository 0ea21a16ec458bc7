// Similarity functors: a measure as an object, so that a database can keep
// its current measure and callers can pass their own.
//
// Each concrete class calls the free function of similarity.h of the same
// name (type checks, messages and special values are those of the function).
// The classes are small values: copy, move and CreateCopy duplicate them.
//
// Thread safety: operator() is const and keeps no state; one functor may be
// used by many threads at once.
#pragma once

#include <string>

#include "varnex/fingerprint.h"

namespace Varnex {

// Abstract measure over two fingerprints. Copying is for derived classes
// only, so that a functor is never sliced.
class KvSimFuncBase {
 public:
  virtual ~KvSimFuncBase() = default;
  // The score of a pair (a distance for Manhattan).
  virtual float operator()(const KvFingerPrint& a, const KvFingerPrint& b) const = 0;
  // A new object of the same class and coefficients; the caller owns it.
  [[nodiscard]] virtual KvSimFuncBase* CreateCopy() const = 0;
  // The measure's name ("KvTanimoto", ...), fixed per class.
  virtual std::string GetSimTypeString() const = 0;

 protected:
  KvSimFuncBase() = default;
  KvSimFuncBase(const KvSimFuncBase&) = default;
  KvSimFuncBase& operator=(const KvSimFuncBase&) = default;
};

// KvTanimoto(a, b); "KvTanimoto".
class KvTanimotoSim final : public KvSimFuncBase {
 public:
  float operator()(const KvFingerPrint& a, const KvFingerPrint& b) const override;
  [[nodiscard]] KvTanimotoSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;
};

// KvTversky(a, b, alpha, beta); "KvTversky" (without the coefficients).
// The coefficients are not range-checked here (KvFPDatabaseOptions does).
class KvTverskySim final : public KvSimFuncBase {
 public:
  // alpha 0.95 and beta 1.0f - 0.95f (0.050000012).
  KvTverskySim() : KvTverskySim(0.95f) {}
  // beta = 1.0f - alpha, in single precision.
  explicit KvTverskySim(float alpha) : alpha_(alpha), beta_(1.0f - alpha) {}
  KvTverskySim(float alpha, float beta) : alpha_(alpha), beta_(beta) {}

  float operator()(const KvFingerPrint& a, const KvFingerPrint& b) const override;
  [[nodiscard]] KvTverskySim* CreateCopy() const override;
  std::string GetSimTypeString() const override;

  float GetAlpha() const { return alpha_; }
  float GetBeta() const { return beta_; }

 private:
  float alpha_;
  float beta_;
};

// KvDice(a, b); "KvDice".
class KvDiceSim final : public KvSimFuncBase {
 public:
  float operator()(const KvFingerPrint& a, const KvFingerPrint& b) const override;
  [[nodiscard]] KvDiceSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;
};

// KvCosine(a, b); "KvCosine".
class KvCosineSim final : public KvSimFuncBase {
 public:
  float operator()(const KvFingerPrint& a, const KvFingerPrint& b) const override;
  [[nodiscard]] KvCosineSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;
};

// KvEuclid(a, b); "KvEuclid".
class KvEuclidSim final : public KvSimFuncBase {
 public:
  float operator()(const KvFingerPrint& a, const KvFingerPrint& b) const override;
  [[nodiscard]] KvEuclidSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;
};

// KvManhattan(a, b), a distance; "KvManhattan".
class KvManhattanSim final : public KvSimFuncBase {
 public:
  float operator()(const KvFingerPrint& a, const KvFingerPrint& b) const override;
  [[nodiscard]] KvManhattanSim* CreateCopy() const override;
  std::string GetSimTypeString() const override;
};

}  // namespace Varnex
