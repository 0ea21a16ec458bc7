#include "generation.h"

#include <vector>

#include "call_scope.h"
#include "molecules.h"
#include "parallel.h"
#include "varnex/generation.h"

namespace py = pybind11;

namespace VarnexPy {
namespace {

// Molecules read per batch: long enough to keep the threads busy, short
// enough that an interrupt is honoured within a fraction of a second.
constexpr std::size_t kBatch = 1024;

bool MakeFromSource(const MolSource& source, const Varnex::KvFPTypeBase* type, Varnex::KvFingerPrint& fp) {
  KvChem::KvMol mol;
  return ParseMolSource(source, mol) && Varnex::KvMakeFP(fp, mol, type);
}

}  // namespace

Fingerprint MakeFingerprint(const FPType& type, py::handle mol) {
  const MolSource source = ToMolSource(mol);
  CallScope scope;
  Fingerprint result;
  bool made = false;
  {
    py::gil_scoped_release release;
    made = MakeFromSource(source, type.ptr, result.fp);
  }
  if (!made) scope.Fail("cannot make a fingerprint of the molecule");
  scope.Warn();
  return result;
}

FingerprintArray MakeFingerprints(const FPType& type, py::iterable mols, unsigned threads) {
  const unsigned workers = EffectiveThreads(threads);
  py::iterator it = py::iter(mols);
  CallScope scope;
  std::vector<Varnex::KvFingerPrint> rows;
  std::vector<std::uint64_t> failed;
  std::vector<MolSource> batch;
  std::vector<char> made;
  for (bool more = true; more;) {
    batch.clear();
    while (batch.size() < kBatch) {
      PyObject* item = PyIter_Next(it.ptr());
      if (item == nullptr) {
        if (PyErr_Occurred()) throw py::error_already_set();
        more = false;
        break;
      }
      batch.push_back(ToMolSource(py::reinterpret_steal<py::object>(item)));
    }
    const std::size_t first = rows.size();
    rows.resize(first + batch.size());
    made.assign(batch.size(), 0);
    {
      py::gil_scoped_release release;
      RunParallel(batch.size(), workers, scope,
                  [&](std::size_t i) { made[i] = MakeFromSource(batch[i], type.ptr, rows[first + i]); });
    }
    for (std::size_t i = 0; i < batch.size(); ++i) {
      if (made[i]) continue;
      rows[first + i] = Varnex::KvFingerPrint();
      failed.push_back(first + i);
    }
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
  }
  scope.Warn();
  return FingerprintArray(type.ptr, rows, std::move(failed));
}

}  // namespace VarnexPy
