// The search page of the service: a form (structure as SMILES or molfile, k,
// cutoff, measure, highlight) and the hits as the library's hit grid
// (KvGetHitGridHtml: drawings in the query's orientation, captioned with
// rank, id, index, score and SMILES). Plain HTML with inline SVG: no script,
// and every text from a request or a molecule file escaped.
#pragma once

#include <string>
#include <vector>

#include "serve_backend.h"
#include "serve_query.h"
#include "varnex/dboptions.h"
#include "varnex/pictures.h"

namespace VarnexCli {

// Most hits the page draws.
inline constexpr unsigned kMaxPageHits = 100;

// The form's fields as the user gave them, to show them again.
struct PageForm {
  std::string query, k, cutoff, measure, highlight;
};

// The page; with `query` and `hits` the hit grid below the form, drawn with
// `pictures`, with `error` a message instead.
std::string SearchPage(const ServeBackend& backend, const Varnex::KvHitGridOptions& pictures, const PageForm& form,
                       const std::string& error, const PreparedQuery* query,
                       const std::vector<Varnex::KvSimScore>* hits);

// The Content-Security-Policy of the page and the drawings: nothing runs,
// nothing loads from elsewhere.
inline constexpr const char* kPagePolicy =
    "default-src 'none'; style-src 'unsafe-inline'; img-src data:; form-action 'self'; base-uri 'none'; "
    "frame-ancestors 'none'";

}  // namespace VarnexCli
