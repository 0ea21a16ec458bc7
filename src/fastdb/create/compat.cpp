// KvAreCompatibleDatabases: whether a fast database was made from a molecule
// database, judged by their sizes and by the first record.

#include <algorithm>
#include <vector>

#include "kvchem/mol.h"
#include "kvchem/moldb.h"
#include "kvsystem/error.h"
#include "varnex/fastdb.h"
#include "varnex/fpbin.h"
#include "varnex/fpbin_create.h"
#include "varnex/generation.h"
#include "system/messages.h"

namespace Varnex {

bool KvAreCompatibleDatabases(const KvChem::KvMolDatabase& mols, const KvFastFPDatabase& fpdb) {
  constexpr const char* kChecker = "KvAreCompatibleDatabases()";
  KvSystem::KvErrorHandler* report = KvSystem::KvThrow();
  if (mols.GetMaxMolIdx() == 0) {
    report->Warning(Msg::kEmptyMolDatabase, kChecker);
    return false;
  }
  if (!fpdb.IsValid()) {
    report->Warning(Msg::kCompatDatabase, kChecker);
    return false;
  }
  const KvFPTypeBase* type = fpdb.GetFPTypeBase();
  if (!KvIsAdmissibleFastFPType(type, kChecker)) return false;
  if (static_cast<std::uint64_t>(mols.GetMaxMolIdx()) != fpdb.NumFingerPrints()) {
    report->Warning(Msg::kCompatCount, kChecker);
    return false;
  }

  // Record 0 through the front: its stored molecule index and its bits.
  const std::size_t molIndex = fpdb.GetMoleculeIndex(0);
  KvFingerPrint stored;
  if (molIndex == static_cast<std::size_t>(-1) || !fpdb.GetFingerPrint(stored, 0)) {
    report->Warning(Msg::kCompatFingerPrint, kChecker);
    return false;
  }
  std::vector<std::uint64_t> storedWords;
  const std::uint64_t storedCount = KvFingerPrintToWords(stored, storedWords);

  KvChem::KvMol mol;
  if (molIndex >= mols.GetMaxMolIdx() || !mols.GetMolecule(mol, static_cast<unsigned>(molIndex))) {
    // Creation leaves an empty record for a molecule it could not read.
    const bool empty =
        storedCount == 0 && std::all_of(storedWords.begin(), storedWords.end(), [](std::uint64_t w) { return w == 0; });
    if (empty) return true;
    report->Warning(Msg::kCompatMolecule, kChecker);
    return false;
  }
  KvFingerPrint made;
  if (!KvMakeFP(made, mol, type)) {
    report->Warning(Msg::kCannotGenerate, kChecker);
    return false;
  }
  std::vector<std::uint64_t> madeWords;
  const std::uint64_t madeCount = KvFingerPrintToWords(made, madeWords);
  if (madeCount != storedCount || madeWords != storedWords) {
    report->Warning(Msg::kCompatMismatch, kChecker);
    return false;
  }
  return true;
}

}  // namespace Varnex
