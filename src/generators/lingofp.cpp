// The Lingo fingerprint: the molecule's Lingo text kept in the bit vector,
// and the three Lingo terms of a pair of texts.

#include "varnex/lingofp.h"

#include <exception>
#include <string>
#include <string_view>

#include "kvsystem/error.h"
#include "similarity/fptext.h"
#include "varnex/fptypes.h"
#include "varnex/generation.h"

namespace Varnex {
namespace {

// Texts shorter than this have no substring to compare; they are compared
// whole instead.
constexpr std::size_t kLingoLength = 4;

const KvChem::KvLingoMap& LingoMap() {
  static const KvChem::KvLingoMap map;
  return map;
}

void SetTerms(std::uint32_t* onlyA, std::uint32_t* onlyB, std::uint32_t* both, std::uint32_t a, std::uint32_t b,
              std::uint32_t c) {
  if (onlyA != nullptr) *onlyA = a;
  if (onlyB != nullptr) *onlyB = b;
  if (both != nullptr) *both = c;
}

}  // namespace

bool KvMakeLingoFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol) {
  try {
    const KvChem::KvLingoMap& map = LingoMap();
    if (!mol.IsValid()) {
      fp.SetFPTypeBase(nullptr);
      return false;
    }
    const KvFPTypeBase* type = KvGetLingoFPType(KvGetFingerPrintVersion(KvFPType::Lingo));
    std::string text;
    if (mol.NumAtoms() > 0 && KvIsPreparedForFingerprinting(mol, KvFPType::Lingo)) {
      map.CreateString(text, mol);
    } else {
      KvChem::KvGraphMol copy(mol);
      KvPrepareForFingerprinting(copy, KvFPType::Lingo);
      if (copy.NumAtoms() == 0) {
        fp.SetSize(1);
        fp.ClearBits();
        fp.SetFPTypeBase(type);
        return true;
      }
      map.CreateString(text, copy);
    }
    // c_str() supplies the terminating zero byte.
    fp.SetData(text.c_str(), 8 * (text.size() + 1));
    fp.SetFPTypeBase(type);
    return true;
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("KvMakeLingoFP() : %s", e.what());
    return false;
  }
}

bool KvGetLingoSimTerms(const KvFingerPrint& a, const KvFingerPrint& b, std::uint32_t* onlyA, std::uint32_t* onlyB,
                        std::uint32_t* both) {
  const std::string_view textA = KvGetFPText(a);
  const std::string_view textB = KvGetFPText(b);
  if (textA.size() < kLingoLength || textB.size() < kLingoLength) {
    const auto lengthA = static_cast<std::uint32_t>(textA.size());
    const auto lengthB = static_cast<std::uint32_t>(textB.size());
    if (textA == textB)
      SetTerms(onlyA, onlyB, both, 0, 0, lengthA);
    else
      SetTerms(onlyA, onlyB, both, lengthA, lengthB, 0);
    return true;
  }
  try {
    const KvChem::KvLingoSim query(std::string(textA), 1);
    if (query.IsValid() && query.GetTerms(std::string(textB), onlyA, onlyB, both)) return true;
  } catch (const std::exception&) {
    // Out of memory while counting: reported below like any failed comparer.
  }
  KvSystem::KvThrow()->Warning("Cannot initialize lingo similarity");
  return false;
}

bool KvGetLingoSimTerms(const KvChem::KvLingoSim& query, const KvFingerPrint& b, std::uint32_t* onlyA,
                        std::uint32_t* onlyB, std::uint32_t* both) {
  if (!query.IsValid()) {
    KvSystem::KvThrow()->Warning("lingo is not initialized");
    return false;
  }
  try {
    return query.GetTerms(std::string(KvGetFPText(b)), onlyA, onlyB, both);
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("KvGetLingoSimTerms() : %s", e.what());
    return false;
  }
}

bool KvReadLingoFingerPrintType(KvSystem::kvistream& /*in*/, unsigned short version, KvFingerPrint& fp) {
  fp.SetFPTypeBase(KvGetLingoFPType(version));
  return true;
}

}  // namespace Varnex
