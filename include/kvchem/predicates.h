// Atom predicates. Immutable after construction; safe to share across threads.
#pragma once

#include "kvchem/mol.h"

namespace KvChem {

class KvIsHeavy final : public KvAtomPredicate {
 public:
  bool operator()(const KvAtomBase& atom) const override { return !atom.IsHydrogen(); }
  KvIsHeavy* CreateCopy() const override { return new KvIsHeavy(*this); }
};

class KvIsHydrogen final : public KvAtomPredicate {
 public:
  bool operator()(const KvAtomBase& atom) const override { return atom.IsHydrogen(); }
  KvIsHydrogen* CreateCopy() const override { return new KvIsHydrogen(*this); }
};

class KvHasAtomicNum final : public KvAtomPredicate {
 public:
  explicit KvHasAtomicNum(unsigned atomicNum) : atomicNum_(atomicNum) {}
  bool operator()(const KvAtomBase& atom) const override { return atom.GetAtomicNum() == atomicNum_; }
  KvHasAtomicNum* CreateCopy() const override { return new KvHasAtomicNum(*this); }

 private:
  unsigned atomicNum_;
};

// True when the atom is single-bonded to an atom that has a double or triple
// bond (and, with `aromatic`, an aromatic bond) to a third atom.
class KvHasAlphaBetaUnsat final : public KvAtomPredicate {
 public:
  explicit KvHasAlphaBetaUnsat(bool aromatic) : aromatic_(aromatic) {}
  bool operator()(const KvAtomBase& atom) const override;
  KvHasAlphaBetaUnsat* CreateCopy() const override { return new KvHasAlphaBetaUnsat(*this); }

 private:
  bool aromatic_;
};

}  // namespace KvChem
