// Work of one call spread over threads that claim items from an atomic
// counter; each thread reports its library messages into the call's scope.
#pragma once

#include <pybind11/pybind11.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <future>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "call_scope.h"

namespace VarnexPy {

// The worker count for a request: 0 means every processor.
inline unsigned EffectiveThreads(unsigned requested) {
  if (requested != 0) return requested;
  return std::max(1u, std::thread::hardware_concurrency());
}

// Calls body(i) once for every i in [0, count) on up to `threads` threads,
// the calling thread included, until the scope is cancelled. Call without
// the interpreter lock. The first exception of any body is rethrown on the
// calling thread after all joined.
template <typename Body>
void RunParallel(std::size_t count, unsigned threads, CallScope& scope, const Body& body) {
  std::atomic<std::size_t> next{0};
  std::exception_ptr failure;
  std::mutex failureMutex;
  auto work = [&] {
    CallScope::Adoption adoption(scope);
    try {
      for (std::size_t i = next.fetch_add(1); i < count && !scope.Cancelled(); i = next.fetch_add(1)) body(i);
    } catch (...) {
      std::lock_guard<std::mutex> lock(failureMutex);
      if (!failure) failure = std::current_exception();
      next.store(count);
    }
  };
  const std::size_t helpers = std::min<std::size_t>(threads, count) > 0 ? std::min<std::size_t>(threads, count) - 1 : 0;
  std::vector<std::thread> pool;
  pool.reserve(helpers);
  for (std::size_t t = 0; t < helpers; ++t) {
    try {
      pool.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // fewer threads; the calling thread still finishes the work
    }
  }
  work();
  for (std::thread& thread : pool) thread.join();
  if (failure) std::rethrow_exception(failure);
}

// Runs `work` (which must not touch Python objects) on a helper thread under
// `scope` while the calling thread, holding the interpreter lock on entry,
// waits without it and every 50 ms checks for signals and calls `poll()`
// with the lock. A Python exception there (KeyboardInterrupt on Ctrl-C, or
// one `poll` raised) cancels the scope, waits until `work` has stopped and
// is rethrown, so nothing of the call survives. With `background` false, or
// when no thread can be started, `work` runs on the calling thread without
// the lock (for calls too short to need an interrupt). Returns what `work`
// returned.
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
