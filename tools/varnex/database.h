// Opening a fast fingerprint database and naming its records.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

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
  // The name of molecule `index`; "" when unknown. The first time a record
  // is named its molecule is fingerprinted and compared with the record: a
  // molecule file changed since the database was made names no hit wrongly
  // (the mismatch is reported once on stderr and the name is "").
  std::string Get(std::size_t index) const;
  // Whether a named record did not match its molecule.
  bool Mismatched() const { return mismatched_.load(); }
  // The SMILES of molecule `index`: its own text in a SMILES file, written
  // from the parsed molecule for other files; "" when it cannot be read.
  // Safe to call from many threads at once.
  std::string GetSmiles(std::size_t index) const;
  // Reads molecule `index`; false (with the library's warning) when it does
  // not parse or no "-mols" was given.
  bool GetMolecule(KvChem::KvMolBase& mol, std::size_t index) const;

 private:
  bool Matches(std::size_t index) const;

  KvChem::KvMolDatabase mols_;
  MolNames names_;
  const Varnex::KvFastFPDatabase* db_ = nullptr;
  // Per record: 0 not yet checked, 1 matches, 2 does not. Atomic, so that
  // threads naming records at once may each check one (the same answer).
  mutable std::unique_ptr<std::atomic<char>[]> checked_;
  mutable std::atomic<bool> mismatched_{false};
  std::size_t size_ = 0;
  bool open_ = false;
};

}  // namespace VarnexCli
