// The call context of one varnex run: library messages to stderr, the worst
// failure they reported, and the signals that cancel the run.
//
// SIGINT, SIGTERM and SIGHUP (a closed terminal) set the run's cancel flag,
// which stops the library's long operations at their next piece of work;
// the run then writes no more output, commits no file and ends by that
// signal (exit status 128 + its number in a shell). A signal that was
// ignored when the program started (nohup, a background job) stays ignored.
#pragma once

#include "kvsystem/call_context.h"

namespace VarnexCli {

class RunContext final : public KvSystem::KvCallContext {
 public:
  RunContext();
  ~RunContext() override;
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  // Writes the message to stderr as the library's default sink does.
  void Report(KvSystem::KvErrorLevel level, const KvSystem::KvStatus& status) override;

 private:
  KvSystem::KvScopedCallContext installed_;
};

// Whether a signal has asked the run to stop.
bool Interrupted();
// After an interrupt: says so on stderr and ends the process by the signal.
[[noreturn]] void EndByTheSignal(const char* command);

// The exit status for a failure of `code`: 2 for values outside their
// meaning, 1 for anything else (an unreadable or damaged file, say).
int ExitStatusFor(KvSystem::KvStatusCode code);

}  // namespace VarnexCli
