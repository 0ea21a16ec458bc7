// Opening a fast fingerprint database and naming its records.

#include "database.h"

#include <sys/stat.h>

#include <cstdio>

#include "checks.h"
#include "molecules.h"
#include "parameters_common.h"
#include "varnex/config.h"
#include "varnex/fpbin_create.h"
#include "varnex/generation.h"

namespace VarnexCli {

void AddDatabaseParameters(KvSystem::KvInterface& itf) {
  AddText(itf, "-db", "", "Fast fingerprint database file (.fpbin) or collection (NAME.vxc), made by 'varnex create'");
  AddText(itf, "-mols", "", "Molecule file a .fpbin was made from, for molecule names (a collection names its own)",
          false);
  Varnex::KvConfigureFPDatabaseMemoryType(itf, Varnex::KvFastFPDatabaseMemoryType::MemoryMapped, "-memory", "-mem");
  AddMoleculeLimitParameter(itf);  // for the molecules of -mols and of queries
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
  // The same count is not enough: another file (or the same one reordered)
  // would name every hit wrongly.
  if (!Varnex::KvAreCompatibleDatabases(mols_, db)) {
    std::fprintf(stderr, "varnex: molecule file %s is not the one the database %s was made from\n",
                 mols->GetText().c_str(), itf.Get<std::string>("-db").c_str());
    return false;
  }
  names_ = MolNames(itf);
  db_ = &db;
  checked_ = std::make_unique<std::atomic<char>[]>(db.NumFingerPrints());
  size_ = db.NumFingerPrints();
  open_ = true;
  return true;
}

bool RecordNames::Matches(std::size_t index) const {
  if (index >= size_) return false;
  if (checked_[index].load() == 0) {
    Varnex::KvFingerPrint stored, made;
    KvChem::KvMol mol;
    const bool same = db_->GetFingerPrint(stored, index) &&
                      (mols_.GetMolecule(mol, static_cast<unsigned>(index))
                           ? Varnex::KvMakeFP(made, mol, db_->GetFPTypeBase()) && made == stored
                           : stored.CountBits() == 0);  // an unreadable molecule has an empty record
    if (checked_[index].exchange(same ? 1 : 2) != 0) return same;  // another thread checked it meanwhile
    if (!same) {
      std::fprintf(stderr, "varnex: record %zu of the database does not match molecule %zu of %s; not named\n", index,
                   index, mols_.GetPath().c_str());
      mismatched_ = true;
    }
  }
  return checked_[index].load() == 1;
}

void ClampLimit(Varnex::KvFPDatabaseOptions& options, const Varnex::KvFastFPDatabase& db, const char* command) {
  if (options.GetLimit() <= db.NumFingerPrints()) return;
  std::fprintf(stderr, "varnex %s: -limit %u is above the %zu records of the database; using %zu\n", command,
               options.GetLimit(), db.NumFingerPrints(), db.NumFingerPrints());
  options.SetLimit(static_cast<unsigned>(db.NumFingerPrints()));
}

std::string RecordNames::Get(std::size_t index) const {
  return open_ && index < mols_.GetMaxMolIdx() && Matches(index) ? names_.Get(mols_, static_cast<unsigned>(index))
                                                                 : std::string();
}

std::string RecordNames::GetSmiles(std::size_t index) const {
  if (!open_ || index >= mols_.GetMaxMolIdx()) return "";
  // A SMILES record is one line: the SMILES, then the name.
  const std::string text = mols_.GetRecordText(static_cast<unsigned>(index));
  const std::size_t end = text.find_last_not_of(" \t\r\n");
  if (end != std::string::npos && text.find('\n') > end) {
    const std::size_t begin = text.find_first_not_of(" \t");
    return text.substr(begin, text.find_first_of(" \t\r\n", begin) - begin);
  }
  KvChem::KvMol mol;
  return GetMolecule(mol, index) ? KvChem::KvMolToSmiles(mol) : "";
}

bool RecordNames::GetMolecule(KvChem::KvMolBase& mol, std::size_t index) const {
  return open_ && index < mols_.GetMaxMolIdx() && mols_.GetMolecule(mol, static_cast<unsigned>(index));
}

}  // namespace VarnexCli
