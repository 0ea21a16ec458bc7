// The process-wide registry of data-flow field type handlers.
#include <map>
#include <mutex>
#include <shared_mutex>

#include "kvsystem/dffield.h"

namespace KvDataFlow {

struct KvFieldTypeHandlerRegistry::Impl {
  mutable std::shared_mutex mutex;
  std::map<std::string, std::unique_ptr<KvFieldTypeHandler>> handlers;
  std::vector<std::unique_ptr<KvFieldTypeHandler>> replaced;  // kept alive for holders
};

KvFieldTypeHandlerRegistry& KvFieldTypeHandlerRegistry::GetInstance() {
  // Built on first use (static initialisers of other units register here)
  // and never destroyed, so handlers outlive every static object.
  static KvFieldTypeHandlerRegistry* registry = new KvFieldTypeHandlerRegistry;
  return *registry;
}

KvFieldTypeHandlerRegistry::KvFieldTypeHandlerRegistry() : impl_(std::make_unique<Impl>()) {}

bool KvFieldTypeHandlerRegistry::RegisterHandler(KvFieldTypeHandler* handler, unsigned options) {
  std::unique_ptr<KvFieldTypeHandler> owned(handler);
  if (!owned) return false;
  Impl& impl = *impl_;
  std::unique_lock<std::shared_mutex> lock(impl.mutex);
  auto& slot = impl.handlers[owned->GetName()];
  if (slot && (options & KvReplaceHandler) == 0) return false;
  if (slot) impl.replaced.push_back(std::move(slot));
  slot = std::move(owned);
  return true;
}

const KvFieldTypeHandler* KvFieldTypeHandlerRegistry::GetHandler(const std::string& name) const {
  Impl& impl = *impl_;
  std::shared_lock<std::shared_mutex> lock(impl.mutex);
  const auto found = impl.handlers.find(name);
  return found == impl.handlers.end() ? nullptr : found->second.get();
}

std::vector<std::string> KvFieldTypeHandlerRegistry::GetNames() const {
  Impl& impl = *impl_;
  std::shared_lock<std::shared_mutex> lock(impl.mutex);
  std::vector<std::string> names;
  for (const auto& [name, handler] : impl.handlers) names.push_back(name);
  return names;
}

}  // namespace KvDataFlow
