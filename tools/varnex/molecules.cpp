// Molecule input shared by the subcommands.

#include "molecules.h"

#include <sys/stat.h>

#include <cstdio>
#include <sstream>

#include "command.h"
#include "parameters_common.h"
#include "kvsystem/strings.h"

namespace VarnexCli {

bool ReadSmiles(const std::string& smiles, KvChem::KvMol& mol, const std::string& what) {
  // An empty SMILES is a molecule without atoms: never what was meant.
  if (smiles.find_first_not_of(" \t\r\n") == std::string::npos) {
    std::fprintf(stderr, "varnex: %s is an empty SMILES\n", what.c_str());
    return false;
  }
  if (KvChem::KvSmilesToMol(smiles, mol) && mol.IsValid()) return true;
  std::fprintf(stderr, "varnex: %s is not a valid SMILES: %s\n", what.c_str(), KvSystem::KvQuoteInput(smiles).c_str());
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

void AddNameTag(KvSystem::KvInterface& itf) {
  AddText(itf, "-nametag", "", "Molecule names from this SD data field instead of the title line", false);
}

std::optional<std::string> SdDataField(const std::string& recordText, const std::string& tag) {
  return KvChem::KvSdDataField(recordText, tag);
}

MolNames::MolNames(const KvSystem::KvInterface& itf) {
  const KvSystem::KvParameter* p = itf.GetParameter("-nametag");
  if (p != nullptr && p->HasValue()) tag_ = p->GetText();
}

std::string MolNames::Get(const KvChem::KvMolDatabase& mols, unsigned index) const {
  if (tag_.empty()) return mols.GetMolName(index);
  std::optional<std::string> name = SdDataField(mols.GetRecordText(index), tag_);
  if (!name && !warned_) {
    std::fprintf(stderr, "varnex: record %u of %s has no data field <%s>; such records have no name\n", index,
                 mols.GetPath().c_str(), tag_.c_str());
    warned_ = true;
  }
  return name.value_or("");
}

}  // namespace VarnexCli
