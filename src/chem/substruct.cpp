// SMARTS substructure search on RDKit, atom-bond sets.

#include <GraphMol/GraphMol.h>
#include <GraphMol/MolOps.h>
#include <GraphMol/SmilesParse/SmilesParse.h>
#include <GraphMol/Substruct/SubstructMatch.h>
#include <RDGeneral/RDConfig.h>

#include <algorithm>
#include <limits>
#include <mutex>
#include <set>

#include "chem/mol_impl.h"
#include "kvchem/substruct.h"
#include "kvsystem/error.h"

namespace KvChem {

bool KvAtomBondSet::HasAtom(const KvAtomBase* atom) const {
  return std::find(atoms_.begin(), atoms_.end(), atom) != atoms_.end();
}

bool KvAtomBondSet::HasBond(const KvBondBase* bond) const {
  return std::find(bonds_.begin(), bonds_.end(), bond) != bonds_.end();
}

struct KvSubSearchImpl {
  std::string smarts;
  std::unique_ptr<RDKit::RWMol> query;  // null when the SMARTS did not parse
#ifndef RDK_BUILD_THREADSAFE_SSS
  // Without the toolkit's thread-safe build, recursive queries cache their
  // matches unguarded: serialise matching for patterns that recurse.
  bool recursive = false;
  mutable std::mutex recursionMutex;
#endif
};

namespace {

// Runs `match` on the RDKit molecule of `mol`. Matching reads ring
// information; a molecule edited since its last ring perception is matched
// through a private copy with rings perceived (indices are the same).
template <typename F>
auto WithTarget(const KvMolBase& mol, F&& match) {
  const RDKit::RWMol& target = *mol.Impl().mol;
  if (target.getRingInfo()->isInitialized()) return match(static_cast<const RDKit::ROMol&>(target));
  RDKit::RWMol copy(target, true);
  RDKit::MolOps::symmetrizeSSSR(copy);
  return match(static_cast<const RDKit::ROMol&>(copy));
}

}  // namespace

KvSubSearch::KvSubSearch(const std::string& smarts) : impl_(std::make_unique<KvSubSearchImpl>()) {
  SilenceToolkitLogs();
  impl_->smarts = smarts;
  std::string reason;
  try {
    impl_->query.reset(RDKit::SmartsToMol(smarts));
  } catch (...) {
    reason = DescribeCurrentException();
    impl_->query.reset();
  }
  if (!impl_->query) {
    if (reason.empty())
      KvSystem::KvThrow()->Warning("KvSubSearch: cannot parse SMARTS '%s'", smarts.c_str());
    else
      KvSystem::KvThrow()->Warning("KvSubSearch: cannot parse SMARTS '%s': %s", smarts.c_str(), reason.c_str());
    return;
  }
#ifndef RDK_BUILD_THREADSAFE_SSS
  impl_->recursive = smarts.find('$') != std::string::npos;
#endif
}

KvSubSearch::~KvSubSearch() = default;

bool KvSubSearch::IsValid() const { return impl_->query != nullptr; }

const std::string& KvSubSearch::GetSmarts() const { return impl_->smarts; }

namespace {

std::vector<RDKit::MatchVectType> RunMatch(const KvSubSearchImpl& impl, const KvMolBase& mol, bool unique,
                                           unsigned maxMatches) {
  RDKit::SubstructMatchParameters params;
  params.uniquify = unique;
  params.maxMatches = maxMatches == 0 ? std::numeric_limits<unsigned>::max() : maxMatches;
  params.recursionPossible = true;
  // The toolkit stops at maxMatches raw matches and only then drops the
  // duplicates, so a symmetric pattern could stop short of maxMatches unique
  // ones (a six-ring in naphthalene: 2 unique among 24 raw). Refusing repeated
  // atom sets while searching makes the limit count unique matches. Recursive
  // patterns, whose sub-searches could see that check too, search without a
  // limit and are cut afterwards.
  std::set<std::vector<unsigned>> seen;
  const bool limitUnique = unique && maxMatches != 0;
  const bool recursive = impl.smarts.find('$') != std::string::npos;
  if (limitUnique && recursive) {
    params.maxMatches = std::numeric_limits<unsigned>::max();
  } else if (limitUnique) {
    params.extraFinalCheck = [&seen](const RDKit::ROMol&, const std::vector<unsigned>& match) {
      std::vector<unsigned> atoms(match);
      std::sort(atoms.begin(), atoms.end());
      return seen.insert(std::move(atoms)).second;
    };
  }
#ifndef RDK_BUILD_THREADSAFE_SSS
  std::unique_lock<std::mutex> lock(impl.recursionMutex, std::defer_lock);
  if (impl.recursive) lock.lock();
#endif
  auto matches =
      WithTarget(mol, [&](const RDKit::ROMol& target) { return RDKit::SubstructMatch(target, *impl.query, params); });
  if (limitUnique && matches.size() > maxMatches) matches.resize(maxMatches);
  return matches;
}

}  // namespace

KvSystem::KvIterBase<KvMatchBase>* KvSubSearch::Match(const KvMolBase& mol, bool unique) const {
  if (!IsValid() || !mol.IsValid()) return KvSystem::KvMakeEmptyIter<KvMatchBase>();
  try {
    const auto found = RunMatch(*impl_, mol, unique, 0);
    const RDKit::ROMol& query = *impl_->query;
    std::vector<KvMatchBase> out;
    out.reserve(found.size());
    std::vector<const KvAtomBase*> targetOf(query.getNumAtoms(), nullptr);
    for (const auto& match : found) {
      KvMatch m;
      for (const auto& [q, t] : match) {
        const KvAtomBase* atom = mol.GetAtom(static_cast<unsigned>(t));
        targetOf[q] = atom;
        m.AddAtomPair({nullptr, atom, static_cast<unsigned>(q)});
      }
      for (const RDKit::Bond* qb : query.bonds()) {
        const KvAtomBase* a = targetOf[qb->getBeginAtomIdx()];
        const KvAtomBase* b = targetOf[qb->getEndAtomIdx()];
        if (!a || !b) continue;
        if (const KvBondBase* tb = a->GetBond(b)) m.AddBondPair({nullptr, tb, qb->getIdx()});
      }
      out.push_back(std::move(m));
    }
    return KvSystem::KvMakeVectorIter(std::move(out));
  } catch (...) {
    KvSystem::KvThrow()->Warning("KvSubSearch::Match(): %s", DescribeCurrentException().c_str());
    return KvSystem::KvMakeEmptyIter<KvMatchBase>();
  }
}

bool KvSubSearch::SingleMatch(const KvMolBase& mol) const { return CountMatches(mol, false, 1) > 0; }

unsigned KvSubSearch::CountMatches(const KvMolBase& mol, bool unique, unsigned maxMatches) const {
  if (!IsValid() || !mol.IsValid()) return 0;
  try {
    return static_cast<unsigned>(RunMatch(*impl_, mol, unique, maxMatches).size());
  } catch (...) {
    KvSystem::KvThrow()->Warning("KvSubSearch::CountMatches(): %s", DescribeCurrentException().c_str());
    return 0;
  }
}

}  // namespace KvChem
