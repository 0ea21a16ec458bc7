// The limits the search service puts on requests, and the answer to a request
// that breaks one.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "kvsystem/parameters.h"

namespace VarnexCli {

struct ServeLimits {
  std::size_t maxBody = 1 << 20;       // bytes of a request body, after decompression (-maxbody)
  std::size_t maxHeader = 16384;       // bytes of the request line and headers (-maxheader)
  std::size_t maxQuery = 20000;        // bytes of one query text, SMILES or molfile (-maxquery)
  unsigned maxK = 1000;                // hits per query (-maxk)
  unsigned maxQueries = 1000;          // queries per request (-maxqueries)
  std::size_t maxPending = 10000;      // queries waiting for the engine (-maxpending)
  unsigned connections = 256;          // connections served at once (-connections)
  std::chrono::seconds timeout{30};    // to receive a request, and for its search to start (-timeout)
};

// Declares the parameters of the limits, with the defaults above.
void AddServeLimitParameters(KvSystem::KvInterface& itf);
// The limits given by those parameters.
ServeLimits ReadServeLimits(const KvSystem::KvInterface& itf);

// A request the service does not answer: the HTTP status, a message, and the
// parameter of the limit it broke ("" when none).
struct HttpError {
  int status = 400;
  std::string message;
  std::string limit;
};

// The answers to requests above a limit, each naming its parameter.
HttpError BodyTooLarge(const ServeLimits& limits);                                            // 413
HttpError HeaderTooLarge(const ServeLimits& limits);                                          // 431
HttpError RequestTooSlow(const ServeLimits& limits);                                          // 408
HttpError QueryTooLong(const std::string& what, std::size_t bytes, const ServeLimits& limits);  // 400
HttpError TooManyQueries(std::size_t queries, const ServeLimits& limits);                     // 400
HttpError TooManyHits(long long k, const ServeLimits& limits);                                // 400
HttpError EngineBusy(const ServeLimits& limits);                                              // 429
HttpError SearchNotStarted(const ServeLimits& limits);                                        // 503

}  // namespace VarnexCli
