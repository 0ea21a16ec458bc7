// Partition refinement over atoms: classes are runs of one order, split by
// caller-supplied comparisons.

#include "kvchem/canon.h"

#include <algorithm>

namespace KvChem {

namespace {
constexpr unsigned kNoClass = 0xFFFFFFFFu;
}

CanonState::CanonState(std::vector<const KvAtomBase*> atoms) : order_(std::move(atoms)) {
  unsigned maxIdx = 0;
  for (const KvAtomBase* atom : order_) maxIdx = std::max(maxIdx, atom->GetIdx() + 1);
  classByAtom_.assign(maxIdx, kNoClass);
  KvCanonSinglePartition(*this);
}

unsigned CanonState::GetClass(const KvAtomBase& atom) const {
  const unsigned idx = atom.GetIdx();
  if (idx >= classByAtom_.size()) return kNoClass;
  if (!order_.empty() && atom.GetParent() != order_.front()->GetParent()) return kNoClass;
  return classByAtom_[idx];
}

bool CanonState::Contains(const KvAtomBase& atom) const { return GetClass(atom) != kNoClass; }

unsigned CanonState::NumClasses() const {
  unsigned n = 0;
  for (unsigned i = 0; i < classStart_.size(); ++i)
    if (classStart_[i] == i) ++n;
  return n;
}

void CanonState::Renumber() {
  for (unsigned i = 0; i < order_.size(); ++i) classByAtom_[order_[i]->GetIdx()] = classStart_[i];
}

void KvCanonSinglePartition(CanonState& state) {
  const size_t n = state.order_.size();
  state.classStart_.assign(n, 0);
  state.active_.assign(n, false);
  if (n) state.active_[0] = true;
  state.Renumber();
}

void KvCanonActivatePartitions(CanonState& state) {
  for (unsigned i = 0; i < state.classStart_.size(); ++i)
    if (state.classStart_[i] == i) state.active_[i] = true;
}

void KvCanonRefinePartitions(CanonState& state, bool iterate, const KvCanonCompare& compare) {
  const unsigned n = static_cast<unsigned>(state.order_.size());
  auto less = [&](const KvAtomBase* a, const KvAtomBase* b) { return compare(state, *a, *b) < 0; };
  for (;;) {
    // One pass: every comparison reads the classes as they were at its start.
    std::vector<unsigned> newStart = state.classStart_;
    bool split = false;
    for (unsigned begin = 0; begin < n;) {
      unsigned end = begin + 1;
      while (end < n && state.classStart_[end] == begin) ++end;
      if (state.active_[begin] && end - begin > 1) {
        auto first = state.order_.begin() + begin;
        auto last = state.order_.begin() + end;
        std::stable_sort(first, last, less);
        unsigned start = begin;
        for (unsigned i = begin; i < end; ++i) {
          if (i > begin && compare(state, *state.order_[i - 1], *state.order_[i]) != 0) {
            start = i;
            split = true;
          }
          newStart[i] = start;
        }
      }
      state.active_[begin] = false;
      begin = end;
    }
    state.classStart_ = std::move(newStart);
    state.Renumber();
    if (!iterate || !split) break;
    KvCanonActivatePartitions(state);
  }
}

}  // namespace KvChem
