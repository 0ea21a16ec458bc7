// varnex explain: the patterns behind the bits of one molecule's fingerprint,
// as lines and, with -svg, as drawings.

#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "fingerprint_kinds.h"
#include "molecules.h"
#include "output.h"
#include "output_file.h"
#include "parameters_common.h"
#include "picture_options.h"
#include "varnex/pictures.h"

namespace VarnexCli {
namespace {

// The atom indices of a pattern, comma-separated.
std::string AtomList(const Varnex::KvFPPattern& pattern) {
  std::string text;
  for (const KvChem::KvAtomBase* atom : pattern.GetAtoms()) {
    if (!text.empty()) text += ',';
    text += std::to_string(atom->GetIdx());
  }
  return text;
}

// Unhashed and Lingo fingerprints keep texts, not bits.
bool HasNoBits(unsigned kind) {
  return kind == Varnex::KvFPType::UnhashedPath || kind == Varnex::KvFPType::UnhashedTree ||
         kind == Varnex::KvFPType::UnhashedCircular || kind == Varnex::KvFPType::Lingo;
}

}  // namespace

void ConfigureExplain(KvSystem::KvInterface& itf) {
  AddText(itf, "-smiles", "-s", "Molecule as SMILES");
  KvSystem::KvParameter* bit = itf.AddParameter("int");
  bit->SetName("-bit");
  bit->SetBrief("Only the patterns behind this bit (-1: every pattern)");
  bit->SetLegalRange("-1", "65535");
  bit->SetDefault(-1);
  AddText(itf, "-svg", "", "Also draw the patterns into this SVG file: one panel per bit, captioned with bit and pattern",
          false);
  AddPictureLayout(itf);
  AddFormat(itf);
  AddFingerPrintParameters(itf);
}

int RunExplain(KvSystem::KvInterface& itf) {
  FingerPrintKind kind;
  if (!ReadFingerPrintKind(itf, kind)) return kExitUsage;
  if (kind.IsVsepr()) {
    std::fprintf(stderr, "varnex explain: %s fingerprints have no patterns; explain takes every other kind\n",
                 kind.name.c_str());
    return kExitUsage;
  }
  const bool noBits = HasNoBits(kind.type->GetFPType());
  const int only = itf.Get<int>("-bit");
  if (noBits && only >= 0) {
    std::fprintf(stderr,
                 "varnex explain: %s fingerprints have no bits; -bit is for Path, Tree, Circular and MACCS166\n",
                 kind.name.c_str());
    return kExitUsage;
  }
  if (!noBits && only >= 0 && static_cast<std::size_t>(only) >= Varnex::KvGetFingerPrintSize(kind.type)) {
    std::fprintf(stderr, "varnex explain: -bit %d is beyond the last bit of a %u-bit fingerprint\n", only,
                 Varnex::KvGetFingerPrintSize(kind.type));
    return kExitUsage;
  }
  Varnex::KvPictureLayout layout;
  if (!ReadPictureLayout(itf, "explain", layout)) return kExitUsage;
  KvChem::KvMol mol;
  if (!ReadSmiles(itf.Get<std::string>("-smiles"), mol, "molecule -smiles")) return kExitFailure;

  // The picture first: a file that cannot be written ends the command before
  // anything is printed.
  const KvSystem::KvParameter* svg = itf.GetParameter("-svg");
  if (svg->HasValue()) {
    OutputFile file;
    if (!file.Open(svg->GetText())) return kExitFailure;
    file.Write(Varnex::KvDrawFPPatterns(mol, kind.type, only, layout));
    if (!file.Commit()) return kExitFailure;
  }

  const bool json = WantsJson(itf);
  std::fputs(json ? "[" : "bit\tidentifier\tpattern\tatoms\n", stdout);
  bool first = true;
  for (const Varnex::KvFPPattern& p : Varnex::KvGetFeaturePatterns(mol, kind.type)) {
    if (only >= 0 && p.GetBit() != static_cast<unsigned>(only)) continue;
    // Unhashed and Lingo fingerprints keep the pattern texts, not bits or
    // numbers; MACCS identifiers are key numbers.
    const std::string bit = noBits ? (json ? "null" : "") : std::to_string(p.GetBit());
    const std::string id = noBits ? (json ? "null" : "") : std::to_string(p.GetUnhashed());
    if (json) {
      std::printf("%s\n  {\"bit\": %s, \"identifier\": %s, \"pattern\": %s, \"atoms\": [%s]}", first ? "" : ",",
                  bit.c_str(), id.c_str(), JsonString(p.GetSmarts()).c_str(), AtomList(p).c_str());
    } else {
      std::printf("%s\t%s\t%s\t%s\n", bit.c_str(), id.c_str(), TsvField(p.GetSmarts()).c_str(), AtomList(p).c_str());
    }
    first = false;
  }
  if (json) std::fputs(first ? "]\n" : "\n]\n", stdout);
  return kExitOk;
}

}  // namespace VarnexCli
