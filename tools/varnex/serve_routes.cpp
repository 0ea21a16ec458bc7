// The HTTP routes of the search service.

#include "serve_routes.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "serve_json.h"
#include "serve_openapi.h"
#include "serve_page.h"
#include "serve_query.h"
#include "varnex/pictures.h"

namespace VarnexCli {
namespace {

using httplib::Request;
using httplib::Response;

constexpr const char* kJson = "application/json";
constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr Varnex::KvPictureLayout kDrawingLayout{300, 240, 1};

// The route name of a request, for logs and metrics.
const char* EndpointOf(const Request& req) {
  const std::string& path = req.path;
  if (path == "/api/search") return req.method == "POST" ? "search_batch" : "search";
  if (path.rfind("/api/molecules/", 0) == 0)
    return path.size() > 4 && path.compare(path.size() - 4, 4, ".svg") == 0 ? "molecule_svg" : "molecule";
  if (path == "/api/info") return "info";
  if (path == "/api/health") return "health";
  if (path == "/metrics") return "metrics";
  if (path == "/api/openapi.json") return "openapi";
  if (path == "/") return "page";
  return "other";
}

void SendError(Response& res, const HttpError& error) {
  res.status = error.status;
  res.set_content(ErrorJson(error), kJson);
  if (error.status == 429 || error.status == 503) res.set_header("Retry-After", "1");
}

// Ends the connection after this answer: the rest of the request is unread.
void CloseAfter(Response& res) {
  if (RequestState* state = CurrentRequest()) state->close = true;
  res.set_header("Connection", "close");
}

// Whether `header` is "Bearer <token>", compared in a time that does not
// depend on where they differ.
bool TokenMatches(const std::string& header, const std::string& token) {
  const std::string expected = "Bearer " + token;
  volatile unsigned char difference = header.size() != expected.size();
  for (std::size_t i = 0; i < expected.size(); ++i)
    difference = difference | static_cast<unsigned char>((i < header.size() ? header[i] : 0) ^ expected[i]);
  return difference == 0;
}

// A path as the log shows it: bytes outside printable ASCII, blanks and
// backslashes as \xNN, so that no path forges a log line.
std::string LogText(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c > ' ' && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\x%02X", c);
      out += escaped;
    }
  }
  return out;
}

std::string UtcNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[40];
  const std::size_t length = std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%S", &utc);
  std::snprintf(text + length, sizeof(text) - length, ".%03lldZ", static_cast<long long>(millis));
  return text;
}

// q and the search options from a query string or a form.
bool ReadParameters(const httplib::Params& params, SearchInput& input, HttpError& error) {
  const auto& names = SearchOptionNames();
  for (const auto& [name, value] : params) {
    if (params.count(name) > 1) {
      error = {400, "parameter " + name + " is given twice", ""};
      return false;
    }
    if (name == "q")
      input.queries.push_back(value);
    else if (std::find(names.begin(), names.end(), name) != names.end())
      input.options.emplace_back(name, value);
    else {
      error = {400, "unknown parameter " + name + " (q, k, cutoff, measure, alpha, beta)", ""};
      return false;
    }
  }
  if (input.queries.empty()) {
    error = {400, "parameter q (the query structure) is missing", ""};
    return false;
  }
  return true;
}

// The request body, read up to the body limit; false with the error (and the
// connection to be closed) when it is larger or does not arrive in time.
bool ReadBody(const httplib::ContentReader& reader, const ServeLimits& limits, std::string& body, HttpError& error) {
  bool tooLarge = false;
  const bool read = reader([&](const char* data, std::size_t length) {
    tooLarge = body.size() + length > limits.maxBody;
    if (!tooLarge) body.append(data, length);
    return !tooLarge;
  });
  if (read) return true;
  const RequestState* state = CurrentRequest();
  error = tooLarge ? BodyTooLarge(limits)
          : state != nullptr && state->timedOut ? RequestTooSlow(limits)
                                                : HttpError{400, "the request body cannot be read", ""};
  return false;
}

