// varnex.explain: the patterns behind the bits of a fingerprint.

#include <pybind11/stl.h>

#include "call_scope.h"
#include "molecules.h"
#include "objects.h"
#include "varnex/patterns.h"

namespace py = pybind11;
using namespace Varnex;

namespace VarnexPy {
namespace {

py::list Explain(py::handle molObj, const FPType& type, const py::object& bit) {
  const unsigned kind = type.ptr->GetFPType();
  if (kind != KvFPType::Path && kind != KvFPType::Tree && kind != KvFPType::Circular)
    throw py::value_error("explain(): patterns exist for Path, Tree and Circular fingerprints, not " +
                          type.ptr->GetFPTypeString());
  const long long only = bit.is_none() ? -1 : bit.cast<long long>();
  const MolSource source = ToMolSource(molObj);
  CallScope scope;
  std::vector<KvFPPattern> patterns;
  bool parsed = false;
  KvChem::KvMol mol;
  {
    py::gil_scoped_release release;
    parsed = ParseMolSource(source, mol);
    if (parsed) patterns = KvSystem::KvCollect(KvGetFPPatterns(mol, type.ptr));
  }
  if (!parsed) scope.Fail("explain(): cannot read the molecule");
  scope.Warn();
  py::list out;
  for (const KvFPPattern& p : patterns) {
    if (only >= 0 && p.GetBit() != static_cast<unsigned long long>(only)) continue;
    std::vector<unsigned> atoms, bonds;
    for (const KvChem::KvAtomBase* a : p.GetAtoms()) atoms.push_back(a->GetIdx());
    for (const KvChem::KvBondBase* b : p.GetBonds()) bonds.push_back(b->GetIdx());
    py::dict d;
    d["bit"] = p.GetBit();
    d["identifier"] = p.GetUnhashed();
    d["pattern"] = p.GetSmarts();
    d["atoms"] = atoms;
    d["bonds"] = bonds;
    out.append(d);
  }
  return out;
}

}  // namespace

void BindExplain(py::module_& m) {
  m.def("explain", &Explain, py::arg("mol"), py::arg("type"), py::arg("bit") = py::none(),
        R"doc(
The patterns behind the bits of a molecule's Path, Tree or Circular
fingerprint: one dict per feature with `bit`, `identifier` (the unhashed
number), `pattern` (its SMARTS-like text), `atoms` and `bonds` (indices in the
molecule as given). With `bit`, only the features that set that bit.
)doc");
}

}  // namespace VarnexPy
