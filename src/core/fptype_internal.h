// Internal helpers of the fingerprint type subsystem: the interning registry
// and the small text routines the type-string grammar needs.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "varnex/fptypes.h"

namespace Varnex::FPTypeDetail {

// The value a parser leaves in a numeric field that no entry set.
inline constexpr unsigned kUnset = 0xFFFFFFFFu;

// Interns type objects by key: one object per distinct key, created on the
// first request and owned until the registry is destroyed (library unload).
// Thread-safe; concurrent requests for one key receive one pointer.
template <typename Key>
class FPTypeRegistry {
 public:
  template <typename Make>
  const KvFPTypeBase* Get(const Key& key, Make make) {
    {
      std::shared_lock lock(mutex_);
      auto it = types_.find(key);
      if (it != types_.end()) return it->second.get();
    }
    std::unique_lock lock(mutex_);
    auto it = types_.find(key);
    if (it == types_.end()) it = types_.emplace(key, std::unique_ptr<const KvFPTypeBase>(make())).first;
    return it->second.get();
  }

  std::size_t Size() const {
    std::shared_lock lock(mutex_);
    return types_.size();
  }

 private:
  mutable std::shared_mutex mutex_;
  std::map<Key, std::unique_ptr<const KvFPTypeBase>> types_;
};

// Splits `text` at every `delimiter`. With keepEmpty false, empty pieces
// (between adjacent delimiters or at either end) are dropped.
inline std::vector<std::string_view> Split(std::string_view text, char delimiter, bool keepEmpty) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(delimiter, start);
    const std::string_view piece = text.substr(start, end == std::string_view::npos ? text.size() - start : end - start);
    if (keepEmpty || !piece.empty()) pieces.push_back(piece);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return pieces;
}

// Parses a non-empty run of decimal digits that fits 32 bits. Anything else
// (sign, space, letters, overflow) gives false and leaves `value` alone.
[[nodiscard]] inline bool ParseDecimal(std::string_view text, unsigned& value) {
  if (text.empty()) return false;
  std::uint64_t result = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + static_cast<unsigned>(c - '0');
    if (result > 0xFFFFFFFFull) return false;
  }
  value = static_cast<unsigned>(result);
  return true;
}

}  // namespace Varnex::FPTypeDetail
