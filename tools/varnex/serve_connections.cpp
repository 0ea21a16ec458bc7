// The connections of the search service.

#include "serve_connections.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace VarnexCli {
namespace {

using Clock = std::chrono::steady_clock;

// An idle connection is closed after kIdleTime, and when the pool is nearly
// full after kBusyIdleTime, or kBusyFirstByte while it has sent nothing yet
// (its first bytes may still be on their way).
constexpr auto kIdleTime = std::chrono::seconds(5);
constexpr auto kBusyIdleTime = std::chrono::milliseconds(100);
constexpr auto kBusyFirstByte = std::chrono::seconds(1);
constexpr auto kWriteTime = std::chrono::seconds(30);        // to write one answer
constexpr auto kPollSlice = std::chrono::milliseconds(100);  // idle waits look for a stop this often
constexpr auto kLinger = std::chrono::milliseconds(200);  // to read what a refused client still sends
constexpr std::size_t kRequestsPerConnection = 1000;
constexpr int kDeferAcceptSeconds = 5;

int MillisecondsUntil(Clock::time_point when) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

// Waits until the socket is ready for `events` or `until` passes: > 0 ready,
// 0 time out, < 0 error.
int PollUntil(int sock, short events, Clock::time_point until) {
  for (;;) {
    pollfd entry{sock, events, 0};
    const int ready = ::poll(&entry, 1, MillisecondsUntil(until));
    if (ready >= 0 || errno != EINTR) return ready;
  }
}

// One client's socket as httplib reads and writes it, with the request's time
// and header limits.
class ConnectionStream final : public httplib::Stream {
 public:
  ConnectionStream(socket_t sock, std::chrono::seconds timeout, std::size_t headerBytes)
      : sock_(sock), timeout_(timeout), headerBytes_(headerBytes) {
    std::string ip;
    int port = -1;
    Address(true, ip, port);
    client_ = ip + ":" + std::to_string(port);
  }

  // Waits for the first byte of the next request; false when the client
  // closes, `idle()` passes without one, or `stopping()` turns true with
  // no byte there.
  bool WaitForRequest(const std::function<Clock::duration()>& idle, const std::function<bool()>& stopping) {
    const Clock::time_point since = Clock::now();
    while (begin_ == end_) {
      if (stopping()) return PollUntil(sock_, POLLIN, Clock::now()) > 0 && Receive() > 0;
      if (Clock::now() >= since + idle()) return false;
      const int ready = PollUntil(sock_, POLLIN, std::min(since + idle(), Clock::now() + kPollSlice));
      if (ready < 0 || (ready > 0 && Receive() <= 0)) return false;
    }
    return true;
  }

  void BeginRequest(RequestState& state) {
    state = RequestState{};
    state.start = Clock::now();
    state.client = client_;
    state_ = &state;
    readDeadline_ = state.start + timeout_;
    writeDeadline_.reset();
    headBytes_ = 0;
    inHead_ = true;
  }
  void EndHead() { inHead_ = false; }

  // Closing with unread bytes would reset the connection and could destroy
  // the answer before the client reads it: stop sending, then read what
  // still comes for a short while.
  void Linger() {
    ::shutdown(sock_, SHUT_WR);
    const Clock::time_point until = Clock::now() + kLinger;
    while (PollUntil(sock_, POLLIN, until) > 0 && Receive() > 0) {
    }
  }

  bool is_readable() const override { return begin_ < end_ || PollUntil(sock_, POLLIN, readDeadline_) > 0; }
  bool is_writable() const override { return PollUntil(sock_, POLLOUT, WriteDeadline()) > 0; }

