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

// The texts `get` gives for the molecules `indices` of `source` (`what`
// names it in errors): an IndexError for an index out of range, an
// exception when the catalog cannot be read (never ids left empty).
template <typename Source>
py::list MoleculeTexts(const Source& source, const Indices& indices,
                       std::vector<std::string> (Source::*get)(const std::vector<std::uint64_t>&) const,
                       const std::string& what) {
  const std::vector<std::uint64_t> wanted(indices.data(), indices.data() + indices.size());
  for (std::uint64_t i : wanted)
    if (i >= source.NumMolecules())
      throw py::index_error(what + ": molecule index " + std::to_string(i) + " out of range");
  CallScope scope;
  std::vector<std::string> texts;
  {
    py::gil_scoped_release release;
    texts = (source.*get)(wanted);
  }
  if (!scope.Empty()) scope.Fail("cannot read the catalog of " + what);
  py::list out;
  for (const std::string& t : texts) out.append(py::str(t));
  return out;
}

// A collection's catalog alone, for naming hits the shards' workers found.
class CollectionCatalog {
 public:
  explicit CollectionCatalog(const std::string& path) : path_(path) {
    CallScope scope;
    {
      py::gil_scoped_release release;
      c_ = std::make_unique<KvCollectionCatalog>(path);
    }
    if (!c_->IsValid()) scope.Fail("cannot read collection catalog " + path);
    scope.Warn();
  }

  std::size_t Size() const { return c_->NumMolecules(); }
  const std::string& Type() const { return c_->Type(); }
  py::list Shards() const {
    py::list out;
    for (const KvShardInfo& s : c_->Shards()) out.append(ShardToDict(s));
    return out;
  }
  py::list Ids(const Indices& indices) const {
    return MoleculeTexts(*c_, indices, &KvCollectionCatalog::GetIds, "collection " + path_);
  }
  py::list Smiles(const Indices& indices) const {
    return MoleculeTexts(*c_, indices, &KvCollectionCatalog::GetSmiles, "collection " + path_);
  }

 private:
  std::string path_;
  std::unique_ptr<KvCollectionCatalog> c_;
};

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

  py::list Ids(const Indices& indices) const {
    return MoleculeTexts(*Open(), indices, &KvCollection::GetIds, "collection " + path_);
  }
  py::list Smiles(const Indices& indices) const {
    return MoleculeTexts(*Open(), indices, &KvCollection::GetSmiles, "collection " + path_);
  }
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
  py::class_<CollectionCatalog>(m, "_CollectionCatalog",
                                "A collection's catalog alone: its type, shards, ids and SMILES.")
      .def(py::init<const std::string&>(), py::arg("path"))
      .def("__len__", &CollectionCatalog::Size)
      .def_property_readonly("type", &CollectionCatalog::Type)
      .def("shards", &CollectionCatalog::Shards)
      .def("ids", &CollectionCatalog::Ids, py::arg("indices"))
      .def("smiles", &CollectionCatalog::Smiles, py::arg("indices"));
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
