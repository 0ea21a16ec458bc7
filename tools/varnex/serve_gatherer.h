// Concurrent searches of the service meet in batch passes of the engine.
//
// Callers' queries wait in one queue. A pass thread takes the query at the
// head together with every waiting query for the same collection and
// options, up to the batch size, and answers them in one batch call, which
// reads each block of records once for all of them. While a pass runs, new
// queries gather for the next one, so passes grow with the load by
// themselves. An idle engine starts at once; it waits for companions only
// while more are on their way (requests being read, or fewer queries than the
// last pass had), and then at most kMaxGatherWait and never longer than one
// query's share of the recent passes.
//
// With a batch size of 1 nothing is gathered: each caller's queries are
// searched on the caller's own thread as they come.
//
// Thread safety: every member may be called from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "serve_backend.h"
#include "serve_metrics.h"
#include "varnex/dboptions.h"
#include "varnex/fingerprint.h"

namespace VarnexCli {

class BatchGatherer {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr Clock::duration kMaxGatherWait = std::chrono::milliseconds(2);

  // `maxBatch`: most queries per pass; `maxPending`: most queries waiting.
  BatchGatherer(unsigned maxBatch, std::size_t maxPending, ServeMetrics& metrics);
  // Answers every waiting query, then ends the pass thread.
  ~BatchGatherer();
  BatchGatherer(const BatchGatherer&) = delete;
  BatchGatherer& operator=(const BatchGatherer&) = delete;

  // A request that will call Search soon: while it lives (or until Search
  // takes it), the pass thread knows a companion is on its way.
  class Arrival {
   public:
    explicit Arrival(BatchGatherer& gatherer);
    ~Arrival();
    Arrival(const Arrival&) = delete;
    Arrival& operator=(const Arrival&) = delete;

   private:
    friend class BatchGatherer;
    BatchGatherer& gatherer_;
    bool arrived_ = false;  // guarded by the gatherer's mutex
  };

  enum class Outcome {
    Answered,  // `hits` holds one hit list per query
    Busy,      // more than maxPending queries would wait
    TimedOut,  // no pass took the queries before the deadline
    Failed,    // the engine failed (said on stderr)
  };
  // Answers `queries` against `backend` with `options` (whose processor count
  // the pass uses) and blocks until done. Queries taken by a pass are
  // answered even after the deadline.
  Outcome Search(Arrival& arrival, const std::shared_ptr<const ServeBackend>& backend,
                 const std::vector<Varnex::KvFingerPrint>& queries, const Varnex::KvFPDatabaseOptions& options,
                 Clock::time_point deadline, std::vector<std::vector<Varnex::KvSimScore>>& hits);

 private:
  struct Waiting;
  struct Pass;

  void Run();
  void WaitForCompanions(std::unique_lock<std::mutex>& lock);
  std::size_t ReadyFor(const Waiting& head) const;
  Pass TakePass();
  void Deliver(Pass& pass, std::vector<std::vector<Varnex::KvSimScore>>& hits);
  void Fail(Pass& pass);
  Clock::duration GatherWindow() const;

  const unsigned maxBatch_;
  const std::size_t maxPending_;
  ServeMetrics& metrics_;

  std::mutex mutex_;
  std::condition_variable wake_;  // the pass thread: a query came, or stop
  std::deque<Waiting*> queue_;
  std::size_t pending_ = 0;       // queries in the queue not yet taken by a pass
  std::size_t arriving_ = 0;      // live Arrivals not yet searching
  std::size_t lastPassSize_ = 0;
  double secondsPerQuery_ = 0.0;  // recent passes' time per query (moving average)
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace VarnexCli
