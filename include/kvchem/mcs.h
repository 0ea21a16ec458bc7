// The maximum common substructure of two molecules: the largest connected
// set of bonds (and their atoms) that both contain, atoms alike by element
// and bonds by order (aromatic only with aromatic), ring bonds only with ring
// bonds and rings only whole, so that the common part is what a chemist
// would call the shared scaffold.
//
// The search can take exponential time on large, symmetric molecules; it is
// stopped after a time limit and then reports the largest common part found
// so far.
//
// Thread safety: re-entrant; both molecules are only read, so many searches
// may run at once, also over the same molecules.
#pragma once

#include <chrono>
#include <utility>
#include <vector>

#include "kvchem/mol.h"

namespace KvChem {

struct KvMcsOptions {
  // Wall-clock time after which the search stops and keeps its best so far.
  std::chrono::milliseconds timeLimit{1000};
};

// The common part: pairs (atom of A, atom of B) and (bond of A, bond of B)
// by index, in the same order on both sides.
struct KvMcsResult {
  std::vector<std::pair<unsigned, unsigned>> atoms;
  std::vector<std::pair<unsigned, unsigned>> bonds;
  bool complete = true;  // false when the time limit stopped the search
};

// Finds the maximum common substructure of `a` and `b` into `result` (empty
// when they share no bond). Returns false, with `result` empty and a warning
// ("KvFindMcs() ..."), for an invalid molecule or a toolkit failure.
[[nodiscard]] bool KvFindMcs(const KvMolBase& a, const KvMolBase& b, const KvMcsOptions& options,
                             KvMcsResult& result);

}  // namespace KvChem
