// varnex._core.FastDatabase and creation of fast database files.

#include <pybind11/functional.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "call_scope.h"
#include "creation_progress.h"
#include "molecules.h"
#include "objects.h"
#include "options.h"
#include "parallel.h"
#include "results.h"
#include "varnex/fastdb.h"
#include "varnex/fpbin_create.h"
#include "varnex/generation.h"
#include "varnex/shards.h"

namespace py = pybind11;
using namespace Varnex;

namespace VarnexPy {
namespace {

// A query of a search: a fingerprint, or a molecule to fingerprint.
struct Query {
  bool isFingerprint = false;
  KvFingerPrint fp;
  MolSource mol;
};

Query ToQuery(py::handle obj, bool allowNone = false) {
  Query q;
  if (py::isinstance<Fingerprint>(obj)) {
    q.isFingerprint = true;
    q.fp = obj.cast<const Fingerprint&>().fp;
  } else {
    q.mol = ToMolSource(obj, allowNone);
  }
  return q;
}

// Queries fingerprinted and searched per batch call of search_many.
constexpr std::size_t kQueryBatch = 512;
// Databases from this size on are searched on a helper thread, so that Ctrl-C
// can stop a single search.
constexpr std::size_t kInterruptibleRecords = 100000;

class FastDatabase {
 public:
  FastDatabase(const std::string& path, const std::string& memory) : path_(path), memory_(memory) {
    unsigned type = 0;
    if (memory == "mmap")
      type = KvFastFPDatabaseMemoryType::MemoryMapped;
    else if (memory == "memory")
      type = KvFastFPDatabaseMemoryType::InMemory;
    else
      throw py::value_error("memory must be 'mmap' or 'memory', not '" + memory + "'");
    CallScope scope;
    std::shared_ptr<KvFastFPDatabase> db =
        RunInterruptible(scope, [&] { return std::make_shared<KvFastFPDatabase>(path, type); });
    if (!db->IsValid()) scope.Fail("cannot open fingerprint database " + path);
    scope.Warn();
    db_ = std::move(db);
  }

  std::size_t Size() const { return Open()->NumFingerPrints(); }
  FPType Type() const { return FPType{Open()->GetFPTypeBase()}; }
  const std::string& Path() const { return path_; }
  const std::string& Memory() const { return memory_; }
  bool Closed() const { return db_ == nullptr; }
  void Close() { db_.reset(); }

  Fingerprint Get(py::ssize_t i) const {
    auto db = Open();
    const py::ssize_t n = static_cast<py::ssize_t>(db->NumFingerPrints());
    if (i < 0) i += n;
    if (i < 0 || i >= n) throw py::index_error("FastDatabase.fingerprint(): index out of range");
    CallScope scope;
    Fingerprint f;
    if (!db->GetFingerPrint(f.fp, static_cast<std::size_t>(i)))
      scope.Fail("cannot read record " + std::to_string(i));
    return f;
  }

  py::array_t<Hit> Search(const py::object& query, std::size_t k, const py::object& cutoff, const std::string& measure,
                          double alpha, double beta, unsigned threads) const {
    auto db = Open();
    const KvFPDatabaseOptions options = SearchOptions(k, cutoff, measure, alpha, beta, threads);
    const Query q = ToQuery(query);
    CallScope scope;
    bool ok = false;
    std::vector<KvSimScore> hits = RunInterruptible(
        scope,
        [&] {
          KvFingerPrint fp;
          ok = QueryFingerprint(*db, q, fp);
          if (!ok) return std::vector<KvSimScore>();
          if (threads == 1) return KvSystem::KvCollect(db->GetSortedScores(fp, options));
          // A batch of one query is the threaded form of a search.
          return std::move(db->GetSortedScoresMany({fp}, options).front());
        },
        db->NumFingerPrints() >= kInterruptibleRecords);
    if (!ok || !scope.Empty()) scope.Fail("FastDatabase.search(): the search failed");
    return ToHitArray(hits);
  }

