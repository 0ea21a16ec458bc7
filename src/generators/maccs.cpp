// The MACCS 166-key fingerprint: element keys, SMARTS keys behind screens,
// components and aromatic ring systems.

#include <exception>
#include <vector>

#include "generators/maccs_internal.h"
#include "kvchem/perception.h"
#include "kvchem/size_limits.h"
#include "kvsystem/error.h"
#include "varnex/preparation.h"

namespace Varnex {
namespace Maccs {
namespace {

CompiledKeys CompileKeys() {
  CompiledKeys compiled;
  compiled.records.reserve(kKeyTexts.size());
  compiled.screens.reserve(kKeyTexts.size());
  for (const KeyText& text : kKeyTexts) {
    MACCSKey record;
    record.smarts = text.smarts;
    record.key = text.key;
    record.countKey = text.countKey;
    // A pattern the toolkit refuses is warned about here, once per process,
    // and then never matches.
    record.search = std::make_unique<KvChem::KvSubSearch>(record.smarts);
    compiled.records.push_back(std::move(record));
    compiled.screens.emplace_back(text.smarts);
  }
  return compiled;
}

void SetKey(KvFingerPrint& fp, unsigned key) { fp.SetBitOn(key - 1); }

// The number of unique matches, counting no further than two.
unsigned CountUpToTwo(const KvChem::KvSubSearch& search, const KvChem::KvMolBase& mol) {
  return search.CountMatches(mol, true, 2);
}

void SetElementKeys(KvFingerPrint& fp, const KvChem::KvMolBase& mol) {
  for (const KvChem::KvAtomBase* atom : mol.Atoms())
    if (const unsigned key = KvGetMACCSElementKey(atom->GetAtomicNum())) SetKey(fp, key);
}

void SetPatternKeys(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const MolProfile* profile) {
  const CompiledKeys& keys = GetCompiledKeys();
  for (std::size_t i = 0; i < keys.records.size(); ++i) {
    const MACCSKey& record = keys.records[i];
    if (!record.search->IsValid()) continue;
    if (profile != nullptr && !keys.screens[i].MayMatch(*profile)) continue;
    if (record.countKey == 0) {
      if (record.search->SingleMatch(mol)) SetKey(fp, record.key);
      continue;
    }
    // When the screen proves there is no second unique match, one match is
    // all there is to find.
    const bool mayRepeat = profile == nullptr || keys.screens[i].MayMatchTwice(*profile);
    const unsigned matches = mayRepeat ? CountUpToTwo(*record.search, mol) : (record.search->SingleMatch(mol) ? 1 : 0);
    if (matches >= 1) SetKey(fp, record.key);
    if (matches >= 2) SetKey(fp, record.countKey);
  }
}

// Keys 166, 162 and 125. The chemistry layer fills one label per atom; the
// label vectors are kept per thread so that repeated calls do not allocate.
void SetMoleculeKeys(KvFingerPrint& fp, const KvChem::KvMolBase& mol, bool hasAromaticBond) {
  thread_local std::vector<unsigned> labels;
  if (mol.NumAtoms() > 1 && KvChem::KvDetermineComponents(mol, labels) > 1) SetKey(fp, kSeveralComponentsKey);
  // An aromatic ring system has aromatic bonds; without any there is none.
  if (!hasAromaticBond) return;
  const unsigned systems = KvChem::KvDetermineAromaticRingSystems(mol, labels);
  if (systems >= 1) SetKey(fp, kAromaticRingSystemKey);
  if (systems >= 2) SetKey(fp, kSeveralAromaticRingSystemsKey);
}

bool HasAromaticBond(const KvChem::KvMolBase& mol) {
  for (const KvChem::KvBondBase* bond : mol.Bonds())
    if (bond->IsAromatic()) return true;
  return false;
}

}  // namespace

const CompiledKeys& GetCompiledKeys() {
  static const CompiledKeys compiled = CompileKeys();
  return compiled;
}

void SetKeyBits(KvFingerPrint& fp, const KvChem::KvMolBase& mol, bool screen) {
  SetElementKeys(fp, mol);
  if (screen) {
    MolProfile profile;
    BuildProfile(mol, profile);
    SetPatternKeys(fp, mol, &profile);
    SetMoleculeKeys(fp, mol, profile.hasAromaticBond);
  } else {
    SetPatternKeys(fp, mol, nullptr);
    SetMoleculeKeys(fp, mol, HasAromaticBond(mol));
  }
}

}  // namespace Maccs

bool KvMakeMACCS166FP(KvFingerPrint& fp, const KvChem::KvMolBase& mol) {
  try {
    if (!mol.IsValid() || !KvChem::KvIsWithinSizeLimit(mol, "KvMakeMACCS166FP()")) {
      fp.SetFPTypeBase(nullptr);
      return false;
    }
    fp.SetSize(KvMACCS166NumBits);
    fp.ClearBits();
    const KvFPTypeBase* type = KvGetMACCS166FPType(KvMACCS166FPVersion);
    if (KvIsPreparedForFingerprinting(mol, KvFPType::MACCS166)) {
      Maccs::SetKeyBits(fp, mol, true);
    } else {
      KvChem::KvGraphMol copy(mol);
      KvPrepareForFingerprinting(copy, KvFPType::MACCS166);
      if (copy.NumAtoms() > 0) Maccs::SetKeyBits(fp, copy, true);
    }
    fp.SetFPTypeBase(type);
    return true;
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("KvMakeMACCS166FP() : %s", e.what());
    fp.SetFPTypeBase(nullptr);
    return false;
  }
}

std::span<const MACCSKey> KvGetMACCSKeyList() {
  try {
    return Maccs::GetCompiledKeys().records;
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("KvGetMACCSKeyList() : %s", e.what());
    return {};
  }
}

KvSystem::KvIterBase<const MACCSKey*>* KvGetMACCSKeys() {
  try {
    std::vector<const MACCSKey*> records;
    for (const MACCSKey& record : KvGetMACCSKeyList()) records.push_back(&record);
    return KvSystem::KvMakeVectorIter(std::move(records));
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("KvGetMACCSKeys() : %s", e.what());
    return KvSystem::KvMakeEmptyIter<const MACCSKey*>();
  }
}

unsigned KvGetMACCSElementKey(unsigned atomicNum) {
  return atomicNum <= Maccs::kMaxTabledAtomicNum ? Maccs::kElementKeys[atomicNum] : 0;
}

}  // namespace Varnex
