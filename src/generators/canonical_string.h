// The canonical linear string of a set of atoms: the textual identifier of a
// circular environment or tree fragment in the unhashed fingerprints.
//
// The atoms of the set are ranked with the chemistry layer's partition
// refinement (atom type string and in-set degree first, then the classes of
// in-set neighbours and the in-set bond strings). The string is a depth-first
// walk over the set from the best-ranked atom, always stepping to the
// best-ranked unvisited neighbour; branches are written in parentheses and
// ring-closing bonds are not written.
//
// Ties that refinement leaves are broken by individualisation: each atom of
// the first class that is not a single atom is tried in turn as the class's
// first member, refinement runs again, and so on until every atom has a rank
// of its own; of all the strings those rankings give, the smallest (byte-wise)
// is the result. Branches that an automorphism already found maps onto an
// explored one are skipped, since they give the same strings. The string thus
// depends only on the atom and bond strings and the connectivity of the set,
// never on atom numbering. A search that would visit more than 4096 complete
// rankings (only conceivable for huge, highly symmetric sets whose symmetry
// refinement cannot see) stops there and keeps the smallest string so far.
//
// Thread safety: one builder per thread; it holds scratch state.
#pragma once

#include <string>
#include <vector>

#include "generators/subgraph_hash.h"
#include "kvchem/mol.h"

namespace Varnex {

class CanonicalStringBuilder {
 public:
  // `table` is the heavy-neighbour table of `mol`; the type strings are
  // indexed by atom and bond index. All four must outlive the builder's use.
  CanonicalStringBuilder(const KvChem::KvMolBase& mol, const HeavyNeighbourTable& table,
                           const std::vector<std::string>& atomStrings, const std::vector<std::string>& bondStrings);

  // The canonical linear string of the `k` distinct atoms at `atoms` (k >= 1).
  std::string Build(const unsigned* atoms, unsigned k);

 private:
  struct Search;

  const KvChem::KvMolBase& mol_;
  const HeavyNeighbourTable& table_;
  const std::vector<std::string>& atomStrings_;
  const std::vector<std::string>& bondStrings_;
  std::vector<unsigned char> inSet_;  // per atom index
};

}  // namespace Varnex
