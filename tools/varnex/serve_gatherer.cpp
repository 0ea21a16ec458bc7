// Concurrent searches of the service meet in batch passes of the engine.

#include "serve_gatherer.h"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace VarnexCli {
namespace {

// Whether two searches can share a batch call.
bool SameSearch(const Varnex::KvFPDatabaseOptions& a, const Varnex::KvFPDatabaseOptions& b) {
  return a.GetLimit() == b.GetLimit() && a.HasCutoff() == b.HasCutoff() && a.GetCutoff() == b.GetCutoff() &&
         a.GetSimFunc() == b.GetSimFunc() && a.GetTverskyAlpha() == b.GetTverskyAlpha() &&
         a.GetTverskyBeta() == b.GetTverskyBeta() && a.GetDescendingOrder() == b.GetDescendingOrder() &&
         a.GetNumProcessors() == b.GetNumProcessors();
}

double SecondsSince(BatchGatherer::Clock::time_point start) {
  return std::chrono::duration<double>(BatchGatherer::Clock::now() - start).count();
}

// One batch call; false after a message on stderr when the engine throws or
// does not answer every query.
bool RunSearch(const ServeBackend& backend, const std::vector<Varnex::KvFingerPrint>& queries,
               const Varnex::KvFPDatabaseOptions& options, std::vector<std::vector<Varnex::KvSimScore>>& hits) {
  try {
    hits = backend.Search(queries, options);
    if (hits.size() == queries.size()) return true;
    std::fprintf(stderr, "varnex serve: the engine answered %zu of %zu queries\n", hits.size(), queries.size());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "varnex serve: a search failed: %s\n", e.what());
  }
  return false;
}

}  // namespace

// One caller's search, on the caller's stack while it waits.
struct BatchGatherer::Waiting {
  const std::shared_ptr<const ServeBackend>& backend;
  const std::vector<Varnex::KvFingerPrint>& queries;
  const Varnex::KvFPDatabaseOptions& options;
  std::vector<std::vector<Varnex::KvSimScore>>& hits;
  Clock::time_point arrived = Clock::now();
  std::size_t taken = 0;     // queries handed to passes
  std::size_t answered = 0;  // queries whose hits are in `hits`
  bool failed = false;
  std::condition_variable done;
};

// The queries of one batch call and where their answers go.
struct BatchGatherer::Pass {
  struct Part {
    Waiting* waiting;
    std::size_t first, count;  // the caller's queries [first, first + count), in pass order
  };
  std::shared_ptr<const ServeBackend> backend;
  Varnex::KvFPDatabaseOptions options;
  std::vector<Varnex::KvFingerPrint> queries;
  std::vector<Part> parts;
};

BatchGatherer::Arrival::Arrival(BatchGatherer& gatherer) : gatherer_(gatherer) {
  std::lock_guard<std::mutex> lock(gatherer_.mutex_);
  ++gatherer_.arriving_;
}

BatchGatherer::Arrival::~Arrival() {
  std::lock_guard<std::mutex> lock(gatherer_.mutex_);
  if (!arrived_) --gatherer_.arriving_;
}

BatchGatherer::BatchGatherer(unsigned maxBatch, std::size_t maxPending, ServeMetrics& metrics)
    : maxBatch_(std::max(1u, maxBatch)), maxPending_(maxPending), metrics_(metrics) {
  if (maxBatch_ > 1) thread_ = std::thread([this] { Run(); });
}

BatchGatherer::~BatchGatherer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

BatchGatherer::Outcome BatchGatherer::Search(Arrival& arrival, const std::shared_ptr<const ServeBackend>& backend,
                                             const std::vector<Varnex::KvFingerPrint>& queries,
                                             const Varnex::KvFPDatabaseOptions& options, Clock::time_point deadline,
                                             std::vector<std::vector<Varnex::KvSimScore>>& hits) {
  hits.assign(queries.size(), {});
  std::unique_lock<std::mutex> lock(mutex_);
  if (!arrival.arrived_) --arriving_;
  arrival.arrived_ = true;
  if (queries.empty()) return Outcome::Answered;
  if (maxBatch_ == 1) {
    lock.unlock();
    const Clock::time_point start = Clock::now();
    if (!RunSearch(*backend, queries, options, hits)) return Outcome::Failed;
    metrics_.RecordPass(queries.size(), SecondsSince(start));
    return Outcome::Answered;
  }
  if (pending_ + queries.size() > maxPending_) return Outcome::Busy;

  Waiting waiting{backend, queries, options, hits, Clock::now(), 0, 0, false, {}};
  queue_.push_back(&waiting);
  pending_ += queries.size();
  metrics_.SetPendingQueries(pending_);
  wake_.notify_one();
  while (waiting.answered < queries.size() && !waiting.failed) {
    if (waiting.taken > 0) {
      waiting.done.wait(lock);  // a pass has them: they are answered whatever the time
    } else if (Clock::now() >= deadline) {
      queue_.erase(std::find(queue_.begin(), queue_.end(), &waiting));
      pending_ -= queries.size();
      metrics_.SetPendingQueries(pending_);
      return Outcome::TimedOut;
    } else {
      waiting.done.wait_until(lock, deadline);
    }
  }
  return waiting.failed ? Outcome::Failed : Outcome::Answered;
}

