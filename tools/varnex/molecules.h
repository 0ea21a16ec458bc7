// Molecule input and fingerprint settings shared by the subcommands.
#pragma once

#include <string>

#include "kvchem/mol.h"
#include "kvchem/moldb.h"
#include "kvsystem/parameters.h"
#include "varnex/fptypes.h"

namespace VarnexCli {

// Declares the fingerprint parameters ("-fptype" ... "-bondtype"), defaults
// of the path fingerprint.
void AddFingerPrintParameters(KvSystem::KvInterface& itf);
// The type they describe; null after a message on stderr.
const Varnex::KvFPTypeBase* FingerPrintTypeOf(const KvSystem::KvInterface& itf);

// Parses one SMILES (its title may follow after a blank); false after a
// message on stderr naming `what`.
bool ReadSmiles(const std::string& smiles, KvChem::KvMol& mol, const std::string& what);
// Opens a molecule file; false after a message on stderr.
bool OpenMolecules(KvChem::KvMolDatabase& mols, const std::string& path);

}  // namespace VarnexCli
