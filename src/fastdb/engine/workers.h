// Worker threads of the fast database's multi-threaded routines: the
// library's worker pool (kvsystem/workers.h) and the threshold its workers
// share.
#pragma once

#include <atomic>

#include "kvsystem/workers.h"

namespace Varnex {

// The pool's runner and claim, under the names the engines use.
using KvSystem::KvClaim;
using KvSystem::KvRunWorkers;

// Raises `shared` to `value` when `value` is better (greater when
// `descending`, else smaller), without a lock: the threshold that the
// workers of one search publish as they go. A value is never lowered, so a
// reader sees some threshold that held at one time, which bounds the final
// one; relaxed order suffices because readers only prune with it.
inline void RaiseShared(std::atomic<double>& shared, double value, bool descending) {
  double now = shared.load(std::memory_order_relaxed);
  while (descending ? value > now : value < now) {
    if (shared.compare_exchange_weak(now, value, std::memory_order_relaxed)) return;
  }
}

}  // namespace Varnex
