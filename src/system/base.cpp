#include "kvsystem/base.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "kvsystem/error.h"

namespace KvSystem {
namespace {

// Interned tag names. Tag n names names[n]; names[0] is the empty name.
struct TagRegistry {
  std::shared_mutex mutex;
  std::unordered_map<std::string, KvTag> tags;
  std::vector<std::string> names{std::string()};
};

TagRegistry& Tags() {
  static TagRegistry* registry = new TagRegistry;  // outlives static teardown
  return *registry;
}

}  // namespace

KvTag KvGetTag(const std::string& name) {
  if (name.empty()) return 0;
  TagRegistry& registry = Tags();
  {
    std::shared_lock<std::shared_mutex> lock(registry.mutex);
    const auto found = registry.tags.find(name);
    if (found != registry.tags.end()) return found->second;
  }
  std::unique_lock<std::shared_mutex> lock(registry.mutex);
  // Another thread may have registered the name between the two locks.
  const auto [position, inserted] = registry.tags.try_emplace(name, static_cast<KvTag>(registry.names.size()));
  if (inserted) registry.names.push_back(name);
  return position->second;
}

std::string KvGetTag(KvTag tag) {
  TagRegistry& registry = Tags();
  std::shared_lock<std::shared_mutex> lock(registry.mutex);
  return tag < registry.names.size() ? registry.names[tag] : std::string();
}

bool KvCheckTypeMismatch(KvTag tag, std::uint64_t found, std::uint64_t wanted) {
  if (found == wanted) return true;
  std::string name = KvGetTag(tag);
  if (name.empty()) {
    char number[16];
    std::snprintf(number, sizeof number, "#%u", static_cast<unsigned>(tag));
    name = number;
  }
  KvThrow()->Warning("KvCheckTypeMismatch() data under tag %s has type id 0x%016llX, expected 0x%016llX",
                     name.c_str(), static_cast<unsigned long long>(found), static_cast<unsigned long long>(wanted));
  return false;
}

bool KvBase::Owns(const KvBaseData* item) const {
  return std::any_of(items_.begin(), items_.end(), [&](const auto& owned) { return owned.get() == item; });
}

KvBase::KvBase(const KvBase& other) {
  items_.reserve(other.items_.size());
  for (const auto& item : other.items_) items_.emplace_back(item->CreateCopy());
}

KvBase& KvBase::operator=(const KvBase& other) {
  if (this != &other) {
    KvBase copy(other);
    items_.swap(copy.items_);
  }
  return *this;
}

void KvBase::AddData(KvBaseData* item) {
  if (item == nullptr) {
    KvThrow()->Warning("KvBase::AddData() null data item");
    return;
  }
  if (Owns(item)) return;  // already held: taking it again would delete it twice
  std::unique_ptr<KvBaseData> owned(item);
  // Keep the items of one tag together, in insertion order.
  auto last = std::find_if(items_.rbegin(), items_.rend(),
                           [&](const auto& existing) { return existing->GetTag() == item->GetTag(); });
  items_.insert(last == items_.rend() ? items_.end() : last.base(), std::move(owned));
}

void KvBase::SetData(KvBaseData* item) {
  if (item == nullptr) {
    KvThrow()->Warning("KvBase::SetData() null data item");
    return;
  }
  const KvTag tag = item->GetTag();
  if (Owns(item)) {  // already held: keep it, drop the other items of its tag
    items_.erase(std::remove_if(items_.begin(), items_.end(),
                                [&](const auto& existing) { return existing->GetTag() == tag && existing.get() != item; }),
                 items_.end());
    return;
  }
  std::unique_ptr<KvBaseData> owned(item);
  auto first = std::find_if(items_.begin(), items_.end(), [&](const auto& existing) { return existing->GetTag() == tag; });
  if (first == items_.end()) {
    items_.push_back(std::move(owned));
    return;
  }
  // The new item takes the place of the first old one; the others go.
  *first = std::move(owned);
  items_.erase(std::remove_if(first + 1, items_.end(), [&](const auto& existing) { return existing->GetTag() == tag; }),
               items_.end());
}

KvBaseData* KvBase::FindData(KvTag tag) const {
  for (const auto& item : items_)
    if (item->GetTag() == tag) return item.get();
  return nullptr;
}

size_t KvBase::DeleteData(KvTag tag) {
  const size_t before = items_.size();
  items_.erase(std::remove_if(items_.begin(), items_.end(), [&](const auto& item) { return item->GetTag() == tag; }),
               items_.end());
  return before - items_.size();
}

bool KvBase::DeleteData(const KvBaseData* item) {
  if (item == nullptr) return false;
  auto found = std::find_if(items_.begin(), items_.end(), [&](const auto& owned) { return owned.get() == item; });
  if (found == items_.end()) return false;
  items_.erase(found);
  return true;
}

KvIterBase<KvBaseData*>* KvBase::GetData(KvTag tag) const {
  std::vector<KvBaseData*> matches;
  for (const auto& item : items_)
    if (item->GetTag() == tag) matches.push_back(item.get());
  return KvMakeVectorIter(std::move(matches));
}

}  // namespace KvSystem
