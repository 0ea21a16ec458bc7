// Molecule input and fingerprint settings shared by the subcommands.
#pragma once

#include <string>

#include "kvchem/mol.h"
#include "kvchem/moldb.h"
#include "kvsystem/parameters.h"
#include "varnex/fptypes.h"

namespace VarnexCli {

// Declares the fingerprint parameters ("-fptype" ... "-bondtype"), defaults
// of the path fingerprint, and "-maxatoms".
void AddFingerPrintParameters(KvSystem::KvInterface& itf);
// The type they describe; null after a message on stderr.
const Varnex::KvFPTypeBase* FingerPrintTypeOf(const KvSystem::KvInterface& itf);

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

}  // namespace VarnexCli
