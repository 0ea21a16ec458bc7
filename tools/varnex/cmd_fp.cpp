// varnex fp: fingerprints of a molecule file or of one SMILES.

#include <cstdio>
#include <string>

#include "command.h"
#include "molecules.h"
#include "output.h"
#include "parameters_common.h"
#include "varnex/fingerprint.h"
#include "varnex/generation.h"

namespace VarnexCli {
namespace {

// Writes one result line or JSON object.
class FpWriter {
 public:
  explicit FpWriter(bool json) : json_(json) {
    std::fputs(json_ ? "[" : "index\tname\ttype\tbits\thex\n", stdout);
  }
  void Write(unsigned index, const std::string& name, const Varnex::KvFingerPrint& fp) {
    const std::string type = fp.GetFPTypeBase()->GetFPTypeString();
    const std::string hex = fp.ToHexString();
    if (json_) {
      std::printf("%s\n{\"index\": %u, \"name\": %s, \"type\": %s, \"bits\": %zu, \"hex\": %s}", first_ ? "" : ",",
                  index, JsonString(name).c_str(), JsonString(type).c_str(), fp.CountBits(), JsonString(hex).c_str());
    } else {
      std::printf("%u\t%s\t%s\t%zu\t%s\n", index, TsvField(name).c_str(), type.c_str(), fp.CountBits(), hex.c_str());
    }
    first_ = false;
  }
  ~FpWriter() {
    if (json_) std::fputs("\n]\n", stdout);
  }

 private:
  bool json_;
  bool first_ = true;
};

}  // namespace

void ConfigureFp(KvSystem::KvInterface& itf) {
  AddText(itf, "-in", "-i", "Molecule file (.smi, .sdf, also .gz)", false);
  AddText(itf, "-smiles", "-m", "One molecule as SMILES (instead of -in)", false);
  AddFormat(itf);
  AddFingerPrintParameters(itf);
}

int RunFp(KvSystem::KvInterface& itf) {
  const KvSystem::KvParameter* in = itf.GetParameter("-in");
  const KvSystem::KvParameter* smiles = itf.GetParameter("-smiles");
  if (in->HasValue() == smiles->HasValue()) {
    std::fputs("varnex fp: give either -in <molecule file> or -smiles <SMILES>; see 'varnex fp -help'\n", stderr);
    return kExitUsage;
  }
  const Varnex::KvFPTypeBase* type = FingerPrintTypeOf(itf);
  if (type == nullptr) return kExitUsage;

  Varnex::KvFingerPrint fp;
  if (smiles->HasValue()) {
    KvChem::KvMol mol;
    if (!ReadSmiles(smiles->GetText(), mol, "the molecule")) return kExitFailure;
    if (!Varnex::KvMakeFP(fp, mol, type)) return kExitFailure;
    FpWriter(WantsJson(itf)).Write(0, mol.GetTitle(), fp);
    return kExitOk;
  }

  KvChem::KvMolDatabase mols;
  if (!OpenMolecules(mols, in->GetText())) return kExitFailure;
  unsigned failed = 0;
  {
    FpWriter writer(WantsJson(itf));
    KvChem::KvMol mol;
    for (unsigned i = 0; i < mols.GetMaxMolIdx(); ++i) {
      if (!mols.GetMolecule(mol, i) || !Varnex::KvMakeFP(fp, mol, type)) {
        ++failed;  // the library has named the record
        continue;
      }
      writer.Write(i, mols.GetMolName(i), fp);
    }
  }
  if (failed != 0) std::fprintf(stderr, "varnex fp: %u of %u molecules could not be read\n", failed, mols.GetMaxMolIdx());
  return InputStatus(mols, failed);
}

}  // namespace VarnexCli