void BatchGatherer::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and everything answered
    WaitForCompanions(lock);
    if (queue_.empty()) continue;
    Pass pass = TakePass();
    lock.unlock();
    const Clock::time_point start = Clock::now();
    std::vector<std::vector<Varnex::KvSimScore>> hits;
    const bool ok = RunSearch(*pass.backend, pass.queries, pass.options, hits);
    const double seconds = SecondsSince(start);
    metrics_.RecordPass(pass.queries.size(), seconds);
    lock.lock();
    const double perQuery = seconds / static_cast<double>(pass.queries.size());
    secondsPerQuery_ = secondsPerQuery_ == 0.0 ? perQuery : 0.8 * secondsPerQuery_ + 0.2 * perQuery;
    lastPassSize_ = pass.queries.size();
    if (ok)
      Deliver(pass, hits);
    else
      Fail(pass);
  }
}

void BatchGatherer::WaitForCompanions(std::unique_lock<std::mutex>& lock) {
  while (!stopping_ && !queue_.empty()) {
    const Waiting& head = *queue_.front();
    const std::size_t ready = ReadyFor(head);
    const bool moreComing = arriving_ > 0 || ready < lastPassSize_;
    if (ready >= maxBatch_ || !moreComing) return;
    if (wake_.wait_until(lock, head.arrived + GatherWindow()) == std::cv_status::timeout) return;
  }
}

std::size_t BatchGatherer::ReadyFor(const Waiting& head) const {
  std::size_t ready = 0;
  for (const Waiting* w : queue_)
    if (w->backend.get() == head.backend.get() && SameSearch(w->options, head.options))
      ready += w->queries.size() - w->taken;
  return ready;
}

BatchGatherer::Pass BatchGatherer::TakePass() {
  Pass pass;
  pass.backend = queue_.front()->backend;
  pass.options = queue_.front()->options;
  for (auto it = queue_.begin(); it != queue_.end() && pass.queries.size() < maxBatch_;) {
    Waiting& w = **it;
    if (w.backend.get() != pass.backend.get() || !SameSearch(w.options, pass.options)) {
      ++it;
      continue;
    }
    const std::size_t count = std::min(w.queries.size() - w.taken, maxBatch_ - pass.queries.size());
    pass.parts.push_back({&w, w.taken, count});
    pass.queries.insert(pass.queries.end(), w.queries.begin() + static_cast<std::ptrdiff_t>(w.taken),
                        w.queries.begin() + static_cast<std::ptrdiff_t>(w.taken + count));
    w.taken += count;
    pending_ -= count;
    it = w.taken == w.queries.size() ? queue_.erase(it) : it + 1;
  }
  metrics_.SetPendingQueries(pending_);
  return pass;
}

void BatchGatherer::Deliver(Pass& pass, std::vector<std::vector<Varnex::KvSimScore>>& hits) {
  std::size_t position = 0;
  for (const Pass::Part& part : pass.parts) {
    for (std::size_t i = 0; i < part.count; ++i) part.waiting->hits[part.first + i] = std::move(hits[position++]);
    part.waiting->answered += part.count;
    if (part.waiting->answered == part.waiting->queries.size()) part.waiting->done.notify_one();
  }
}

void BatchGatherer::Fail(Pass& pass) {
  for (const Pass::Part& part : pass.parts) {
    Waiting& w = *part.waiting;
    if (w.failed) continue;
    w.failed = true;
    // Its queries no pass has taken yet go too: the caller leaves.
    const auto it = std::find(queue_.begin(), queue_.end(), &w);
    if (it != queue_.end()) {
      pending_ -= w.queries.size() - w.taken;
      queue_.erase(it);
    }
    w.done.notify_one();
  }
  metrics_.SetPendingQueries(pending_);
}

BatchGatherer::Clock::duration BatchGatherer::GatherWindow() const {
  const auto share = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(secondsPerQuery_));
  return std::min(kMaxGatherWait, share);
}

}  // namespace VarnexCli
