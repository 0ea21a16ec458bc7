// The state of the search service.

#include "serve_service.h"

namespace VarnexCli {

SearchService::SearchService(const ServeSettings& settings, std::unique_ptr<ServeBackend> backend)
    : settings_(settings), gatherer_(settings.batch, settings.limits.maxPending, metrics_) {
  Replace(std::move(backend));
}

std::shared_ptr<const ServeBackend> SearchService::Backend() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return backend_;
}

void SearchService::Replace(std::unique_ptr<ServeBackend> backend) {
  metrics_.SetCollection(backend->GetName(), backend->GetFPType()->GetFPTypeString(), backend->NumRecords(),
                         backend->NumShards());
  std::shared_ptr<const ServeBackend> old;
  std::lock_guard<std::mutex> lock(mutex_);
  old.swap(backend_);
  backend_ = std::move(backend);
}

}  // namespace VarnexCli