// Answers a search request: options, queries, then a pass of the gatherer.
bool Search(SearchService& service, const ServeBackend& backend, const std::shared_ptr<const ServeBackend>& held,
            BatchGatherer::Arrival& arrival, const SearchInput& input, bool many, unsigned maxHits,
            std::vector<PreparedQuery>& queries, std::vector<std::vector<Varnex::KvSimScore>>& hits,
            HttpError& error) {
  const ServeSettings& settings = service.Settings();
  Varnex::KvFPDatabaseOptions options;
  if (!ReadSearchOptions(input, settings.limits, settings.threads, options, error)) return false;
  if (options.GetLimit() > maxHits) {
    error = {400, "the page shows at most " + std::to_string(maxHits) + " hits; ask /api/search for more", ""};
    return false;
  }
  if (!PrepareQueries(input.queries, many, backend.GetFPType(), settings.limits, queries, error)) return false;
  std::vector<Varnex::KvFingerPrint> fps;
  fps.reserve(queries.size());
  for (PreparedQuery& query : queries) fps.push_back(std::move(query.fp));
  const auto deadline = std::chrono::steady_clock::now() + settings.limits.timeout;
  switch (service.Gatherer().Search(arrival, held, fps, options, deadline, hits)) {
    case BatchGatherer::Outcome::Answered:
      return true;
    case BatchGatherer::Outcome::Busy:
      error = EngineBusy(settings.limits);
      return false;
    case BatchGatherer::Outcome::TimedOut:
      error = SearchNotStarted(settings.limits);
      return false;
    case BatchGatherer::Outcome::Failed:
      break;
  }
  error = {500, "the search failed", ""};
  return false;
}

void AnswerSearch(SearchService& service, const SearchInput& input, bool many, BatchGatherer::Arrival& arrival,
                  Response& res) {
  const auto backend = service.Backend();
  std::vector<PreparedQuery> queries;
  std::vector<std::vector<Varnex::KvSimScore>> hits;
  HttpError error;
  if (!Search(service, *backend, backend, arrival, input, many, service.Settings().limits.maxK, queries, hits, error))
    return SendError(res, error);
  res.set_content(many ? ResultsJson(*backend, queries, hits) : SearchJson(*backend, queries[0], hits[0]), kJson);
}

void AnswerPage(SearchService& service, const httplib::Params& params, Response& res) {
  const auto backend = service.Backend();
  const auto field = [&](const char* name) {
    const auto it = params.find(name);
    return it == params.end() ? std::string() : it->second;
  };
  const PageForm form{field("q"), field("k"), field("cutoff"), field("measure"), field("highlight")};
  Varnex::KvHitGridOptions pictures = service.Settings().pictures;
  res.set_header("Content-Security-Policy", kPagePolicy);
  const auto refuse = [&](const HttpError& error) {
    res.status = error.status;
    res.set_content(SearchPage(*backend, pictures, form, error.message, nullptr, nullptr), kHtml);
  };
  if (form.query.empty()) return res.set_content(SearchPage(*backend, pictures, form, "", nullptr, nullptr), kHtml);
  if (!form.highlight.empty() && !Varnex::KvParseHitHighlight(form.highlight, pictures.highlight))
    return refuse({400, "highlight must be mcs, bits or none", ""});

  BatchGatherer::Arrival arrival(service.Gatherer());
  SearchInput input;
  input.queries.push_back(form.query);
  for (const char* name : {"k", "cutoff", "measure"})
    if (!field(name).empty()) input.options.emplace_back(name, field(name));
  std::vector<PreparedQuery> queries;
  std::vector<std::vector<Varnex::KvSimScore>> hits;
  HttpError error;
  if (!Search(service, *backend, backend, arrival, input, false, kMaxPageHits, queries, hits, error))
    return refuse(error);
  // The common substructures of all hits together take at most the time limit.
  const auto share = service.Settings().limits.timeout / std::max<std::size_t>(hits[0].size(), 1);
  pictures.mcsTimeLimit = std::min(pictures.mcsTimeLimit, std::chrono::duration_cast<std::chrono::milliseconds>(share));
  res.set_content(SearchPage(*backend, pictures, form, "", &queries[0], &hits[0]), kHtml);
}

