// VSEPR atom types: the two type spaces over the tables of vsepr_table.h.
#include "varnex/vsepr_types.h"

#include <type_traits>

#include "kvsystem/error.h"
#include "vsepr/vsepr_internal.h"
#include "system/messages.h"

namespace Varnex {
namespace VseprDetail {
namespace {

// The two spaces differ in their size and in the name used in messages.
struct Space {
  const char* name;
  unsigned count;
};
constexpr Space kAroSpace{"VSEPRAroType", kNumAroTypes};
constexpr Space kStereoSpace{"VSEPRAroStereoType", kNumStereoTypes};

// The row of a valid id, or null after reporting the invalid id on behalf of
// `accessor`.
const Row* CheckedRow(const Space& space, const char* accessor, unsigned type) {
  if (type < space.count) return &kRows[type];
  KvSystem::KvThrow()->Error(Msg::kVseprInvalidType, space.name, accessor, space.name, static_cast<int>(type));
  return nullptr;
}

unsigned TypeOfName(const Space& space, const std::string& name) {
  for (unsigned id = 0; id < space.count; ++id)
    if (kNames[id] == name) return id;
  return space.count;
}

std::string NameOf(const Space& space, unsigned type) {
  return type < space.count ? std::string(kNames[type]) : std::string("INVALID");
}

unsigned AtomicNumber(const Space& s, unsigned t) {
  const Row* r = CheckedRow(s, "GetAtomicNumber", t);
  return r ? r->atomicNum : 0;
}
int Charge(const Space& s, unsigned t) {
  const Row* r = CheckedRow(s, "GetCharge", t);
  return r ? r->charge : 0;
}
unsigned HeavyDegree(const Space& s, unsigned t) {
  const Row* r = CheckedRow(s, "GetHeavyDegree", t);
  return r ? r->heavyDegree : 0;
}
unsigned HydrogenCount(const Space& s, unsigned t) {
  const Row* r = CheckedRow(s, "GetHydrogenCount", t);
  return r ? r->hydrogens : 0;
}
unsigned HeavyValence(const Space& s, unsigned t) {
  const Row* r = CheckedRow(s, "GetHeavyValence", t);
  return r ? r->heavyValence : 0;
}
unsigned LPCount(const Space& s, unsigned t) {
  const Row* r = CheckedRow(s, "GetLPCount", t);
  return r ? r->lonePairs : 0;
}
bool Aromatic(const Space& s, unsigned t) {
  const Row* r = CheckedRow(s, "GetAromatic", t);
  return r ? r->aromatic : false;
}

// The inner predicate of KvIsType: the six identifying values of a type and,
// in the stereo space, its stereo code (0 none, 1 for ":R", 2 for ":S").
template <bool kStereoSpace>
class IsTypeImpl final : public KvSystem::KvUnaryPredicate<KvChem::KvAtomBase> {
 public:
  IsTypeImpl(unsigned atomicNum, int charge, unsigned heavyDegree, unsigned heavyValence, unsigned hydrogens,
               unsigned stereoCode, bool aromatic)
      : atomicNum_(atomicNum),
        charge_(charge),
        heavyDegree_(heavyDegree),
        heavyValence_(heavyValence),
        hydrogens_(hydrogens),
        stereoCode_(stereoCode),
        aromatic_(aromatic) {}

  bool operator()(const KvChem::KvAtomBase& atom) const override {
    if (atom.GetAtomicNum() != atomicNum_ || atom.GetFormalCharge() != charge_ ||
        atom.GetHeavyDegree() != heavyDegree_ || atom.GetHeavyValence() != heavyValence_ ||
        atom.GetTotalHCount() != hydrogens_ || atom.IsAromatic() != aromatic_)
      return false;
    if constexpr (kStereoSpace) {
      // The atom's stereo as GetType(atom) derives it. The six values already
      // fix the atom's plain type, so only the answer's code is left to test.
      const unsigned answer = StereoAnswer(atom, [](const KvChem::KvAtomBase& n) { return AroTypeOf(n); });
      const unsigned code = answer == 0 ? 0u : answer == 2 ? 1u : answer == 3 ? 2u : 3u;
      return code == stereoCode_;
    }
    return true;
  }
  IsTypeImpl* CreateCopy() const override { return new IsTypeImpl(*this); }

