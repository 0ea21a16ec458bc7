// varnex serve: the similarity search of one collection as an HTTP service.

#include <signal.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "collection_cli.h"
#include "command.h"
#include "database.h"
#include "parameters_common.h"
#include "picture_options.h"
#include "serve_backend.h"
#include "serve_connections.h"
#include "serve_routes.h"
#include "serve_service.h"

namespace VarnexCli {
namespace {

// A collection that changed but cannot be opened (its files replaced one
// after the other, or broken) is tried again after 1 s, then 2, 4, ... 64 s.
constexpr auto kFirstRetry = std::chrono::seconds(1);
constexpr auto kLastRetry = std::chrono::seconds(64);

void AddNumber(KvSystem::KvInterface& itf, const char* name, const char* brief, const char* low, const char* high,
               int value) {
  KvSystem::KvParameter* p = itf.AddParameter("int");
  p->SetName(name);
  p->SetBrief(brief);
  p->SetLegalRange(low, high);
  p->SetDefault(value);
}

// The token in `path`: one line of printable characters. False after a
// message on stderr.
bool ReadToken(const std::string& path, std::string& token) {
  std::ifstream in(path, std::ios::binary);
  token.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in.is_open() || in.bad()) {
    std::fprintf(stderr, "varnex serve: cannot read the token file %s\n", path.c_str());
    return false;
  }
  while (!token.empty() && (token.back() == '\n' || token.back() == '\r')) token.pop_back();
  for (unsigned char c : token) {
    if (c <= ' ' || c >= 0x7F) {
      std::fprintf(stderr, "varnex serve: the token in %s must be one line of printable characters without blanks\n",
                   path.c_str());
      return false;
    }
  }
  if (token.empty()) {
    std::fprintf(stderr, "varnex serve: the token file %s is empty\n", path.c_str());
    return false;
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && (info.st_mode & 077) != 0)
    std::fprintf(stderr, "varnex serve: warning: the token file %s can be read by other users (chmod 600 it)\n",
                 path.c_str());
  return true;
}

// Signals end the service (SIGTERM, SIGINT) or reopen the collection
// (SIGHUP). They are blocked in every thread and taken by the main thread.
sigset_t ServiceSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&signals, s);
  return signals;
}

void Reopen(KvSystem::KvInterface& itf, SearchService& service, const char* why) {
  std::unique_ptr<ServeBackend> backend = OpenServeBackend(itf);
  service.Metrics().RecordReload(backend != nullptr);
  if (backend == nullptr) {
    std::fprintf(stderr, "varnex serve: %s: cannot reopen %s; still serving the collection opened before\n", why,
                 itf.Get<std::string>("-db").c_str());
    return;
  }
  std::fprintf(stderr, "varnex serve: %s: reopened %s, %zu records\n", why, backend->GetName().c_str(),
               backend->NumRecords());
  service.Replace(std::move(backend));
}

}  // namespace

void ConfigureServe(KvSystem::KvInterface& itf) {
  AddDatabaseParameters(itf);
  AddText(itf, "-host", "", "Address to listen on; a non-loopback address serves the network")->SetDefault("127.0.0.1");
  AddNumber(itf, "-port", "Port to listen on; 0: any free port (printed)", "0", "65535", 8080);
  AddNumber(itf, "-threads", "Search engine threads per pass; 0: every processor", "0", "1024", 0);
  AddNumber(itf, "-batch", "Most queries answered in one pass of the engine; 1: every request on its own", "1",
            "65536", 256);
  AddText(itf, "-token", "", "File holding a token every request must send as \"Authorization: Bearer <token>\"",
          false);
  AddServeLimitParameters(itf);
  AddHitPictureOptions(itf);
}

int RunServe(KvSystem::KvInterface& itf) {
  // Before any thread starts, so that every thread inherits the mask.
  const sigset_t signals = ServiceSignals();
  for (int s : {SIGTERM, SIGINT, SIGHUP}) ::signal(s, SIG_DFL);
  ::signal(SIGPIPE, SIG_IGN);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  ServeSettings settings;
  settings.limits = ReadServeLimits(itf);
  settings.threads = static_cast<unsigned>(itf.Get<int>("-threads"));
  settings.batch = static_cast<unsigned>(itf.Get<int>("-batch"));
  if (!ReadHitPictureOptions(itf, "serve", settings.pictures)) return kExitUsage;
  const KvSystem::KvParameter* token = itf.GetParameter("-token");
  if (token->HasValue() && !ReadToken(token->GetText(), settings.token)) return kExitFailure;
  if (NamesCollection(itf) && !RefuseMolsOfCollection(itf, "serve")) return kExitUsage;
  std::unique_ptr<ServeBackend> backend = OpenServeBackend(itf);
  if (backend == nullptr) return kExitFailure;
  const std::string summary = std::to_string(backend->NumRecords()) + " records of " +
                              backend->GetFPType()->GetFPTypeString();

  SearchService service(settings, std::move(backend));
  ServiceServer server(settings.limits.timeout, settings.limits.maxHeader, settings.limits.connections);
  InstallRoutes(server, service);
  const std::string host = itf.Get<std::string>("-host");
  const int port = server.Listen(host, itf.Get<int>("-port"));
  if (port < 0) {
    std::fprintf(stderr, "varnex serve: cannot listen on %s port %d\n", host.c_str(), itf.Get<int>("-port"));
    return kExitFailure;
  }
  if (settings.token.empty() && host != "127.0.0.1" && host != "::1" && host != "localhost")
    std::fprintf(stderr, "varnex serve: warning: %s is reachable from other machines and no -token is set\n",
                 host.c_str());
  const bool ipv6 = host.find(':') != std::string::npos;
  std::printf("varnex serve: listening on http://%s%s%s:%d/ (%s)\n", ipv6 ? "[" : "", host.c_str(), ipv6 ? "]" : "",
              port, summary.c_str());
  std::fflush(stdout);
  std::thread listener([&server] { server.listen_after_bind(); });

  // The main thread waits for signals and looks for a new collection.
  auto nextCheck = std::chrono::steady_clock::now();
  std::chrono::seconds retry = kFirstRetry;
  for (;;) {
    const timespec second{1, 0};
    const int signal = sigtimedwait(&signals, nullptr, &second);
    if (signal == SIGTERM || signal == SIGINT) break;
    const auto now = std::chrono::steady_clock::now();
    if (signal != SIGHUP && (now < nextCheck || !service.Backend()->IsStale())) continue;
    Reopen(itf, service, signal == SIGHUP ? "SIGHUP" : "the collection changed");
    const bool failed = service.Backend()->IsStale();
    nextCheck = failed ? now + retry : now;
    retry = failed ? std::min(2 * retry, kLastRetry) : kFirstRetry;
  }
  std::fprintf(stderr, "varnex serve: stopping after the requests in progress\n");
  server.stop();
  listener.join();
  std::fprintf(stderr, "varnex serve: stopped\n");
  return kExitOk;
}

}  // namespace VarnexCli
