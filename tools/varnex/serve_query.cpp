// The search requests of the service.

#include "serve_query.h"

#include <algorithm>
#include <cctype>

#include "checks.h"
#include "parameters_common.h"
#include "serve_messages.h"
#include "varnex/config.h"
#include "varnex/generation.h"
#include "varnex/measures.h"

namespace VarnexCli {
namespace {

constexpr unsigned kDefaultHits = 10;

// Service names of the command line's parameters.
const std::pair<const char*, const char*> kOptionNames[] = {
    {"-limit", "k"}, {"-cutoff", "cutoff"}, {"-simfunc", "measure"}, {"-alpha", "alpha"}, {"-beta", "beta"}};

bool SameLetters(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// The legal value of `p` that `text` spells in any case, else `text`.
std::string LegalSpelling(const KvSystem::KvParameter& p, const std::string& text) {
  for (const std::string& legal : p.GetLegalValues())
    if (SameLetters(legal, text)) return legal;
  return text;
}

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

}  // namespace

const std::vector<std::string>& SearchOptionNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> all;
    for (const auto& [cli, service] : kOptionNames) all.emplace_back(service);
    return all;
  }();
  return names;
}

bool ReadSearchOptions(const SearchInput& input, const ServeLimits& limits, unsigned threads,
                       Varnex::KvFPDatabaseOptions& options, HttpError& error) {
  // The command line's own parameters, under the service's names.
  KvSystem::KvInterface itf("search");
  Varnex::KvFPDatabaseOptions defaults;
  defaults.SetLimit(kDefaultHits);
  Varnex::KvConfigureFPDatabaseOptions(itf, defaults);
  AddTverskyWeights(itf);
  for (const auto& [cli, service] : kOptionNames) itf.GetParameter(cli)->SetName(service);

  for (const auto& [name, text] : input.options) {
    const auto& names = SearchOptionNames();
    KvSystem::KvParameter* p =
        std::find(names.begin(), names.end(), name) == names.end() ? nullptr : itf.GetParameter(name);
    std::string problem;
    if (p == nullptr) {
      problem = "unknown option " + name + " (k, cutoff, measure, alpha, beta)";
    } else if (p->SetValue(name == "measure" ? LegalSpelling(*p, text) : text, &problem)) {
      p->Validate(problem);
    }
    if (!problem.empty()) {
      error = {400, problem, ""};
      return false;
    }
  }

  const int k = itf.Get<int>("k");
  if (k < 1) {
    error = {400, "k must be at least 1", ""};
    return false;
  }
  if (static_cast<unsigned>(k) > limits.maxK) {
    error = TooManyHits(k, limits);
    return false;
  }
  // A legal value of the parameter, so a measure of the table.
  const Varnex::KvSimMeasureInfo& measure = *Varnex::KvFindSimMeasure(itf.Get<std::string>("measure"));
  const unsigned code = measure.code;
  options = Varnex::KvFPDatabaseOptions();
  options.SetLimit(static_cast<unsigned>(k));
  options.SetSimFunc(code);
  options.SetDescendingOrder(measure.higherIsBetter);
  options.SetTverskyCoeffs(itf.Get<float>("alpha"), itf.Get<float>("beta"));
  options.SetNumProcessors(threads);
  if (itf.HasValue<float>("cutoff")) {
    const float cutoff = itf.Get<float>("cutoff");
    const std::string problem = CutoffProblem("cutoff", cutoff, code);
    if (!problem.empty()) {
      error = {400, problem, ""};
      return false;
    }
    options.SetInclusiveCutoff(cutoff);  // the library's one cutoff rule
  }
  return true;
}

bool PrepareQueries(const std::vector<std::string>& texts, bool many, const Varnex::KvFPTypeBase* type,
                    const ServeLimits& limits, std::vector<PreparedQuery>& queries, HttpError& error) {
  queries.clear();
  queries.resize(texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::string what = many ? "queries[" + std::to_string(i) + "]" : "q";
    const std::string& text = texts[i];
    if (text.size() > limits.maxQuery) {
      error = QueryTooLong(what, text.size(), limits);
      return false;
    }
    if (IsBlank(text)) {
      error = {400, what + ": the query is empty", ""};
      return false;
    }
    PreparedQuery& query = queries[i];
    const std::string trimmed = text.substr(0, text.find_last_not_of(" \t\r\n") + 1);
    MessageCapture capture;
    const bool molfile = trimmed.find('\n') != std::string::npos;
    if (!(molfile ? KvChem::KvMolBlockToMol(trimmed, query.mol) : KvChem::KvSmilesToMol(trimmed, query.mol)) ||
        !query.mol.IsValid()) {
      error = {400, what + ": " + capture.Take("cannot read the query"), ""};
      return false;
    }
    if (!Varnex::KvMakeFP(query.fp, query.mol, type)) {
      error = {400, what + ": " + capture.Take("cannot make the query's fingerprint"), ""};
      return false;
    }
    query.smiles = KvChem::KvMolToSmiles(query.mol);
  }
  return true;
}

}  // namespace VarnexCli
