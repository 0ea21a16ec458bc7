// The HTTP server of the search service: cpp-httplib reads requests and
// writes answers; this layer owns the connections, so that slow or silent
// clients cannot hold the service.
//
// Each connection is served on a thread of a pool that grows up to the
// connection limit. A request must arrive whole (line, headers and body)
// within the time limit from its first byte, and its line and headers within
// the header limit; otherwise reading fails and the answer names the limit
// (see RequestState). An idle connection is closed after a few seconds, at
// once when the pool is three quarters full, and when the server stops; a
// request already arriving is still answered.
//
// Thread safety: the server is driven by httplib's listen thread and its own
// connection threads; Stop() may be called from any thread.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>

namespace VarnexCli {

// What the connection knows about the request being served on this thread.
struct RequestState {
  std::chrono::steady_clock::time_point start;  // its first byte
  std::string client;         // the peer's address and port
  bool timedOut = false;      // it did not arrive within the time limit
  bool headTooLarge = false;  // its line and headers passed the header limit
  bool routed = false;        // it reached the routes (read whole up to its body)
  bool close = false;         // close the connection after the answer
  const char* endpoint = "other";  // the route name, for logs and metrics
};

// The request being served on the calling thread; null on other threads.
RequestState* CurrentRequest();

class ServiceServer : public httplib::Server {
 public:
  // `timeout`: per request; `headerBytes`: its line and headers;
  // `connections`: served at once.
  ServiceServer(std::chrono::seconds timeout, std::size_t headerBytes, unsigned connections);

  // Listens on `host` and `port` (0: any free port); the port, or -1 when
  // that fails.
  int Listen(const std::string& host, int port);

  // Called by the routes once the head of a request is read: the header
  // limit ends there, and the request counts as routed.
  static void HeadRead();
  std::size_t NumOpenConnections() const { return open_.load(); }

 private:
  // Replaces httplib's loop over the requests of one connection.
  bool process_and_close_socket(socket_t sock) override;
  bool IsStopping() const { return svr_sock_ == INVALID_SOCKET; }
  bool IsCrowded() const;  // three quarters of the connections in use

  const std::chrono::seconds timeout_;
  const std::size_t headerBytes_;
  const unsigned connections_;
  std::atomic<std::size_t> open_{0};
};

}  // namespace VarnexCli
