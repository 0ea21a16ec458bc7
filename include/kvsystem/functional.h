// Function-object bases: polymorphic, copyable through CreateCopy().
//
// The caller owns the object CreateCopy() returns. Implementations in this
// library are stateless or immutable after construction, so one object may be
// called from several threads unless its own header says otherwise.
#pragma once

#include <memory>

namespace KvSystem {

template <typename T>
class KvUnaryPredicate {
 public:
  virtual ~KvUnaryPredicate() = default;
  virtual bool operator()(const T& item) const = 0;
  virtual KvUnaryPredicate* CreateCopy() const = 0;  // caller owns the copy
};

template <typename T, typename R>
class KvUnaryFunction {
 public:
  virtual ~KvUnaryFunction() = default;
  virtual R operator()(const T& item) const = 0;
  virtual KvUnaryFunction* CreateCopy() const = 0;  // caller owns the copy
};

template <typename A, typename B, typename R>
class KvBinaryFunction {
 public:
  virtual ~KvBinaryFunction() = default;
  virtual R operator()(const A& first, const B& second) const = 0;
  virtual KvBinaryFunction* CreateCopy() const = 0;  // caller owns the copy
};

// The negation of a predicate. Owns a copy of the predicate it negates.
template <typename T>
class KvNot final : public KvUnaryPredicate<T> {
 public:
  explicit KvNot(const KvUnaryPredicate<T>& inner) : inner_(inner.CreateCopy()) {}
  KvNot(const KvNot& other) : inner_(other.inner_->CreateCopy()) {}
  KvNot& operator=(const KvNot& other) {
    if (this != &other) inner_.reset(other.inner_->CreateCopy());
    return *this;
  }
  bool operator()(const T& item) const override { return !(*inner_)(item); }
  KvNot* CreateCopy() const override { return new KvNot(*this); }

 private:
  std::unique_ptr<KvUnaryPredicate<T>> inner_;
};

}  // namespace KvSystem
