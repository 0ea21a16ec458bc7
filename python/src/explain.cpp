// varnex.explain: the patterns behind the bits of a fingerprint.

#include <pybind11/stl.h>

#include "call_scope.h"
#include "molecules.h"
#include "objects.h"
#include "pattern_args.h"
#include "varnex/maccs.h"
#include "varnex/patterns.h"
#include "varnex/pictures.h"

namespace py = pybind11;
using namespace Varnex;

namespace VarnexPy {
namespace {

py::list Explain(py::handle molObj, const FPType& type, const py::object& bit) {
  const unsigned kind = type.ptr->GetFPType();
  const bool hasBits = HasBits(kind);
  const long long only = CheckBit("explain()", bit, type.ptr, hasBits);
  const MolSource source = ToMolSource(molObj);
  CallScope scope;
  std::vector<KvFPPattern> patterns;
  bool parsed = false;
  KvChem::KvMol mol;
  {
    py::gil_scoped_release release;
    parsed = ParseMolSource(source, mol);
    if (parsed) patterns = KvGetFeaturePatterns(mol, type.ptr);
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
    d["bit"] = hasBits ? py::cast(p.GetBit()) : py::none();
    d["identifier"] = hasBits ? py::cast(p.GetUnhashed()) : py::none();
    d["pattern"] = p.GetSmarts();
    if (kind == KvFPType::MACCS166) d["description"] = KvGetMACCSKeyDescription(p.GetUnhashed());
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
The patterns behind a molecule's fingerprint: one dict per feature with `bit`,
`identifier` (the unhashed number; for MACCS166 the key number), `pattern`
(its SMARTS-like text), `atoms` and `bonds` (indices in the molecule as
given), and for MACCS166 the key's `description`. Unhashed kinds give their
stored identifiers and Lingo its substrings of 4 characters, with `bit` and
`identifier` None. With `bit`, only the features that set that bit (kinds
with bits only).
)doc");
}

}  // namespace VarnexPy
