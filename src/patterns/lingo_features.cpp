// Patterns of the Lingo fingerprint: the atoms behind each substring of 4
// characters of the Lingo text, read on a prepared working copy whose atoms
// lead back to the caller's molecule.

#include <algorithm>
#include <exception>
#include <vector>

#include "kvchem/lingo.h"
#include "kvsystem/error.h"
#include "patterns/origin_tag.h"
#include "varnex/patterns.h"
#include "varnex/preparation.h"

namespace Varnex {

KvSystem::KvIterBase<KvFPPattern>* KvGetLingoFPPatterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  constexpr std::size_t kLingoLength = 4;
  try {
    if (type == nullptr || type->GetFPType() != KvFPType::Lingo || !mol.IsValid())
      return KvSystem::KvMakeEmptyIter<KvFPPattern>();
    const OriginTag tag(mol);
    KvChem::KvGraphMol copy(mol);
    KvPrepareForFingerprinting(copy, KvFPType::Lingo);
    std::string text;
    std::vector<int> atomOfChar;
    if (!KvChem::KvLingoMap().CreateString(text, atomOfChar, copy)) return KvSystem::KvMakeEmptyIter<KvFPPattern>();
    std::vector<KvFPPattern> patterns;
    for (std::size_t i = 0; i + kLingoLength <= text.size(); ++i) {
      KvChem::KvAtomBondSet set;
      std::vector<int> seen;
      for (std::size_t k = i; k < i + kLingoLength; ++k) {
        const int atom = atomOfChar[k];
        if (atom < 0 || std::find(seen.begin(), seen.end(), atom) != seen.end()) continue;
        seen.push_back(atom);
        set.AddAtom(copy.GetAtom(static_cast<unsigned>(atom)));
      }
      // Two atoms of one substring are bonded only along the text (a ring
      // closure needs at least 5 characters), so every bond between them is
      // written in it.
      for (std::size_t a = 0; a < set.NumAtoms(); ++a)
        for (std::size_t b = a + 1; b < set.NumAtoms(); ++b)
          if (const KvChem::KvBondBase* bond = set.GetAtoms()[a]->GetBond(set.GetAtoms()[b])) set.AddBond(bond);
      const KvChem::KvAtomBondSet origin = TranslateSet(set);
      patterns.emplace_back(origin.GetAtoms(), origin.GetBonds(), text.substr(i, kLingoLength), 0u, 0u);
    }
    return KvSystem::KvMakeVectorIter(std::move(patterns));
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("%s : %s", "KvGetLingoFPPatterns()", e.what());
    return KvSystem::KvMakeEmptyIter<KvFPPattern>();
  }
}

}  // namespace Varnex
