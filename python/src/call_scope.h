// Library messages and cancellation during one Python call.
//
// A CallScope is the library's call context (kvsystem/call_context.h) for the
// length of one call: opened on the calling thread, it receives every message
// the library reports on that thread and on the worker threads the call
// starts (the library's own workers take the context over; the extension's
// adopt it), each with its status code. After the call the scope becomes
// Python warnings (Warn) or one exception (Fail, through the status
// translator of errors.h). Its cancel flag stops the library's long
// operations; RunInterruptible() sets it on Ctrl-C.
//
// Thread safety: Report() and Add() may run on any thread without the
// interpreter lock; construction, destruction, Warn() and Fail() need it.
#pragma once

#include <Python.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "kvsystem/call_context.h"

namespace VarnexPy {

struct Message {
  KvSystem::KvErrorLevel level;
  KvSystem::KvStatus status;
};

class CallScope final : public KvSystem::KvCallContext {
 public:
  CallScope();
  ~CallScope() override;
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;

  // Routes the messages of the current thread into `scope` while alive.
  class Adoption {
   public:
    explicit Adoption(CallScope& scope) : scope_(&scope) {}

   private:
    KvSystem::KvScopedCallContext scope_;
  };

  void Report(KvSystem::KvErrorLevel level, const KvSystem::KvStatus& status) override;
  bool Empty() const;
  // The messages so far, which the scope forgets.
  std::vector<Message> Take();
  // The messages joined by line feeds, or `fallback` when there are none;
  // the scope forgets them.
  std::string TakeText(const std::string& fallback);
  // Raises the failure of the call: the messages joined, or `fallback` when
  // there are none, with the code (and errno) of the first message that has a
  // more specific code than InvalidArgument (that code otherwise), the text
  // after `prefix`. KeyboardInterrupt once the scope was cancelled.
  [[noreturn]] void Fail(const std::string& fallback, const std::string& prefix = "");
  // Issues every collected message as a varnex.VarnexWarning attributed to
  // the caller's line (the first frame outside the varnex package); throws
  // pybind11::error_already_set when a warning filter turns one into an
  // exception.
  void Warn();

  // Asks the library's operations running under this scope to stop.
  void Cancel() { cancel_.store(true); }
  bool Cancelled() const { return cancel_.load(); }

 private:
  mutable std::mutex mutex_;
  std::vector<Message> messages_;
  std::atomic<bool> cancel_{false};
  KvSystem::KvScopedCallContext installed_;
};

// The warning category varnex.VarnexWarning (a UserWarning); owned by the module.
PyObject* VarnexWarningType();

// How many frames up from the current one the caller of the varnex package
// sits (the `stacklevel` of warnings.warn for a warning issued here).
int CallerStackLevel();

}  // namespace VarnexPy
