#include "run_context.h"

#include <signal.h>

#include <atomic>
#include <cstdio>

#include "command.h"

namespace VarnexCli {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Lock-free, so that the handler may set them.
std::atomic<bool> gInterrupted{false};
std::atomic<int> gSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

extern "C" void OnSignal(int signal) {
  gSignal.store(signal);
  gInterrupted.store(true);
}

}  // namespace

RunContext::RunContext() : installed_(this) {
  SetCancelFlag(&gInterrupted);
  for (int signal : kSignals) {
    struct sigaction old {};
    if (sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
}

RunContext::~RunContext() = default;

void RunContext::Report(KvSystem::KvErrorLevel level, const KvSystem::KvStatus& status) {
  std::fprintf(stderr, "%s%s\n", KvSystem::KvErrorLevelPrefix(level), status.Message().c_str());
}

bool Interrupted() { return gInterrupted.load(); }

void EndByTheSignal(const char* command) {
  const int signal = gSignal.load();
  std::fprintf(stderr, "varnex %s: interrupted; no output file was written\n", command);
  std::fflush(nullptr);
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  ::raise(signal);
  std::_Exit(128 + signal);
}

int ExitStatusFor(KvSystem::KvStatusCode code) {
  switch (code) {
    case KvSystem::KvStatusCode::InvalidArgument:
    case KvSystem::KvStatusCode::WrongType:
    case KvSystem::KvStatusCode::Unsupported: return kExitUsage;
    default: return kExitFailure;
  }
}

}  // namespace VarnexCli
