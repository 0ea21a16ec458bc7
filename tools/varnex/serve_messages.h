// The library's messages during one request of the search service, so that
// a request can answer with the library's own words.
//
// A capture is the library's call context (kvsystem/call_context.h) on the
// thread that opens it, for as long as it lives: it receives every message
// of that thread and of the library's workers started from it. Messages of
// threads without a capture go to the library's sink, the log on stderr.
//
// Thread safety: Report() may run on the library's worker threads; the rest
// belongs to the thread that opened the capture.
#pragma once

#include <mutex>
#include <string>

#include "kvsystem/call_context.h"

namespace VarnexCli {

class MessageCapture final : public KvSystem::KvCallContext {
 public:
  MessageCapture() = default;
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;

  void Report(KvSystem::KvErrorLevel level, const KvSystem::KvStatus& status) override;
  // The messages so far joined by "; ", or `fallback` when there are none;
  // the capture forgets them.
  std::string Take(const std::string& fallback);

 private:
  std::mutex mutex_;
  std::string text_;
  KvSystem::KvScopedCallContext installed_{this};  // last: the rest is ready when it installs
};

}  // namespace VarnexCli
