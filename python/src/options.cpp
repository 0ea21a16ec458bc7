#include "options.h"

#include <limits>

#include "errors.h"

namespace py = pybind11;

namespace VarnexPy {

const Varnex::KvSimMeasureInfo& FindMeasure(const std::string& measure) {
  if (const Varnex::KvSimMeasureInfo* info = Varnex::KvFindSimMeasure(measure)) return *info;
  std::string names;
  for (const Varnex::KvSimMeasureInfo& info : Varnex::KvSimMeasures)
    names += (names.empty() ? "" : &info == &Varnex::KvSimMeasures.back() ? " or " : ", ") + std::string(info.key);
  throw py::value_error("unknown similarity measure '" + measure + "' (" + names + ")");
}

void CheckTverskyCoeffs(double alpha, double beta) {
  const KvSystem::KvStatus status = Varnex::KvCheckTverskyCoeffs(alpha, beta);
  if (!status.IsOk()) ThrowStatus(status);
}

Varnex::KvFPDatabaseOptions SearchOptions(std::size_t limit, const py::object& cutoff, const std::string& measure,
                                          double alpha, double beta, unsigned threads) {
  Varnex::KvFPDatabaseOptions options;
  const Varnex::KvSimMeasureInfo& info = FindMeasure(measure);
  const unsigned code = info.code;
  options.SetSimFunc(code);
  options.SetDescendingOrder(info.higherIsBetter);
  if (limit > std::numeric_limits<unsigned>::max()) throw py::value_error("k is too large");
  options.SetLimit(static_cast<unsigned>(limit));
  if (!cutoff.is_none()) {
    if (!PyFloat_Check(cutoff.ptr()) && !PyIndex_Check(cutoff.ptr()) && !PyNumber_Check(cutoff.ptr()))
      throw py::type_error("cutoff must be a number or None");
    const double value = cutoff.cast<double>();
    const KvSystem::KvStatus status = Varnex::KvCheckCutoff(code, value);
    if (!status.IsOk()) ThrowStatus(status.WithMessage("cutoff " + status.Message()));
    options.SetInclusiveCutoff(value);
  }
  options.SetNumProcessors(threads);
  CheckTverskyCoeffs(alpha, beta);
  options.SetTverskyCoeffs(static_cast<float>(alpha), static_cast<float>(beta));
  return options;
}

}  // namespace VarnexPy
