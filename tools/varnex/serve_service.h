// The state of the search service: its settings, the collection served, the
// batch gatherer and the counters. The routes (serve_routes.h) answer
// requests with it; the command (cmd_serve.cpp) opens and reopens the
// collection.
//
// Thread safety: every member may be called from any thread. A request keeps
// the collection it started with until it ends, so replacing the collection
// drops no request.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "serve_backend.h"
#include "serve_gatherer.h"
#include "serve_limits.h"
#include "serve_metrics.h"
#include "varnex/pictures.h"

namespace VarnexCli {

struct ServeSettings {
  ServeLimits limits;
  unsigned threads = 0;  // engine threads per pass; 0: every processor
  unsigned batch = 256;  // most queries per pass; 1: no gathering
  std::string token;     // required as "Authorization: Bearer <token>"; "" for none
  Varnex::KvHitGridOptions pictures;  // of the page's hit grids
};

class SearchService {
 public:
  SearchService(const ServeSettings& settings, std::unique_ptr<ServeBackend> backend);
  SearchService(const SearchService&) = delete;
  SearchService& operator=(const SearchService&) = delete;

  const ServeSettings& Settings() const { return settings_; }
  // The collection now served.
  std::shared_ptr<const ServeBackend> Backend() const;
  // Serves `backend` from now on; requests running keep the old one.
  void Replace(std::unique_ptr<ServeBackend> backend);

  ServeMetrics& Metrics() { return metrics_; }
  BatchGatherer& Gatherer() { return gatherer_; }

 private:
  const ServeSettings settings_;
  ServeMetrics metrics_;
  mutable std::mutex mutex_;
  std::shared_ptr<const ServeBackend> backend_;
  BatchGatherer gatherer_;  // last: its passes end before the rest goes
};

}  // namespace VarnexCli
