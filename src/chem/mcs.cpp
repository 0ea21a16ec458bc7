// Maximum common substructure through RDKit's FMCS, stopped by a deadline.

#include "kvchem/mcs.h"

#include <GraphMol/FMCS/FMCS.h>
#include <GraphMol/MolOps.h>
#include <GraphMol/Substruct/SubstructMatch.h>

#include <memory>
#include <mutex>

#include "chem/mol_impl.h"
#include "kvsystem/error.h"

namespace KvChem {
namespace {

using Clock = std::chrono::steady_clock;

// A private copy with ring information, which the ring-aware comparisons and
// the matches of the result need.
RDKit::ROMOL_SPTR Copy(const KvMolBase& mol) {
  RDKit::ROMOL_SPTR copy;
  {
    std::lock_guard<std::mutex> lock(mol.Impl().toolkitMutex);
    copy.reset(new RDKit::ROMol(*mol.Impl().mol));
  }
  if (!copy->getRingInfo()->isInitialized()) RDKit::MolOps::fastFindRings(*copy);
  return copy;
}

// FMCS asks this between steps; false stops it with its best result so far.
bool BeforeDeadline(const RDKit::MCSProgressData&, const RDKit::MCSParameters&, void* deadline) {
  return Clock::now() < *static_cast<const Clock::time_point*>(deadline);
}

// The atoms of `mol` that the common part's query atoms match, by query atom.
std::vector<unsigned> MatchAtoms(const RDKit::ROMol& mol, const RDKit::ROMol& query) {
  RDKit::MatchVectType match;
  std::vector<unsigned> atoms;
  if (!RDKit::SubstructMatch(mol, query, match)) return atoms;
  atoms.resize(query.getNumAtoms());
  for (const auto& [q, m] : match) atoms[static_cast<unsigned>(q)] = static_cast<unsigned>(m);
  return atoms;
}

}  // namespace

bool KvFindMcs(const KvMolBase& a, const KvMolBase& b, const KvMcsOptions& options, KvMcsResult& result) {
  result = {};
  if (!a.IsValid() || !b.IsValid()) {
    KvSystem::KvThrow()->Warning("KvFindMcs() invalid molecule!");
    return false;
  }
  try {
    const std::vector<RDKit::ROMOL_SPTR> mols{Copy(a), Copy(b)};
    RDKit::MCSParameters params;
    params.setMCSAtomTyperFromEnum(RDKit::AtomCompareElements);
    params.setMCSBondTyperFromEnum(RDKit::BondCompareOrderExact);
    params.AtomCompareParameters.RingMatchesRingOnly = true;
    params.AtomCompareParameters.CompleteRingsOnly = true;
    params.BondCompareParameters.RingMatchesRingOnly = true;
    params.BondCompareParameters.CompleteRingsOnly = true;
    Clock::time_point deadline = Clock::now() + options.timeLimit;
    params.ProgressCallback = BeforeDeadline;
    params.ProgressCallbackUserData = &deadline;
    const RDKit::MCSResult mcs = RDKit::findMCS(mols, &params);
    result.complete = !mcs.Canceled;
    if (mcs.NumBonds == 0 || !mcs.QueryMol) return true;

    const RDKit::ROMol& query = *mcs.QueryMol;
    const std::vector<unsigned> onA = MatchAtoms(*mols[0], query);
    const std::vector<unsigned> onB = MatchAtoms(*mols[1], query);
    if (onA.empty() || onB.empty()) return true;  // the toolkit's own pattern should always match both
    for (unsigned q = 0; q < query.getNumAtoms(); ++q) result.atoms.emplace_back(onA[q], onB[q]);
    for (const RDKit::Bond* bond : query.bonds()) {
      const unsigned begin = bond->getBeginAtomIdx(), end = bond->getEndAtomIdx();
      const RDKit::Bond* bondA = mols[0]->getBondBetweenAtoms(onA[begin], onA[end]);
      const RDKit::Bond* bondB = mols[1]->getBondBetweenAtoms(onB[begin], onB[end]);
      if (bondA != nullptr && bondB != nullptr) result.bonds.emplace_back(bondA->getIdx(), bondB->getIdx());
    }
    return true;
  } catch (...) {
    KvSystem::KvThrow()->Warning("KvFindMcs() %s", DescribeCurrentException().c_str());
    result = {};
    return false;
  }
}

}  // namespace KvChem
