// The working molecule of a graph generator.
//
// Every generator works on a molecule in the prepared state (hydrogens and
// wildcard atoms folded away, rings and model-2 aromaticity perceived) on
// which the perception that typing needs (hybridisation, chirality) has run.
// When the caller's molecule is already in that state, copying and preparing
// would change nothing, so the caller's molecule is read directly; otherwise
// a private copy is prepared. No symmetry classes are ranked: ranking costs
// more than the walks from symmetric start atoms would save (the walks still
// skip those of classes a caller perceived).
// Copying is most of the cost of a small fingerprint.
//
// Thread safety: the caller's molecule is only read, so several threads may
// use one molecule at once.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kvchem/mol.h"

namespace Varnex {

class WorkingMol {
 public:
  WorkingMol(const KvChem::KvMolBase& mol, unsigned kind, unsigned atomFlags, unsigned bondFlags);
  WorkingMol(const WorkingMol&) = delete;
  WorkingMol& operator=(const WorkingMol&) = delete;

  // Brings `mol`, which the caller owns, into the state the constructor
  // prepares a copy into for the same arguments; the constructor then reads
  // `mol` itself.
  static void ReadyInPlace(KvChem::KvMolBase& mol, unsigned kind, unsigned atomFlags, unsigned bondFlags);

  // The molecule to type and walk: the caller's or the prepared copy.
  const KvChem::KvMolBase& Get() const { return *mol_; }

  // The type numbers (or SMARTS-like type strings) of every atom and bond
  // under the flags given at construction (see typing.h), indexed by atom
  // and bond index.
  void Type(std::vector<unsigned>& atomTypes, std::vector<unsigned>& bondTypes) const;
  void Type(std::vector<std::string>& atomTypes, std::vector<std::string>& bondTypes) const;

 private:
  std::optional<KvChem::KvGraphMol> copy_;
  const KvChem::KvMolBase* mol_;
  unsigned atomFlags_;
  unsigned bondFlags_;
};

}  // namespace Varnex
