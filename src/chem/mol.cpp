// Molecules, atoms and bonds on top of an RDKit RWMol.

#include <GraphMol/FileParsers/FileParsers.h>
#include <GraphMol/GraphMol.h>
#include <GraphMol/MolOps.h>
#include <GraphMol/MolPickler.h>
#include <GraphMol/SmilesParse/SmilesParse.h>
#include <GraphMol/SmilesParse/SmilesWrite.h>
#include <RDGeneral/RDLog.h>

#include <algorithm>
#include <exception>
#include <unordered_map>

#include "chem/mol_impl.h"
#include "kvchem/size_limits.h"
#include "kvsystem/strings.h"
#include "kvsystem/error.h"

namespace KvChem {

namespace {

// Runs a read of toolkit state that may throw (an uncomputed property cache,
// say) and answers `fallback` instead of letting the exception out.
template <typename F, typename R>
R Guard(F&& f, R fallback) {
  try {
    return f();
  } catch (...) {
    return fallback;
  }
}

unsigned PlainOrder(RDKit::Bond::BondType type) {
  switch (type) {
    case RDKit::Bond::SINGLE: return 1;
    case RDKit::Bond::DOUBLE: return 2;
    case RDKit::Bond::TRIPLE: return 3;
    case RDKit::Bond::QUADRUPLE: return 4;
    default: return 0;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared helpers

KvSystem::KvTag AromaticityModelTag() {
  static const KvSystem::KvTag tag = KvSystem::KvGetTag(kKvAromaticityModelTag);
  return tag;
}

void SilenceToolkitLogs() {
  static std::once_flag once;
  std::call_once(once, [] {
    try {
      boost::logging::disable_logs("rdApp.*");
    } catch (...) {
    }
  });
}

std::string DescribeCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown toolkit error";
  }
}

// ---------------------------------------------------------------------------
// KvMolImpl

KvMolImpl::KvMolImpl(KvMolBase* o) : owner(o), mol(std::make_unique<RDKit::RWMol>()) {}

KvMolImpl::KvMolImpl(KvMolBase* o, const KvMolImpl& other)
    : owner(o),
      // Quick copy: atoms, bonds, their properties and the ring information,
      // without conformers, substance groups or molecule properties, none of
      // which this layer exposes.
      mol(std::make_unique<RDKit::RWMol>(*other.mol, true)),
      valid(other.valid),
      title(other.title),
      perceived(other.perceived),
      conjugationPending(other.conjugationPending),
      symmetry(other.symmetry) {
  BuildWrappers();
  for (size_t i = 0; i < atoms.size() && i < other.atoms.size(); ++i)
    if (other.atoms[i]->HasData()) static_cast<KvSystem::KvBase&>(*atoms[i]) = *other.atoms[i];
  for (size_t i = 0; i < bonds.size() && i < other.bonds.size(); ++i)
    if (other.bonds[i]->HasData()) static_cast<KvSystem::KvBase&>(*bonds[i]) = *other.bonds[i];
  if (other.kekuleReady.load(std::memory_order_acquire)) {
    std::lock_guard<std::mutex> lock(other.kekuleMutex);
    kekuleOrders = other.kekuleOrders;
    kekuleReady.store(true, std::memory_order_release);
  }
}

void KvMolImpl::Reset(std::unique_ptr<RDKit::RWMol> fresh) {
  mol = std::move(fresh);
  valid = true;
  perceived = 0;
  conjugationPending = false;
  modifyDepth = 0;
  pendingDelete.clear();
  editedInModify = false;
  symmetry.clear();
  InvalidateDerived();
  BuildWrappers();
}

void KvMolImpl::BuildWrappers() {
  const unsigned numAtoms = mol->getNumAtoms();
  const unsigned numBonds = mol->getNumBonds();
  atoms.clear();
  bonds.clear();
  atoms.reserve(numAtoms);
  bonds.reserve(numBonds);
  for (unsigned i = 0; i < numAtoms; ++i) atoms.emplace_back(new KvAtomBase(owner, i));
  for (unsigned i = 0; i < numBonds; ++i) bonds.emplace_back(new KvBondBase(owner, i));
  RelinkWrappers();
}

void KvMolImpl::SetOwner(KvMolBase* newOwner) {
  owner = newOwner;
  for (auto& atom : atoms) atom->parent_ = newOwner;
  for (auto& bond : bonds) bond->parent_ = newOwner;
}

void KvMolImpl::RelinkWrappers() {
  const unsigned numAtoms = static_cast<unsigned>(atoms.size());
  const unsigned numBonds = static_cast<unsigned>(bonds.size());
  atomPtrs.resize(numAtoms);
  bondPtrs.resize(numBonds);
  for (unsigned i = 0; i < numAtoms; ++i) {
    atomPtrs[i] = atoms[i].get();
    atoms[i]->idx_ = i;
    atoms[i]->parent_ = owner;
  }
  rdBonds.resize(numBonds);
  for (RDKit::Bond* bond : mol->bonds()) rdBonds[bond->getIdx()] = bond;
  for (unsigned i = 0; i < numBonds; ++i) {
    const RDKit::Bond* bond = rdBonds[i];
    KvBondBase* w = bonds[i].get();
    bondPtrs[i] = w;
    w->idx_ = i;
    w->parent_ = owner;
    w->begin_ = atomPtrs[bond->getBeginAtomIdx()];
    w->end_ = atomPtrs[bond->getEndAtomIdx()];
  }
  // Neighbour lists follow RDKit's bond order of each atom, the order its
  // chiral tags refer to.
  nbrBonds.resize(2 * static_cast<size_t>(numBonds));
  nbrAtoms.resize(2 * static_cast<size_t>(numBonds));
  size_t pos = 0;
  for (unsigned i = 0; i < numAtoms; ++i) {
    const RDKit::Atom* atom = mol->getAtomWithIdx(i);
    const size_t start = pos;
    for (const RDKit::Bond* bond : mol->atomBonds(atom)) {
      nbrBonds[pos] = bondPtrs[bond->getIdx()];
      nbrAtoms[pos] = atomPtrs[bond->getOtherAtomIdx(i)];
      ++pos;
    }
    atoms[i]->bonds_ = std::span<KvBondBase* const>(nbrBonds.data() + start, pos - start);
    atoms[i]->neighbors_ = std::span<KvAtomBase* const>(nbrAtoms.data() + start, pos - start);
  }
}

std::vector<const void*> KvMolImpl::SnapshotAtoms() const {
  std::vector<const void*> out(mol->getNumAtoms());
  for (unsigned i = 0; i < out.size(); ++i) out[i] = mol->getAtomWithIdx(i);
  return out;
}

std::vector<const void*> KvMolImpl::SnapshotBonds() const {
  std::vector<const void*> out(mol->getNumBonds());
  for (const RDKit::Bond* bond : mol->bonds()) out[bond->getIdx()] = bond;
  return out;
}

// RDKit keeps the Atom and Bond objects of survivors when it removes atoms
// or bonds, so their addresses tell which old wrapper belongs to which new
// index.
void KvMolImpl::Reconcile(const std::vector<const void*>& oldAtoms, const std::vector<const void*>& oldBonds) {
  auto carry = [](auto& wrappers, const std::vector<const void*>& old, unsigned count, auto addressOf, auto make) {
    std::unordered_map<const void*, unsigned> where;
    where.reserve(old.size());
    for (unsigned j = 0; j < old.size(); ++j) where.emplace(old[j], j);
    std::remove_reference_t<decltype(wrappers)> fresh;
    fresh.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
      auto it = where.find(addressOf(i));
      if (it != where.end() && it->second < wrappers.size() && wrappers[it->second])
        fresh.push_back(std::move(wrappers[it->second]));
      else
        fresh.emplace_back(make(i));
    }
    wrappers = std::move(fresh);
  };
  carry(
      atoms, oldAtoms, mol->getNumAtoms(), [&](unsigned i) -> const void* { return mol->getAtomWithIdx(i); },
      [&](unsigned i) { return new KvAtomBase(owner, i); });
  std::vector<const void*> newBonds(mol->getNumBonds());
  for (const RDKit::Bond* bond : mol->bonds()) newBonds[bond->getIdx()] = bond;
  carry(
      bonds, oldBonds, mol->getNumBonds(), [&](unsigned i) -> const void* { return newBonds[i]; },
      [&](unsigned i) { return new KvBondBase(owner, i); });
  RelinkWrappers();
  pendingDelete.clear();
}

void KvMolImpl::OnEdit() {
  perceived = 0;
  symmetry.clear();
  if (owner->HasData()) owner->DeleteData(AromaticityModelTag());
  try {
    if (mol->getRingInfo()->isInitialized()) mol->getRingInfo()->reset();
  } catch (...) {
  }
  InvalidateDerived();
}

void KvMolImpl::InvalidateDerived() {
  std::lock_guard<std::mutex> lock(kekuleMutex);
  kekuleReady.store(false, std::memory_order_release);
  kekuleOrders.clear();
}

void KvMolImpl::MarkSanitized(unsigned flags) {
  // Sanitisation assigns hybridisation on the valences it leaves behind.
  perceived = KvPerception::Rings | KvPerception::Aromaticity |
              (flags & (KvPerception::Hybridization | KvPerception::Chirality));
  conjugationPending = !(flags & KvPerception::Hybridization);
  SetAromaticityModel(2);
}

void KvMolImpl::SetAromaticityModel(unsigned model) {
  owner->SetData(new KvSystem::KvBaseDataT<unsigned>(AromaticityModelTag(), model));
}

void KvMolImpl::ComputeKekule() const {
  const unsigned numBonds = mol->getNumBonds();
  kekuleOrders.assign(numBonds, 0);
  bool anyAromatic = false;
  for (const RDKit::Bond* bond : mol->bonds()) {
    const auto type = bond->getBondType();
    if (type == RDKit::Bond::AROMATIC)
      anyAromatic = true;
    else
      kekuleOrders[bond->getIdx()] = static_cast<std::uint8_t>(PlainOrder(type));
  }
  if (!anyAromatic) return;
  try {
    RDKit::RWMol copy(*mol, true);
    RDKit::MolOps::Kekulize(copy, true);
    for (const RDKit::Bond* bond : copy.bonds())
      kekuleOrders[bond->getIdx()] = static_cast<std::uint8_t>(PlainOrder(bond->getBondType()));
  } catch (...) {
    // No Kekulé form: aromatic bonds stay unknown (0).
  }
}

unsigned KvMolImpl::KekuleOrder(unsigned idx) const {
  if (!kekuleReady.load(std::memory_order_acquire)) {
    std::lock_guard<std::mutex> lock(kekuleMutex);
    if (!kekuleReady.load(std::memory_order_relaxed)) {
      ComputeKekule();
      kekuleReady.store(true, std::memory_order_release);
    }
  }
  return idx < kekuleOrders.size() ? kekuleOrders[idx] : 0;
}

// ---------------------------------------------------------------------------
// KvAtomBase

namespace {
inline const RDKit::Atom* RdAtom(const KvAtomBase& a) { return a.GetParent()->Impl().mol->getAtomWithIdx(a.GetIdx()); }
inline RDKit::Atom* RdAtomMutable(const KvAtomBase& a) { return a.GetParent()->Impl().mol->getAtomWithIdx(a.GetIdx()); }
inline const RDKit::Bond* RdBond(const KvBondBase& b) { return b.GetParent()->Impl().rdBonds[b.GetIdx()]; }
}  // namespace

unsigned KvAtomBase::GetAtomicNum() const { return RdAtom(*this)->getAtomicNum(); }

int KvAtomBase::GetFormalCharge() const { return RdAtom(*this)->getFormalCharge(); }

unsigned KvAtomBase::GetImplicitHCount() const {
  return Guard([&] { return RdAtom(*this)->getTotalNumHs(false); }, 0u);
}

void KvAtomBase::SetImplicitHCount(unsigned count) {
  KvMolImpl& impl = parent_->Impl();
  RDKit::Atom* atom = RdAtomMutable(*this);
  atom->setNumExplicitHs(count);
  atom->setNoImplicit(true);
  try {
    atom->updatePropertyCache(false);
  } catch (...) {
  }
  impl.OnEdit();
  if (impl.modifyDepth > 0) impl.editedInModify = true;
}

unsigned KvAtomBase::GetTotalHCount() const {
  return Guard([&] { return RdAtom(*this)->getTotalNumHs(true); }, 0u);
}

unsigned KvAtomBase::GetDegree() const { return static_cast<unsigned>(neighbors_.size()); }

unsigned KvAtomBase::GetHeavyDegree() const {
  unsigned n = 0;
  for (const KvAtomBase* nbr : neighbors_)
    if (!nbr->IsHydrogen()) ++n;
  return n;
}

unsigned KvAtomBase::GetValence() const {
  return Guard([&] { return static_cast<unsigned>(RdAtom(*this)->getTotalValence()); }, 0u);
}

unsigned KvAtomBase::GetHeavyValence() const {
  const KvMolImpl& impl = parent_->Impl();
  unsigned twice = 0;  // in half orders, so an unresolved aromatic bond adds 3
  for (size_t i = 0; i < bonds_.size(); ++i) {
    if (neighbors_[i]->IsHydrogen()) continue;
    const RDKit::Bond* bond = impl.rdBonds[bonds_[i]->GetIdx()];
    if (bond->getBondType() == RDKit::Bond::AROMATIC) {
      const unsigned k = impl.KekuleOrder(bond->getIdx());
      twice += k ? 2 * k : 3;
    } else {
      twice += 2 * PlainOrder(bond->getBondType());
    }
  }
  return (twice + 1) / 2;
}

unsigned KvAtomBase::GetHybridization() const {
  if (!parent_->HasPerceived(KvPerception::Hybridization)) return KvHybridization::Unknown;
  switch (RdAtom(*this)->getHybridization()) {
    case RDKit::Atom::SP: return KvHybridization::Sp;
    case RDKit::Atom::SP2: return KvHybridization::Sp2;
    case RDKit::Atom::SP3: return KvHybridization::Sp3;
    case RDKit::Atom::SP3D: return KvHybridization::Sp3d;
    case RDKit::Atom::SP3D2: return KvHybridization::Sp3d2;
    default: return KvHybridization::Unknown;
  }
}

bool KvAtomBase::IsAromatic() const { return RdAtom(*this)->getIsAromatic(); }

bool KvAtomBase::IsInRing() const {
  const RDKit::RingInfo* rings = parent_->Impl().mol->getRingInfo();
  return rings->isInitialized() && rings->numAtomRings(idx_) > 0;
}

bool KvAtomBase::IsChiral() const {
  const auto tag = RdAtom(*this)->getChiralTag();
  return tag == RDKit::Atom::CHI_TETRAHEDRAL_CW || tag == RDKit::Atom::CHI_TETRAHEDRAL_CCW;
}

bool KvAtomBase::IsHalogen() const {
  switch (GetAtomicNum()) {
    case 9: case 17: case 35: case 53: case 85: return true;
    default: return false;
  }
}

unsigned KvAtomBase::GetSymmetryClass() const {
  const KvMolImpl& impl = parent_->Impl();
  if (!(impl.perceived & KvPerception::Symmetry) || idx_ >= impl.symmetry.size()) return 0;
  return impl.symmetry[idx_];
}

KvSystem::KvIterBase<KvAtomBase*>* KvAtomBase::GetNeighbors(const KvAtomPredicate& pred) const {
  std::vector<KvAtomBase*> out;
  for (KvAtomBase* nbr : neighbors_)
    if (pred(*nbr)) out.push_back(nbr);
  return KvSystem::KvMakeVectorIter(std::move(out));
}

KvBondBase* KvAtomBase::GetBond(const KvAtomBase* other) const {
  for (size_t i = 0; i < neighbors_.size(); ++i)
    if (neighbors_[i] == other) return bonds_[i];
  return nullptr;
}

unsigned KvAtomBase::GetStereo(std::span<const KvAtomBase* const> neighbors, unsigned kind) const {
  if (kind != 57) return 0;
  const auto tag = RdAtom(*this)->getChiralTag();
  if (tag != RDKit::Atom::CHI_TETRAHEDRAL_CW && tag != RDKit::Atom::CHI_TETRAHEDRAL_CCW) return 0;
  const size_t n = neighbors_.size();
  if (n < 3 || n > 4 || neighbors.size() != n) return 0;
  // Position of each given neighbour in RDKit's bond order; an omitted
  // implicit hydrogen (or lone pair) sits last on both sides, so it does not
  // change the parity.
  unsigned pos[4];
  for (size_t i = 0; i < n; ++i) {
    auto it = std::find(neighbors_.begin(), neighbors_.end(), neighbors[i]);
    if (it == neighbors_.end()) return 0;
    pos[i] = static_cast<unsigned>(it - neighbors_.begin());
    for (size_t j = 0; j < i; ++j)
      if (pos[j] == pos[i]) return 0;
  }
  unsigned inversions = 0;
  for (size_t i = 0; i < n; ++i)
    for (size_t j = i + 1; j < n; ++j)
      if (pos[i] > pos[j]) ++inversions;
  bool counterClockwise = tag == RDKit::Atom::CHI_TETRAHEDRAL_CCW;
  if (inversions & 1u) counterClockwise = !counterClockwise;
  return counterClockwise ? 2 : 3;
}

// ---------------------------------------------------------------------------
// KvBondBase

unsigned KvBondBase::GetOrder() const {
  const RDKit::Bond* bond = RdBond(*this);
  if (bond->getBondType() == RDKit::Bond::AROMATIC) {
    const unsigned k = parent_->Impl().KekuleOrder(idx_);
    return k ? k : 1;
  }
  return PlainOrder(bond->getBondType());
}

bool KvBondBase::IsAromatic() const { return RdBond(*this)->getIsAromatic(); }

bool KvBondBase::IsInRing() const {
  const RDKit::RingInfo* rings = parent_->Impl().mol->getRingInfo();
  return rings->isInitialized() && rings->numBondRings(idx_) > 0;
}

bool KvBondBase::IsChiral() const {
  const RDKit::Bond* bond = RdBond(*this);
  if (bond->getBondType() != RDKit::Bond::DOUBLE) return false;
  switch (bond->getStereo()) {
    case RDKit::Bond::STEREOE:
    case RDKit::Bond::STEREOZ:
    case RDKit::Bond::STEREOCIS:
    case RDKit::Bond::STEREOTRANS: return true;
    default: return false;
  }
}

// ---------------------------------------------------------------------------
// KvMolBase

KvMolBase::KvMolBase() : impl_(std::make_unique<KvMolImpl>(this)) {}

KvMolBase::KvMolBase(const KvMolBase& other)
    : KvSystem::KvBase(other), impl_(std::make_unique<KvMolImpl>(this, *other.impl_)) {}

KvMolBase& KvMolBase::operator=(const KvMolBase& other) {
  if (this != &other) {
    auto fresh = std::make_unique<KvMolImpl>(this, *other.impl_);
    KvSystem::KvBase::operator=(other);
    impl_ = std::move(fresh);
  }
  return *this;
}


KvMolBase::KvMolBase(KvMolBase&& other) noexcept
    : KvSystem::KvBase(std::move(other)), impl_(std::move(other.impl_)) {
  impl_->SetOwner(this);
  other.impl_ = std::make_unique<KvMolImpl>(&other);
}

KvMolBase& KvMolBase::operator=(KvMolBase&& other) noexcept {
  if (this != &other) {
    KvSystem::KvBase::operator=(std::move(other));
    std::swap(impl_, other.impl_);
    impl_->SetOwner(this);
    other.impl_->SetOwner(&other);
  }
  return *this;
}

KvMolBase::~KvMolBase() = default;

bool KvMolBase::IsValid() const { return impl_->valid; }

void KvMolBase::SetInvalid() {
  Clear();
  impl_->valid = false;
}

void KvMolBase::Clear() {
  ClearData();
  impl_->Reset(std::make_unique<RDKit::RWMol>());
  impl_->title.clear();
}

unsigned KvMolBase::NumAtoms() const { return static_cast<unsigned>(impl_->atomPtrs.size()); }
unsigned KvMolBase::NumBonds() const { return static_cast<unsigned>(impl_->bondPtrs.size()); }

KvAtomBase* KvMolBase::GetAtom(unsigned idx) const {
  return idx < impl_->atomPtrs.size() ? impl_->atomPtrs[idx] : nullptr;
}
KvBondBase* KvMolBase::GetBond(unsigned idx) const {
  return idx < impl_->bondPtrs.size() ? impl_->bondPtrs[idx] : nullptr;
}

std::span<KvAtomBase* const> KvMolBase::Atoms() const { return impl_->atomPtrs; }
std::span<KvBondBase* const> KvMolBase::Bonds() const { return impl_->bondPtrs; }

KvSystem::KvIterBase<KvAtomBase*>* KvMolBase::GetAtoms() const { return KvSystem::KvMakeVectorIter(impl_->atomPtrs); }

KvSystem::KvIterBase<KvAtomBase*>* KvMolBase::GetAtoms(const KvAtomPredicate& pred) const {
  std::vector<KvAtomBase*> out;
  for (KvAtomBase* atom : impl_->atomPtrs)
    if (pred(*atom)) out.push_back(atom);
  return KvSystem::KvMakeVectorIter(std::move(out));
}

KvSystem::KvIterBase<KvBondBase*>* KvMolBase::GetBonds() const { return KvSystem::KvMakeVectorIter(impl_->bondPtrs); }

bool KvMolBase::DeleteAtom(KvAtomBase* atom) {
  KvMolImpl& impl = *impl_;
  if (!atom || atom->GetParent() != this || atom->GetIdx() >= impl.atoms.size() ||
      impl.atomPtrs[atom->GetIdx()] != atom) {
    KvSystem::KvThrow()->Warning("KvMolBase::DeleteAtom(): the atom does not belong to this molecule");
    return false;
  }
  const unsigned idx = atom->GetIdx();
  try {
    if (impl.modifyDepth > 0) {
      // Inside Begin/EndModify: mark now, remove and renumber at EndModify.
      if (impl.pendingDelete.size() != impl.atoms.size()) {
        impl.pendingDelete.assign(impl.atoms.size(), false);
        impl.mol->beginBatchEdit();
      }
      if (!impl.pendingDelete[idx]) {
        impl.pendingDelete[idx] = true;
        impl.mol->removeAtom(idx);
      }
      impl.editedInModify = true;
      return true;
    }
    impl.EditStructure([idx](RDKit::RWMol& m) {
      m.removeAtom(idx);
      m.updatePropertyCache(false);
    });
    return true;
  } catch (...) {
    KvSystem::KvThrow()->Warning("KvMolBase::DeleteAtom(): %s", DescribeCurrentException().c_str());
    return false;
  }
}

bool KvMolBase::HasPerceived(unsigned flag) const { return flag != 0 && (impl_->perceived & flag) == flag; }

unsigned KvMolBase::GetAromaticityModel() const {
  if (!HasData()) return 0;
  const auto* item = FindDataT<unsigned>(AromaticityModelTag());
  return item ? item->GetData() : 0;
}

void KvMolBase::BeginModify() { ++impl_->modifyDepth; }

void KvMolBase::EndModify() {
  KvMolImpl& impl = *impl_;
  if (impl.modifyDepth == 0 || --impl.modifyDepth > 0) return;
  if (!impl.pendingDelete.empty()) {
    try {
      impl.EditStructure([](RDKit::RWMol& m) {
        m.commitBatchEdit();
        m.updatePropertyCache(false);
      });
    } catch (...) {
      KvSystem::KvThrow()->Warning("KvMolBase::EndModify(): %s", DescribeCurrentException().c_str());
      impl.mol->rollbackBatchEdit();
      impl.pendingDelete.clear();
      impl.RelinkWrappers();
    }
  }
  impl.editedInModify = false;
}

const std::string& KvMolBase::GetTitle() const { return impl_->title; }
void KvMolBase::SetTitle(const std::string& title) { impl_->title = title; }

// ---------------------------------------------------------------------------
// Text

namespace {

// Makes the sanitised `parsed` the molecule of `mol`, titled with its name
// when `takeName`, with the `perceived` flags; a null `parsed` leaves `mol`
// invalid. True when adopted.
bool Adopt(std::unique_ptr<RDKit::RWMol> parsed, KvMolBase& mol, bool takeName,
           unsigned perceived = KvPerception::Read) {
  if (!parsed) {
    mol.SetInvalid();
    return false;
  }
  std::string name;
  if (takeName) parsed->getPropIfPresent(RDKit::common_properties::_Name, name);
  mol.Clear();
  mol.Impl().Reset(std::move(parsed));
  mol.Impl().MarkSanitized(perceived);
  mol.SetTitle(name);
  return true;
}

// Whether the toolkit's full perception is needed for the parsed,
// unsanitised `mol`: stereo marks (a chiral tag, a bond direction or
// stereo), stereo groups, coordinates or query features.
bool NeedsFullPerception(const RDKit::ROMol& mol) {
  if (mol.getRingInfo()->isInitialized() || mol.getNumConformers() > 0 || !mol.getStereoGroups().empty()) return true;
  for (const RDKit::Atom* atom : mol.atoms())
    if (atom->hasQuery() || atom->getChiralTag() != RDKit::Atom::CHI_UNSPECIFIED) return true;
  for (const RDKit::Bond* bond : mol.bonds())
    if (bond->hasQuery() || bond->getBondDir() != RDKit::Bond::NONE || bond->getStereo() != RDKit::Bond::STEREONONE)
      return true;
  return false;
}

// The sanitised molecule of a SMILES, or null (throws what the toolkit
// throws). The toolkit's parser would also rank every atom to flag the ones
// that could become stereocentres, a fifth of the parse, which no caller
// reads: a molecule without stereo marks is sanitised the same way, and its
// stereo perception, which would only clean what is marked, has nothing to
// do; one with marks is parsed the full way. Without marks, a `perception`
// without KvPerception::Hybridization also skips hybridisation and the
// conjugation it reads (a fifth of the sanitisation); `perception` becomes
// what the molecule has.
std::unique_ptr<RDKit::RWMol> ParseAndSanitize(const std::string& smiles, bool parseName, unsigned& perception) {
  RDKit::SmilesParserParams params;
  params.removeHs = false;  // explicit hydrogen atoms stay until suppressed
  params.parseName = parseName;
  params.allowCXSMILES = parseName;
  params.sanitize = false;
  std::unique_ptr<RDKit::RWMol> mol(RDKit::SmilesToMol(smiles, params));
  if (!mol) return mol;
  if (NeedsFullPerception(*mol)) {
    params.sanitize = true;
    mol.reset(RDKit::SmilesToMol(smiles, params));
    perception = KvPerception::Read;
    return mol;
  }
  unsigned failedStep = 0;
  unsigned steps = RDKit::MolOps::SANITIZE_ALL;
  if (!(perception & KvPerception::Hybridization))
    steps ^= RDKit::MolOps::SANITIZE_SETCONJUGATION | RDKit::MolOps::SANITIZE_SETHYBRIDIZATION;
  RDKit::MolOps::sanitizeMol(*mol, failedStep, steps);
  perception = (perception & KvPerception::Hybridization) | KvPerception::Chirality;
  return mol;
}

}  // namespace

bool ParseSmiles(const std::string& smiles, KvMolBase& mol, std::string& reason, bool parseName,
                 unsigned perception) {
  SilenceToolkitLogs();
  reason.clear();
  if (!KvCheckSmilesText(smiles, reason)) {
    mol.SetInvalid();
    return false;
  }
  std::unique_ptr<RDKit::RWMol> parsed;
  try {
    parsed = ParseAndSanitize(smiles, parseName, perception);
  } catch (...) {
    reason = DescribeCurrentException();
    parsed.reset();
  }
  return Adopt(std::move(parsed), mol, parseName, perception);
}

bool ParseMolBlock(const std::string& molBlock, KvMolBase& mol, std::string& reason) {
  SilenceToolkitLogs();
  reason.clear();
  if (!KvCheckMolBlockText(molBlock, reason)) {
    mol.SetInvalid();
    return false;
  }
  std::unique_ptr<RDKit::RWMol> parsed;
  try {
    parsed.reset(RDKit::MolBlockToMol(molBlock, true, false, true));
  } catch (...) {
    reason = DescribeCurrentException();
    parsed.reset();
  }
  return Adopt(std::move(parsed), mol, true);
}

bool KvSmilesToMol(const std::string& smiles, KvMolBase& mol) {
  std::string reason;
  if (ParseSmiles(smiles, mol, reason, true)) return true;
  if (reason.empty())
    KvSystem::KvThrow()->Warning("KvSmilesToMol(): cannot parse SMILES '%s'", KvSystem::KvQuoteInput(smiles).c_str());
  else
    KvSystem::KvThrow()->Warning("KvSmilesToMol(): cannot parse SMILES '%s': %s", KvSystem::KvQuoteInput(smiles).c_str(),
                                 reason.c_str());
  return false;
}

bool KvMolBlockToMol(const std::string& molBlock, KvMolBase& mol) {
  std::string reason;
  if (ParseMolBlock(molBlock, mol, reason)) return true;
  if (reason.empty())
    KvSystem::KvThrow()->Warning("KvMolBlockToMol(): cannot parse the molfile");
  else
    KvSystem::KvThrow()->Warning("KvMolBlockToMol(): cannot parse the molfile: %s", reason.c_str());
  return false;
}

bool KvBinaryToMol(const std::string& pickle, KvMolBase& mol) {
  SilenceToolkitLogs();
  std::string reason;
  try {
    auto parsed = std::make_unique<RDKit::RWMol>();
    RDKit::MolPickler::molFromPickle(pickle, *parsed);
    // Reading the pickle is linear; perceiving a huge molecule is not.
    if (KvCheckAtomCount(parsed->getNumAtoms(), reason)) {
      // The same state a parsed SMILES has: the caller's molecule may come
      // unsanitised, kekulised or with stale stereo flags.
      RDKit::MolOps::sanitizeMol(*parsed);
      RDKit::MolOps::assignStereochemistry(*parsed, true);
      return Adopt(std::move(parsed), mol, true);
    }
  } catch (...) {
    reason = DescribeCurrentException();
  }
  mol.SetInvalid();
  KvSystem::KvThrow()->Warning("KvBinaryToMol(): cannot read the molecule: %s", reason.c_str());
  return false;
}

std::string KvMolToSmiles(const KvMolBase& mol) {
  if (!mol.IsValid()) return "";
  KvMolImpl& impl = mol.Impl();
  try {
    // RDKit records the output order on the molecule while writing, so
    // writers of one molecule take turns.
    std::lock_guard<std::mutex> lock(impl.toolkitMutex);
    return RDKit::MolToSmiles(*impl.mol);
  } catch (...) {
    KvSystem::KvThrow()->Warning("KvMolToSmiles(): %s", DescribeCurrentException().c_str());
    return "";
  }
}

}  // namespace KvChem
