// varnex.Database: the in-memory fingerprint database.

#include <memory>
#include <mutex>

#include "call_scope.h"
#include "molecules.h"
#include "objects.h"
#include "options.h"
#include "results.h"
#include "varnex/fpdatabase.h"
#include "varnex/simfunc.h"

namespace py = pybind11;
using namespace Varnex;

namespace VarnexPy {
namespace {

constexpr unsigned kNoIndex = 0xFFFFFFFFu;

// The library's database is not thread-safe (even its queries write), so
// every call takes the mutex, with the interpreter lock released.
class Database {
 public:
  explicit Database(const FPType& type) : type_(type.ptr), db_(std::make_unique<KvFPDatabase>(type.ptr)) {}

  std::size_t Add(const py::object& item) {
    CallScope scope;
    unsigned index = kNoIndex;
    if (py::isinstance<Fingerprint>(item)) {
      const Fingerprint& f = item.cast<const Fingerprint&>();
      if (f.fp.GetFPTypeBase() != type_)
        throw py::value_error("Database.add(): fingerprint type mismatch! (fingerprint " +
                              f.fp.GetFPTypeBase()->GetFPTypeString() + ", database " + type_->GetFPTypeString() + ")");
      py::gil_scoped_release release;
      std::lock_guard<std::mutex> lock(mutex_);
      index = db_->AddFP(f.fp);
    } else {
      const MolSource source = ToMolSource(item);
      py::gil_scoped_release release;
      KvChem::KvMol mol;
      if (ParseMolSource(source, mol)) {
        std::lock_guard<std::mutex> lock(mutex_);
        index = db_->AddFP(mol);
      }
    }
    if (index == kNoIndex) scope.Fail("Database.add(): cannot add the fingerprint");
    scope.Warn();
    return index;
  }

  std::size_t Size() const { return db_->NumFingerPrints(); }

  py::array_t<Hit> Search(const py::object& query, std::size_t k, const py::object& cutoff, const std::string& measure,
                          double alpha, double beta) {
    const KvFPDatabaseOptions options = SearchOptions(k, cutoff, measure, alpha, beta, 1);
    const bool isFingerprint = py::isinstance<Fingerprint>(query);
    MolSource source;
    KvFingerPrint fp;
    if (isFingerprint) {
      fp = query.cast<const Fingerprint&>().fp;
      if (fp.GetFPTypeBase() != type_) throw py::value_error("Database.search(): fingerprint type mismatch!");
    } else {
      source = ToMolSource(query);
    }
    CallScope scope;
    std::vector<KvSimScore> hits;
    bool parsed = true;
    {
      py::gil_scoped_release release;
      KvChem::KvMol mol;
      if (!isFingerprint) parsed = ParseMolSource(source, mol);
      if (parsed) {
        std::lock_guard<std::mutex> lock(mutex_);
        Configure(options);
        hits = KvSystem::KvCollect(isFingerprint ? db_->GetSortedScores(fp, options.GetLimit())
                                                 : db_->GetSortedScores(mol, options.GetLimit()));
      }
    }
    if (!parsed) scope.Fail("Database.search(): cannot read the query");
    scope.Warn();
    return ToHitArray(hits);
  }

  FPType Type() const { return FPType{type_}; }

 private:
  // The measure, order and cutoff of one search. REQUIRES: mutex_ held.
  void Configure(const KvFPDatabaseOptions& options) {
    if (options.GetSimFunc() == KvSimMeasure::Tversky)
      db_->SetSimFunc(KvTverskySim(options.GetTverskyAlpha(), options.GetTverskyBeta()), true);
    else
      db_->SetSimFunc(options.GetSimFunc(), options.GetDescendingOrder());
    // This database scores in single precision and keeps scores strictly
    // better than its cutoff: the float next to the inclusive cutoff (the
    // library's threshold rounded to float) keeps exactly those at or beyond it.
    if (options.HasCutoff())
      db_->SetCutoff(static_cast<float>(KvGetScoreThreshold(options)));
    else
      db_->ClearCutoff();
  }

  const KvFPTypeBase* type_;
  std::unique_ptr<KvFPDatabase> db_;
  std::mutex mutex_;
};

}  // namespace

void BindDatabase(py::module_& m) {
  py::class_<Database>(m, "Database", R"doc(
The in-memory fingerprint database: copies of fingerprints of one FPType.

db.add(fp_or_mol) stores a Fingerprint of the database's type, or the
fingerprint of a molecule, and returns its index. db.search(...) scores a
query against every stored fingerprint. Safe to share between threads (calls
take turns). Lingo databases know Tanimoto and Tversky, unhashed databases
Tanimoto only; another measure is replaced by Tanimoto with a warning.
)doc")
      .def(py::init<const FPType&>(), py::arg("type"))
      .def("add", &Database::Add, py::arg("item"))
      .def("__len__", &Database::Size)
      .def_property_readonly("type", &Database::Type)
      .def("search", &Database::Search, py::arg("query"), py::arg("k") = 10, py::arg("cutoff") = py::none(),
           py::arg("measure") = "tanimoto", py::arg("alpha") = 1.0f, py::arg("beta") = 1.0f,
           R"doc(
The best `k` hits (0: all) for a Fingerprint, SMILES or rdkit.Chem.Mol query,
best first (for the Manhattan distance the smallest first), only scores better
than `cutoff` when given. A numpy structured array with fields `index`
(uint64) and `score` (float64).
)doc");
}

}  // namespace VarnexPy