 private:
  std::uint32_t atomicNum_;
  std::int32_t charge_;
  std::uint32_t heavyDegree_;
  std::uint32_t heavyValence_;
  std::uint32_t hydrogens_;
  struct NoStereo {
    NoStereo(unsigned) {}  // the plain space has no stereo code
  };
  [[no_unique_address]] std::conditional_t<kStereoSpace, std::uint32_t, NoStereo> stereoCode_;
  bool aromatic_;
};

}  // namespace

void TypeAtoms(const KvChem::KvMolBase& mol, bool stereoAware, std::vector<std::uint64_t>& types) {
  const unsigned bound = mol.GetMaxAtomIdx();
  types.assign(bound, 0);
  const std::span<KvChem::KvAtomBase* const> atoms = mol.Atoms();
  for (const KvChem::KvAtomBase* atom : atoms) types[atom->GetIdx()] = AroTypeOf(*atom);
  if (!stereoAware) return;
  // Refine in a second pass so that every neighbour's plain type is known.
  std::vector<std::uint64_t> refined(types);
  for (const KvChem::KvAtomBase* atom : atoms) {
    const unsigned aroType = static_cast<unsigned>(types[atom->GetIdx()]);
    if (aroType >= kNumAroTypes) {
      refined[atom->GetIdx()] = kNumStereoTypes;
      continue;
    }
    const unsigned answer =
        StereoAnswer(*atom, [&](const KvChem::KvAtomBase& n) { return static_cast<unsigned>(types[n.GetIdx()]); });
    refined[atom->GetIdx()] = RefineByStereo(aroType, answer);
  }
  types.swap(refined);
}

}  // namespace VseprDetail

using VseprDetail::kAroSpace;
using VseprDetail::kStereoSpace;

namespace VSEPRAroType {

unsigned GetType(const KvChem::KvAtomBase& atom) { return VseprDetail::AroTypeOf(atom); }
unsigned GetType(const std::string& name) { return VseprDetail::TypeOfName(kAroSpace, name); }
std::string GetName(unsigned type) { return VseprDetail::NameOf(kAroSpace, type); }
unsigned GetAtomicNumber(unsigned type) { return VseprDetail::AtomicNumber(kAroSpace, type); }
int GetCharge(unsigned type) { return VseprDetail::Charge(kAroSpace, type); }
unsigned GetHeavyDegree(unsigned type) { return VseprDetail::HeavyDegree(kAroSpace, type); }
unsigned GetHydrogenCount(unsigned type) { return VseprDetail::HydrogenCount(kAroSpace, type); }
unsigned GetHeavyValence(unsigned type) { return VseprDetail::HeavyValence(kAroSpace, type); }
unsigned GetLPCount(unsigned type) { return VseprDetail::LPCount(kAroSpace, type); }
bool GetAromatic(unsigned type) { return VseprDetail::Aromatic(kAroSpace, type); }
unsigned GetDegree(unsigned type) {
  const unsigned heavy = GetHeavyDegree(type);
  return heavy + GetHydrogenCount(type);
}
unsigned GetValence(unsigned type) {
  const unsigned heavy = GetHeavyValence(type);
  return heavy + GetHydrogenCount(type);
}

KvSystem::KvUnaryPredicate<KvChem::KvAtomBase>* CreatePredicate(unsigned type) {
  const unsigned atomicNum = GetAtomicNumber(type);
  const int charge = GetCharge(type);
  const unsigned heavyDegree = GetHeavyDegree(type);
  const unsigned heavyValence = GetHeavyValence(type);
  const unsigned hydrogens = GetHydrogenCount(type);
  const bool aromatic = GetAromatic(type);
  return new VseprDetail::IsTypeImpl<false>(atomicNum, charge, heavyDegree, heavyValence, hydrogens, 0, aromatic);
}

KvIsType::KvIsType(unsigned type) : inner_(CreatePredicate(type)) {}
KvIsType::KvIsType(const KvIsType& other) : inner_(other.inner_ ? other.inner_->CreateCopy() : nullptr) {}
KvIsType& KvIsType::operator=(const KvIsType& other) {
  if (this != &other) inner_.reset(other.inner_ ? other.inner_->CreateCopy() : nullptr);
  return *this;
}
KvIsType::KvIsType(KvIsType&& other) noexcept = default;
KvIsType& KvIsType::operator=(KvIsType&& other) noexcept = default;
KvIsType::~KvIsType() = default;
bool KvIsType::operator()(const KvChem::KvAtomBase& atom) const { return inner_ && (*inner_)(atom); }
KvIsType* KvIsType::CreateCopy() const { return new KvIsType(*this); }

}  // namespace VSEPRAroType

namespace VSEPRAroStereoType {

unsigned GetType(const KvChem::KvAtomBase& atom) { return VseprDetail::StereoTypeOf(atom); }
unsigned GetType(const std::string& name) { return VseprDetail::TypeOfName(kStereoSpace, name); }
std::string GetName(unsigned type) { return VseprDetail::NameOf(kStereoSpace, type); }
unsigned GetAtomicNumber(unsigned type) { return VseprDetail::AtomicNumber(kStereoSpace, type); }
int GetCharge(unsigned type) { return VseprDetail::Charge(kStereoSpace, type); }
unsigned GetHeavyDegree(unsigned type) { return VseprDetail::HeavyDegree(kStereoSpace, type); }
unsigned GetHydrogenCount(unsigned type) { return VseprDetail::HydrogenCount(kStereoSpace, type); }
unsigned GetHeavyValence(unsigned type) { return VseprDetail::HeavyValence(kStereoSpace, type); }
unsigned GetLPCount(unsigned type) { return VseprDetail::LPCount(kStereoSpace, type); }
bool GetAromatic(unsigned type) { return VseprDetail::Aromatic(kStereoSpace, type); }
unsigned GetDegree(unsigned type) {
  const unsigned heavy = GetHeavyDegree(type);
  return heavy + GetHydrogenCount(type);
}
unsigned GetValence(unsigned type) {
  const unsigned heavy = GetHeavyValence(type);
  return heavy + GetHydrogenCount(type);
}
unsigned GetStereo(unsigned type) {
  const VseprDetail::Row* r = VseprDetail::CheckedRow(kStereoSpace, "GetStereo", type);
  return r ? r->stereo : 0;
}

KvSystem::KvUnaryPredicate<KvChem::KvAtomBase>* CreatePredicate(unsigned type) {
  const unsigned atomicNum = GetAtomicNumber(type);
  const int charge = GetCharge(type);
  const unsigned heavyDegree = GetHeavyDegree(type);
  const unsigned heavyValence = GetHeavyValence(type);
  const unsigned hydrogens = GetHydrogenCount(type);
  const bool aromatic = GetAromatic(type);
  const unsigned stereo = GetStereo(type);
  const unsigned stereoCode = stereo == 2 ? 1u : stereo == 3 ? 2u : 0u;
  return new VseprDetail::IsTypeImpl<true>(atomicNum, charge, heavyDegree, heavyValence, hydrogens, stereoCode,
                                             aromatic);
}

KvIsType::KvIsType(unsigned type) : inner_(CreatePredicate(type)) {}
KvIsType::KvIsType(const KvIsType& other) : inner_(other.inner_ ? other.inner_->CreateCopy() : nullptr) {}
KvIsType& KvIsType::operator=(const KvIsType& other) {
  if (this != &other) inner_.reset(other.inner_ ? other.inner_->CreateCopy() : nullptr);
  return *this;
}
KvIsType::KvIsType(KvIsType&& other) noexcept = default;
KvIsType& KvIsType::operator=(KvIsType&& other) noexcept = default;
KvIsType::~KvIsType() = default;
bool KvIsType::operator()(const KvChem::KvAtomBase& atom) const { return inner_ && (*inner_)(atom); }
KvIsType* KvIsType::CreateCopy() const { return new KvIsType(*this); }

}  // namespace VSEPRAroStereoType

}  // namespace Varnex
