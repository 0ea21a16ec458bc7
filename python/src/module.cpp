// The extension module varnex._core.

#include <pybind11/pybind11.h>

#include "call_scope.h"
#include "errors.h"
#include "objects.h"
#include "results.h"
#include "varnex/fastdb.h"
#include "varnex/info.h"

namespace py = pybind11;

PYBIND11_MODULE(_core, m) {
  m.doc() = "The compiled part of the varnex package; use the names exported by varnex itself.";
  VarnexPy::RegisterStatusTranslator();
  VarnexPy::RegisterResultTypes();
  m.attr("VarnexWarning") = py::handle(VarnexPy::VarnexWarningType());
  m.attr("__version__") = VARNEX_PACKAGE_VERSION;
  m.def("scan_kernel", &Varnex::KvGetScanKernelName,
        "The name of the scan kernel the fast searches use on this processor ('avx512', 'avx2', 'popcnt' or "
        "'software').");
  VarnexPy::BindTypes(m);
  VarnexPy::BindFingerprints(m);
  VarnexPy::BindSimilarity(m);
  VarnexPy::BindDatabase(m);
  VarnexPy::BindFastDatabase(m);
  VarnexPy::BindExplain(m);
  VarnexPy::BindPictures(m);
  VarnexPy::BindBaselines(m);
  VarnexPy::BindShards(m);
  VarnexPy::BindCollection(m);
}
