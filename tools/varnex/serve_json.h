// The JSON texts of the search service, written and read with RapidJSON.
// Texts from molecule files (ids, SMILES) may hold any bytes: what is not
// UTF-8 is written as U+FFFD, so every answer is valid JSON.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "serve_backend.h"
#include "serve_limits.h"
#include "serve_query.h"
#include "varnex/dboptions.h"

namespace VarnexCli {

// {"error": message, "status": status[, "limit": parameter]}
std::string ErrorJson(const HttpError& error);

// {"query": SMILES, "type": type string, "hits": [{"rank", "index", "id",
// "score", "smiles"}, ...]} for one query; a hit whose molecule cannot be
// read has null for its SMILES.
std::string SearchJson(const ServeBackend& backend, const PreparedQuery& query,
                       const std::vector<Varnex::KvSimScore>& hits);
// {"results": [one SearchJson object per query, in order]}
std::string ResultsJson(const ServeBackend& backend, const std::vector<PreparedQuery>& queries,
                        const std::vector<std::vector<Varnex::KvSimScore>>& hits);
// {"index", "id", "smiles"}
std::string MoleculeJson(std::size_t index, const MoleculeRecord& record);
// {"name", "type", "records", "shards", "version"}
std::string InfoJson(const ServeBackend& backend);

// Reads the body of a batch search: an object with "queries" (an array of 1
// to limits.maxQueries strings) and optionally "k" (an integer), "cutoff" (a
// number or null), "measure" (a string), "alpha" and "beta" (numbers); any
// other member, or one given twice, is an error. False with a 400 error
// holding the parser's message for malformed JSON.
bool ReadSearchJson(const std::string& body, const ServeLimits& limits, SearchInput& input, HttpError& error);

}  // namespace VarnexCli
