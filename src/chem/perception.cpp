// Perception and preparation operations.

#include <GraphMol/GraphMol.h>
#include <GraphMol/MolOps.h>
#include <GraphMol/PeriodicTable.h>
#include <GraphMol/new_canon.h>

#include <numeric>

#include "chem/mol_impl.h"
#include "kvchem/perception.h"
#include "kvchem/predicates.h"
#include "kvsystem/error.h"

namespace KvChem {

namespace {

// Applies deletions marked inside an open Begin/EndModify bracket, so that a
// perception step sees the molecule the caller has asked for.
void FlushPendingEdits(KvMolImpl& impl) {
  if (impl.pendingDelete.empty()) return;
  impl.EditStructure([](RDKit::RWMol& m) {
    m.commitBatchEdit();
    m.updatePropertyCache(false);
  });
}

// Ring information as RDKit's sanitisation leaves it (symmetrised SSSR).
void PerceiveRings(RDKit::ROMol& mol) {
  RDKit::RingInfo* rings = mol.getRingInfo();
  if (rings->isInitialized()) rings->reset();
  RDKit::MolOps::symmetrizeSSSR(mol);
}

}  // namespace

void KvSuppressHydrogens(KvMolBase& mol, bool isotopic, bool unusual, bool stereo) {
  KvMolImpl& impl = mol.Impl();
  if (!impl.valid || !KvHasExplicitHydrogens(mol)) return;
  try {
    FlushPendingEdits(impl);
    RDKit::MolOps::RemoveHsParameters ps;
    ps.showWarnings = false;
    ps.removeIsotopes = isotopic;
    ps.removeDegreeZero = unusual;
    ps.removeHigherDegrees = unusual;
    ps.removeHydrides = unusual;
    ps.removeDefiningBondStereo = stereo;
    impl.EditStructure([&](RDKit::RWMol& m) {
      RDKit::MolOps::removeHs(m, ps, false);
      m.updatePropertyCache(false);
    });
  } catch (...) {
    KvSystem::KvThrow()->Warning("KvSuppressHydrogens(): %s", DescribeCurrentException().c_str());
  }
}

void KvFindRingAtomsAndBonds(KvMolBase& mol) {
  KvMolImpl& impl = mol.Impl();
  if (!impl.valid) return;
  if (mol.HasPerceived(KvPerception::Rings) && impl.mol->getRingInfo()->isInitialized()) return;
  try {
    FlushPendingEdits(impl);
    PerceiveRings(*impl.mol);
    impl.perceived |= KvPerception::Rings;
  } catch (...) {
    KvSystem::KvThrow()->Warning("KvFindRingAtomsAndBonds(): %s", DescribeCurrentException().c_str());
  }
}

void KvAssignAromaticFlags(KvMolBase& mol, unsigned model, bool clear, unsigned /*maxRingSize*/, bool /*keepKekule*/) {
  KvMolImpl& impl = mol.Impl();
  if (!impl.valid) return;
  if (model != 2) {
    KvSystem::KvThrow()->Warning("KvAssignAromaticFlags(): unsupported aromaticity model %u", model);
    return;
  }
  if (mol.HasPerceived(KvPerception::Aromaticity) && mol.GetAromaticityModel() == model) return;
  KvFindRingAtomsAndBonds(mol);
  if (!mol.HasPerceived(KvPerception::Rings)) return;

  RDKit::RWMol& m = *impl.mol;
  // Kekulize clears flags bond by bond; keep the old state to restore it
  // when the molecule has no Kekulé form.
  std::vector<std::pair<RDKit::Bond::BondType, bool>> savedBonds;
  std::vector<bool> savedAtoms;
  savedBonds.resize(m.getNumBonds());
  for (const RDKit::Bond* b : m.bonds()) savedBonds[b->getIdx()] = {b->getBondType(), b->getIsAromatic()};
  savedAtoms.reserve(m.getNumAtoms());
  for (const RDKit::Atom* a : m.atoms()) savedAtoms.push_back(a->getIsAromatic());
  try {
    if (clear) RDKit::MolOps::Kekulize(m, true);
    RDKit::MolOps::setAromaticity(m, RDKit::MolOps::AROMATICITY_DEFAULT);
    // As after parsing: an aromatic nitrogen that had its hydrogen from the
    // Kekulé form (as [H]n1cccc1 has after its H atom is folded) keeps it.
    RDKit::MolOps::adjustHs(m);
    m.updatePropertyCache(false);
  } catch (...) {
    KvSystem::KvThrow()->Warning("KvAssignAromaticFlags(): %s", DescribeCurrentException().c_str());
    for (RDKit::Bond* b : m.bonds()) {
      b->setBondType(savedBonds[b->getIdx()].first);
      b->setIsAromatic(savedBonds[b->getIdx()].second);
    }
    for (unsigned i = 0; i < savedAtoms.size(); ++i) m.getAtomWithIdx(i)->setIsAromatic(savedAtoms[i]);
    impl.InvalidateDerived();
    return;
  }
  impl.InvalidateDerived();
  impl.symmetry.clear();
  impl.perceived &= ~(KvPerception::Symmetry | KvPerception::StereoSymmetry);
  impl.perceived |= KvPerception::Aromaticity;
  impl.SetAromaticityModel(model);
}

void KvAssignHybridization(KvMolBase& mol) {
  KvMolImpl& impl = mol.Impl();
  if (!impl.valid || mol.HasPerceived(KvPerception::Hybridization)) return;
  try {
    FlushPendingEdits(impl);
    impl.mol->updatePropertyCache(false);
    if (impl.conjugationPending) RDKit::MolOps::setConjugation(*impl.mol);
    impl.conjugationPending = false;
    RDKit::MolOps::setHybridization(*impl.mol);
    impl.perceived |= KvPerception::Hybridization;
  } catch (...) {
    KvSystem::KvThrow()->Warning("KvAssignHybridization(): %s", DescribeCurrentException().c_str());
  }
}

void KvPerceiveChiral(KvMolBase& mol, bool force) {
  KvMolImpl& impl = mol.Impl();
  if (!impl.valid || (!force && mol.HasPerceived(KvPerception::Chirality))) return;
  try {
    FlushPendingEdits(impl);
    RDKit::MolOps::assignStereochemistry(*impl.mol, true, true);
    impl.perceived |= KvPerception::Chirality;
  } catch (...) {
    KvSystem::KvThrow()->Warning("KvPerceiveChiral(): %s", DescribeCurrentException().c_str());
  }
}

void KvPerceiveSymmetry(KvMolBase& mol, bool force, bool useStereo) {
  KvMolImpl& impl = mol.Impl();
  if (!impl.valid || (!force && mol.HasPerceived(KvPerception::Symmetry))) return;
  KvFindRingAtomsAndBonds(mol);
  if (useStereo) KvPerceiveChiral(mol, false);
  try {
    std::vector<unsigned> ranks;
    RDKit::Canon::rankMolAtoms(*impl.mol, ranks, false, useStereo, useStereo);
    for (unsigned& r : ranks) ++r;
    impl.symmetry = std::move(ranks);
    impl.perceived &= ~KvPerception::StereoSymmetry;
    impl.perceived |= KvPerception::Symmetry | (useStereo ? KvPerception::StereoSymmetry : 0u);
  } catch (...) {
    KvSystem::KvThrow()->Warning("KvPerceiveSymmetry(): %s", DescribeCurrentException().c_str());
  }
}

bool KvHasExplicitHydrogens(const KvMolBase& mol) {
  for (const RDKit::Atom* atom : mol.Impl().mol->atoms())
    if (atom->getAtomicNum() == 1) return true;
  return false;
}

std::string KvGetAtomicSymbol(unsigned atomicNum) {
  if (atomicNum == 0) return "*";
  if (atomicNum > 118) return "";
  try {
    return RDKit::PeriodicTable::getTable()->getElementSymbol(static_cast<int>(atomicNum));
  } catch (...) {
    return "";
  }
}

unsigned KvDetermineComponents(const KvMolBase& mol, std::vector<unsigned>& labels) {
  const unsigned n = mol.NumAtoms();
  labels.assign(n, 0);
  unsigned count = 0;
  std::vector<const KvAtomBase*> stack;
  for (unsigned start = 0; start < n; ++start) {
    if (labels[start]) continue;
    labels[start] = ++count;
    stack.push_back(mol.GetAtom(start));
    while (!stack.empty()) {
      const KvAtomBase* atom = stack.back();
      stack.pop_back();
      for (const KvAtomBase* nbr : atom->GetNeighbors())
        if (!labels[nbr->GetIdx()]) {
          labels[nbr->GetIdx()] = count;
          stack.push_back(nbr);
        }
    }
  }
  return count;
}

unsigned KvDetermineAromaticRingSystems(const KvMolBase& mol, std::vector<unsigned>& labels) {
  const KvMolImpl& impl = mol.Impl();
  const unsigned n = mol.NumAtoms();
  labels.assign(n, 0);
  if (n == 0) return 0;
  try {
    const RDKit::ROMol* source = impl.mol.get();
    std::unique_ptr<RDKit::RWMol> copy;
    if (!source->getRingInfo()->isInitialized()) {
      copy = std::make_unique<RDKit::RWMol>(*source, true);
      PerceiveRings(*copy);
      source = copy.get();
    }
    const auto& bondRings = source->getRingInfo()->bondRings();
    const auto& atomRings = source->getRingInfo()->atomRings();
    std::vector<bool> bondAromatic(source->getNumBonds(), false);
    for (const RDKit::Bond* b : source->bonds()) bondAromatic[b->getIdx()] = b->getIsAromatic();
    std::vector<unsigned> aromatic;
    for (unsigned r = 0; r < bondRings.size(); ++r) {
      bool all = !bondRings[r].empty();
      for (int b : bondRings[r]) all = all && bondAromatic[b];
      if (all) aromatic.push_back(r);
    }
    // Union-find over aromatic rings; two rings join when they share a bond.
    std::vector<unsigned> parent(aromatic.size());
    std::iota(parent.begin(), parent.end(), 0u);
    auto find = [&](unsigned x) {
      while (parent[x] != x) x = parent[x] = parent[parent[x]];
      return x;
    };
    std::vector<int> bondOwner(source->getNumBonds(), -1);
    for (unsigned k = 0; k < aromatic.size(); ++k)
      for (int b : bondRings[aromatic[k]]) {
        if (bondOwner[b] < 0)
          bondOwner[b] = static_cast<int>(k);
        else
          parent[find(k)] = find(static_cast<unsigned>(bondOwner[b]));
      }
    std::vector<int> atomSystem(n, -1);
    for (unsigned k = 0; k < aromatic.size(); ++k)
      for (int a : atomRings[aromatic[k]])
        if (atomSystem[a] < 0) atomSystem[a] = static_cast<int>(find(k));
    // Number systems in order of their lowest atom index.
    std::vector<unsigned> labelOfRoot(aromatic.size(), 0);
    unsigned count = 0;
    for (unsigned a = 0; a < n; ++a) {
      if (atomSystem[a] < 0) continue;
      unsigned& label = labelOfRoot[atomSystem[a]];
      if (!label) label = ++count;
      labels[a] = label;
    }
    return count;
  } catch (...) {
    KvSystem::KvThrow()->Warning("KvDetermineAromaticRingSystems(): %s", DescribeCurrentException().c_str());
    labels.assign(n, 0);
    return 0;
  }
}

// ---------------------------------------------------------------------------
// Predicates

bool KvHasAlphaBetaUnsat::operator()(const KvAtomBase& atom) const {
  auto unsaturated = [&](const KvBondBase& bond) {
    if (bond.IsAromatic()) return aromatic_;
    const unsigned order = bond.GetOrder();
    return order == 2 || order == 3;
  };
  const auto bonds = atom.GetBonds();
  const auto nbrs = atom.GetNeighbors();
  for (size_t i = 0; i < bonds.size(); ++i) {
    const KvBondBase& bond = *bonds[i];
    if (bond.IsAromatic() || bond.GetOrder() != 1) continue;
    const KvAtomBase& alpha = *nbrs[i];
    const auto alphaBonds = alpha.GetBonds();
    const auto alphaNbrs = alpha.GetNeighbors();
    for (size_t j = 0; j < alphaBonds.size(); ++j)
      if (alphaNbrs[j] != &atom && unsaturated(*alphaBonds[j])) return true;
  }
  return false;
}

}  // namespace KvChem
