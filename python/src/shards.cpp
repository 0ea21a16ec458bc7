// Sharded fast databases: creation by splitting, manifests, and the
// per-shard batch calls that varnex.distributed runs on its workers.

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <memory>

#include "call_scope.h"
#include "objects.h"
#include "options.h"
#include "results.h"
#include "varnex/fastdb.h"
#include "varnex/shards.h"

namespace py = pybind11;
using namespace Varnex;

namespace VarnexPy {
namespace {

using Words = py::array_t<std::uint64_t, py::array::c_style | py::array::forcecast>;

py::dict ManifestToDict(const KvShardManifest& manifest) {
  py::list shards;
  for (const KvShardInfo& s : manifest.shards) {
    py::dict d;
    d["file"] = s.file;
    d["records"] = s.records;
    d["first"] = s.firstIndex;
    d["min_bits"] = s.minBits;
    d["max_bits"] = s.maxBits;
    shards.append(d);
  }
  py::dict out;
  out["type"] = manifest.type;
  out["molecules"] = manifest.molFile;
  out["shards"] = shards;
  return out;
}

// The manifest `path` as a dict (type, molecules, shards: file, records,
// first, min_bits, max_bits); ValueError with the library's message.
py::dict ReadManifest(const std::string& path) {
  CallScope scope;
  KvShardManifest manifest;
  bool ok = false;
  {
    py::gil_scoped_release release;
    ok = KvReadShardManifest(path, manifest);
  }
  if (!ok) scope.Fail("cannot read shard manifest " + path);
  return ManifestToDict(manifest);
}

py::dict SplitDatabase(const std::string& fpbin, unsigned shards, const std::string& out) {
  CallScope scope;
  KvShardManifest manifest;
  bool ok = false;
  {
    py::gil_scoped_release release;
    ok = KvSplitFastFPDatabase(fpbin, shards, out, manifest);
  }
  if (!ok) scope.Fail("cannot split " + fpbin);
  scope.Warn();
  return ManifestToDict(manifest);
}

// One shard opened on a worker: the batch calls over packed query words.
class Shard {
 public:
  explicit Shard(const std::string& path) : path_(path) {
    CallScope scope;
    {
      py::gil_scoped_release release;
      db_ = std::make_unique<KvFastFPDatabase>(path, KvFastFPDatabaseMemoryType::MemoryMapped);
    }
    if (!db_->IsValid()) scope.Fail("cannot open", "shard " + path + ": ");
    words_ = KvGetFingerPrintSize(db_->GetFPTypeBase()) / 64;
  }

  std::string Type() const { return db_->GetFPTypeBase()->GetFPTypeString(); }
  std::size_t Size() const { return db_->NumFingerPrints(); }

  // Per query the hits, concatenated, and the offsets of each query's run
  // (n + 1 of them).
  py::tuple Search(const Words& words, std::size_t k, const py::object& cutoff, const std::string& measure,
                   double alpha, double beta, unsigned threads) const {
    const KvFPDatabaseOptions options = SearchOptions(k, cutoff, measure, alpha, beta, threads);
    std::vector<std::vector<KvSimScore>> hits;
    Run(words, [&](const std::vector<KvFingerPrint>& queries) { hits = db_->GetSortedScoresMany(queries, options); });
    return ToHitRuns(hits);
  }

  py::array_t<std::uint64_t> Count(const Words& words, const py::object& cutoff, const std::string& measure,
                                   double alpha, double beta, unsigned threads) const {
    const KvFPDatabaseOptions options = SearchOptions(0, cutoff, measure, alpha, beta, threads);
    std::vector<std::uint64_t> counts;
    Run(words, [&](const std::vector<KvFingerPrint>& queries) { counts = db_->NumHitsMany(queries, options); });
    return py::array_t<std::uint64_t>(counts.size(), counts.data());
  }

  py::array_t<std::uint64_t> Histogram(const Words& words, std::size_t bins, const std::string& measure, float alpha,
                                       float beta, unsigned threads) const {
    if (bins == 0) throw py::value_error("bins must be at least 1");
    const KvFPDatabaseOptions options = SearchOptions(0, py::none(), measure, alpha, beta, threads);
    std::vector<KvFPHistogram> histograms;
    Run(words, [&](const std::vector<KvFingerPrint>& queries) {
      histograms = db_->GetHistogramMany(queries, options, bins);
    });
    py::array_t<std::uint64_t> out({static_cast<py::ssize_t>(histograms.size()), static_cast<py::ssize_t>(bins)});
    auto w = out.mutable_unchecked<2>();
    for (std::size_t q = 0; q < histograms.size(); ++q)
      for (std::size_t b = 0; b < bins; ++b)
        w(static_cast<py::ssize_t>(q), static_cast<py::ssize_t>(b)) = histograms[q].GetCount(b);
    return out;
  }

