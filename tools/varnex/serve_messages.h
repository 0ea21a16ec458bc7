// The library's messages during one request of the search service.
//
// The library reports through one process-wide error sink. The service
// installs a router as that sink; a MessageCapture open on a thread receives
// the messages reported on that thread (so that a request can answer with the
// library's own words), and every other message goes to the log on stderr as
// the default sink writes it.
//
// Thread safety: the router runs on any thread; a capture belongs to the
// thread that opened it.
#pragma once

#include <string>

namespace VarnexCli {

class MessageCapture {
 public:
  // Receives the messages of the current thread until destroyed.
  MessageCapture();
  ~MessageCapture();
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;

  // The messages so far joined by "; ", or `fallback` when there are none;
  // the capture forgets them.
  std::string Take(const std::string& fallback);

 private:
  friend void RouteMessage(const std::string& message);
  std::string text_;
  MessageCapture* previous_;
};

// Installs the router as the library's error sink. Idempotent.
void InstallMessageRouter();

}  // namespace VarnexCli
