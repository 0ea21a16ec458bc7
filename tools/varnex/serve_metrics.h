// What the search service counts, served at /metrics in the Prometheus text
// format: requests by endpoint and status, their latency, queries per batch
// pass, waiting queries, open connections and the open collection.
//
// Thread safety: every member may be called from any thread.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace VarnexCli {

class ServeMetrics {
 public:
  // One answered request: `endpoint` is a route name (never a raw path, so
  // that hostile paths cannot grow the table).
  void RecordRequest(const std::string& endpoint, int status, double seconds);
  // One batch pass of `queries` queries that took `seconds`.
  void RecordPass(std::size_t queries, double seconds);
  void SetPendingQueries(std::size_t queries) { pending_.store(queries, std::memory_order_relaxed); }
  void SetOpenConnections(std::size_t connections) { connections_.store(connections, std::memory_order_relaxed); }
  // The collection now served.
  void SetCollection(const std::string& name, const std::string& type, std::size_t records, std::size_t shards);
  // One reopening of the collection, successful or not.
  void RecordReload(bool ok);

  // The exposition text.
  std::string Text() const;

 private:
  // Counts of samples at or below each bound, their sum and number.
  struct Histogram {
    std::vector<std::uint64_t> counts;
    double sum = 0.0;
    std::uint64_t count = 0;
    void Add(const std::vector<double>& bounds, double value);
  };

  mutable std::mutex mutex_;
  std::map<std::pair<std::string, int>, std::uint64_t> requests_;
  std::map<std::string, Histogram> latency_;
  Histogram passQueries_, passSeconds_;
  std::string collection_, type_;
  std::size_t records_ = 0, shards_ = 0;
  std::array<std::uint64_t, 2> reloads_{};  // failed, ok
  std::atomic<std::size_t> pending_{0}, connections_{0};
};

}  // namespace VarnexCli
