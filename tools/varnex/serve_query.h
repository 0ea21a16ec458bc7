// The search requests of the service: their options, checked as the command
// line checks its own, and their queries, read into fingerprints.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "kvchem/mol.h"
#include "serve_limits.h"
#include "varnex/dboptions.h"
#include "varnex/fingerprint.h"
#include "varnex/fptypes.h"

namespace VarnexCli {

// The option names of a search request: k, cutoff, measure, alpha, beta.
const std::vector<std::string>& SearchOptionNames();

// A search request as given: query texts (SMILES or molfile blocks) and
// options by name, as texts.
struct SearchInput {
  std::vector<std::string> queries;
  std::vector<std::pair<std::string, std::string>> options;
};

// The options of `input` on `threads` engine threads: k (default 10, 1 to
// limits.maxK), cutoff (none by default; within the measure's score range),
// measure (tanimoto, cosine, dice, euclid, tversky, manhattan, in any case;
// manhattan distances smallest first, the others best first), alpha and beta
// (Tversky weights, 0 to 1; defaults 0.95 and 0.05). The ranges and messages
// are those of the command line's -limit, -cutoff, -simfunc, -alpha and
// -beta, named as here. False with a 400 error.
bool ReadSearchOptions(const SearchInput& input, const ServeLimits& limits, unsigned threads,
                       Varnex::KvFPDatabaseOptions& options, HttpError& error);

// One query read: its molecule, canonical SMILES and fingerprint.
struct PreparedQuery {
  KvChem::KvMol mol;
  std::string smiles;
  Varnex::KvFingerPrint fp;
};

// Reads each text (a molfile block when it has more than one line, else a
// SMILES and optional title) and makes its fingerprint of `type`. False with
// a 400 error naming the query ("q" or "queries[i]") and holding the
// library's message.
bool PrepareQueries(const std::vector<std::string>& texts, bool many, const Varnex::KvFPTypeBase* type,
                    const ServeLimits& limits, std::vector<PreparedQuery>& queries, HttpError& error);

}  // namespace VarnexCli
