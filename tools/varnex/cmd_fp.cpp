// varnex fp: fingerprints of a molecule file or of one SMILES.

#include <cinttypes>
#include <cstdio>
#include <string>

#include "command.h"
#include "fingerprint_kinds.h"
#include "molecules.h"
#include "output.h"
#include "parameters_common.h"

namespace VarnexCli {
namespace {

// A VSEPR path key in hexadecimal, two digits per atom of the path ("06093e").
std::string PathKey(std::uint64_t key) {
  char buffer[24];
  std::snprintf(buffer, sizeof(buffer), "%" PRIx64, key);
  std::string text = buffer;
  return text.size() % 2 == 1 ? "0" + text : text;
}

std::string Count(double count) {
  char buffer[32];
  std::snprintf(buffer, sizeof(buffer), "%.6g", count);
  return buffer;
}

// Writes one result line or JSON object: type string, bit count and bits in
// hexadecimal, or for VSEPR the number of paths, the volume and the counts.
class FpWriter {
 public:
  FpWriter(bool json, const FingerPrintKind& kind) : json_(json), kind_(kind), type_(kind.Describe()) {
    if (json_)
      std::fputs("[", stdout);
    else
      std::fputs(kind.IsVsepr() ? "index\tname\ttype\tpaths\tvolume\tcounts\n" : "index\tname\ttype\tbits\thex\n",
                 stdout);
  }
  void Write(unsigned index, const std::string& name, const KindFingerPrint& fp) {
    if (json_)
      std::printf("%s\n{\"index\": %u, \"name\": %s, \"type\": %s, ", first_ ? "" : ",", index,
                  JsonString(name).c_str(), JsonString(type_).c_str());
    else
      std::printf("%u\t%s\t%s\t", index, TsvField(name).c_str(), type_.c_str());
    first_ = false;
    if (!kind_.IsVsepr()) {
      const std::string hex = fp.bits.ToHexString();
      if (json_)
        std::printf("\"bits\": %zu, \"hex\": %s}", fp.bits.CountBits(), JsonString(hex).c_str());
      else
        std::printf("%zu\t%s\n", fp.bits.CountBits(), hex.c_str());
      return;
    }
    std::string counts;
    for (const auto& [key, count] : fp.counts.GetPathCounts()) {
      if (!counts.empty()) counts += json_ ? ", " : " ";
      counts += json_ ? JsonString(PathKey(key)) + ": " + Count(count) : PathKey(key) + "=" + Count(count);
    }
    if (json_)
      std::printf("\"paths\": %zu, \"volume\": %s, \"counts\": {%s}}", fp.counts.NumPaths(),
                  Count(fp.counts.GetVolume()).c_str(), counts.c_str());
    else
      std::printf("%zu\t%s\t%s\n", fp.counts.NumPaths(), Count(fp.counts.GetVolume()).c_str(), counts.c_str());
  }
  ~FpWriter() {
    if (json_) std::fputs("\n]\n", stdout);
  }

 private:
  bool json_;
  const FingerPrintKind& kind_;
  std::string type_;
  bool first_ = true;
};

}  // namespace

void ConfigureFp(KvSystem::KvInterface& itf) {
  AddText(itf, "-in", "-i", "Molecule file (.smi, .sdf, also .gz)", false);
  AddText(itf, "-smiles", "-m", "One molecule as SMILES (instead of -in)", false);
  AddNameTag(itf);
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
  FingerPrintKind kind;
  if (!ReadFingerPrintKind(itf, kind)) return kExitUsage;

  KindFingerPrint fp;
  if (smiles->HasValue()) {
    KvChem::KvMol mol;
    if (!ReadSmiles(smiles->GetText(), mol, "the molecule")) return kExitFailure;
    if (!MakeFingerPrint(kind, mol, fp)) return kExitFailure;
    FpWriter(WantsJson(itf), kind).Write(0, mol.GetTitle(), fp);
    return kExitOk;
  }

  KvChem::KvMolDatabase mols;
  if (!OpenMolecules(mols, in->GetText())) return kExitFailure;
  const MolNames names(itf);
  unsigned failed = 0;
  {
    FpWriter writer(WantsJson(itf), kind);
    KvChem::KvMol mol;
    for (unsigned i = 0; i < mols.GetMaxMolIdx(); ++i) {
      if (!mols.GetMolecule(mol, i) || !MakeFingerPrint(kind, mol, fp)) {
        ++failed;  // the library has named the record
        continue;
      }
      writer.Write(i, names.Get(mols, i), fp);
    }
  }
  if (failed != 0) std::fprintf(stderr, "varnex fp: %u of %u molecules could not be read\n", failed, mols.GetMaxMolIdx());
  return InputStatus(mols, failed);
}

}  // namespace VarnexCli
