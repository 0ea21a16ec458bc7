// varnex.FPType: fingerprint types by kind and parameters or by type string.

#include <pybind11/stl.h>

#include <array>
#include <cctype>
#include <limits>
#include <string_view>

#include "call_scope.h"
#include "generation.h"
#include "kvchem/mol.h"
#include "objects.h"
#include "varnex/generation.h"
#include "varnex/typing.h"

namespace py = pybind11;
using namespace Varnex;

namespace VarnexPy {
namespace {

struct KindEntry {
  const char* name;
  unsigned code;
};
constexpr std::array<KindEntry, 8> kKinds{{{"Path", KvFPType::Path},
                                           {"Tree", KvFPType::Tree},
                                           {"Circular", KvFPType::Circular},
                                           {"MACCS166", KvFPType::MACCS166},
                                           {"Lingo", KvFPType::Lingo},
                                           {"UnhashedPath", KvFPType::UnhashedPath},
                                           {"UnhashedTree", KvFPType::UnhashedTree},
                                           {"UnhashedCircular", KvFPType::UnhashedCircular}}};

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

unsigned KindCode(const std::string& kind) {
  for (const KindEntry& k : kKinds)
    if (SameName(kind, k.name)) return k.code;
  std::string names;
  for (const KindEntry& k : kKinds) names += std::string(names.empty() ? "" : ", ") + k.name;
  throw py::value_error("unknown fingerprint kind '" + kind + "' (one of " + names + ")");
}

const char* KindName(unsigned code) {
  for (const KindEntry& k : kKinds)
    if (k.code == code) return k.name;
  return "UNKNOWN";
}

const KvFPGraphTypeBase* Graph(const FPType& t) { return dynamic_cast<const KvFPGraphTypeBase*>(t.ptr); }

// An integer parameter in [0, limit]; None keeps `current`.
unsigned Number(const py::object& value, const char* name, unsigned limit, unsigned current) {
  if (value.is_none()) return current;
  if (!PyLong_Check(value.ptr()) || PyBool_Check(value.ptr()))
    throw py::type_error(std::string(name) + " must be an integer");
  const long long v = value.cast<long long>();
  if (v < 0 || v > static_cast<long long>(limit))
    throw py::value_error(std::string(name) + " must lie in 0.." + std::to_string(limit) + ", got " +
                          std::to_string(v));
  return static_cast<unsigned>(v);
}

// A flag set given as an integer or as flag names joined by "|".
unsigned Flags(const py::object& value, const char* name, unsigned limit, unsigned current, bool atoms) {
  if (!PyUnicode_Check(value.ptr())) return Number(value, name, limit, current);
  const std::string text = value.cast<std::string>();
  if (!(atoms ? KvIsValidFPAtomType(text) : KvIsValidFPBondType(text)))
    throw py::value_error(std::string("unknown ") + name + " '" + text + "'");
  return atoms ? KvGetFPAtomType(text) : KvGetFPBondType(text);
}

// Makes a fingerprint of a small molecule with `type`: the generator reports
// (and would repair) every parameter it does not accept.
void CheckByGeneration(const KvFPTypeBase* type) {
  static const KvChem::KvMol* probe = [] {
    auto* mol = new KvChem::KvMol();
    KvChem::KvSmilesToMol("CC(=O)Nc1ccccc1", *mol);
    return mol;
  }();
  CallScope scope;
  KvFingerPrint fp;
  const bool made = KvMakeFP(fp, *probe, type);
  if (!scope.Empty() || !made || fp.GetFPTypeBase() != type)
    scope.Fail("invalid fingerprint parameters: " + type->GetFPTypeString());
}

FPType MakeType(const std::string& kind, const py::object& size, const py::object& minDist,
                const py::object& maxDist, const py::object& atomType, const py::object& bondType) {
  const unsigned code = KindCode(kind);
  const KvFPTypeBase* base = KvGetFPType(code);
  const auto* graph = dynamic_cast<const KvFPGraphTypeBase*>(base);
  const bool anyParameter =
      !size.is_none() || !minDist.is_none() || !maxDist.is_none() || !atomType.is_none() || !bondType.is_none();
  if (graph == nullptr) {
    if (anyParameter) throw py::value_error(std::string(KindName(code)) + " fingerprints take no parameters");
    return FPType{base};
  }
  const bool hashed = code == KvFPType::Path || code == KvFPType::Tree || code == KvFPType::Circular;
  if (!hashed && !size.is_none())
    throw py::value_error(std::string(KindName(code)) + " fingerprints have no size parameter");
  if (!anyParameter) return FPType{base};
  const unsigned bits = Number(size, "size", 65535, graph->GetNumBits());
  const unsigned lo = Number(minDist, "min_dist", 255, graph->GetMinDistance());
  const unsigned hi = Number(maxDist, "max_dist", 255, graph->GetMaxDistance());
  const unsigned atoms = Flags(atomType, "atom_type", 65535, graph->GetAtomTypes(), true);
  const unsigned bonds = Flags(bondType, "bond_type", 255, graph->GetBondTypes(), false);
  const KvFPTypeBase* type = nullptr;
  switch (code) {
    case KvFPType::Path: type = KvGetPathFPType(bits, lo, hi, atoms, bonds); break;
    case KvFPType::Tree: type = KvGetTreeFPType(bits, lo, hi, atoms, bonds); break;
    case KvFPType::Circular: type = KvGetCircularFPType(bits, lo, hi, atoms, bonds); break;
    case KvFPType::UnhashedPath: type = KvGetUnhashedPathFPType(KvGraphFPVersion, lo, hi, atoms, bonds); break;
    case KvFPType::UnhashedTree: type = KvGetUnhashedTreeFPType(KvGraphFPVersion, lo, hi, atoms, bonds); break;
    default: type = KvGetUnhashedCircularFPType(KvGraphFPVersion, lo, hi, atoms, bonds); break;
  }
  if (!hashed) {
    if (lo > hi) throw py::value_error("min_dist must not exceed max_dist");
    if (atoms == 0 && bonds == 0) throw py::value_error("atom_type and bond_type must not both be None");
    return FPType{type};
  }
  CheckByGeneration(type);
  return FPType{type};
}

FPType FromString(const std::string& text) {
  CallScope scope;
  const KvFPTypeBase* type = KvGetFPType(text);
  if (type == nullptr) scope.Fail("unknown fingerprint type string '" + text + "'");
  scope.Warn();
  return FPType{type};
}

py::object GraphField(const FPType& t, unsigned (KvFPGraphTypeBase::*field)() const) {
  const KvFPGraphTypeBase* graph = Graph(t);
  return graph == nullptr ? py::object(py::none()) : py::object(py::int_((graph->*field)()));
}

}  // namespace

void BindTypes(py::module_& m) {
  py::class_<FPType>(m, "FPType", R"doc(
A fingerprint type: the kind and its generation parameters.

FPType(kind="Path", size=None, min_dist=None, max_dist=None, atom_type=None, bond_type=None)

kind is one of "Path", "Tree", "Circular", "MACCS166", "Lingo", "UnhashedPath",
"UnhashedTree", "UnhashedCircular". Parameters left out keep the kind's
defaults. atom_type and bond_type take flag names joined by "|"
("AtmNum|Arom|InRing") or the integer. A parameter the library does not accept
raises ValueError with the library's message. str(t) is the type string, which
FPType.from_string reads back. Types are immutable, hashable and picklable;
equal types are the same type.
)doc")
      .def(py::init(&MakeType), py::arg("kind") = "Path", py::kw_only(), py::arg("size") = py::none(),
           py::arg("min_dist") = py::none(), py::arg("max_dist") = py::none(), py::arg("atom_type") = py::none(),
           py::arg("bond_type") = py::none())
      .def_static("from_string", &FromString, py::arg("type_string"),
                  "The type of a type string such as 'Path,ver=2.0.0,size=1024,...'; ValueError when it does not parse.")
      .def_property_readonly("kind", [](const FPType& t) { return KindName(t.ptr->GetFPType()); },
                             "The kind name ('Path', 'MACCS166', ...).")
      .def_property_readonly(
          "size",
          [](const FPType& t) -> py::object {
            const std::size_t bits = FixedBits(t.ptr);
            return bits == 0 ? py::object(py::none()) : py::object(py::int_(bits));
          },
          "Bits per fingerprint; None for the kinds whose size varies (Lingo, unhashed).")
      .def_property_readonly("min_dist", [](const FPType& t) { return GraphField(t, &KvFPGraphTypeBase::GetMinDistance); },
                             "Smallest path length or radius; None for MACCS166 and Lingo.")
      .def_property_readonly("max_dist", [](const FPType& t) { return GraphField(t, &KvFPGraphTypeBase::GetMaxDistance); },
                             "Largest path length or radius; None for MACCS166 and Lingo.")
      .def_property_readonly(
          "atom_type",
          [](const FPType& t) -> py::object {
            const KvFPGraphTypeBase* g = Graph(t);
            return g == nullptr ? py::object(py::none()) : py::object(py::str(KvGetFPAtomType(g->GetAtomTypes())));
          },
          "Atom type flags as names joined by '|'; None for MACCS166 and Lingo.")
      .def_property_readonly(
          "bond_type",
          [](const FPType& t) -> py::object {
            const KvFPGraphTypeBase* g = Graph(t);
            return g == nullptr ? py::object(py::none()) : py::object(py::str(KvGetFPBondType(g->GetBondTypes())));
          },
          "Bond type flags as names joined by '|'; None for MACCS166 and Lingo.")
      .def_property_readonly("version", [](const FPType& t) { return t.ptr->GetFPVersionString(); },
                             "The version of the generating algorithm, 'major.minor.patch'.")
      .def("__str__", [](const FPType& t) { return t.ptr->GetFPTypeString(); })
      .def("__repr__", [](const FPType& t) { return "FPType.from_string('" + t.ptr->GetFPTypeString() + "')"; })
      .def("__eq__", [](const FPType& a, const FPType& b) { return a == b; }, py::is_operator())
      .def("__eq__", [](const FPType&, const py::object&) { return false; })
      .def("__hash__", [](const FPType& t) { return std::hash<std::string>()(t.ptr->GetFPTypeString()); })
      .def(py::pickle([](const FPType& t) { return py::make_tuple(t.ptr->GetFPTypeString()); },
                      [](const py::tuple& state) { return FromString(state[0].cast<std::string>()); }))
      .def("fingerprint", &MakeFingerprint, py::arg("mol"),
           "The fingerprint of one molecule (SMILES, molfile block or rdkit.Chem.Mol); ValueError when it does "
           "not parse, TypeError for a non-molecule.")
      .def("fingerprints", &MakeFingerprints, py::arg("mols"), py::arg("threads") = 0,
           "A FingerprintArray of the molecules of any iterable, made on `threads` threads (0: every "
           "processor). A molecule that fails keeps its row (no bits set), its index goes to .failed and one "
           "warning says why.");
}

}  // namespace VarnexPy
