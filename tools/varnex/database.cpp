// Opening a fast fingerprint database and naming its records.

#include "database.h"

#include <sys/stat.h>

#include <cstdio>

#include "molecules.h"
#include "parameters_common.h"
#include "varnex/config.h"

namespace VarnexCli {

void AddDatabaseParameters(KvSystem::KvInterface& itf) {
  AddText(itf, "-db", "", "Fast fingerprint database file (.fpbin, made by 'varnex create')");
  AddText(itf, "-mols", "", "Molecule file the database was made from, for molecule names", false);
  Varnex::KvConfigureFPDatabaseMemoryType(itf, Varnex::KvFastFPDatabaseMemoryType::MemoryMapped, "-memory", "-mem");
}

std::unique_ptr<Varnex::KvFastFPDatabase> OpenDatabase(KvSystem::KvInterface& itf) {
  const std::string path = itf.Get<std::string>("-db");
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    std::fprintf(stderr, "varnex: cannot read fingerprint database %s\n", path.c_str());
    return nullptr;
  }
  const unsigned memoryType = Varnex::KvGetFPDatabaseMemoryType(itf, "-memory");
  auto db = std::make_unique<Varnex::KvFastFPDatabase>(path, memoryType);
  if (!db->IsValid()) {
    std::fprintf(stderr, "varnex: %s is not a valid fingerprint database\n", path.c_str());
    return nullptr;
  }
  return db;
}

bool RecordNames::Open(const KvSystem::KvInterface& itf, const Varnex::KvFastFPDatabase& db) {
  const KvSystem::KvParameter* mols = itf.GetParameter("-mols");
  if (mols == nullptr || !mols->HasValue()) return true;
  if (!OpenMolecules(mols_, mols->GetText())) return false;
  if (mols_.GetMaxMolIdx() != db.NumFingerPrints()) {
    std::fprintf(stderr, "varnex: molecule file %s has %u records but the database has %zu fingerprints\n",
                 mols->GetText().c_str(), mols_.GetMaxMolIdx(), db.NumFingerPrints());
    return false;
  }
  open_ = true;
  return true;
}

std::string RecordNames::Get(std::size_t index) const {
  return open_ && index < mols_.GetMaxMolIdx() ? mols_.GetMolName(static_cast<unsigned>(index)) : std::string();
}

}  // namespace VarnexCli
