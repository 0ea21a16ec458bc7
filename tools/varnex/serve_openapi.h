// The OpenAPI 3.0 description of the search service's HTTP API.
#pragma once

#include <string>

namespace VarnexCli {

// The description as JSON, for /api/openapi.json.
const std::string& OpenApiJson();

}  // namespace VarnexCli
