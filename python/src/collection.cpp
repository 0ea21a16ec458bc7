// varnex._core._Collection (an open collection, searched over packed query
// words) and the creation of and appends to collections.

#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <memory>

#include "call_scope.h"
#include "creation_progress.h"
#include "objects.h"
#include "options.h"
#include "parallel.h"
#include "results.h"
#include "kvsystem/dots.h"
#include "varnex/collection.h"
#include "varnex/fpbin.h"

namespace py = pybind11;
using namespace Varnex;

namespace VarnexPy {
namespace {

using Words = py::array_t<std::uint64_t, py::array::c_style | py::array::forcecast>;
using Indices = py::array_t<std::uint64_t, py::array::c_style | py::array::forcecast>;

py::dict ShardToDict(const KvShardInfo& s) {
  py::dict d;
  d["file"] = s.file;
  d["records"] = s.records;
  d["first"] = s.firstIndex;
  d["min_bits"] = s.minBits;
  d["max_bits"] = s.maxBits;
  d["molecules"] = s.molFile;
  d["bytes"] = s.bytes;
  d["sha256"] = s.sha256;
  return d;
}

class Collection {
 public:
  explicit Collection(const std::string& path) : path_(path) {
    CallScope scope;
    std::shared_ptr<KvCollection> c = RunInterruptible(scope, [&] { return std::make_shared<KvCollection>(path); });
    if (!c->IsValid()) scope.Fail("cannot open collection " + path);
    scope.Warn();
    c_ = std::move(c);
    words_ = KvGetFingerPrintSize(c_->GetFPTypeBase()) / 64;
  }

  std::size_t Size() const { return Open()->NumMolecules(); }
  FPType Type() const { return FPType{Open()->GetFPTypeBase()}; }
  const std::string& Path() const { return path_; }
  bool Closed() const { return c_ == nullptr; }
  void Close() { c_.reset(); }

  py::list Shards() const {
    py::list out;
    for (const KvShardInfo& s : Open()->Shards()) out.append(ShardToDict(s));
    return out;
  }

  // Per query the hits, concatenated, and the offsets of each query's run.
  py::tuple Search(const Words& words, std::size_t k, const py::object& cutoff, const std::string& measure,
                   double alpha, double beta, unsigned threads) const {
    const KvFPDatabaseOptions options = SearchOptions(k, cutoff, measure, alpha, beta, threads);
    std::vector<std::vector<KvSimScore>> hits;
    Run(words, [&](const KvCollection& c, const std::vector<KvFingerPrint>& q) {
      hits = c.GetSortedScoresMany(q, options);
    });
    return ToHitRuns(hits);
  }

  py::array_t<std::uint64_t> Count(const Words& words, const py::object& cutoff, const std::string& measure,
                                   double alpha, double beta, unsigned threads) const {
    const KvFPDatabaseOptions options = SearchOptions(0, cutoff, measure, alpha, beta, threads);
    std::vector<std::uint64_t> counts;
    Run(words, [&](const KvCollection& c, const std::vector<KvFingerPrint>& q) { counts = c.NumHitsMany(q, options); });
    return py::array_t<std::uint64_t>(counts.size(), counts.data());
  }

  py::array_t<std::uint64_t> Histogram(std::size_t bins, const std::string& measure, double alpha, double beta,
                                       unsigned threads) const {
    if (bins == 0) throw py::value_error("bins must be at least 1");
    auto c = Open();
    const KvFPDatabaseOptions options = SearchOptions(0, py::none(), measure, alpha, beta, threads);
    CallScope scope;
    const KvFPHistogram histogram = RunInterruptible(scope, [&] { return c->GetHistogram(options, bins); });
    if (!scope.Empty()) scope.Fail("Collection.histogram() failed");
    py::array_t<std::uint64_t> out(static_cast<py::ssize_t>(bins));
    for (std::size_t i = 0; i < bins; ++i) out.mutable_at(static_cast<py::ssize_t>(i)) = histogram.GetCount(i);
    return out;
  }

