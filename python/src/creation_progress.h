// The progress of a creation that RunInterruptible runs on a helper thread,
// handed to Python between the waits.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>

#include "kvsystem/dots.h"

namespace VarnexPy {

// The poll of RunInterruptible: calls `progress(count)` when the tracer's
// count moved and `total(n)` once, when the expected count is known (either
// may be None). Runs on the calling thread with the interpreter lock held.
// Hidden like pybind11's own types, whose objects it holds.
class __attribute__((visibility("hidden"))) CreationProgress {
 public:
  CreationProgress(const KvSystem::KvDots& tracer, pybind11::object progress, pybind11::object total)
      : tracer_(tracer), progress_(std::move(progress)), total_(std::move(total)) {}

  void operator()() {
    if (!totalReported_ && !total_.is_none() && tracer_.GetExpected() != 0) {
      totalReported_ = true;
      total_(tracer_.GetExpected());
    }
    const std::uint64_t count = tracer_.GetCount();
    if (progress_.is_none() || count == reported_) return;
    reported_ = count;
    progress_(count);
  }

 private:
  const KvSystem::KvDots& tracer_;
  pybind11::object progress_;
  pybind11::object total_;
  std::uint64_t reported_ = 0;
  bool totalReported_ = false;
};

}  // namespace VarnexPy
