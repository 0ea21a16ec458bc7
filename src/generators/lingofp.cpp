// The Lingo fingerprint: the molecule's Lingo text kept in the bit vector.

#include "varnex/lingofp.h"

#include <exception>
#include <string>

#include "kvchem/lingo.h"
#include "kvchem/size_limits.h"
#include "kvsystem/error.h"
#include "varnex/fptypes.h"
#include "varnex/preparation.h"

namespace Varnex {
namespace {

const KvChem::KvLingoMap& LingoMap() {
  static const KvChem::KvLingoMap map;
  return map;
}

}  // namespace

bool KvMakeLingoFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol) {
  try {
    const KvChem::KvLingoMap& map = LingoMap();
    if (!mol.IsValid() || !KvChem::KvIsWithinSizeLimit(mol, "KvMakeLingoFP()")) {
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

}  // namespace Varnex