  py::array_t<Cell> Matrix(std::size_t k, const py::object& cutoff, const std::string& measure, double alpha,
                           double beta, unsigned threads) const {
    auto c = Open();
    const KvFPDatabaseOptions options = SearchOptions(k, cutoff, measure, alpha, beta, threads);
    CallScope scope;
    const std::vector<KvSimScorePair> pairs =
        RunInterruptible(scope, [&] { return c->GetNeighbours(0, c->NumMolecules(), options); });
    if (!scope.Empty()) scope.Fail("Collection.matrix() failed");
    return ToCellArray(pairs);
  }

  py::list Ids(const Indices& indices) const { return Texts(indices, &KvCollection::GetIds); }
  py::list Smiles(const Indices& indices) const { return Texts(indices, &KvCollection::GetSmiles); }
  std::vector<std::uint64_t> Failed() const { return Open()->GetFailed(); }

  // The record of molecule `index` as words.
  py::array_t<std::uint64_t> Record(std::uint64_t index) const {
    auto c = Open();
    if (index >= c->NumMolecules()) throw py::index_error("Collection: molecule index out of range");
    CallScope scope;
    KvFingerPrint fp;
    if (!c->GetFingerPrint(fp, index)) scope.Fail("cannot read molecule " + std::to_string(index));
    std::vector<std::uint64_t> words;
    KvFingerPrintToWords(fp, words);
    words.resize(words_);
    py::array_t<std::uint64_t> out(static_cast<py::ssize_t>(words_), words.data());
    return out;
  }

 private:
  std::shared_ptr<KvCollection> Open() const {
    if (c_ == nullptr) throw py::value_error("the Collection is closed");
    return c_;
  }

  py::list Texts(const Indices& indices,
                 std::vector<std::string> (KvCollection::*get)(const std::vector<std::uint64_t>&) const) const {
    auto c = Open();
    const std::vector<std::uint64_t> wanted(indices.data(), indices.data() + indices.size());
    for (std::uint64_t i : wanted)
      if (i >= c->NumMolecules()) throw py::index_error("Collection: molecule index " + std::to_string(i) + " out of range");
    std::vector<std::string> texts;
    {
      py::gil_scoped_release release;
      texts = ((*c).*get)(wanted);
    }
    py::list out;
    for (const std::string& t : texts) out.append(py::str(t));
    return out;
  }

  // Makes fingerprints of the rows of `words` and calls `body` with them on a
  // helper thread (Ctrl-C cancels); any library message fails the call, so a
  // damaged shard never gives a partial answer.
  template <typename Body>
  void Run(const Words& words, Body&& body) const {
    auto c = Open();
    if (words.ndim() != 2 || static_cast<std::size_t>(words.shape(1)) != words_)
      throw py::value_error("query words must have shape (n, " + std::to_string(words_) + ")");
    const std::size_t n = static_cast<std::size_t>(words.shape(0));
    std::vector<KvFingerPrint> queries(n);
    for (std::size_t q = 0; q < n; ++q) {
      queries[q].SetData(words.data(static_cast<py::ssize_t>(q), 0), 64 * words_);
      queries[q].SetFPTypeBase(c->GetFPTypeBase());
    }
    CallScope scope;
    RunInterruptible(scope, [&] { body(*c, queries); }, c->NumMolecules() >= 100000);
    if (!scope.Empty()) scope.Fail("the search of collection " + path_ + " failed");
  }

