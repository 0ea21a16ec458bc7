// Library messages during one Python call.
//
// The library reports through one process-wide error sink. The extension
// installs a router as that sink once, at import; a CallScope opened on the
// calling thread for the length of a call collects the messages reported on
// that thread, on the worker threads that adopt the scope, and (since the
// library's own worker threads belong to nobody) the messages of unclaimed
// threads while it is the newest open scope. Messages reported while no
// scope is open go to stderr as the library's default sink writes them.
//
// Thread safety: the router and Add() may run on any thread without the
// interpreter lock; construction, destruction, Warn() and Raise() need it.
#pragma once

#include <Python.h>

#include <mutex>
#include <string>
#include <vector>

#include "kvsystem/error.h"

namespace VarnexPy {

struct Message {
  KvSystem::KvErrorLevel level;
  std::string text;
};

class CallScope {
 public:
  CallScope();
  ~CallScope();
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;

  // Routes the messages of the current thread into `scope` while alive.
  class Adoption {
   public:
    explicit Adoption(CallScope& scope);
    ~Adoption();
    Adoption(const Adoption&) = delete;
    Adoption& operator=(const Adoption&) = delete;

   private:
    CallScope* previous_;
  };

  void Add(KvSystem::KvErrorLevel level, const std::string& text);
  bool Empty() const;
  // The messages so far, which the scope forgets.
  std::vector<Message> Take();
  // The messages joined by line feeds, or `fallback` when there are none;
  // the scope forgets them.
  std::string TakeText(const std::string& fallback);
  // Issues every collected message as a varnex.VarnexWarning (needs the
  // interpreter lock); throws pybind11::error_already_set when a warning
  // filter turns one into an exception.
  void Warn();

 private:
  mutable std::mutex mutex_;
  std::vector<Message> messages_;
  CallScope* previous_;
};

// Installs the router as the library's error sink. Idempotent.
void InstallMessageRouter();

// The warning category varnex.VarnexWarning (a UserWarning); owned by the module.
PyObject* VarnexWarningType();

}  // namespace VarnexPy
