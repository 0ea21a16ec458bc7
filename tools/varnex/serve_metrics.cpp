// What the search service counts, in the Prometheus text format.

#include "serve_metrics.h"

#include <cstdio>

namespace VarnexCli {
namespace {

const std::vector<double> kLatencyBounds = {0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                            0.1,    0.25,  0.5,    1.0,   2.5,  5.0,  10.0};
const std::vector<double> kPassQueryBounds = {1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 4096};

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.9g", value);
  return text;
}

// A label value: backslash, double quote and line feed escaped.
std::string Label(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

void Header(std::string& out, const char* name, const char* type, const char* help) {
  out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

// The lines of one histogram; `labels` are extra labels ("endpoint=\"x\",").
void HistogramLines(std::string& out, const char* name, const std::string& labels, const std::vector<double>& bounds,
                    const std::vector<std::uint64_t>& counts, double sum, std::uint64_t count) {
  for (std::size_t i = 0; i < bounds.size(); ++i)
    out += std::string(name) + "_bucket{" + labels + "le=\"" + Number(bounds[i]) + "\"} " +
           std::to_string(counts.empty() ? 0 : counts[i]) + "\n";
  std::string plain;  // the extra labels alone, without the trailing comma
  if (!labels.empty()) plain.append("{").append(labels, 0, labels.size() - 1).append("}");
  out += std::string(name) + "_bucket{" + labels + "le=\"+Inf\"} " + std::to_string(count) + "\n";
  out += std::string(name) + "_sum" + plain + " " + Number(sum) + "\n";
  out += std::string(name) + "_count" + plain + " " + std::to_string(count) + "\n";
}

}  // namespace

void ServeMetrics::Histogram::Add(const std::vector<double>& bounds, double value) {
  if (counts.empty()) counts.assign(bounds.size(), 0);
  for (std::size_t i = 0; i < bounds.size(); ++i)
    if (value <= bounds[i]) ++counts[i];
  sum += value;
  ++count;
}

void ServeMetrics::RecordRequest(const std::string& endpoint, int status, double seconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++requests_[{endpoint, status}];
  latency_[endpoint].Add(kLatencyBounds, seconds);
}

void ServeMetrics::RecordPass(std::size_t queries, double seconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  passQueries_.Add(kPassQueryBounds, static_cast<double>(queries));
  passSeconds_.Add(kLatencyBounds, seconds);
}

void ServeMetrics::SetCollection(const std::string& name, const std::string& type, std::size_t records,
                                 std::size_t shards) {
  std::lock_guard<std::mutex> lock(mutex_);
  collection_ = name;
  type_ = type;
  records_ = records;
  shards_ = shards;
}

void ServeMetrics::RecordReload(bool ok) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++reloads_[ok ? 1 : 0];
}

std::string ServeMetrics::Text() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string out;
  Header(out, "varnex_http_requests_total", "counter", "HTTP requests answered, by endpoint and status.");
  for (const auto& [key, count] : requests_)
    out += "varnex_http_requests_total{endpoint=\"" + Label(key.first) + "\",status=\"" + std::to_string(key.second) +
           "\"} " + std::to_string(count) + "\n";
  Header(out, "varnex_http_request_duration_seconds", "histogram",
         "Time from the first byte of a request to its answer, by endpoint.");
  for (const auto& [endpoint, h] : latency_)
    HistogramLines(out, "varnex_http_request_duration_seconds", "endpoint=\"" + Label(endpoint) + "\",",
                   kLatencyBounds, h.counts, h.sum, h.count);
  Header(out, "varnex_batch_pass_queries", "histogram", "Queries answered together in one pass of the search engine.");
  HistogramLines(out, "varnex_batch_pass_queries", "", kPassQueryBounds, passQueries_.counts, passQueries_.sum,
                 passQueries_.count);
  Header(out, "varnex_batch_pass_duration_seconds", "histogram", "Time of one pass of the search engine.");
  HistogramLines(out, "varnex_batch_pass_duration_seconds", "", kLatencyBounds, passSeconds_.counts,
                 passSeconds_.sum, passSeconds_.count);
  Header(out, "varnex_pending_queries", "gauge", "Queries waiting for a pass of the search engine.");
  out += "varnex_pending_queries " + std::to_string(pending_.load(std::memory_order_relaxed)) + "\n";
  Header(out, "varnex_open_connections", "gauge", "Connections being served.");
  out += "varnex_open_connections " + std::to_string(connections_.load(std::memory_order_relaxed)) + "\n";
  Header(out, "varnex_collection_info", "gauge", "The collection served (always 1).");
  out += "varnex_collection_info{collection=\"" + Label(collection_) + "\",type=\"" + Label(type_) + "\"} 1\n";
  Header(out, "varnex_collection_records", "gauge", "Records of the collection served.");
  out += "varnex_collection_records " + std::to_string(records_) + "\n";
  Header(out, "varnex_collection_shards", "gauge", "Shards of the collection served.");
  out += "varnex_collection_shards " + std::to_string(shards_) + "\n";
  Header(out, "varnex_collection_reloads_total", "counter", "Reopenings of the collection, by result.");
  out += "varnex_collection_reloads_total{result=\"failed\"} " + std::to_string(reloads_[0]) + "\n";
  out += "varnex_collection_reloads_total{result=\"ok\"} " + std::to_string(reloads_[1]) + "\n";
  return out;
}

}  // namespace VarnexCli
