// Opening a fast fingerprint database and naming its records.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "kvchem/moldb.h"
#include "kvsystem/parameters.h"
#include "molecules.h"
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

// Record names (and molecules) from the optional "-mols" file; names from
// the data field of "-nametag" when the command has one.
class RecordNames {
 public:
  // False after a message when "-mols" is given but unreadable, or not the
  // molecule file the database was made from (KvAreCompatibleDatabases).
  bool Open(const KvSystem::KvInterface& itf, const Varnex::KvFastFPDatabase& db);
  // Whether "-mols" was given.
  bool IsOpen() const { return open_; }
  // The name of molecule `index`; "" when unknown.
  std::string Get(std::size_t index) const;
  // The SMILES of molecule `index`: its own text in a SMILES file, written
  // from the parsed molecule for other files; "" when it cannot be read.
  // Safe to call from many threads at once.
  std::string GetSmiles(std::size_t index) const;
  // Reads molecule `index`; false (with the library's warning) when it does
  // not parse or no "-mols" was given.
  bool GetMolecule(KvChem::KvMolBase& mol, std::size_t index) const;

 private:
  KvChem::KvMolDatabase mols_;
  MolNames names_;
  bool open_ = false;
};

}  // namespace VarnexCli
