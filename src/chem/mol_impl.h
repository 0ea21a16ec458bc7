// Internal: the RDKit molecule behind a KvMolBase and the wrapper tables.
//
// Only the chemistry layer includes this header (it pulls in RDKit).
#pragma once

#include <GraphMol/RWMol.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kvchem/mol.h"
#include "kvsystem/base.h"

namespace KvChem {

struct KvMolImpl {
  explicit KvMolImpl(KvMolBase* owner);
  // A deep copy of `other` for `owner`: the RDKit molecule, the wrappers, the
  // attached data of atoms and bonds, the perception state and caches.
  KvMolImpl(KvMolBase* owner, const KvMolImpl& other);
  KvMolImpl(const KvMolImpl&) = delete;
  KvMolImpl& operator=(const KvMolImpl&) = delete;

  KvMolBase* owner;
  std::unique_ptr<RDKit::RWMol> mol;  // never null
  bool valid = true;
  std::string title;
  unsigned perceived = 0;  // KvPerception flags that are current
  // Whether the toolkit's conjugation flags were left unset by a read that
  // skipped hybridisation; hybridisation reads them, so it sets them first.
  bool conjugationPending = false;

  // Wrappers, indexed like the RDKit atoms and bonds.
  std::vector<std::unique_ptr<KvAtomBase>> atoms;
  std::vector<std::unique_ptr<KvBondBase>> bonds;
  std::vector<KvAtomBase*> atomPtrs;
  std::vector<KvBondBase*> bondPtrs;
  // RDKit bonds by index (RDKit's own lookup by index walks its edge list).
  std::vector<RDKit::Bond*> rdBonds;
  // Flat neighbour tables; each atom's bonds_ and neighbors_ view a run.
  std::vector<KvBondBase*> nbrBonds;
  std::vector<KvAtomBase*> nbrAtoms;

  // Begin/EndModify bracket: depth, pending deletions, whether anything changed.
  unsigned modifyDepth = 0;
  std::vector<bool> pendingDelete;
  bool editedInModify = false;

  // Symmetry classes (1-based), valid while KvPerception::Symmetry is set.
  std::vector<unsigned> symmetry;

  // Lazily computed Kekulé bond orders (0 = not known), guarded by kekuleMutex.
  mutable std::mutex kekuleMutex;
  mutable std::atomic<bool> kekuleReady{false};
  mutable std::vector<std::uint8_t> kekuleOrders;

  // Serialises toolkit calls that write computed properties onto the RDKit
  // molecule although they take it as const (SMILES writing).
  mutable std::mutex toolkitMutex;

  // Replaces the RDKit molecule by `fresh` (owned), rebuilds every wrapper
  // without data, and resets perception state.
  void Reset(std::unique_ptr<RDKit::RWMol> fresh);
  // Builds the wrapper tables for the current RDKit molecule from scratch.
  void BuildWrappers();
  // Runs `edit` on the RDKit molecule (which may remove atoms and bonds but
  // not add them), then rebuilds the tables keeping the wrapper objects (and
  // their attached data) of surviving atoms and bonds.
  template <typename Edit>
  void EditStructure(Edit&& edit);
  // Points every wrapper at a new owning molecule (after a move).
  void SetOwner(KvMolBase* newOwner);
  // Refills indices and neighbour lists of the wrappers from the RDKit graph.
  void RelinkWrappers();
  // Forgets perception state, the recorded aromaticity model and caches.
  void OnEdit();
  // Forgets caches derived from bond orders and aromaticity.
  void InvalidateDerived();
  // Records that RDKit rings, model-2 aromaticity and the rest of `flags`
  // (hybridisation, stereo) are current (a freshly sanitised molecule).
  void MarkSanitized(unsigned flags = KvPerception::Read);
  void SetAromaticityModel(unsigned model);

  // Kekulé order of bond `idx`, 0 when no Kekulé form is known.
  unsigned KekuleOrder(unsigned idx) const;

 private:
  void ComputeKekule() const;
  std::vector<const void*> SnapshotAtoms() const;
  std::vector<const void*> SnapshotBonds() const;
  void Reconcile(const std::vector<const void*>& oldAtoms, const std::vector<const void*>& oldBonds);
};

template <typename Edit>
void KvMolImpl::EditStructure(Edit&& edit) {
  auto oldAtoms = SnapshotAtoms();
  auto oldBonds = SnapshotBonds();
  edit(*mol);
  Reconcile(oldAtoms, oldBonds);
  OnEdit();
}

// The tag of the aromaticity model record (cached).
KvSystem::KvTag AromaticityModelTag();

// Silences RDKit's own logging once per process; our callers get warnings
// through KvThrow() instead.
void SilenceToolkitLogs();

// Parsers that report failure through `reason` instead of warning. On success
// `mol` holds the molecule (title from the SMILES name or the molfile title
// line); on failure `mol` is invalid.
// `perception` (KvPerception flags) is what the caller reads beyond rings,
// aromaticity and stereo, always perceived (see KvMolDatabase::GetMolecule).
bool ParseSmiles(const std::string& smiles, KvMolBase& mol, std::string& reason, bool parseName,
                 unsigned perception = KvPerception::Read);
bool ParseMolBlock(const std::string& molBlock, KvMolBase& mol, std::string& reason);

// The message of a caught exception.
std::string DescribeCurrentException();

}  // namespace KvChem
