// The HTTP routes of the search service:
//   GET  /api/search?q=&k=&cutoff=&measure=&alpha=&beta=   one query
//   POST /api/search   {"queries": [...], "k", ...}         many, answered in order
//   GET  /api/molecules/{index}, /api/molecules/{index}.svg
//   GET  /api/info, /api/health, /metrics, /api/openapi.json
//   GET  /, POST / (its form)                               the search page
// Every error is JSON ({"error", "status", "limit"}) but on the page. With a
// token every request needs "Authorization: Bearer <token>". Paths only
// select routes; none reaches the file system. One log line per request on
// stderr: time, client, method, path, status, milliseconds.
#pragma once

#include "serve_connections.h"
#include "serve_service.h"

namespace VarnexCli {

// Installs the routes, checks and log of `service` on `server`; both outlive
// the server's run.
void InstallRoutes(ServiceServer& server, SearchService& service);

}  // namespace VarnexCli