// The molecule of the index in the path; false after a 404 answer.
bool ReadIndex(const Request& req, const ServeBackend& backend, std::size_t& index, Response& res) {
  const std::string text = req.matches[1];
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), index);
  if (problem == std::errc() && end == text.data() + text.size() && index < backend.NumRecords()) return true;
  SendError(res, {404,
                  "no molecule " + text.substr(0, 24) + ": the collection has " +
                      std::to_string(backend.NumRecords()) + ", numbered from 0",
                  ""});
  return false;
}

// Checks made once the head of a request is read, before any route: the
// token, and which requests may have a body and how large.
httplib::Server::HandlerResponse CheckRequest(const SearchService& service, const Request& req, Response& res) {
  ServiceServer::HeadRead();
  RequestState* state = CurrentRequest();
  if (state != nullptr) state->endpoint = EndpointOf(req);
  const ServeSettings& settings = service.Settings();
  const auto refuse = [&](const HttpError& error) {
    SendError(res, error);
    CloseAfter(res);
    return httplib::Server::HandlerResponse::Handled;
  };
  if (!settings.token.empty() && !TokenMatches(req.get_header_value("Authorization"), settings.token)) {
    res.set_header("WWW-Authenticate", "Bearer realm=\"varnex\"");
    return refuse({401, "this service needs \"Authorization: Bearer <token>\"", ""});
  }
  const bool chunked = req.has_header("Transfer-Encoding");
  const std::uint64_t length = req.get_header_value<std::uint64_t>("Content-Length");
  if (req.method == "POST") {
    const bool api = req.path == "/api/search";
    if (!api && req.path != "/") return refuse({404, "no such resource: POST " + req.path, ""});
    const std::string type = req.get_header_value("Content-Type");
    const std::string wanted = api ? "application/json" : "application/x-www-form-urlencoded";
    if (type.compare(0, wanted.size(), wanted) != 0)
      return refuse({415, "the request body must be " + wanted + ", not \"" + type + "\"", ""});
    if (length > settings.limits.maxBody) return refuse(BodyTooLarge(settings.limits));
  } else if (length > 0 || chunked) {
    return refuse({400, req.method + " " + req.path + " takes no request body", ""});
  }
  return httplib::Server::HandlerResponse::Unhandled;
}

// The answer to a request that failed before a route answered it (httplib
// calls this for every answer with an error status: those of the routes
// already have their text).
httplib::Server::HandlerResponse AnswerFailure(const ServeLimits& limits, const Request& req, Response& res) {
  if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
  const RequestState* state = CurrentRequest();
  HttpError error{res.status, "the request is not valid HTTP", ""};
  if (state != nullptr && state->timedOut)
    error = RequestTooSlow(limits);
  else if (state != nullptr && state->headTooLarge)
    error = HeaderTooLarge(limits);
  else if (res.status == 404)
    error.message = "no such resource: " + req.method + " " + req.path;
  else if (res.status == 414)
    error.message = "the request line is too long";
  if (state == nullptr || !state->routed) CloseAfter(res);
  SendError(res, error);
  return httplib::Server::HandlerResponse::Handled;
}

void Log(ServeMetrics& metrics, const Request& req, const Response& res) {
  const RequestState* state = CurrentRequest();
  const double seconds =
      state == nullptr ? 0.0 : std::chrono::duration<double>(std::chrono::steady_clock::now() - state->start).count();
  const char* endpoint = state == nullptr ? "other" : state->endpoint;
  metrics.RecordRequest(endpoint, res.status, seconds);
  const std::string client = state == nullptr ? req.remote_addr : state->client;
  std::fprintf(stderr, "%s %s %s %s %d %.1f ms\n", UtcNow().c_str(), LogText(client).c_str(),
               LogText(req.method).c_str(), LogText(req.path).c_str(), res.status, seconds * 1e3);
}

}  // namespace

