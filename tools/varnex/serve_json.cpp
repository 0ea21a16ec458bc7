// The JSON texts of the search service.

#include "serve_json.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cstdio>

#include "kvsystem/dfjson.h"
#include "serve_messages.h"
#include "varnex/info.h"

namespace VarnexCli {
namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

// `text` with every byte sequence that is not UTF-8 (and every NUL byte)
// replaced by U+FFFD.
std::string ValidUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    rapidjson::StringStream in(text.c_str() + i);  // stops at a NUL byte, at the latest the final one
    rapidjson::StringBuffer one;
    const bool valid = text[i] != '\0' && rapidjson::UTF8<>::Validate(in, one) && i + in.Tell() <= text.size();
    if (valid) {
      out.append(one.GetString(), one.GetSize());
      i += in.Tell();
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out;
}

void String(Writer& w, const std::string& text) {
  const std::string clean = ValidUtf8(text);
  w.String(clean.c_str(), static_cast<rapidjson::SizeType>(clean.size()));
}

void Key(Writer& w, const char* key) { w.Key(key); }

void WriteAnswer(Writer& w, const ServeBackend& backend, const PreparedQuery& query,
                 const std::vector<Varnex::KvSimScore>& hits) {
  w.StartObject();
  Key(w, "query");
  String(w, query.smiles);
  Key(w, "type");
  String(w, backend.GetFPType()->GetFPTypeString());
  Key(w, "hits");
  w.StartArray();
  std::vector<std::size_t> indices;
  for (const Varnex::KvSimScore& hit : hits) indices.push_back(hit.GetIdx());
  const std::vector<MoleculeRecord> records = backend.GetRecords(indices);
  for (std::size_t rank = 0; rank < hits.size(); ++rank) {
    const MoleculeRecord& record = records[rank];
    w.StartObject();
    Key(w, "rank");
    w.Uint64(rank + 1);
    Key(w, "index");
    w.Uint64(hits[rank].GetIdx());
    Key(w, "id");
    String(w, record.id);
    Key(w, "score");
    w.Double(hits[rank].GetScore());
    Key(w, "smiles");
    if (record.known)
      String(w, record.smiles);
    else
      w.Null();
    w.EndObject();
  }
  w.EndArray();
  w.EndObject();
}

// A JSON number as the text a parameter reads: integers exactly, others with
// enough digits to read back the same float.
std::string NumberText(const rapidjson::Value& value) {
  if (value.IsInt64()) return std::to_string(value.GetInt64());
  if (value.IsUint64()) return std::to_string(value.GetUint64());
  char text[40];
  std::snprintf(text, sizeof(text), "%.17g", value.GetDouble());
  return text;
}

HttpError BadBody(const std::string& message) { return {400, "request body: " + message, ""}; }

}  // namespace

std::string ErrorJson(const HttpError& error) {
  rapidjson::StringBuffer buffer;
  Writer w(buffer);
  w.StartObject();
  Key(w, "error");
  String(w, error.message);
  Key(w, "status");
  w.Int(error.status);
  if (!error.limit.empty()) {
    Key(w, "limit");
    String(w, error.limit);
  }
  w.EndObject();
  return buffer.GetString();
}

std::string SearchJson(const ServeBackend& backend, const PreparedQuery& query,
                       const std::vector<Varnex::KvSimScore>& hits) {
  rapidjson::StringBuffer buffer;
  Writer w(buffer);
  WriteAnswer(w, backend, query, hits);
  return buffer.GetString();
}

std::string ResultsJson(const ServeBackend& backend, const std::vector<PreparedQuery>& queries,
                        const std::vector<std::vector<Varnex::KvSimScore>>& hits) {
  rapidjson::StringBuffer buffer;
  Writer w(buffer);
  w.StartObject();
  Key(w, "results");
  w.StartArray();
  for (std::size_t q = 0; q < queries.size(); ++q) WriteAnswer(w, backend, queries[q], hits[q]);
  w.EndArray();
  w.EndObject();
  return buffer.GetString();
}

std::string MoleculeJson(std::size_t index, const MoleculeRecord& record) {
  rapidjson::StringBuffer buffer;
  Writer w(buffer);
  w.StartObject();
  Key(w, "index");
  w.Uint64(index);
  Key(w, "id");
  String(w, record.id);
  Key(w, "smiles");
  String(w, record.smiles);
  w.EndObject();
  return buffer.GetString();
}

std::string InfoJson(const ServeBackend& backend) {
  rapidjson::StringBuffer buffer;
  Writer w(buffer);
  w.StartObject();
  Key(w, "name");
  String(w, backend.GetName());
  Key(w, "type");
  String(w, backend.GetFPType()->GetFPTypeString());
  Key(w, "records");
  w.Uint64(backend.NumRecords());
  Key(w, "shards");
  w.Uint64(backend.NumShards());
  Key(w, "version");
  String(w, Varnex::VarnexGetRelease());
  w.EndObject();
  return buffer.GetString();
}

bool ReadSearchJson(const std::string& body, const ServeLimits& limits, SearchInput& input, HttpError& error) {
  rapidjson::Document document;
  {
    MessageCapture capture;
    if (!KvDataFlow::JSONParseHelper(body, document)) {
      error = BadBody(capture.Take("not valid JSON"));
      return false;
    }
  }
  if (!document.IsObject()) {
    error = BadBody("not a JSON object");
    return false;
  }
  const auto& names = SearchOptionNames();
  bool sawQueries = false;
  for (const auto& member : document.GetObject()) {
    const std::string name(member.name.GetString(), member.name.GetStringLength());
    const rapidjson::Value& value = member.value;
    const bool seen = name == "queries" ? sawQueries : [&] {
      for (const auto& [given, text] : input.options)
        if (given == name) return true;
      return false;
    }();
    if (seen) {
      error = BadBody("member \"" + name + "\" is given twice");
      return false;
    }
    if (name == "queries") {
      sawQueries = true;
      if (!value.IsArray()) {
        error = BadBody("\"queries\" is not an array of strings");
        return false;
      }
      if (value.Size() > limits.maxQueries) {
        error = TooManyQueries(value.Size(), limits);
        return false;
      }
      for (const auto& query : value.GetArray()) {
        if (!query.IsString()) {
          error = BadBody("\"queries\" is not an array of strings");
          return false;
        }
        input.queries.emplace_back(query.GetString(), query.GetStringLength());
      }
    } else if (std::find(names.begin(), names.end(), name) == names.end()) {
      error = BadBody("unknown member \"" + name + "\" (queries, k, cutoff, measure, alpha, beta)");
      return false;
    } else if (name == "cutoff" && value.IsNull()) {
      continue;  // no cutoff
    } else if (name == "measure" ? !value.IsString() : !value.IsNumber()) {
      error = BadBody("\"" + name + "\" is not a " + (name == "measure" ? "string" : "number"));
      return false;
    } else {
      input.options.emplace_back(name, value.IsString() ? value.GetString() : NumberText(value));
    }
  }
  if (!sawQueries || input.queries.empty()) {
    error = BadBody("\"queries\" is missing or empty");
    return false;
  }
  return true;
}

}  // namespace VarnexCli
