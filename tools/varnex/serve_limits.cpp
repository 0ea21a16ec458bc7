// The limits the search service puts on requests.

#include "serve_limits.h"

namespace VarnexCli {
namespace {

void AddLimit(KvSystem::KvInterface& itf, const char* name, const char* brief, const char* low, const char* high,
              long long value) {
  KvSystem::KvParameter* p = itf.AddParameter("int");
  p->SetName(name);
  p->SetBrief(brief);
  p->SetLegalRange(low, high);
  p->SetDefault(static_cast<int>(value));
}

HttpError Broken(int status, std::string message, const char* limit) {
  return {status, std::move(message) + " (-" + limit + ")", limit};
}

}  // namespace

void AddServeLimitParameters(KvSystem::KvInterface& itf) {
  const ServeLimits d;
  AddLimit(itf, "-maxbody", "Largest request body in bytes, after decompression", "1024", "1073741824",
           static_cast<long long>(d.maxBody));
  AddLimit(itf, "-maxheader", "Largest request line and headers in bytes", "1024", "1048576",
           static_cast<long long>(d.maxHeader));
  AddLimit(itf, "-maxquery", "Longest query text (SMILES or molfile) in bytes", "16", "10000000",
           static_cast<long long>(d.maxQuery));
  AddLimit(itf, "-maxk", "Most hits per query", "1", "100000", d.maxK);
  AddLimit(itf, "-maxqueries", "Most queries per request", "1", "100000", d.maxQueries);
  AddLimit(itf, "-maxpending", "Most queries waiting for the search engine; more are answered 429", "1", "10000000",
           static_cast<long long>(d.maxPending));
  AddLimit(itf, "-connections", "Most connections served at once; more wait", "4", "100000", d.connections);
  AddLimit(itf, "-timeout", "Seconds to receive a request, and for its search to start", "1", "3600",
           d.timeout.count());
}

ServeLimits ReadServeLimits(const KvSystem::KvInterface& itf) {
  ServeLimits limits;
  limits.maxBody = static_cast<std::size_t>(itf.Get<int>("-maxbody"));
  limits.maxHeader = static_cast<std::size_t>(itf.Get<int>("-maxheader"));
  limits.maxQuery = static_cast<std::size_t>(itf.Get<int>("-maxquery"));
  limits.maxK = static_cast<unsigned>(itf.Get<int>("-maxk"));
  limits.maxQueries = static_cast<unsigned>(itf.Get<int>("-maxqueries"));
  limits.maxPending = static_cast<std::size_t>(itf.Get<int>("-maxpending"));
  limits.connections = static_cast<unsigned>(itf.Get<int>("-connections"));
  limits.timeout = std::chrono::seconds(itf.Get<int>("-timeout"));
  return limits;
}

HttpError BodyTooLarge(const ServeLimits& limits) {
  return Broken(413, "the request body is larger than " + std::to_string(limits.maxBody) + " bytes", "maxbody");
}

HttpError HeaderTooLarge(const ServeLimits& limits) {
  return Broken(431, "the request line and headers are larger than " + std::to_string(limits.maxHeader) + " bytes",
                "maxheader");
}

HttpError RequestTooSlow(const ServeLimits& limits) {
  return Broken(408, "the request did not arrive within " + std::to_string(limits.timeout.count()) + " s", "timeout");
}

HttpError QueryTooLong(const std::string& what, std::size_t bytes, const ServeLimits& limits) {
  return Broken(400,
                what + " is " + std::to_string(bytes) + " bytes long, longer than " + std::to_string(limits.maxQuery) +
                    " bytes",
                "maxquery");
}

HttpError TooManyQueries(std::size_t queries, const ServeLimits& limits) {
  return Broken(400, std::to_string(queries) + " queries are more than " + std::to_string(limits.maxQueries) +
                         " per request",
                "maxqueries");
}

HttpError TooManyHits(long long k, const ServeLimits& limits) {
  return Broken(400, "k " + std::to_string(k) + " is above " + std::to_string(limits.maxK) + " hits per query",
                "maxk");
}

HttpError EngineBusy(const ServeLimits& limits) {
  return Broken(429, "more than " + std::to_string(limits.maxPending) + " queries are waiting; try again shortly",
                "maxpending");
}

HttpError SearchNotStarted(const ServeLimits& limits) {
  return Broken(503, "the search did not start within " + std::to_string(limits.timeout.count()) + " s", "timeout");
}

}  // namespace VarnexCli
