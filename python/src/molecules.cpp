#include "molecules.h"

#include "kvsystem/error.h"

namespace py = pybind11;

namespace VarnexPy {
namespace {

// rdkit.Chem.Mol, or None when RDKit's Python package is missing. Looked up
// once; kept for the life of the process.
PyObject* RDKitMolType() {
  static PyObject* type = [] {
    try {
      py::object mol = py::module_::import("rdkit.Chem").attr("Mol");
      return mol.release().ptr();
    } catch (const py::error_already_set&) {
      PyErr_Clear();
      return static_cast<PyObject*>(nullptr);
    }
  }();
  return type;
}

bool IsRDKitMol(py::handle obj) {
  PyObject* type = RDKitMolType();
  if (type == nullptr) return false;
  const int is = PyObject_IsInstance(obj.ptr(), type);
  if (is < 0) throw py::error_already_set();
  return is == 1;
}

}  // namespace

void RequireMoleculeIterable(py::handle mols) {
  if (PyUnicode_Check(mols.ptr()) || PyBytes_Check(mols.ptr()))
    throw py::type_error("expected an iterable of molecules, got a single " + std::string(Py_TYPE(mols.ptr())->tp_name) +
                         "; wrap one molecule in a list");
}

bool IsMolecule(py::handle obj) { return PyUnicode_Check(obj.ptr()) || IsRDKitMol(obj); }

MolSource ToMolSource(py::handle obj, bool allowNone) {
  MolSource source;
  if (allowNone && obj.is_none()) {
    source.form = MolSource::Form::Missing;
  } else if (PyUnicode_Check(obj.ptr())) {
    source.data = obj.cast<std::string>();
    source.form = source.data.find("M  END") != std::string::npos ? MolSource::Form::MolBlock : MolSource::Form::Smiles;
  } else if (IsRDKitMol(obj)) {
    source.form = MolSource::Form::Pickle;
    source.data = obj.attr("ToBinary")().cast<std::string>();
  } else {
    throw py::type_error("expected a molecule (a SMILES string, a molfile block or an rdkit.Chem.Mol), got " +
                         std::string(Py_TYPE(obj.ptr())->tp_name));
  }
  return source;
}

bool ParseMolSource(const MolSource& source, KvChem::KvMolBase& mol) {
  switch (source.form) {
    case MolSource::Form::MolBlock: return KvChem::KvMolBlockToMol(source.data, mol);
    case MolSource::Form::Pickle: return KvChem::KvBinaryToMol(source.data, mol);
    case MolSource::Form::Missing:
      KvSystem::KvThrow()->Warning("no molecule (None), as RDKit gives for a molecule it could not read");
      return false;
    case MolSource::Form::Smiles: break;
  }
  return KvChem::KvSmilesToMol(source.data, mol);
}

}  // namespace VarnexPy