  ssize_t read(char* ptr, size_t size) override {
    if (begin_ == end_) {
      const int ready = PollUntil(sock_, POLLIN, readDeadline_);
      if (ready == 0 && state_ != nullptr) state_->timedOut = true;
      if (ready <= 0) return -1;
      const ssize_t received = Receive();
      if (received <= 0) return received;
    }
    const std::size_t n = std::min(size, end_ - begin_);
    if (inHead_ && (headBytes_ += n) > headerBytes_) {
      if (state_ != nullptr) state_->headTooLarge = true;
      return -1;
    }
    std::memcpy(ptr, buffer_ + begin_, n);
    begin_ += n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* ptr, size_t size) override {
    std::size_t done = 0;
    while (done < size) {
      if (PollUntil(sock_, POLLOUT, WriteDeadline()) <= 0) return -1;
      const ssize_t sent = ::send(sock_, ptr + done, size - done, MSG_NOSIGNAL);
      if (sent < 0 && errno != EINTR && errno != EAGAIN) return -1;
      if (sent > 0) done += static_cast<std::size_t>(sent);
    }
    return static_cast<ssize_t>(size);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override { Address(true, ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { Address(false, ip, port); }
  socket_t socket() const override { return sock_; }

 private:
  ssize_t Receive() {
    for (;;) {
      const ssize_t received = ::recv(sock_, buffer_, sizeof(buffer_), 0);
      if (received >= 0 || errno != EINTR) {
        begin_ = 0;
        end_ = received > 0 ? static_cast<std::size_t>(received) : 0;
        return received;
      }
    }
  }

  Clock::time_point WriteDeadline() const {
    if (!writeDeadline_) writeDeadline_ = Clock::now() + kWriteTime;
    return *writeDeadline_;
  }

  void Address(bool peer, std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    if ((peer ? ::getpeername(sock_, raw, &length) : ::getsockname(sock_, raw, &length)) != 0) return;
    char host[NI_MAXHOST], service[NI_MAXSERV];
    if (::getnameinfo(raw, length, host, sizeof(host), service, sizeof(service), NI_NUMERICHOST | NI_NUMERICSERV) != 0)
      return;
    ip = host;
    port = std::atoi(service);
  }

  const socket_t sock_;
  const std::chrono::seconds timeout_;
  const std::size_t headerBytes_;
  std::string client_;
  RequestState* state_ = nullptr;
  Clock::time_point readDeadline_ = Clock::now();
  mutable std::optional<Clock::time_point> writeDeadline_;
  std::size_t headBytes_ = 0;
  bool inHead_ = true;
  char buffer_[16384];
  std::size_t begin_ = 0, end_ = 0;
};

thread_local RequestState* tRequest = nullptr;
thread_local ConnectionStream* tStream = nullptr;

// Connection threads: one per connection being served, started as needed up
// to the limit; further connections wait for a free thread.
class ConnectionPool final : public httplib::TaskQueue {
 public:
  explicit ConnectionPool(unsigned maxThreads) : maxThreads_(maxThreads) {}

  void enqueue(std::function<void()> job) override {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
    // Threads woken but not yet running still count as idle: a new thread
    // is needed when more connections wait than threads are idle.
    if (jobs_.size() <= idle_ || threads_.size() >= maxThreads_) {
      wake_.notify_one();
      return;
    }
    try {
      threads_.emplace_back([this] { Work(); });
    } catch (const std::exception& e) {
      // The job waits for a running thread.
      std::fprintf(stderr, "varnex serve: cannot start a connection thread: %s\n", e.what());
    }
  }

  // Serves what is queued, then joins every thread.
  void shutdown() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

 private:
  void Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      ++idle_;
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      --idle_;
      if (jobs_.empty()) return;
      std::function<void()> job = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      job();
      lock.lock();
    }
  }

  const unsigned maxThreads_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  std::vector<std::thread> threads_;
  unsigned idle_ = 0;
  bool stopping_ = false;
};

}  // namespace

RequestState* CurrentRequest() { return tRequest; }

ServiceServer::ServiceServer(std::chrono::seconds timeout, std::size_t headerBytes, unsigned connections)
    : timeout_(timeout), headerBytes_(headerBytes), connections_(connections) {
  new_task_queue = [this] { return new ConnectionPool(connections_); };
  set_keep_alive_max_count(kRequestsPerConnection);
  set_keep_alive_timeout(std::chrono::duration_cast<std::chrono::seconds>(kIdleTime).count());
  set_socket_options([](socket_t sock) {
    httplib::default_socket_options(sock);
    // A client that connects and sends nothing is not handed to a thread.
    ::setsockopt(sock, IPPROTO_TCP, TCP_DEFER_ACCEPT, &kDeferAcceptSeconds, sizeof(kDeferAcceptSeconds));
  });
}

void ServiceServer::HeadRead() {
  if (tStream != nullptr) tStream->EndHead();
  if (tRequest != nullptr) tRequest->routed = true;
}

bool ServiceServer::IsCrowded() const { return open_.load() * 4 >= std::size_t{connections_} * 3; }

int ServiceServer::Listen(const std::string& host, int port) {
  if (port == 0 ? (port = bind_to_any_port(host)) < 0 : !bind_to_port(host, port)) return -1;
  // httplib listens with a backlog of 5: a burst of connections would
  // overflow it, and the kernel would then hand out connections before
  // their first bytes (SYN cookies).
  ::listen(svr_sock_, SOMAXCONN);
  return port;
}

bool ServiceServer::process_and_close_socket(socket_t sock) {
  ++open_;
  bool ok = true;
  {
    ConnectionStream stream(sock, timeout_, headerBytes_);
    RequestState state;
    tStream = &stream;
    tRequest = &state;
    try {
      for (std::size_t served = 0; served < kRequestsPerConnection; ++served) {
        const auto idle = [this, served]() -> Clock::duration {
          if (!IsCrowded()) return kIdleTime;
          return served == 0 ? Clock::duration(kBusyFirstByte) : Clock::duration(kBusyIdleTime);
        };
        if (!stream.WaitForRequest(idle, [this] { return IsStopping(); })) break;
        stream.BeginRequest(state);
        const bool last = served + 1 == kRequestsPerConnection || IsStopping() || IsCrowded();
        bool closed = false;
        ok = process_request(stream, last, closed, nullptr);
        // A request that never reached the routes may have left unread bytes.
        if (state.close || !state.routed) {
          stream.Linger();
          break;
        }
        if (!ok || closed || last) break;
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "varnex serve: connection dropped: %s\n", e.what());
      ok = false;
    }
    tStream = nullptr;
    tRequest = nullptr;
  }
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
  --open_;
  return ok;
}

}  // namespace VarnexCli
