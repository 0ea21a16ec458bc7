// Molecule input and fingerprint settings shared by the subcommands.

#include "molecules.h"

#include <sys/stat.h>

#include <cstdio>

#include "checks.h"
#include "command.h"
#include "varnex/config.h"

namespace VarnexCli {

void AddFingerPrintParameters(KvSystem::KvInterface& itf) {
  Varnex::KvConfigureFingerPrint(itf, Varnex::KvGetFPType(Varnex::KvFPType::Path));
  AddMoleculeLimitParameter(itf);
}

const Varnex::KvFPTypeBase* FingerPrintTypeOf(const KvSystem::KvInterface& itf) {
  const Varnex::KvFPTypeBase* type = Varnex::KvSetupFingerPrint(itf);
  if (type == nullptr) std::fputs("varnex: the fingerprint parameters describe no valid fingerprint type\n", stderr);
  return type;
}

bool ReadSmiles(const std::string& smiles, KvChem::KvMol& mol, const std::string& what) {
  // An empty SMILES is a molecule without atoms: never what was meant.
  if (smiles.find_first_not_of(" \t\r\n") == std::string::npos) {
    std::fprintf(stderr, "varnex: %s is an empty SMILES\n", what.c_str());
    return false;
  }
  if (KvChem::KvSmilesToMol(smiles, mol) && mol.IsValid()) return true;
  std::fprintf(stderr, "varnex: %s is not a valid SMILES: %s\n", what.c_str(), smiles.c_str());
  return false;
}

bool IsMoleculeFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return true;
  std::fprintf(stderr, "varnex: cannot read molecule file %s\n", path.c_str());
  return false;
}

bool OpenMolecules(KvChem::KvMolDatabase& mols, const std::string& path) {
  if (!IsMoleculeFile(path)) return false;
  if (!mols.Open(path)) {
    std::fprintf(stderr, "varnex: cannot open molecule file %s (.smi, .smiles, .txt, .sdf, .sd, .mol, also .gz)\n",
                 path.c_str());
    return false;
  }
  return true;
}

int InputStatus(const KvChem::KvMolDatabase& mols, unsigned failed) {
  return failed != 0 || mols.IsDamaged() ? kExitPartial : kExitOk;
}

}  // namespace VarnexCli