void InstallRoutes(ServiceServer& server, SearchService& service) {
  const ServeLimits& limits = service.Settings().limits;
  server.set_default_headers({{"X-Content-Type-Options", "nosniff"}, {"Cache-Control", "no-store"}});
  server.set_pre_routing_handler([&service](const Request& req, Response& res) { return CheckRequest(service, req, res); });
  server.set_error_handler(httplib::Server::HandlerWithResponse(
      [&limits](const Request& req, Response& res) { return AnswerFailure(limits, req, res); }));
  server.set_exception_handler([](const Request&, Response& res, std::exception_ptr) {
    SendError(res, {500, "internal error", ""});
  });
  server.set_logger([&service](const Request& req, const Response& res) { Log(service.Metrics(), req, res); });

  server.Get("/api/search", [&service](const Request& req, Response& res) {
    BatchGatherer::Arrival arrival(service.Gatherer());
    SearchInput input;
    HttpError error;
    if (!ReadParameters(req.params, input, error)) return SendError(res, error);
    AnswerSearch(service, input, false, arrival, res);
  });
  server.Post("/api/search", [&service](const Request&, Response& res, const httplib::ContentReader& reader) {
    BatchGatherer::Arrival arrival(service.Gatherer());
    std::string body;
    SearchInput input;
    HttpError error;
    if (!ReadBody(reader, service.Settings().limits, body, error)) {
      CloseAfter(res);
      return SendError(res, error);
    }
    if (!ReadSearchJson(body, service.Settings().limits, input, error)) return SendError(res, error);
    AnswerSearch(service, input, true, arrival, res);
  });
  server.Get(R"(/api/molecules/(\d+))", [&service](const Request& req, Response& res) {
    const auto backend = service.Backend();
    std::size_t index = 0;
    if (!ReadIndex(req, *backend, index, res)) return;
    const MoleculeRecord record = backend->GetRecords({index}).front();
    if (!record.known)
      return SendError(res, {404, "molecule " + std::to_string(index) + " cannot be read", ""});
    res.set_content(MoleculeJson(index, record), kJson);
  });
  server.Get(R"(/api/molecules/(\d+)\.svg)", [&service](const Request& req, Response& res) {
    const auto backend = service.Backend();
    std::size_t index = 0;
    KvChem::KvMol mol;
    if (!ReadIndex(req, *backend, index, res)) return;
    if (!backend->GetMolecule(index, mol))
      return SendError(res, {404, "molecule " + std::to_string(index) + " cannot be read", ""});
    res.set_header("Content-Security-Policy", kPagePolicy);
    res.set_content(Varnex::KvGetMoleculePanel(mol, {}, kDrawingLayout, {}).svg, "image/svg+xml");
  });
  server.Get("/api/info", [&service](const Request&, Response& res) {
    res.set_content(InfoJson(*service.Backend()), kJson);
  });
  server.Get("/api/health", [](const Request&, Response& res) { res.set_content("{\"status\": \"ok\"}", kJson); });
  server.Get("/api/openapi.json", [](const Request&, Response& res) { res.set_content(OpenApiJson(), kJson); });
  server.Get("/metrics", [&service, &server](const Request&, Response& res) {
    service.Metrics().SetOpenConnections(server.NumOpenConnections());
    res.set_content(service.Metrics().Text(), "text/plain; version=0.0.4");
  });
  server.Get("/", [&service](const Request& req, Response& res) { AnswerPage(service, req.params, res); });
  server.Post("/", [&service](const Request&, Response& res, const httplib::ContentReader& reader) {
    std::string body;
    HttpError error;
    if (!ReadBody(reader, service.Settings().limits, body, error)) {
      CloseAfter(res);
      return SendError(res, error);
    }
    httplib::Params params;
    httplib::detail::parse_query_text(body, params);
    AnswerPage(service, params, res);
  });
}

}  // namespace VarnexCli