  py::list SearchMany(const py::iterable& queries, std::size_t k, const py::object& cutoff, const std::string& measure,
                      double alpha, double beta, unsigned threads) const {
    auto db = Open();
    const KvFPDatabaseOptions options = SearchOptions(k, cutoff, measure, alpha, beta, threads);
    RequireMoleculeIterable(queries);
    std::vector<Query> all;
    for (py::handle q : queries) all.push_back(ToQuery(q, true));
    CallScope scope;
    std::vector<std::vector<KvSimScore>> hits(all.size());
    RunInterruptible(scope, [&] {
      for (std::size_t first = 0; first < all.size() && !scope.Cancelled(); first += kQueryBatch) {
        const std::size_t count = std::min(kQueryBatch, all.size() - first);
        // Molecules become fingerprints on our threads, then one batch call
        // answers the readable queries; the others keep an empty hit list.
        std::vector<KvFingerPrint> fps(count);
        std::vector<char> readable(count);
        RunParallel(count, EffectiveThreads(threads), scope,
                    [&](std::size_t i) { readable[i] = QueryFingerprint(*db, all[first + i], fps[i]); });
        std::vector<KvFingerPrint> batch;
        std::vector<std::size_t> positions;
        for (std::size_t i = 0; i < count; ++i) {
          if (!readable[i]) continue;
          batch.push_back(std::move(fps[i]));
          positions.push_back(first + i);
        }
        std::vector<std::vector<KvSimScore>> found = db->GetSortedScoresMany(batch, options);
        for (std::size_t j = 0; j < found.size() && j < positions.size(); ++j) hits[positions[j]] = std::move(found[j]);
      }
    });
    scope.Warn();
    py::list out;
    for (const auto& h : hits) out.append(ToHitArray(h));
    return out;
  }

  py::array_t<Cell> Matrix(std::size_t k, const std::string& measure, double alpha, double beta, unsigned threads) const {
    auto db = Open();
    const KvFPDatabaseOptions options = SearchOptions(k, py::none(), measure, alpha, beta, threads);
    CallScope scope;
    std::vector<KvSimScorePair> pairs =
        RunInterruptible(scope, [&] { return KvSystem::KvCollect(db->GetSparseMatrix(options)); });
    if (pairs.empty() && !scope.Empty()) scope.Fail("");
    scope.Warn();
    return ToCellArray(pairs);
  }

  py::array_t<std::uint64_t> Histogram(std::size_t bins, const std::string& measure, double alpha, double beta,
                                       unsigned threads) const {
    auto db = Open();
    if (bins == 0) throw py::value_error("bins must be at least 1");
    const KvFPDatabaseOptions options = SearchOptions(0, py::none(), measure, alpha, beta, threads);
    CallScope scope;
    KvFPHistogram histogram = RunInterruptible(scope, [&] { return db->GetHistogram(options, bins); });
    if (histogram.NumBins() != bins) scope.Fail("FastDatabase.histogram() failed");
    scope.Warn();
    py::array_t<std::uint64_t> out(static_cast<py::ssize_t>(bins));
    for (std::size_t i = 0; i < bins; ++i) out.mutable_at(static_cast<py::ssize_t>(i)) = histogram.GetCount(i);
    return out;
  }

 private:
  // The open database, shared with the calls running on it, so that close()
  // while a search runs unmaps only after that search.
  std::shared_ptr<KvFastFPDatabase> Open() const {
    if (db_ == nullptr) throw py::value_error("the FastDatabase is closed");
    return db_;
  }

  // The query as a fingerprint of the database's type; false (the library
  // says why) for a molecule that cannot be read or fingerprinted.
  static bool QueryFingerprint(const KvFastFPDatabase& db, const Query& q, KvFingerPrint& fp) {
    if (q.isFingerprint) {
      fp = q.fp;
      return true;
    }
    KvChem::KvMol mol;
    return ParseMolSource(q.mol, mol) && KvMakeFP(fp, mol, db.GetFPTypeBase());
  }

