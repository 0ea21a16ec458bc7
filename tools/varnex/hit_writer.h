// The hits of searches as TSV lines or one JSON array on stdout.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "output.h"
#include "run_context.h"
#include "varnex/dboptions.h"

namespace VarnexCli {

// Writes the hits of each query as TSV lines or one JSON array.
// `names` gives the names of a query's hits, all at once (a catalog answers
// them in a few lookups).
class HitWriter {
 public:
  using Names = std::function<std::vector<std::string>(const std::vector<Varnex::KvSimScore>&)>;
  HitWriter(bool json, Names names) : json_(json), names_(std::move(names)) {
    std::fputs(json_ ? "[" : "query\tquery_name\trank\tindex\tname\tscore\n", stdout);
  }
  ~HitWriter() {
    if (json_) std::fputs("\n]\n", stdout);
  }
  void Write(unsigned query, const std::string& queryName, const std::vector<Varnex::KvSimScore>& hits) {
    if (Interrupted()) return;  // the hits of a cancelled search are incomplete
    const std::vector<std::string> names = names_(hits);
    if (json_) {
      std::printf("%s\n{\"query\": %u, \"query_name\": %s, \"hits\": [", first_ ? "" : ",", query,
                  JsonString(queryName).c_str());
      for (std::size_t r = 0; r < hits.size(); ++r)
        std::printf("%s\n  {\"rank\": %zu, \"index\": %zu, \"name\": %s, \"score\": %s}", r == 0 ? "" : ",", r + 1,
                    hits[r].GetIdx(), JsonString(names[r]).c_str(),
                    FormatScore(hits[r].GetScore()).c_str());
      std::fputs("]}", stdout);
    } else {
      for (std::size_t r = 0; r < hits.size(); ++r)
        std::printf("%u\t%s\t%zu\t%zu\t%s\t%s\n", query, TsvField(queryName).c_str(), r + 1, hits[r].GetIdx(),
                    TsvField(names[r]).c_str(), FormatScore(hits[r].GetScore()).c_str());
    }
    first_ = false;
  }

 private:
  bool json_;
  Names names_;
  bool first_ = true;
};

}  // namespace VarnexCli
