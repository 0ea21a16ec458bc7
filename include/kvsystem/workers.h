// The library's worker threads: one process-wide pool that every threaded
// routine runs its workers on.
//
// KvRunWorkers(threads, worker) runs worker(t) once for every t of
// [0, threads): worker 0 on the calling thread, the others on helper threads
// of the pool, each under the caller's call context (call_context.h), so its
// messages reach the caller's sink and its cancel flag. Helpers are started
// on first need and then kept, waiting, for later calls: a small threaded
// call pays no thread start. After a call a helper spins for 200 us before it
// sleeps, so that calls in quick succession pay no wake-up either. Workers hand out their work through atomic
// counters claimed with KvClaim(), which answers "no more" once the call is
// cancelled or a worker of the call has thrown.
//
// Rules:
// - The calling thread runs worker 0 and then every worker no helper took up,
//   so a call always finishes, also when no thread can be started; workers
//   must therefore never wait for one another.
// - A call made outside any worker starts helpers until enough are idle for
//   it (up to KvMaxWorkerThreads() in all), so concurrent callers do not wait
//   for each other. A call made from inside a worker (nested use) takes only
//   the helpers idle at that moment and starts none: when the pool is busy
//   the inner call runs on its caller alone, which neither deadlocks nor
//   multiplies the threads.
// - The first exception of any worker is rethrown on the calling thread
//   after every worker of the call has ended; workers not yet begun are
//   skipped once the call is cancelled or has failed (worker 0 always runs).
//
// Thread safety: any thread may call KvRunWorkers at any time. The pool lives
// until the process ends: its helpers are never joined and, while idle, touch
// only the pool's own state, which is never destroyed, so neither process exit
// nor interpreter shutdown waits for them or runs them into destroyed objects.
// A child process made by fork() starts with a fresh, empty pool.
#pragma once

#include <atomic>
#include <memory>
#include <type_traits>

#include "kvsystem/call_context.h"

namespace KvSystem {

// The untyped form of KvRunWorkers: runs run(worker, t). Returns the number
// of threads that took part (the caller included).
unsigned KvRunWorkerCalls(unsigned threads, void (*run)(void* worker, unsigned t), void* worker);

// Runs worker(t) for t = 0 to threads - 1 as described above and returns
// when all have ended; returns the number of threads that took part (1 to
// threads). `worker` is borrowed for the call and may be called from several
// threads at once.
template <typename Worker>
unsigned KvRunWorkers(unsigned threads, Worker&& worker) {
  using Body = std::remove_reference_t<Worker>;
  void* address = const_cast<void*>(static_cast<const void*>(std::addressof(worker)));
  return KvRunWorkerCalls(threads, [](void* w, unsigned t) { (*static_cast<Body*>(w))(t); }, address);
}

// Whether the workers of the current thread's call should stop: the call is
// cancelled, or another worker of it has thrown.
bool KvWorkersShouldStop();

// Claims the next `step` items of `next`: the first of them, or `count` (no
// more work) once the workers should stop, so that every worker stops at its
// next claim.
template <typename T>
T KvClaim(std::atomic<T>& next, T count, T step = 1) {
  return KvWorkersShouldStop() ? count : next.fetch_add(step);
}

// The most threads the pool holds at once (its helpers and one caller).
unsigned KvMaxWorkerThreads();

// The helper threads the pool holds now (idle or busy); for tests and
// diagnostics.
unsigned KvWorkerPoolSize();

}  // namespace KvSystem
