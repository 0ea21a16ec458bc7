// varnex.explain: the patterns behind the bits of a fingerprint.

#include <pybind11/stl.h>

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

// One pattern as plain values (the molecule it came from is gone by then).
struct PatternRow {
  std::uint32_t bit, identifier;
  std::string pattern;
  std::vector<unsigned> atoms, bonds;
};

py::list Explain(py::handle molObj, const FPType& type, const py::object& bit) {
  const unsigned kind = type.ptr->GetFPType();
  const bool hasBits = HasBits(kind);
  const long long only = CheckBit("explain()", bit, type.ptr, hasBits);
  const std::vector<PatternRow> rows =
      OnParsedMolecule(ToMolSource(molObj), "explain(): cannot read the molecule", [&](const KvChem::KvMol& mol) {
        std::vector<PatternRow> found;
        for (const KvFPPattern& p : KvGetFeaturePatterns(mol, type.ptr)) {
          if (only >= 0 && p.GetBit() != static_cast<unsigned long long>(only)) continue;
          found.push_back({p.GetBit(), p.GetUnhashed(), p.GetSmarts(), {}, {}});
          for (const KvChem::KvAtomBase* a : p.GetAtoms()) found.back().atoms.push_back(a->GetIdx());
          for (const KvChem::KvBondBase* b : p.GetBonds()) found.back().bonds.push_back(b->GetIdx());
        }
        return found;
      });
  py::list out;
  for (const PatternRow& row : rows) {
    py::dict d;
    d["bit"] = hasBits ? py::cast(row.bit) : py::none();
    d["identifier"] = hasBits ? py::cast(row.identifier) : py::none();
    d["pattern"] = row.pattern;
    if (kind == KvFPType::MACCS166) d["description"] = KvGetMACCSKeyDescription(row.identifier);
    d["atoms"] = row.atoms;
    d["bonds"] = row.bonds;
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
