// Molecule input and fingerprint settings shared by the subcommands.

#include "molecules.h"

#include <sys/stat.h>

#include <cstdio>

#include "varnex/config.h"

namespace VarnexCli {

void AddFingerPrintParameters(KvSystem::KvInterface& itf) {
  Varnex::KvConfigureFingerPrint(itf, Varnex::KvGetFPType(Varnex::KvFPType::Path));
}

const Varnex::KvFPTypeBase* FingerPrintTypeOf(const KvSystem::KvInterface& itf) {
  const Varnex::KvFPTypeBase* type = Varnex::KvSetupFingerPrint(itf);
  if (type == nullptr) std::fputs("varnex: the fingerprint parameters describe no valid fingerprint type\n", stderr);
  return type;
}

bool ReadSmiles(const std::string& smiles, KvChem::KvMol& mol, const std::string& what) {
  if (KvChem::KvSmilesToMol(smiles, mol) && mol.IsValid()) return true;
  std::fprintf(stderr, "varnex: %s is not a valid SMILES: %s\n", what.c_str(), smiles.c_str());
  return false;
}

bool OpenMolecules(KvChem::KvMolDatabase& mols, const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    std::fprintf(stderr, "varnex: cannot read molecule file %s\n", path.c_str());
    return false;
  }
  if (!mols.Open(path)) {
    std::fprintf(stderr, "varnex: cannot open molecule file %s (.smi, .smiles, .txt, .sdf, .sd, .mol, also .gz)\n",
                 path.c_str());
    return false;
  }
  return true;
}

}  // namespace VarnexCli
