// Canonical partition refinement over a set of atoms.
//
// A CanonState holds a set of atoms of one molecule in a current order, cut
// into classes (runs of the order). The caller supplies comparisons; the
// operations sort and split classes with them. Class numbers are the position
// of the class's first member in the order, so a lower number ranks first.
// Sorting is stable, so equal atoms keep their relative order.
// Not thread-safe; one state per caller.
#pragma once

#include <functional>
#include <vector>

#include "kvchem/mol.h"

namespace KvChem {

class CanonState;

// Compares two atoms of the state: negative, zero or positive.
using KvCanonCompare = std::function<int(const CanonState&, const KvAtomBase&, const KvAtomBase&)>;

class CanonState {
 public:
  // The atoms to rank, all of one molecule, each at most once.
  explicit CanonState(std::vector<const KvAtomBase*> atoms);

  // The atoms in their current order.
  const std::vector<const KvAtomBase*>& GetOrder() const { return order_; }
  // The class of an atom of the set; an atom outside the set answers
  // 0xFFFFFFFF.
  unsigned GetClass(const KvAtomBase& atom) const;
  bool Contains(const KvAtomBase& atom) const;
  unsigned NumClasses() const;
  // Whether every atom is alone in its class.
  bool IsDiscrete() const { return NumClasses() == order_.size(); }

 private:
  friend void KvCanonSinglePartition(CanonState&);
  friend void KvCanonRefinePartitions(CanonState&, bool, const KvCanonCompare&);
  friend void KvCanonActivatePartitions(CanonState&);
  void Renumber();

  std::vector<const KvAtomBase*> order_;
  std::vector<unsigned> classStart_;   // per position: position of its class's first member
  std::vector<unsigned> classByAtom_;  // indexed by atom index
  std::vector<bool> active_;           // per class start: to be refined
};

// Puts every atom into one class.
void KvCanonSinglePartition(CanonState& state);
// Splits the active classes by `compare` (stable sort within each class, then
// cut where neighbours compare unequal). With `iterate`, repeats until no
// class splits any more, re-activating every class after a split, since a
// comparison may read the classes of other atoms. Without it, one pass.
void KvCanonRefinePartitions(CanonState& state, bool iterate, const KvCanonCompare& compare);
// Marks every class active for the next refinement.
void KvCanonActivatePartitions(CanonState& state);

}  // namespace KvChem
