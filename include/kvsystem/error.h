// Process-wide error reporting.
//
// The library never throws across its API. Failures are reported through the
// one KvErrorHandler (KvThrow()) at information, warning or error level; the
// reporting operation then returns its neutral value. Messages go to a sink,
// which by default writes one line per message to stderr, or, on a thread
// that runs a call with a KvCallContext (call_context.h), to that context
// together with their status.
//
// Thread safety: every function here may be called from any thread. The sink
// is called with an internal lock held, so a sink must not report itself.
#pragma once

#include <cstdarg>
#include <functional>
#include <string>

#include "kvsystem/status.h"

namespace KvSystem {

enum class KvErrorLevel { Info, Warning, Error };

// Receives each formatted message, exactly as the reporter wrote it.
using KvErrorSink = std::function<void(KvErrorLevel, const std::string& message)>;

// Installs `sink` (an empty function restores the default stderr sink) and
// returns the previous one. Thread-safe.
KvErrorSink KvSetErrorSink(KvErrorSink sink);

// Formats printf-style messages and hands them to the current sink.
class KvErrorHandler {
 public:
  void Info(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Warning(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Error(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // The same with the code and OS error number of `cause` (a failed status)
  // in place of the generic code: the message says it in the caller's words.
  void Warning(const KvStatus& cause, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void Error(const KvStatus& cause, const char* format, ...) __attribute__((format(printf, 3, 4)));

  // Hands an already formatted message to the sink.
  void Report(KvErrorLevel level, const std::string& message);
  // Hands a failure to the sink: its message, and to a call context also its
  // code and OS error number. REQUIRES: !status.IsOk().
  void Report(KvErrorLevel level, const KvStatus& status);

 private:
  void ToSink(KvErrorLevel level, const std::string& message);
  void Dispatch(KvErrorLevel level, const KvStatus* cause, const char* format, va_list args);
};

// The process-wide handler. Never null.
KvErrorHandler* KvThrow();

// The prefix the default sink writes before a message: "Info: ",
// "Warning: " or "Error: ".
const char* KvErrorLevelPrefix(KvErrorLevel level);

}  // namespace KvSystem
