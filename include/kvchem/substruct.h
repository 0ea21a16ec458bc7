// Substructure search, matches and atom-bond sets.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kvchem/mol.h"
#include "kvsystem/iterator.h"

namespace KvChem {

// A set of atoms and bonds of one molecule (pointers into it; not owned).
// Copyable value.
class KvAtomBondSet {
 public:
  KvAtomBondSet() = default;
  KvAtomBondSet(std::vector<const KvAtomBase*> atoms, std::vector<const KvBondBase*> bonds)
      : atoms_(std::move(atoms)), bonds_(std::move(bonds)) {}
  virtual ~KvAtomBondSet() = default;
  KvAtomBondSet(const KvAtomBondSet&) = default;
  KvAtomBondSet& operator=(const KvAtomBondSet&) = default;

  const std::vector<const KvAtomBase*>& GetAtoms() const { return atoms_; }
  const std::vector<const KvBondBase*>& GetBonds() const { return bonds_; }
  void AddAtom(const KvAtomBase* atom) { atoms_.push_back(atom); }
  void AddBond(const KvBondBase* bond) { bonds_.push_back(bond); }
  bool HasAtom(const KvAtomBase* atom) const;
  bool HasBond(const KvBondBase* bond) const;
  size_t NumAtoms() const { return atoms_.size(); }
  size_t NumBonds() const { return bonds_.size(); }
  // A heap copy of the most derived type; the caller owns it.
  virtual KvAtomBondSet* CreateCopy() const { return new KvAtomBondSet(*this); }

 private:
  std::vector<const KvAtomBase*> atoms_;
  std::vector<const KvBondBase*> bonds_;
};

// A pair of corresponding atoms: `query` is null when the first side is a
// SMARTS pattern, whose atom is then named by `queryIdx`.
struct KvAtomPair {
  const KvAtomBase* query = nullptr;
  const KvAtomBase* target = nullptr;
  unsigned queryIdx = 0;
};
struct KvBondPair {
  const KvBondBase* query = nullptr;
  const KvBondBase* target = nullptr;
  unsigned queryIdx = 0;
};

// A correspondence of atoms and bonds between a pattern (or molecule A) and a
// target (molecule B). Copyable value.
class KvMatchBase {
 public:
  KvMatchBase() = default;
  virtual ~KvMatchBase() = default;
  KvMatchBase(const KvMatchBase&) = default;
  KvMatchBase& operator=(const KvMatchBase&) = default;
  const std::vector<KvAtomPair>& GetAtomPairs() const { return atoms_; }
  const std::vector<KvBondPair>& GetBondPairs() const { return bonds_; }

 protected:
  std::vector<KvAtomPair> atoms_;
  std::vector<KvBondPair> bonds_;
};

// A match built from explicit atom and bond pairs.
class KvMatch : public KvMatchBase {
 public:
  KvMatch() = default;
  KvMatch(std::vector<KvAtomPair> atoms, std::vector<KvBondPair> bonds) {
    atoms_ = std::move(atoms);
    bonds_ = std::move(bonds);
  }
  void AddAtomPair(const KvAtomPair& pair) { atoms_.push_back(pair); }
  void AddBondPair(const KvBondPair& pair) { bonds_.push_back(pair); }
};

struct KvSubSearchImpl;

// A compiled SMARTS pattern (RDKit SMARTS). Compiled once on construction;
// matching is const and safe from many threads at once on distinct or shared
// targets, recursive patterns included. A target whose rings are not current
// is matched through a private copy with rings perceived.
class KvSubSearch {
 public:
  // An unparsable SMARTS gives an invalid search and one warning.
  explicit KvSubSearch(const std::string& smarts);
  ~KvSubSearch();
  KvSubSearch(const KvSubSearch&) = delete;
  KvSubSearch& operator=(const KvSubSearch&) = delete;

  bool IsValid() const;
  const std::string& GetSmarts() const;
  // All matches; `unique` drops matches that cover the same target atoms.
  // The caller owns the iterator; an invalid search or molecule gives none.
  KvSystem::KvIterBase<KvMatchBase>* Match(const KvMolBase& mol, bool unique) const;
  // Whether there is at least one match.
  bool SingleMatch(const KvMolBase& mol) const;
  // The number of matches (unique ones with `unique`), counting no further
  // than `maxMatches`; 0 means no limit.
  unsigned CountMatches(const KvMolBase& mol, bool unique, unsigned maxMatches) const;

 private:
  std::unique_ptr<KvSubSearchImpl> impl_;
};

}  // namespace KvChem
