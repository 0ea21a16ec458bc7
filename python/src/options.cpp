#include "options.h"

#include <array>
#include <cctype>
#include <limits>

#include "errors.h"

namespace py = pybind11;

namespace VarnexPy {

unsigned MeasureCode(const std::string& measure) {
  static constexpr std::array<const char*, 6> kNames{"tanimoto", "cosine", "dice", "euclid", "tversky", "manhattan"};
  std::string lower;
  for (char c : measure) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (unsigned i = 0; i < kNames.size(); ++i)
    if (lower == kNames[i]) return i + 1;  // the KvSimMeasure codes run 1..6 in this order
  throw py::value_error("unknown similarity measure '" + measure +
                        "' (tanimoto, dice, cosine, euclid, tversky or manhattan)");
}

void CheckTverskyCoeffs(double alpha, double beta) {
  const KvSystem::KvStatus status = Varnex::KvCheckTverskyCoeffs(alpha, beta);
  if (!status.IsOk()) ThrowStatus(status);
}

Varnex::KvFPDatabaseOptions SearchOptions(std::size_t limit, const py::object& cutoff, const std::string& measure,
                                          double alpha, double beta, unsigned threads) {
  Varnex::KvFPDatabaseOptions options;
  const unsigned code = MeasureCode(measure);
  options.SetSimFunc(code);
  options.SetDescendingOrder(code != Varnex::KvSimMeasure::Manhattan);
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