 private:
  // Makes fingerprints of the rows of `words` and calls `body` with them
  // without the interpreter lock; any library message fails the call, so
  // that a damaged shard never gives a partial answer.
  template <typename Body>
  void Run(const Words& words, Body&& body) const {
    if (words.ndim() != 2 || static_cast<std::size_t>(words.shape(1)) != words_)
      throw py::value_error("query words must have shape (n, " + std::to_string(words_) + ") for shard " + path_);
    const std::size_t n = static_cast<std::size_t>(words.shape(0));
    CallScope scope;
    {
      py::gil_scoped_release release;
      std::vector<KvFingerPrint> queries(n);
      for (std::size_t q = 0; q < n; ++q) {
        queries[q].SetData(words.data(static_cast<py::ssize_t>(q), 0), 64 * words_);
        queries[q].SetFPTypeBase(db_->GetFPTypeBase());
      }
      body(queries);
    }
    if (!scope.Empty()) scope.Fail("", "shard " + path_ + ": ");
  }

  std::string path_;
  std::unique_ptr<KvFastFPDatabase> db_;
  std::size_t words_ = 0;
};

// Per query (its bit count in `counts`), the best score a record of a shard
// with stored bit counts in [min_bits, max_bits] can reach.
py::array_t<double> BestScores(const py::array_t<std::uint64_t, py::array::c_style | py::array::forcecast>& counts,
                               std::size_t words, std::uint64_t minBits, std::uint64_t maxBits,
                               const std::string& measure, double alpha, double beta) {
  const KvFPDatabaseOptions options = SearchOptions(0, py::none(), measure, alpha, beta, 1);
  if (minBits > maxBits || maxBits > 64 * words) throw py::value_error("bit count range outside the size");
  py::array_t<double> out(counts.size());
  auto w = out.mutable_unchecked<1>();
  for (py::ssize_t q = 0; q < counts.size(); ++q) {
    const std::uint64_t bits = std::min<std::uint64_t>(counts.data()[q], 64 * words);
    w(q) = KvGetShardBestScore(options, bits, words, minBits, maxBits);
  }
  return out;
}

}  // namespace

void BindShards(py::module_& m) {
  py::class_<Shard>(m, "_Shard")
      .def(py::init<const std::string&>(), py::arg("path"))
      .def_property_readonly("type", &Shard::Type)
      .def("__len__", &Shard::Size)
      .def("search", &Shard::Search, py::arg("words"), py::arg("k"), py::arg("cutoff"), py::arg("measure"),
           py::arg("alpha"), py::arg("beta"), py::arg("threads"))
      .def("count", &Shard::Count, py::arg("words"), py::arg("cutoff"), py::arg("measure"), py::arg("alpha"),
           py::arg("beta"), py::arg("threads"))
      .def("histogram", &Shard::Histogram, py::arg("words"), py::arg("bins"), py::arg("measure"), py::arg("alpha"),
           py::arg("beta"), py::arg("threads"));
  m.def("_manifest_path", &KvShardManifestPath, py::arg("fpbin"));
  m.def("_read_manifest", &ReadManifest, py::arg("path"));
  m.def("_split_database", &SplitDatabase, py::arg("fpbin"), py::arg("shards"), py::arg("out"));
  m.def(
      "_score_threshold",
      [](const py::object& cutoff, const std::string& measure) {
        return KvGetScoreThreshold(SearchOptions(0, cutoff, measure, 1.0, 1.0, 1));
      },
      py::arg("cutoff"), py::arg("measure"),
      "The score a hit must beat (strictly) under the library's cutoff rule: exactly the scores at or beyond "
      "`cutoff` (None: above 0 for similarities) are kept.");
  m.def("_shard_best_scores", &BestScores, py::arg("counts"), py::arg("words"), py::arg("min_bits"),
        py::arg("max_bits"), py::arg("measure"), py::arg("alpha"), py::arg("beta"));
}

}  // namespace VarnexPy
