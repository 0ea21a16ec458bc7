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
// `name` gives the name of a hit's molecule index.
class HitWriter {
 public:
  HitWriter(bool json, std::function<std::string(std::size_t)> name) : json_(json), name_(std::move(name)) {
    std::fputs(json_ ? "[" : "query\tquery_name\trank\tindex\tname\tscore\n", stdout);
  }
  ~HitWriter() {
    if (json_) std::fputs("\n]\n", stdout);
  }
  void Write(unsigned query, const std::string& queryName, const std::vector<Varnex::KvSimScore>& hits) {
    if (Interrupted()) return;  // the hits of a cancelled search are incomplete
    if (json_) {
      std::printf("%s\n{\"query\": %u, \"query_name\": %s, \"hits\": [", first_ ? "" : ",", query,
                  JsonString(queryName).c_str());
      for (std::size_t r = 0; r < hits.size(); ++r)
        std::printf("%s\n  {\"rank\": %zu, \"index\": %zu, \"name\": %s, \"score\": %s}", r == 0 ? "" : ",", r + 1,
                    hits[r].GetIdx(), JsonString(name_(hits[r].GetIdx())).c_str(),
                    FormatScore(hits[r].GetScore()).c_str());
      std::fputs("]}", stdout);
    } else {
      for (std::size_t r = 0; r < hits.size(); ++r)
        std::printf("%u\t%s\t%zu\t%zu\t%s\t%s\n", query, TsvField(queryName).c_str(), r + 1, hits[r].GetIdx(),
                    TsvField(name_(hits[r].GetIdx())).c_str(), FormatScore(hits[r].GetScore()).c_str());
    }
    first_ = false;
  }

 private:
  bool json_;
  std::function<std::string(std::size_t)> name_;
  bool first_ = true;
};

}  // namespace VarnexCli
