// Worker threads of the fast database's multi-threaded routines.
//
// The routines hand out work through atomic counters; KvRunWorkers only
// starts the threads. The calling thread is always one of the workers, so a
// routine still finishes when no thread can be started.
#pragma once

#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "kvsystem/call_context.h"

namespace Varnex {

// Runs worker(t) for t = 0 to threads - 1, worker 0 on the calling thread,
// the others on threads of their own under the caller's call context, and
// returns when all have ended.
// Returns the number of workers that ran (fewer than asked when the system
// refuses a thread; those running share the work). An exception thrown by a
// worker (std::bad_alloc, say) ends that worker and is rethrown here, on the
// calling thread, once all have ended.
template <typename Worker>
unsigned KvRunWorkers(unsigned threads, Worker&& worker) {
  std::exception_ptr failure;
  std::mutex mutex;
  auto guarded = [&](unsigned t) {
    try {
      worker(t);
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex);
      if (!failure) failure = std::current_exception();
    }
  };
  std::vector<std::thread> helpers;
  try {
    if (threads > 1) helpers.reserve(threads - 1);
    for (unsigned t = 1; t < threads; ++t) helpers.emplace_back(KvSystem::KvInCallContext(guarded), t);
  } catch (const std::exception&) {
    // Fewer threads than asked for.
  }
  guarded(0u);
  for (std::thread& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
  return static_cast<unsigned>(helpers.size()) + 1;
}

// Claims the next `step` items of `next`: the first of them, or `count` (no
// more work) once the caller's call has been cancelled (call_context.h), so
// that every worker stops at its next claim.
template <typename T>
T KvClaim(std::atomic<T>& next, T count, T step = 1) {
  return KvSystem::KvCancelRequested() ? count : next.fetch_add(step);
}

// Raises `shared` to `value` when `value` is better (greater when
// `descending`, else smaller), without a lock: the threshold that the
// workers of one search publish as they go. A value is never lowered, so a
// reader sees some threshold that held at one time, which bounds the final
// one; relaxed order suffices because readers only prune with it.
inline void KvRaiseShared(std::atomic<double>& shared, double value, bool descending) {
  double now = shared.load(std::memory_order_relaxed);
  while (descending ? value > now : value < now) {
    if (shared.compare_exchange_weak(now, value, std::memory_order_relaxed)) return;
  }
}

}  // namespace Varnex
