// varnex.draw and the histogram chart: SVG pictures from the library.

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "errors.h"
#include "kvsystem/temporary_output.h"
#include "molecules.h"
#include "objects.h"
#include "pattern_args.h"
#include "varnex/pictures.h"

namespace py = pybind11;
using namespace Varnex;

namespace VarnexPy {
namespace {

// The layout of the `panel` (width, height) and `columns` arguments, checked
// like the command line's -panel and -columns.
KvPictureLayout ToLayout(const char* function, const py::object& panel, const py::object& columns) {
  KvPictureLayout layout;
  if (!panel.is_none()) {
    const auto sides = panel.cast<std::pair<long long, long long>>();
    for (const long long side : {sides.first, sides.second})
      if (side < KvMinPanelRequest || side > KvMaxPanelRequest)
        throw py::value_error(std::string(function) + ": panel sides must be from " +
                              std::to_string(KvMinPanelRequest) + " to " + std::to_string(KvMaxPanelRequest) +
                              " pixels");
    layout.panelWidth = static_cast<unsigned>(sides.first);
    layout.panelHeight = static_cast<unsigned>(sides.second);
  }
  if (!columns.is_none()) {
    const long long n = columns.cast<long long>();
    if (n < 1 || n > KvMaxColumns)
      throw py::value_error(std::string(function) + ": columns must be from 1 to " + std::to_string(KvMaxColumns));
    layout.columns = static_cast<unsigned>(n);
  }
  return layout;
}

std::string Draw(py::handle molObj, const FPType& type, const py::object& bit, const py::object& panel,
                 const py::object& columns) {
  const KvPictureLayout layout = ToLayout("draw()", panel, columns);
  const long long only = CheckBit("draw()", bit, type.ptr, HasBits(type.ptr->GetFPType()));
  return OnParsedMolecule(ToMolSource(molObj), "draw(): cannot read the molecule", [&](const KvChem::KvMol& mol) {
    return KvDrawFPPatterns(mol, type.ptr, static_cast<int>(only), layout);
  });
}

// One hit as Python hands it over: (molecule or None, name, index, score).
struct HitSource {
  bool readable = false;
  MolSource mol;
  KvPictureHit hit;
};

// The HTML fragment of the hits of one query (KvGetHitGridHtml).
std::string HitGridHtml(const std::string& heading, py::handle queryObj, const py::list& hits, const py::object& type,
                        const std::string& highlight, const py::object& panel, const py::object& columns,
                        double mcsSeconds) {
  KvHitGridOptions options;
  options.layout = ToLayout("draw_hits()", panel, columns);
  if (!KvParseHitHighlight(highlight, options.highlight))
    throw py::value_error("draw_hits(): highlight must be 'mcs', 'bits' or 'none', not '" + highlight + "'");
  const FPType* fptype = type.is_none() ? nullptr : &type.cast<const FPType&>();
  if (options.highlight == KvHitHighlight::Bits && fptype == nullptr)
    throw py::value_error("draw_hits(): highlight='bits' needs the fingerprint type t of the scores");
  if (!(mcsSeconds > 0.0 && mcsSeconds <= 600.0))
    throw py::value_error("draw_hits(): mcs_time must be more than 0 and at most 600 seconds");
  options.mcsTimeLimit = std::chrono::milliseconds(std::max<long long>(1, std::llround(mcsSeconds * 1000.0)));
  const MolSource query = ToMolSource(queryObj);
  std::vector<HitSource> sources;
  for (const py::handle item : hits) {
    const auto fields = item.cast<py::tuple>();
    HitSource source;
    source.readable = !fields[0].is_none();
    if (source.readable) source.mol = ToMolSource(fields[0]);
    source.hit.name = fields[1].cast<std::string>();
    source.hit.index = fields[2].cast<std::size_t>();
    source.hit.score = fields[3].cast<double>();
    sources.push_back(std::move(source));
  }
  return OnParsedMolecule(query, "draw_hits(): cannot read the query", [&](const KvChem::KvMol& queryMol) {
    // A hit that cannot be read stays an invalid molecule: the grid notes it.
    std::vector<KvChem::KvMol> mols(sources.size());
    std::vector<KvPictureHit> pictureHits;
    for (std::size_t i = 0; i < sources.size(); ++i) {
      if (!sources[i].readable || !ParseMolSource(sources[i].mol, mols[i])) mols[i].SetInvalid();
      pictureHits.push_back(sources[i].hit);
      pictureHits.back().mol = &mols[i];
    }
    return KvGetHitGridHtml(heading, queryMol, pictureHits, fptype ? fptype->ptr : nullptr, options);
  });
}

KvFPHistogram ToHistogram(const py::array_t<std::uint64_t, py::array::c_style | py::array::forcecast>& counts,
                          double low, double high) {
  if (counts.ndim() != 1) throw py::value_error("the counts must be one-dimensional");
  return KvFPHistogram(std::vector<std::size_t>(counts.data(), counts.data() + counts.size()), low, high);
}

// `log`: None for the automatic choice, else whether the counts axis is logarithmic.
std::string HistogramSvg(const py::array_t<std::uint64_t, py::array::c_style | py::array::forcecast>& counts,
                         double low, double high, std::vector<std::string> title, const std::string& xLabel,
                         const std::string& yLabel, const py::object& log) {
  KvHistogramChartOptions options;
  options.title = std::move(title);
  options.xLabel = xLabel;
  options.yLabel = yLabel;
  options.scale = log.is_none() ? KvChartScale::Auto : log.cast<bool>() ? KvChartScale::Log : KvChartScale::Linear;
  return KvDrawHistogram(ToHistogram(counts, low, high), options);
}

bool HistogramWantsLog(const py::array_t<std::uint64_t, py::array::c_style | py::array::forcecast>& counts) {
  return KvHistogramWantsLogScale(ToHistogram(counts, 0.0, 1.0));
}

// Writes `bytes` to `path` through the library's one temporary-file writer:
// whole or not at all, an OSError of the system's error otherwise.
void SaveFile(const std::string& path, const std::string& bytes) {
  KvSystem::KvStatus status;
  {
    py::gil_scoped_release release;
    status = KvSystem::KvWriteWholeFile(path, bytes);
  }
  if (!status.IsOk()) ThrowStatus(status);
}

}  // namespace

void BindPictures(py::module_& m) {
  m.def("_draw", &Draw, py::arg("mol"), py::arg("type"), py::arg("bit") = py::none(), py::arg("panel") = py::none(),
        py::arg("columns") = py::none());
  m.def("_histogram_svg", &HistogramSvg, py::arg("counts"), py::arg("low"), py::arg("high"), py::arg("title"),
        py::arg("x_label"), py::arg("y_label"), py::arg("log") = py::none());
  m.def("_hit_grid_html", &HitGridHtml, py::arg("heading"), py::arg("query"), py::arg("hits"), py::arg("type"),
        py::arg("highlight"), py::arg("panel"), py::arg("columns"), py::arg("mcs_seconds"));
  m.def("_hit_page_html", &KvGetHitPageHtml, py::arg("title"), py::arg("subtitle"), py::arg("grids"));
  m.def("_hit_grid_style", &KvGetHitGridStyle);
  m.def("_save_file", &SaveFile, py::arg("path"), py::arg("bytes"));
  m.def("_histogram_wants_log", &HistogramWantsLog, py::arg("counts"));
  m.def("_histogram_title", [](const std::string& source, std::size_t records, const FPType& type,
                               const std::string& measure,
                               const py::array_t<std::uint64_t, py::array::c_style | py::array::forcecast>& counts) {
    return KvGetHistogramTitle(source, records, type.ptr->GetFPTypeString(), measure, ToHistogram(counts, 0.0, 1.0));
  });
}

}  // namespace VarnexPy