  std::string path_;
  std::shared_ptr<KvCollection> c_;
  std::size_t words_ = 0;
};

// Creates (type given) or grows (type None) the collection `path` from the
// molecule file `molPath` on a helper thread, reporting progress as
// _create_database does. Returns (first, count, failed indices).
py::tuple WriteCollection(const std::string& path, const std::string& molPath, const py::object& type,
                          const std::vector<std::string>& ids, unsigned shards, unsigned threads,
                          const py::object& progress, const py::object& total) {
  KvCreateFastFPDatabaseOptions options(type.is_none() ? KvGetFPType(KvFPType::Path) : type.cast<FPType>().ptr);
  options.SetNumProcessors(threads);
  KvSystem::KvDots dots;
  dots.SetDisplay(KvSystem::KvDots::Display::Never);
  options.SetTracer(dots);
  const KvSystem::KvDots* tracer = options.GetTracer();
  const bool creating = !type.is_none();
  CallScope scope;
  KvCollectionWriteSummary summary;
  const bool done = RunInterruptible(
      scope,
      [&] {
        return creating ? KvCreateCollection(path, molPath, options, shards, "", summary, ids)
                        : KvAppendToCollection(path, molPath, options, shards, summary, ids);
      },
      CreationProgress(*tracer, progress, total));
  if (!done) scope.Fail((creating ? "cannot create collection " : "cannot append to collection ") + path);
  scope.Warn();
  return py::make_tuple(summary.first, summary.records, summary.failed);
}

}  // namespace

void BindCollection(py::module_& m) {
  py::class_<Collection>(m, "_Collection")
      .def(py::init<const std::string&>(), py::arg("path"))
      .def("__len__", &Collection::Size)
      .def_property_readonly("type", &Collection::Type)
      .def_property_readonly("path", &Collection::Path)
      .def_property_readonly("closed", &Collection::Closed)
      .def("close", &Collection::Close)
      .def("shards", &Collection::Shards)
      .def("search", &Collection::Search, py::arg("words"), py::arg("k"), py::arg("cutoff"), py::arg("measure"),
           py::arg("alpha"), py::arg("beta"), py::arg("threads"))
      .def("count", &Collection::Count, py::arg("words"), py::arg("cutoff"), py::arg("measure"), py::arg("alpha"),
           py::arg("beta"), py::arg("threads"))
      .def("histogram", &Collection::Histogram, py::arg("bins"), py::arg("measure"), py::arg("alpha"),
           py::arg("beta"), py::arg("threads"))
      .def("matrix", &Collection::Matrix, py::arg("k"), py::arg("cutoff"), py::arg("measure"), py::arg("alpha"),
           py::arg("beta"), py::arg("threads"))
      .def("ids", &Collection::Ids, py::arg("indices"))
      .def("smiles", &Collection::Smiles, py::arg("indices"))
      .def("failed", &Collection::Failed)
      .def("record", &Collection::Record, py::arg("index"));
  m.def("_write_collection", &WriteCollection, py::arg("path"), py::arg("molecule_file"), py::arg("type"),
        py::arg("ids"), py::arg("shards"), py::arg("threads"), py::arg("progress"), py::arg("total"));
  m.def("_is_collection", &KvIsCollectionFile, py::arg("path"));
  m.def(
      "_read_catalog",
      [](const std::string& path) {
        CallScope scope;
        std::string type;
        std::vector<KvShardInfo> shards;
        bool ok = false;
        {
          py::gil_scoped_release release;
          ok = KvReadCollectionCatalog(path, type, shards);
        }
        if (!ok) scope.Fail("cannot read collection catalog " + path);
        py::list out;
        for (const KvShardInfo& s : shards) out.append(ShardToDict(s));
        return py::make_tuple(type, out);
      },
      py::arg("path"), "The type string and the shard dicts of a catalog, its shards unopened.");
  m.def(
      "_check_shard",
      [](const std::string& path, const py::dict& shard, const std::string& type) {
        KvShardInfo s;
        s.file = shard["file"].cast<std::string>();
        s.records = shard["records"].cast<std::uint64_t>();
        s.firstIndex = shard["first"].cast<std::uint64_t>();
        s.minBits = shard["min_bits"].cast<std::uint64_t>();
        s.maxBits = shard["max_bits"].cast<std::uint64_t>();
        s.molFile = shard["molecules"].cast<std::string>();
        s.bytes = shard["bytes"].cast<std::uint64_t>();
        py::gil_scoped_release release;
        return KvCheckShardRecords(path, s, type);
      },
      py::arg("path"), py::arg("shard"), py::arg("type"),
      "The problems of a shard file against its catalog row (empty: sound).");
}

}  // namespace VarnexPy