  std::string path_;
  std::string memory_;
  std::shared_ptr<KvFastFPDatabase> db_;
};

// Creates `outPath` from `molPath` on a helper thread; the calling thread
// reports progress to `progress(count)` (when not None) a few times a second
// and checks for signals; `total(n)` (when not None) once the number of
// molecules is known. An interrupt (or an exception of `progress`)
// cancels the call: the workers stop at their next chunk, the output paths
// are left untouched, and the exception is raised once they have stopped.
// With shards > 1 it writes that many shards and their manifest. Returns
// (count, failed indices).
py::tuple CreateDatabase(const std::string& molPath, const std::string& outPath, const FPType& type, unsigned threads,
                         const py::object& progress, unsigned shards, const py::object& total) {
  KvCreateFastFPDatabaseOptions options(type.ptr);
  options.SetNumProcessors(threads);
  KvSystem::KvDots dots;
  dots.SetDisplay(KvSystem::KvDots::Display::Never);
  options.SetTracer(dots);
  const KvSystem::KvDots* tracer = options.GetTracer();
  CallScope scope;
  KvCreateFastFPDatabaseSummary summary;
  const bool created = RunInterruptible(
      scope,
      [&] {
        if (shards <= 1) return KvCreateFastFPDatabaseFile(outPath, molPath, options, summary);
        KvShardManifest manifest;
        return KvCreateShardedFastFPDatabase(outPath, molPath, options, shards, summary, manifest);
      },
      CreationProgress(*tracer, progress, total));
  if (!created) scope.Fail("cannot create " + outPath);
  scope.Warn();
  return py::make_tuple(summary.records, summary.failed);
}

}  // namespace

void BindFastDatabase(py::module_& m) {
  py::class_<FastDatabase>(m, "FastDatabase")
      .def(py::init<const std::string&, const std::string&>(), py::arg("path"), py::arg("memory") = "mmap")
      .def("__len__", &FastDatabase::Size)
      .def_property_readonly("type", &FastDatabase::Type)
      .def_property_readonly("path", &FastDatabase::Path)
      .def_property_readonly("memory", &FastDatabase::Memory)
      .def_property_readonly("closed", &FastDatabase::Closed)
      .def("close", &FastDatabase::Close)
      .def("fingerprint", &FastDatabase::Get, py::arg("i"))
      .def("search", &FastDatabase::Search, py::arg("query"), py::arg("k") = 10, py::arg("cutoff") = py::none(),
           py::arg("measure") = "tanimoto", py::arg("alpha") = 1.0f, py::arg("beta") = 1.0f, py::arg("threads") = 1)
      .def("search_many", &FastDatabase::SearchMany, py::arg("queries"), py::arg("k") = 10,
           py::arg("cutoff") = py::none(), py::arg("measure") = "tanimoto", py::arg("alpha") = 1.0f,
           py::arg("beta") = 1.0f, py::arg("threads") = 0)
      .def("matrix", &FastDatabase::Matrix, py::arg("k") = 10, py::arg("measure") = "tanimoto", py::arg("alpha") = 1.0f,
           py::arg("beta") = 1.0f, py::arg("threads") = 1)
      .def("histogram", &FastDatabase::Histogram, py::arg("bins") = 50, py::arg("measure") = "tanimoto",
           py::arg("alpha") = 1.0f, py::arg("beta") = 1.0f, py::arg("threads") = 1);
  m.def("_create_database", &CreateDatabase, py::arg("molecule_file"), py::arg("out_path"), py::arg("type"),
        py::arg("threads"), py::arg("progress"), py::arg("shards") = 1, py::arg("total") = py::none());
}

}  // namespace VarnexPy
