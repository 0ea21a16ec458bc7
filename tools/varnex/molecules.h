// Molecule input shared by the subcommands: SMILES, molecule files and the
// names of their records.
#pragma once

#include <optional>
#include <string>

#include "kvchem/mol.h"
#include "kvchem/moldb.h"
#include "kvsystem/parameters.h"

namespace VarnexCli {

// Parses one SMILES (its title may follow after a blank); false after a
// message on stderr naming `what`, also for an empty or blank SMILES.
bool ReadSmiles(const std::string& smiles, KvChem::KvMol& mol, const std::string& what);
// Whether `path` is a regular file; false after a message on stderr.
bool IsMoleculeFile(const std::string& path);
// Opens a molecule file; false after a message on stderr.
bool OpenMolecules(KvChem::KvMolDatabase& mols, const std::string& path);
// The exit status of a run over the records of `mols`, `failed` of which it
// could not use: kExitPartial when any failed or the file was damaged.
int InputStatus(const KvChem::KvMolDatabase& mols, unsigned failed);

// Declares "-nametag": names from an SD data field instead of the title.
void AddNameTag(KvSystem::KvInterface& itf);

// The value of the SD data field `tag` of an SD record's text (its lines up
// to the next blank line, joined by blanks); nothing when the record has no
// such field.
std::optional<std::string> SdDataField(const std::string& recordText, const std::string& tag);

// Record names of a molecule file: the title (SMILES name or SD title line),
// or with "-nametag" the SD data field of that name.
class MolNames {
 public:
  MolNames() = default;
  // Takes the tag of "-nametag" when the interface has one with a value.
  explicit MolNames(const KvSystem::KvInterface& itf);
  // The name of record `index`. The first record without the data field
  // gives one message on stderr; its name, like every other such, is "".
  std::string Get(const KvChem::KvMolDatabase& mols, unsigned index) const;

 private:
  std::string tag_;
  mutable bool warned_ = false;
};

}  // namespace VarnexCli
