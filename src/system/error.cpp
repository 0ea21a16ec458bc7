#include "kvsystem/error.h"

#include "kvsystem/call_context.h"

#include <cstdio>
#include <mutex>
#include <vector>

namespace KvSystem {
namespace {

void DefaultSink(KvErrorLevel level, const std::string& message) {
  std::fprintf(stderr, "%s%s\n", KvErrorLevelPrefix(level), message.c_str());
}

struct SinkState {
  std::mutex mutex;
  KvErrorSink sink = DefaultSink;
};

SinkState& State() {
  static SinkState* state = new SinkState;  // never destroyed: reports may come during static teardown
  return *state;
}

}  // namespace

const char* KvErrorLevelPrefix(KvErrorLevel level) {
  switch (level) {
    case KvErrorLevel::Info: return "Info: ";
    case KvErrorLevel::Warning: return "Warning: ";
    case KvErrorLevel::Error: return "Error: ";
  }
  return "";
}

KvErrorSink KvSetErrorSink(KvErrorSink sink) {
  SinkState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  KvErrorSink previous = std::move(state.sink);
  state.sink = sink ? std::move(sink) : KvErrorSink(DefaultSink);
  return previous;
}

KvErrorHandler* KvThrow() {
  static KvErrorHandler handler;
  return &handler;
}

void KvErrorHandler::Report(KvErrorLevel level, const std::string& message) {
  if (KvCurrentCallContext() != nullptr) {
    Report(level, KvStatus(KvStatusCode::InvalidArgument, message));
    return;
  }
  ToSink(level, message);
}

void KvErrorHandler::Report(KvErrorLevel level, const KvStatus& status) {
  if (KvCallContext* context = KvCurrentCallContext()) {
    try {
      context->Report(level, status);
    } catch (...) {
      // As for a sink: no exception leaves the library.
    }
    return;
  }
  ToSink(level, status.Message());
}

void KvErrorHandler::ToSink(KvErrorLevel level, const std::string& message) {
  SinkState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  try {
    state.sink(level, message);
  } catch (...) {
    // A throwing sink must not carry an exception out of the library.
  }
}

void KvErrorHandler::Dispatch(KvErrorLevel level, const KvStatus* cause, const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  char small[512];
  const int length = std::vsnprintf(small, sizeof small, format, args);
  std::string message;
  if (length < 0) {
    message = format;  // formatting failed: keep the raw text rather than lose the report
  } else if (static_cast<size_t>(length) < sizeof small) {
    message.assign(small, static_cast<size_t>(length));
  } else {
    std::vector<char> large(static_cast<size_t>(length) + 1);
    std::vsnprintf(large.data(), large.size(), format, copy);
    message.assign(large.data(), static_cast<size_t>(length));
  }
  va_end(copy);
  if (cause != nullptr && !cause->IsOk())
    Report(level, cause->WithMessage(std::move(message)));
  else
    Report(level, message);
}

#define KV_DISPATCH(level, cause)        \
  va_list args;                          \
  va_start(args, format);                \
  Dispatch(level, cause, format, args);  \
  va_end(args)

void KvErrorHandler::Info(const char* format, ...) { KV_DISPATCH(KvErrorLevel::Info, nullptr); }
void KvErrorHandler::Warning(const char* format, ...) { KV_DISPATCH(KvErrorLevel::Warning, nullptr); }
void KvErrorHandler::Error(const char* format, ...) { KV_DISPATCH(KvErrorLevel::Error, nullptr); }
void KvErrorHandler::Warning(const KvStatus& cause, const char* format, ...) {
  KV_DISPATCH(KvErrorLevel::Warning, &cause);
}
void KvErrorHandler::Error(const KvStatus& cause, const char* format, ...) { KV_DISPATCH(KvErrorLevel::Error, &cause); }

#undef KV_DISPATCH

}  // namespace KvSystem
