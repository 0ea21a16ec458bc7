// The process-wide registry of KvB readers and writers, and the functions
// that move objects and attached data through it.
#include <map>
#include <mutex>
#include <shared_mutex>
#include <utility>
#include <vector>

#include "kvsystem/error.h"
#include "kvsystem/kvb.h"

namespace KvSystem {
namespace {

constexpr const char* kUnknownTagName = "KvUnknownKvBData";

// Writes KvUnknownKvBData items back exactly as they were read: the original
// tag and payload, without any wrapping.
class UnknownDataWriter final : public KvWriteFxnBase {
 public:
  std::string GetTypeName() const override { return kUnknownTagName; }
  std::uint64_t GetTypeId() const override { return KvTypeIdOf<KvBaseData>(); }
  std::uint64_t GetDataTypeId() const override { return KvTypeIdOf<KvUnknownKvBData>(); }
  std::unique_ptr<KvWriteFxnBase> CreateNew() const override { return std::make_unique<UnknownDataWriter>(); }
  KvBStatus WriteObject(kvostream& out, const void* object) const override {
    const auto& item = *static_cast<const KvBaseData*>(object);
    if (item.GetTypeId() != KvTypeIdOf<KvUnknownKvBData>()) return KvBStatus::NotHandled;
    const auto& record = static_cast<const KvBaseDataT<KvUnknownKvBData>&>(item).GetData();
    return KvBWriteRecord(out, record.GetTag(), record.GetPayload()) ? KvBStatus::Success : KvBStatus::Failure;
  }
};

class Registry {
 public:
  Registry() { writers_[{KvTypeIdOf<KvBaseData>(), KvTypeIdOf<KvUnknownKvBData>()}] = std::make_unique<UnknownDataWriter>(); }

  void AddInitializer(KvBInitializer initializer) {
    std::lock_guard<std::recursive_mutex> lock(initMutex_);
    pending_.push_back(initializer);
  }

  // Runs the initialisers not yet run. Lookups wait here while another
  // thread runs them; an initialiser may itself look things up (recursion).
  void RunInitializers() {
    std::lock_guard<std::recursive_mutex> lock(initMutex_);
    while (!pending_.empty()) {
      const KvBInitializer next = pending_.front();
      pending_.erase(pending_.begin());
      if (next != nullptr) next();
    }
  }

  bool AddWriter(std::unique_ptr<KvWriteFxnBase> writer) {
    if (!writer) return false;
    std::unique_lock<std::shared_mutex> lock(mutex_);
    return writers_.try_emplace({writer->GetTypeId(), writer->GetDataTypeId()}, std::move(writer)).second;
  }

  bool AddReader(std::unique_ptr<KvReadFxnBase> reader) {
    if (!reader) return false;
    std::unique_lock<std::shared_mutex> lock(mutex_);
    std::string tag = reader->GetTypeName();
    return readers_.try_emplace(std::move(tag), std::move(reader)).second;
  }

  const KvWriteFxnBase* FindWriter(std::uint64_t typeId, std::uint64_t dataTypeId) {
    RunInitializers();
    std::shared_lock<std::shared_mutex> lock(mutex_);
    const auto found = writers_.find({typeId, dataTypeId});
    return found == writers_.end() ? nullptr : found->second.get();
  }

  const KvReadFxnBase* FindReader(const std::string& tag) {
    RunInitializers();
    std::shared_lock<std::shared_mutex> lock(mutex_);
    const auto found = readers_.find(tag);
    return found == readers_.end() ? nullptr : found->second.get();
  }

 private:
  std::recursive_mutex initMutex_;
  std::vector<KvBInitializer> pending_;
  std::shared_mutex mutex_;
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::unique_ptr<KvWriteFxnBase>> writers_;
  std::map<std::string, std::unique_ptr<KvReadFxnBase>> readers_;
};

Registry& TheRegistry() {
  // Built on first use, so that static initialisers of any translation unit
  // may register; never destroyed, so that it outlives them all.
  static Registry* registry = new Registry;
  return *registry;
}

}  // namespace

bool KvRegisterKvBInitializer(KvBInitializer initializer) {
  TheRegistry().AddInitializer(initializer);
  return true;
}

bool KvBRegisterWriter(std::unique_ptr<KvWriteFxnBase> writer) { return TheRegistry().AddWriter(std::move(writer)); }

bool KvBRegisterReader(std::unique_ptr<KvReadFxnBase> reader) { return TheRegistry().AddReader(std::move(reader)); }

const KvWriteFxnBase* KvBFindWriter(std::uint64_t typeId, std::uint64_t dataTypeId) {
  return TheRegistry().FindWriter(typeId, dataTypeId);
}

const KvReadFxnBase* KvBFindReader(const std::string& tag) { return TheRegistry().FindReader(tag); }

KvBStatus KvBWriteObject(kvostream& out, std::uint64_t typeId, const void* object) {
  const KvWriteFxnBase* writer = KvBFindWriter(typeId);
  if (writer == nullptr) {
    KvThrow()->Warning("KvBWrite() no writer registered for type id 0x%016llX",
                       static_cast<unsigned long long>(typeId));
    return KvBStatus::NotHandled;
  }
  return writer->WriteObject(out, object);
}

KvBStatus KvBReadObject(kvistream& in, std::uint64_t typeId, void* object) {
  std::string tag;
  const KvBStatus tagStatus = KvBReadTag(in, tag);
  if (tagStatus != KvBStatus::Success) return tagStatus;
  std::uint64_t length = 0;
  if (KvBReadDataLength(in, length) != KvBStatus::Success) return KvBStatus::Failure;
  const KvReadFxnBase* reader = KvBFindReader(tag);
  if (reader == nullptr || reader->GetTypeId() != typeId) {
    return KvBSkipPayload(in, length) == KvBStatus::Success ? KvBStatus::NotHandled : KvBStatus::Failure;
  }
  return reader->ReadObject(in, object, length);
}

KvBStatus KvBWriteAttachedData(kvostream& out, const KvBase& source) {
  for (const auto& item : source.GetAllData()) {
    const KvWriteFxnBase* writer = KvBFindWriter(KvTypeIdOf<KvBaseData>(), item->GetTypeId());
    if (writer == nullptr) continue;
    const KvBStatus status = writer->WriteObject(out, item.get());
    if (status == KvBStatus::Failure) return status;
  }
  return out.good() ? KvBStatus::Success : KvBStatus::Failure;
}

KvBStatus KvBReadAttachedData(kvistream& in, KvBase& target) {
  const KvTag unknownTag = KvGetTag(kUnknownTagName);
  while (true) {
    std::string tag;
    const KvBStatus tagStatus = KvBReadTag(in, tag);
    if (tagStatus == KvBStatus::EndOfStream) return KvBStatus::Success;
    if (tagStatus != KvBStatus::Success) return KvBStatus::Failure;
    std::uint64_t length = 0;
    if (KvBReadDataLength(in, length) != KvBStatus::Success) return KvBStatus::Failure;
    const KvReadFxnBase* reader = KvBFindReader(tag);
    if (reader != nullptr && reader->GetTypeId() == KvTypeIdOf<KvBase>()) {
      if (reader->ReadObject(in, &target, length) != KvBStatus::Success) return KvBStatus::Failure;
      continue;
    }
    std::string payload;
    if (KvBReadPayload(in, length, payload) != KvBStatus::Success) return KvBStatus::Failure;
    KvAttachData(target, unknownTag, KvUnknownKvBData(std::move(tag), std::move(payload)));
  }
}

}  // namespace KvSystem
