// The canonical linear string of an atom set: partition refinement on the
// chemistry layer, individualisation with automorphism pruning for the ties
// refinement leaves, and the depth-first walk that writes the string.

#include "generators/canonical_string.h"

#include <algorithm>
#include <numeric>

#include "kvchem/canon.h"

namespace Varnex {
namespace {

using KvChem::CanonState;
using KvChem::KvAtomBase;

constexpr unsigned kMaxLeaves = 4096;

int Sign(int v) { return (v > 0) - (v < 0); }

template <typename T>
int CompareValues(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

// The state of one Build: the set's in-set adjacency, the comparisons of the
// refinement, and the search over individualisations.
struct CanonicalStringBuilder::Search {
  const CanonicalStringBuilder& owner;
  std::vector<unsigned> atoms;                // the set, by local index
  std::vector<unsigned> localOf;              // per atom index: local index (valid for set atoms)
  std::vector<unsigned> adjOffsets;           // in-set adjacency by local index
  std::vector<unsigned> adjLocal;             // neighbour's local index
  std::vector<unsigned> adjBond;              // connecting bond index
  std::vector<const KvAtomBase*> adjAtom;     // neighbour atom
  std::vector<const std::string*> bondLists;  // per local: its in-set bond strings, ascending
  std::vector<unsigned> rank;                 // per atom index, during a walk
  std::vector<unsigned char> visited;         // per atom index, during a walk
  std::vector<unsigned> scratchA, scratchB;

  std::string best;
  std::vector<unsigned> firstLeaf, bestLeaf;  // atom indices in rank order
  std::vector<std::vector<unsigned>> automorphisms;  // local index -> local index
  unsigned leaves = 0;

  KvChem::KvCanonCompare byStringAndDegree;
  KvChem::KvCanonCompare byNeighbours;

  Search(const CanonicalStringBuilder& b, const unsigned* set, unsigned k) : owner(b), atoms(set, set + k) {
    const unsigned n = owner.table_.NumAtoms();
    localOf.assign(n, 0);
    rank.assign(n, 0);
    visited.assign(n, 0);
    for (unsigned j = 0; j < k; ++j) localOf[atoms[j]] = j;
    adjOffsets.assign(k + 1, 0);
    for (unsigned j = 0; j < k; ++j) {
      const unsigned atom = atoms[j];
      for (unsigned s = owner.table_.Begin(atom); s < owner.table_.End(atom); ++s) {
        const unsigned nbr = owner.table_.NbrAtom(s);
        if (!owner.inSet_[nbr]) continue;
        adjLocal.push_back(localOf[nbr]);
        adjBond.push_back(owner.table_.NbrBond(s));
        adjAtom.push_back(owner.mol_.GetAtom(nbr));
        bondLists.push_back(&owner.bondStrings_[owner.table_.NbrBond(s)]);
      }
      adjOffsets[j + 1] = static_cast<unsigned>(adjLocal.size());
      std::sort(bondLists.begin() + adjOffsets[j], bondLists.end(),
                [](const std::string* x, const std::string* y) { return *x < *y; });
    }

    byStringAndDegree = [this](const CanonState&, const KvAtomBase& a, const KvAtomBase& b) {
      const int c = Sign(owner.atomStrings_[a.GetIdx()].compare(owner.atomStrings_[b.GetIdx()]));
      if (c != 0) return c;
      return static_cast<int>(Degree(localOf[a.GetIdx()])) - static_cast<int>(Degree(localOf[b.GetIdx()]));
    };
    byNeighbours = [this](const CanonState& state, const KvAtomBase& a, const KvAtomBase& b) {
      return CompareNeighbours(state, localOf[a.GetIdx()], localOf[b.GetIdx()]);
    };
  }

  unsigned Degree(unsigned local) const { return adjOffsets[local + 1] - adjOffsets[local]; }

  // Atoms with one in-set neighbour compare that neighbour's class; others
  // the ascending lists of neighbour classes, then of bond strings.
  int CompareNeighbours(const CanonState& state, unsigned la, unsigned lb) {
    const unsigned da = Degree(la), db = Degree(lb);
    if (da == 1 && db == 1)
      return CompareValues(state.GetClass(*adjAtom[adjOffsets[la]]), state.GetClass(*adjAtom[adjOffsets[lb]]));
    auto classes = [&](unsigned local, std::vector<unsigned>& out) {
      out.clear();
      for (unsigned s = adjOffsets[local]; s < adjOffsets[local + 1]; ++s) out.push_back(state.GetClass(*adjAtom[s]));
      std::sort(out.begin(), out.end());
    };
    classes(la, scratchA);
    classes(lb, scratchB);
    const unsigned common = std::min(da, db);
    for (unsigned i = 0; i < common; ++i)
      if (scratchA[i] != scratchB[i]) return CompareValues(scratchA[i], scratchB[i]);
    for (unsigned i = 0; i < common; ++i) {
      const int c = Sign(bondLists[adjOffsets[la] + i]->compare(*bondLists[adjOffsets[lb] + i]));
      if (c != 0) return c;
    }
    return CompareValues(da, db);
  }

  // Puts `atom` ahead of the rest of its class and refines again.
  void Individualise(CanonState& state, const KvAtomBase* atom) const {
    KvChem::KvCanonActivatePartitions(state);
    KvChem::KvCanonRefinePartitions(state, false, [atom](const CanonState&, const KvAtomBase& a, const KvAtomBase& b) {
      return (&b == atom) - (&a == atom);
    });
    KvChem::KvCanonActivatePartitions(state);
    KvChem::KvCanonRefinePartitions(state, true, byNeighbours);
  }

  // The depth-first string of a ranking in which every atom has its own rank.
  std::string Walk(const CanonState& state) {
    const auto& order = state.GetOrder();
    for (const KvAtomBase* atom : order) {
      rank[atom->GetIdx()] = state.GetClass(*atom);
      visited[atom->GetIdx()] = 0;
    }
    const HeavyNeighbourTable& g = owner.table_;
    const auto& atomStrings = owner.atomStrings_;
    const auto& bondStrings = owner.bondStrings_;
    enum class Entry : unsigned char { Root, Branch, Tail };
    struct Frame {
      unsigned atom;
      Entry entry;
    };
    std::vector<Frame> stack;
    stack.reserve(order.size());
    const unsigned start = order.front()->GetIdx();
    std::string out = atomStrings[start];
    visited[start] = 1;
    stack.push_back({start, Entry::Root});
    while (!stack.empty()) {
      const unsigned x = stack.back().atom;
      unsigned chosen = 0, chosenSlot = 0, candidates = 0;
      for (unsigned s = g.Begin(x); s < g.End(x); ++s) {
        const unsigned y = g.NbrAtom(s);
        if (!owner.inSet_[y] || visited[y]) continue;
        if (candidates++ == 0 || rank[y] < rank[chosen] ||
            (rank[y] == rank[chosen] && bondStrings[g.NbrBond(s)] < bondStrings[g.NbrBond(chosenSlot)])) {
          chosen = y;
          chosenSlot = s;
        }
      }
      if (candidates == 0) {
        // X is done. A walk entered as the only continuation returns with its
        // parent; a branch closes its parenthesis and the parent scans again.
        Entry entry = stack.back().entry;
        stack.pop_back();
        while (entry == Entry::Tail) {
          entry = stack.back().entry;
          stack.pop_back();
        }
        if (entry == Entry::Branch) out += ')';
        continue;
      }
      visited[chosen] = 1;
      const Entry entry = candidates > 1 ? Entry::Branch : Entry::Tail;
      if (entry == Entry::Branch) out += '(';
      out += bondStrings[g.NbrBond(chosenSlot)];
      out += atomStrings[chosen];
      stack.push_back({chosen, entry});
    }
    return out;
  }

  // Records `to` as an automorphism when mapping the ranking `from` onto it
  // keeps atom strings, adjacency and bond strings.
  void TryAutomorphism(const std::vector<unsigned>& from, const std::vector<unsigned>& to) {
    const unsigned k = static_cast<unsigned>(atoms.size());
    std::vector<unsigned> map(k);
    bool identity = true;
    for (unsigned i = 0; i < k; ++i) {
      map[localOf[from[i]]] = localOf[to[i]];
      identity = identity && from[i] == to[i];
      if (owner.atomStrings_[from[i]] != owner.atomStrings_[to[i]]) return;
    }
    if (identity) return;
    for (unsigned u = 0; u < k; ++u) {
      const unsigned gu = map[u];
      if (Degree(u) != Degree(gu)) return;
      for (unsigned s = adjOffsets[u]; s < adjOffsets[u + 1]; ++s) {
        const unsigned gv = map[adjLocal[s]];
        bool found = false;
        for (unsigned t = adjOffsets[gu]; t < adjOffsets[gu + 1] && !found; ++t)
          found = adjLocal[t] == gv && owner.bondStrings_[adjBond[t]] == owner.bondStrings_[adjBond[s]];
        if (!found) return;
      }
    }
    automorphisms.push_back(std::move(map));
  }

  void Leaf(const CanonState& state) {
    ++leaves;
    std::string text = Walk(state);
    std::vector<unsigned> order;
    order.reserve(atoms.size());
    for (const KvAtomBase* atom : state.GetOrder()) order.push_back(atom->GetIdx());
    if (firstLeaf.empty()) {
      firstLeaf = order;
      bestLeaf = std::move(order);
      best = std::move(text);
      return;
    }
    TryAutomorphism(firstLeaf, order);
    if (bestLeaf != firstLeaf) TryAutomorphism(bestLeaf, order);
    if (text < best) {
      best = std::move(text);
      bestLeaf = std::move(order);
    }
  }

  // Whether an automorphism found so far that fixes every individualised atom
  // of `prefix` joins `candidate` to an already explored atom.
  bool InExploredOrbit(unsigned candidate, const std::vector<unsigned>& explored,
                       const std::vector<unsigned>& prefix) const {
    if (automorphisms.empty() || explored.empty()) return false;
    std::vector<unsigned> parent(atoms.size());
    std::iota(parent.begin(), parent.end(), 0u);
    auto find = [&parent](unsigned x) {
      while (parent[x] != x) x = parent[x] = parent[parent[x]];
      return x;
    };
    for (const auto& map : automorphisms) {
      bool fixes = true;
      for (unsigned p : prefix) fixes = fixes && map[localOf[p]] == localOf[p];
      if (!fixes) continue;
      for (unsigned x = 0; x < map.size(); ++x) parent[find(x)] = find(map[x]);
    }
    const unsigned root = find(localOf[candidate]);
    for (unsigned e : explored)
      if (find(localOf[e]) == root) return true;
    return false;
  }

  void Explore(const CanonState& state, std::vector<unsigned>& prefix) {
    if (state.IsDiscrete()) {
      Leaf(state);
      return;
    }
    // The first class with more than one atom.
    const auto& order = state.GetOrder();
    std::size_t begin = 0, end = 0;
    while (begin < order.size()) {
      end = begin + 1;
      const unsigned cls = state.GetClass(*order[begin]);
      while (end < order.size() && state.GetClass(*order[end]) == cls) ++end;
      if (end - begin > 1) break;
      begin = end;
    }
    const std::vector<const KvAtomBase*> members(order.begin() + begin, order.begin() + end);
    std::vector<unsigned> explored;
    for (const KvAtomBase* member : members) {
      if (leaves >= kMaxLeaves) return;
      if (InExploredOrbit(member->GetIdx(), explored, prefix)) continue;
      explored.push_back(member->GetIdx());
      CanonState child(state);
      Individualise(child, member);
      prefix.push_back(member->GetIdx());
      Explore(child, prefix);
      prefix.pop_back();
    }
  }
};

CanonicalStringBuilder::CanonicalStringBuilder(const KvChem::KvMolBase& mol, const HeavyNeighbourTable& table,
                                                   const std::vector<std::string>& atomStrings,
                                                   const std::vector<std::string>& bondStrings)
    : mol_(mol), table_(table), atomStrings_(atomStrings), bondStrings_(bondStrings), inSet_(table.NumAtoms(), 0) {}

std::string CanonicalStringBuilder::Build(const unsigned* atoms, unsigned k) {
  if (k == 0) return {};
  if (k == 1) return atomStrings_[atoms[0]];
  for (unsigned j = 0; j < k; ++j) inSet_[atoms[j]] = 1;
  std::string result;
  {
    Search search(*this, atoms, k);
    std::vector<const KvAtomBase*> members;
    members.reserve(k);
    for (unsigned j = 0; j < k; ++j) members.push_back(mol_.GetAtom(atoms[j]));
    CanonState state(std::move(members));
    KvChem::KvCanonSinglePartition(state);
    KvChem::KvCanonRefinePartitions(state, false, search.byStringAndDegree);
    KvChem::KvCanonActivatePartitions(state);
    KvChem::KvCanonRefinePartitions(state, true, search.byNeighbours);
    std::vector<unsigned> prefix;
    search.Explore(state, prefix);
    result = std::move(search.best);
  }
  for (unsigned j = 0; j < k; ++j) inSet_[atoms[j]] = 0;
  return result;
}

}  // namespace Varnex
