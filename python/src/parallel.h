// Work of one call spread over the library's worker pool, whose workers
// claim items from an atomic counter and report their library messages into
// the call's scope; and a call run on a background thread while the calling
// thread watches for signals.
#pragma once

#include <pybind11/pybind11.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <future>
#include <system_error>
#include <vector>

#include "call_scope.h"
#include "kvsystem/platform.h"
#include "kvsystem/workers.h"

namespace VarnexPy {

// The worker count for a request: 0 means every processor.
inline unsigned EffectiveThreads(unsigned requested) {
  return requested != 0 ? requested : KvSystem::KvGetNumProcessors();
}

// Calls body(i) once for every i in [0, count) on up to `threads` workers of
// the library's pool (kvsystem/workers.h), the calling thread included, until
// the scope is cancelled; the workers report into the scope. Call without the
// interpreter lock. The first exception of any body is rethrown on the
// calling thread after all workers have ended. Inside a worker of another
// call (nested) it runs on the threads the pool has idle, possibly the
// calling thread alone.
template <typename Body>
void RunParallel(std::size_t count, unsigned threads, CallScope& scope, const Body& body) {
  CallScope::Adoption adoption(scope);
  std::atomic<std::size_t> next{0};
  const auto workers = static_cast<unsigned>(std::min<std::size_t>(threads, count));
  KvSystem::KvRunWorkers(workers, [&](unsigned) {
    for (std::size_t i; (i = KvSystem::KvClaim(next, count)) < count;) body(i);
  });
}

// Runs `work` (which must not touch Python objects) on a helper thread under
// `scope` while the calling thread, holding the interpreter lock on entry,
// waits without it and every 50 ms checks for signals and calls `poll()`
// with the lock. A Python exception there (KeyboardInterrupt on Ctrl-C, or
// one `poll` raised) cancels the scope, waits until `work` has stopped and
// is rethrown, so nothing of the call survives. With `background` false, or
// when no thread can be started, `work` runs on the calling thread without
// the lock (for calls too short to need an interrupt). Returns what `work`
// returned. The helper thread is not a pool worker: it is started per call
// and the calling thread only watches it, so it stays outside the pool (whose
// workers could be busy with the very call being interrupted).
template <typename Work, typename Poll>
auto RunInterruptible(CallScope& scope, Work work, Poll poll, bool background = true) -> decltype(work()) {
  std::future<decltype(work())> done;
  if (background) {
    try {
      done = std::async(std::launch::async, [&] {
        CallScope::Adoption adoption(scope);
        return work();
      });
    } catch (const std::system_error&) {
      background = false;
    }
  }
  if (!background) {
    pybind11::gil_scoped_release release;
    return work();
  }
  for (bool finished = false; !finished;) {
    {
      pybind11::gil_scoped_release release;
      finished = done.wait_for(std::chrono::milliseconds(50)) == std::future_status::ready;
    }
    try {
      poll();
      if (!finished && PyErr_CheckSignals() != 0) throw pybind11::error_already_set();
    } catch (...) {
      scope.Cancel();
      {
        pybind11::gil_scoped_release release;
        done.wait();
      }
      throw;
    }
  }
  return done.get();
}

template <typename Work>
auto RunInterruptible(CallScope& scope, Work work, bool background = true) -> decltype(work()) {
  return RunInterruptible(scope, std::move(work), [] {}, background);
}

}  // namespace VarnexPy
