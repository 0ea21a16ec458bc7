// The OpenAPI 3.0 description of the search service's HTTP API.

#include "serve_openapi.h"

#include "varnex/info.h"
#include "varnex/measures.h"

namespace VarnexCli {
namespace {

constexpr const char* kPaths = R"({
"/api/search": {
 "get": {"summary": "The nearest neighbours of one structure",
  "parameters": [
   {"name": "q", "in": "query", "required": true, "description": "SMILES (with an optional title after a blank) or a molfile block", "schema": {"type": "string"}},
   {"name": "k", "in": "query", "description": "Hits to return, 1 to the service's -maxk", "schema": {"type": "integer", "default": 10, "minimum": 1}},
   {"name": "cutoff", "in": "query", "description": "Only scores at or better than this, 0 to 1", "schema": {"type": "number", "minimum": 0, "maximum": 1}},
   {"name": "measure", "in": "query", "schema": {"$ref": "#/components/schemas/Measure"}},
   {"name": "alpha", "in": "query", "description": "Tversky weight of the query's own bits", "schema": {"type": "number", "default": 0.95, "minimum": 0, "maximum": 1}},
   {"name": "beta", "in": "query", "description": "Tversky weight of the hit's own bits", "schema": {"type": "number", "default": 0.05, "minimum": 0, "maximum": 1}}],
  "responses": {"200": {"description": "The hits, best first", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Answer"}}}},
   "400": {"$ref": "#/components/responses/Error"}, "401": {"$ref": "#/components/responses/Error"},
   "429": {"$ref": "#/components/responses/Error"}, "503": {"$ref": "#/components/responses/Error"}}},
 "post": {"summary": "The nearest neighbours of many structures, answered together",
  "requestBody": {"required": true, "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Batch"}}}},
  "responses": {"200": {"description": "One answer per query, in query order", "content": {"application/json": {"schema": {"type": "object", "properties": {"results": {"type": "array", "items": {"$ref": "#/components/schemas/Answer"}}}}}}},
   "400": {"$ref": "#/components/responses/Error"}, "401": {"$ref": "#/components/responses/Error"},
   "413": {"$ref": "#/components/responses/Error"}, "415": {"$ref": "#/components/responses/Error"},
   "429": {"$ref": "#/components/responses/Error"}, "503": {"$ref": "#/components/responses/Error"}}}},
"/api/molecules/{index}": {
 "get": {"summary": "Id and SMILES of a molecule", "parameters": [{"$ref": "#/components/parameters/Index"}],
  "responses": {"200": {"description": "The molecule", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Molecule"}}}},
   "404": {"$ref": "#/components/responses/Error"}}}},
"/api/molecules/{index}.svg": {
 "get": {"summary": "A drawing of a molecule", "parameters": [{"$ref": "#/components/parameters/Index"}],
  "responses": {"200": {"description": "The drawing", "content": {"image/svg+xml": {}}}, "404": {"$ref": "#/components/responses/Error"}}}},
"/api/info": {
 "get": {"summary": "The collection served",
  "responses": {"200": {"description": "Name, fingerprint type, records, shards and the program's version", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Info"}}}}}}},
"/api/health": {"get": {"summary": "Whether the service answers", "responses": {"200": {"description": "{\"status\": \"ok\"}"}}}},
"/api/openapi.json": {"get": {"summary": "This description", "responses": {"200": {"description": "OpenAPI 3.0", "content": {"application/json": {}}}}}},
"/metrics": {"get": {"summary": "Counters in the Prometheus text format", "responses": {"200": {"description": "The counters", "content": {"text/plain": {}}}}}},
"/": {"get": {"summary": "The search page", "responses": {"200": {"description": "HTML", "content": {"text/html": {}}}}},
      "post": {"summary": "The search page with the hits of its form", "requestBody": {"content": {"application/x-www-form-urlencoded": {"schema": {"type": "object", "properties": {"q": {"type": "string"}, "k": {"type": "string"}, "cutoff": {"type": "string"}, "measure": {"type": "string"}, "highlight": {"type": "string", "enum": ["mcs", "bits", "none"]}}}}}}, "responses": {"200": {"description": "HTML", "content": {"text/html": {}}}}}}
})";

// The measure names go between these two parts.
constexpr const char* kComponentsHead = R"({
"schemas": {
 "Measure": {"type": "string", "enum": [)";

constexpr const char* kComponentsTail = R"(], "default": "tanimoto", "description": "Any case; manhattan distances come smallest first, other scores best first"},
 "Batch": {"type": "object", "required": ["queries"], "additionalProperties": false, "properties": {
  "queries": {"type": "array", "minItems": 1, "items": {"type": "string"}, "description": "SMILES or molfile blocks, at most the service's -maxqueries"},
  "k": {"type": "integer", "default": 10, "minimum": 1}, "cutoff": {"type": "number", "nullable": true},
  "measure": {"$ref": "#/components/schemas/Measure"}, "alpha": {"type": "number"}, "beta": {"type": "number"}}},
 "Hit": {"type": "object", "properties": {"rank": {"type": "integer"}, "index": {"type": "integer"}, "id": {"type": "string"}, "score": {"type": "number"}, "smiles": {"type": "string", "nullable": true}}},
 "Answer": {"type": "object", "properties": {"query": {"type": "string", "description": "The query's canonical SMILES"}, "type": {"type": "string", "description": "The fingerprint type string"}, "hits": {"type": "array", "items": {"$ref": "#/components/schemas/Hit"}}}},
 "Molecule": {"type": "object", "properties": {"index": {"type": "integer"}, "id": {"type": "string"}, "smiles": {"type": "string"}}},
 "Info": {"type": "object", "properties": {"name": {"type": "string"}, "type": {"type": "string"}, "records": {"type": "integer"}, "shards": {"type": "integer"}, "version": {"type": "string"}}},
 "Error": {"type": "object", "properties": {"error": {"type": "string"}, "status": {"type": "integer"}, "limit": {"type": "string", "description": "The service parameter of the limit the request broke"}}}},
"parameters": {"Index": {"name": "index", "in": "path", "required": true, "schema": {"type": "integer", "minimum": 0}}},
"responses": {"Error": {"description": "What was wrong", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Error"}}}}},
"securitySchemes": {"token": {"type": "http", "scheme": "bearer", "description": "Needed when the service runs with -token"}}
})";

std::string MeasureNames() {
  std::string names;
  for (const Varnex::KvSimMeasureInfo& measure : Varnex::KvSimMeasures)
    names += (names.empty() ? "\"" : ", \"") + std::string(measure.key) + "\"";
  return names;
}

}  // namespace

const std::string& OpenApiJson() {
  static const std::string text = std::string("{\"openapi\": \"3.0.3\", \"info\": {\"title\": \"varnex search\", "
                                              "\"version\": \"") +
                                  Varnex::VarnexGetRelease() + "\"}, \"paths\": " + kPaths +
                                  ", \"components\": " + kComponentsHead + MeasureNames() + kComponentsTail + "}";
  return text;
}

}  // namespace VarnexCli
