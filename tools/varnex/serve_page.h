// The search page of the service: a form (structure as SMILES or molfile, k,
// cutoff, measure) and the hits as a picture grid with a table of ids,
// indices, scores and SMILES. Plain HTML with inline SVG: no script, and
// every text from a request or a molecule file escaped.
#pragma once

#include <string>
#include <vector>

#include "serve_backend.h"
#include "serve_query.h"
#include "varnex/dboptions.h"

namespace VarnexCli {

// Most hits the page draws.
inline constexpr unsigned kMaxPageHits = 100;

// The form's fields as the user gave them, to show them again.
struct PageForm {
  std::string query, k, cutoff, measure;
};

// The page; with `query` and `hits` the results below the form, with
// `error` a message instead.
std::string SearchPage(const ServeBackend& backend, const PageForm& form, const std::string& error,
                       const PreparedQuery* query, const std::vector<Varnex::KvSimScore>* hits);

// The Content-Security-Policy of the page and the drawings: nothing runs,
// nothing loads from elsewhere.
inline constexpr const char* kPagePolicy =
    "default-src 'none'; style-src 'unsafe-inline'; img-src data:; form-action 'self'; base-uri 'none'; "
    "frame-ancestors 'none'";

}  // namespace VarnexCli
