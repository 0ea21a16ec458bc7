// The context of one call into the library made on behalf of a caller: where
// the messages of that call go, and the flag that cancels it.
//
// A context installed on a thread (KvScopedCallContext) receives every report
// made on that thread, with its status code and OS error number, instead of
// the process-wide sink. The library's workers (workers.h) take over the
// context of the thread whose call they serve, so a message from a worker
// reaches the call that caused it and never another caller's. Long operations
// poll KvCancelRequested() between pieces of work and stop early when it
// turns true, returning their neutral result.
//
// Thread safety: Report() is called from any thread of the call at once and
// must lock what it changes; installing a context affects the current thread
// only. A context must outlive every thread that runs under it.
#pragma once

#include <atomic>

#include "kvsystem/error.h"
#include "kvsystem/status.h"

namespace KvSystem {

class KvCallContext {
 public:
  virtual ~KvCallContext() = default;
  // One report of the call. A message reported without a status arrives with
  // code InvalidArgument (the library's plain warnings are about values).
  virtual void Report(KvErrorLevel level, const KvStatus& status) = 0;

  // The flag that cancels the call (not owned; null: none).
  void SetCancelFlag(const std::atomic<bool>* flag) { cancel_ = flag; }
  bool IsCancelled() const { return cancel_ != nullptr && cancel_->load(std::memory_order_relaxed); }

 private:
  const std::atomic<bool>* cancel_ = nullptr;
};

// The context installed on this thread, or null.
KvCallContext* KvCurrentCallContext();

// Whether the current thread's call has been cancelled.
bool KvCancelRequested();

// Installs `context` (may be null: none) on the current thread for the
// lifetime of this object, restoring the previous one afterwards.
class KvScopedCallContext {
 public:
  explicit KvScopedCallContext(KvCallContext* context);
  ~KvScopedCallContext();
  KvScopedCallContext(const KvScopedCallContext&) = delete;
  KvScopedCallContext& operator=(const KvScopedCallContext&) = delete;

 private:
  KvCallContext* previous_;
};

}  // namespace KvSystem
