// Work of one call spread over threads that claim items from an atomic
// counter; each thread reports its library messages into the call's scope.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
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
// the calling thread included. Call without the interpreter lock. The first
// exception of any body is rethrown on the calling thread after all joined.
template <typename Body>
void RunParallel(std::size_t count, unsigned threads, CallScope& scope, const Body& body) {
  std::atomic<std::size_t> next{0};
  std::exception_ptr failure;
  std::mutex failureMutex;
  auto work = [&] {
    CallScope::Adoption adoption(scope);
    try {
      for (std::size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) body(i);
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

}  // namespace VarnexPy
