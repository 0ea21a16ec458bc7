// Worker threads of the fast database's multi-threaded routines.
//
// The routines hand out work through atomic counters; KvRunWorkers only
// starts the threads. The calling thread is always one of the workers, so a
// routine still finishes when no thread can be started.
#pragma once

#include <exception>
#include <thread>
#include <vector>

namespace Varnex {

// Runs worker(t) for t = 0 to threads - 1, worker 0 on the calling thread,
// the others on threads of their own, and returns when all have ended.
// Returns the number of workers that ran (fewer than asked when the system
// refuses a thread; those running share the work).
template <typename Worker>
unsigned KvRunWorkers(unsigned threads, Worker&& worker) {
  std::vector<std::thread> helpers;
  if (threads > 1) helpers.reserve(threads - 1);
  for (unsigned t = 1; t < threads; ++t) {
    try {
      helpers.emplace_back(worker, t);
    } catch (const std::exception&) {
      break;
    }
  }
  worker(0u);
  for (std::thread& helper : helpers) helper.join();
  return static_cast<unsigned>(helpers.size()) + 1;
}

}  // namespace Varnex
