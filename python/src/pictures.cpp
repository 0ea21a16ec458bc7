// varnex.draw and the histogram chart: SVG pictures from the library.

#include <pybind11/numpy.h>

#include <vector>

#include "call_scope.h"
#include "molecules.h"
#include "objects.h"
#include "varnex/pictures.h"

namespace py = pybind11;
using namespace Varnex;

namespace VarnexPy {
namespace {

bool IsUnhashed(unsigned kind) {
  return kind == KvFPType::UnhashedPath || kind == KvFPType::UnhashedTree || kind == KvFPType::UnhashedCircular;
}

std::string Draw(py::handle molObj, const FPType& type, const py::object& bit) {
  const unsigned kind = type.ptr->GetFPType();
  const bool unhashed = IsUnhashed(kind);
  if (!unhashed && kind != KvFPType::Path && kind != KvFPType::Tree && kind != KvFPType::Circular)
    throw py::value_error("draw(): patterns exist for Path, Tree and Circular fingerprints and their unhashed forms, "
                          "not " + type.ptr->GetFPTypeString());
  const long long only = bit.is_none() ? -1 : bit.cast<long long>();
  if (only < -1 || only > 65535) throw py::value_error("draw(): bit must be between 0 and 65535");
  if (unhashed && only >= 0) throw py::value_error("draw(): unhashed fingerprints have no bits");
  const MolSource source = ToMolSource(molObj);
  CallScope scope;
  std::string svg;
  bool parsed = false;
  {
    py::gil_scoped_release release;
    KvChem::KvMol mol;
    parsed = ParseMolSource(source, mol);
    if (parsed) svg = KvDrawFPPatterns(mol, type.ptr, static_cast<int>(only));
  }
  if (!parsed) scope.Fail("draw(): cannot read the molecule");
  scope.Warn();
  return svg;
}

std::string HistogramSvg(const py::array_t<std::uint64_t, py::array::c_style | py::array::forcecast>& counts,
                         double low, double high, const std::string& xLabel, const std::string& yLabel) {
  if (counts.ndim() != 1) throw py::value_error("the counts must be one-dimensional");
  std::vector<std::size_t> bins(counts.data(), counts.data() + counts.size());
  return KvDrawHistogram(KvFPHistogram(bins, low, high), xLabel, yLabel);
}

}  // namespace

void BindPictures(py::module_& m) {
  m.def("_draw", &Draw, py::arg("mol"), py::arg("type"), py::arg("bit") = py::none());
  m.def("_histogram_svg", &HistogramSvg, py::arg("counts"), py::arg("low"), py::arg("high"), py::arg("x_label"),
        py::arg("y_label"));
}

}  // namespace VarnexPy
