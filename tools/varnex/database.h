// Opening a fast fingerprint database and naming its records.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "kvchem/moldb.h"
#include "kvsystem/parameters.h"
#include "varnex/fastdb.h"

namespace VarnexCli {

// Declares "-db" (the .fpbin file), "-mols" (the molecule file it was made
// from, for names), "-memory" (memory type) and "-maxatoms".
void AddDatabaseParameters(KvSystem::KvInterface& itf);
// Opens the database of "-db" with the memory type of "-memory"; null after a
// message on stderr.
std::unique_ptr<Varnex::KvFastFPDatabase> OpenDatabase(KvSystem::KvInterface& itf);

// Lowers a limit above the database's record count to that count, with a
// note on stderr naming `command`.
void ClampLimit(Varnex::KvFPDatabaseOptions& options, const Varnex::KvFastFPDatabase& db, const char* command);

// Record names from the optional "-mols" file.
class RecordNames {
 public:
  // False after a message when "-mols" is given but unreadable, or not the
  // molecule file the database was made from (KvAreCompatibleDatabases).
  bool Open(const KvSystem::KvInterface& itf, const Varnex::KvFastFPDatabase& db);
  // The name of molecule `index`; "" when unknown.
  std::string Get(std::size_t index) const;

 private:
  KvChem::KvMolDatabase mols_;
  bool open_ = false;
};

}  // namespace VarnexCli
