// Result iterators.
//
// Queries hand out results as a heap-allocated KvIterBase<T> that the caller
// owns and deletes (or passes to KvCollect). An empty result is an empty
// iterator, never null. Iterators are not thread-safe; each belongs to one
// thread at a time.
#pragma once

#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace KvSystem {

// Abstract forward iterator over values of type T.
template <typename T>
class KvIterBase {
 public:
  virtual ~KvIterBase() = default;
  virtual explicit operator bool() const = 0;  // true while there is a current item
  virtual T& operator*() = 0;                   // the current item; REQUIRES: bool(*this)
  virtual KvIterBase& operator++() = 0;         // advance to the next item
};

// An iterator with no items.
template <typename T>
class KvEmptyIter final : public KvIterBase<T> {
 public:
  explicit operator bool() const override { return false; }
  T& operator*() override { return dummy_; }  // never valid; returns a default value rather than crash
  KvEmptyIter& operator++() override { return *this; }

 private:
  T dummy_{};
};

// An iterator that owns a vector of values and walks it in order.
template <typename T>
class KvVectorIter final : public KvIterBase<T> {
 public:
  KvVectorIter() = default;
  explicit KvVectorIter(std::vector<T> items) : items_(std::move(items)) {}
  explicit operator bool() const override { return pos_ < items_.size(); }
  T& operator*() override { return items_[pos_]; }
  KvVectorIter& operator++() override {
    if (pos_ < items_.size()) ++pos_;
    return *this;
  }
  // The number of items not yet visited.
  size_t Remaining() const { return items_.size() - pos_; }

 private:
  std::vector<T> items_;
  size_t pos_ = 0;
};

// Helpers that hand out caller-owned iterators.
template <typename T>
KvIterBase<T>* KvMakeEmptyIter() {
  return new KvEmptyIter<T>();
}
template <typename T>
KvIterBase<T>* KvMakeVectorIter(std::vector<T> items) {
  return new KvVectorIter<T>(std::move(items));
}

// Takes ownership of `iter`, drains it into a vector and deletes it (an
// iterator of const items gives copies in a vector of non-const items).
// A null iterator gives an empty vector.
template <typename T>
std::vector<std::remove_cv_t<T>> KvCollect(KvIterBase<T>* iter) {
  std::unique_ptr<KvIterBase<T>> owned(iter);
  std::vector<std::remove_cv_t<T>> items;
  if (!owned) return items;
  for (; *owned; ++*owned) items.push_back(**owned);
  return items;
}

}  // namespace KvSystem
