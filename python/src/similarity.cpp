// varnex.similarity and varnex.bulk_similarity.

#include <pybind11/numpy.h>

#include "call_scope.h"
#include "objects.h"
#include "options.h"
#include "varnex/recordscores.h"
#include "varnex/similarity.h"

namespace py = pybind11;
using namespace Varnex;

namespace VarnexPy {
namespace {

double Similarity(const Fingerprint& a, const Fingerprint& b, const std::string& measure, double alpha, double beta) {
  const KvSimMeasureInfo& info = FindMeasure(measure);
  CheckTverskyCoeffs(alpha, beta);
  CallScope scope;
  const float score = info.score(a.fp, b.fp, static_cast<float>(alpha), static_cast<float>(beta));
  if (!scope.Empty()) scope.Fail("");
  return score;
}

py::array_t<double> BulkSimilarity(const Fingerprint& query, const FingerprintArray& array, const std::string& measure,
                                   double alpha, double beta) {
  if (query.fp.GetFPTypeBase() != array.Type())
    throw py::value_error("bulk_similarity(): fingerprint type mismatch! (query " +
                          query.fp.GetFPTypeBase()->GetFPTypeString() + ", array " + array.Type()->GetFPTypeString() +
                          ")");
  const KvSimMeasureInfo& info = FindMeasure(measure);
  py::array_t<double> out(static_cast<py::ssize_t>(array.Size()));
  double* scores = out.mutable_data();
  CallScope scope;
  if (array.HasFixedSize()) {
    const KvFPDatabaseOptions options = SearchOptions(0, py::none(), measure, alpha, beta, 1);
    const std::vector<std::uint64_t> words = ToWords(query.fp, array.Words());
    py::gil_scoped_release release;
    KvGetRecordScores(words.data(), array.Words(), array.Records(), array.StrideBytes(), array.Size(), options, scores);
  } else {
    // Lingo and unhashed fingerprints compare their texts pair by pair.
    py::gil_scoped_release release;
    for (std::size_t i = 0; i < array.Size(); ++i) scores[i] = info.score(query.fp, array.Get(i), static_cast<float>(alpha), static_cast<float>(beta));
  }
  scope.Warn();
  return out;
}

// The measure table as tuples (key, name, code, higher_is_better, symmetric,
// lowest, highest), for varnex.MEASURES.
py::list MeasureRows() {
  py::list rows;
  for (const KvSimMeasureInfo& info : KvSimMeasures)
    rows.append(py::make_tuple(info.key, info.name, info.code, info.higherIsBetter, info.symmetric, info.lowest,
                               info.highest));
  return rows;
}

}  // namespace

void BindSimilarity(py::module_& m) {
  m.def("_measures", &MeasureRows, "The library's table of similarity measures, one tuple per measure.");
  m.def(
      "_measure_key", [](const std::string& measure) { return FindMeasure(measure).key; }, py::arg("measure"),
      "The key of the measure `measure` spells in any case; ValueError naming the measures otherwise.");
  m.def("similarity", &Similarity, py::arg("a"), py::arg("b"), py::arg("measure") = "tanimoto",
        py::arg("alpha") = 1.0f, py::arg("beta") = 1.0f,
        R"doc(
The similarity of two fingerprints of one type under `measure`, a key of
varnex.MEASURES in any case: "tanimoto", "dice", "cosine", "euclid",
"tversky" (weights alpha for the bits only in a, beta for those only in b,
each in [0, 1]) or "manhattan" (a distance). Lingo and unhashed
fingerprints compare their substrings or identifiers. Two identical
fingerprints score 1.0 (Manhattan 0.0), also when both are empty. ValueError
for fingerprints of different types.
)doc");
  m.def("bulk_similarity", &BulkSimilarity, py::arg("query"), py::arg("array"), py::arg("measure") = "tanimoto",
        py::arg("alpha") = 1.0f, py::arg("beta") = 1.0f,
        R"doc(
The similarity of `query` to every row of a FingerprintArray of its type, as
a numpy float64 array. Fixed-size kinds are scored by the fast database's scan
kernels in double precision (an empty row scores 0.0 under Tanimoto and Cosine
where similarity() says 1.0 for two empty fingerprints); Lingo and unhashed
kinds pair by pair. Tversky weights must lie in [0, 1].
)doc");
}

}  // namespace VarnexPy
