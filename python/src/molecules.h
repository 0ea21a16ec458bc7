// Molecules from Python objects: SMILES strings, molfile blocks and RDKit
// Chem.Mol objects (which cross as RDKit's binary pickle, never as text).
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <utility>

#include "call_scope.h"
#include "kvchem/mol.h"

namespace VarnexPy {

// A molecule as taken from Python, ready to be parsed without the
// interpreter lock.
struct MolSource {
  enum class Form { Smiles, MolBlock, Pickle, Missing };
  Form form = Form::Smiles;
  std::string data;
};

// Whether `obj` is something ToMolSource accepts. Needs the interpreter lock.
bool IsMolecule(pybind11::handle obj);
// The molecule form of `obj`: a str holding "M  END" is a molfile block, any
// other str a SMILES (an optional name may follow after white space), an
// rdkit.Chem.Mol its pickle; with `allowNone` None is a missing molecule
// (what Chem.MolFromSmiles returns for a bad SMILES). TypeError for anything
// else. Needs the lock; the caller's molecule is only read.
MolSource ToMolSource(pybind11::handle obj, bool allowNone = false);
// TypeError when `mols` is a str or bytes: an iterable of molecules was meant,
// not the characters of one SMILES.
void RequireMoleculeIterable(pybind11::handle mols);
// Parses `source` into `mol`; false with the library's warning (or, for a
// missing molecule, one naming it). No lock needed.
bool ParseMolSource(const MolSource& source, KvChem::KvMolBase& mol);

// Parses `source` and runs `work(mol)` without the interpreter lock, inside
// a CallScope: a molecule that cannot be read raises the library's message
// (`fallback` when there is none), other messages become warnings. Returns
// what `work` returned, which must not point into the molecule. Needs the lock.
template <typename Work>
auto OnParsedMolecule(const MolSource& source, const std::string& fallback, Work&& work) {
  CallScope scope;
  decltype(work(std::declval<KvChem::KvMol&>())) result{};
  bool parsed = false;
  {
    pybind11::gil_scoped_release release;
    KvChem::KvMol mol;
    parsed = ParseMolSource(source, mol);
    if (parsed) result = work(mol);
  }
  if (!parsed) scope.Fail(fallback);
  scope.Warn();
  return result;
}

}  // namespace VarnexPy
