// varnex explain: the patterns behind the bits of one molecule's fingerprint.

#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "kvsystem/iterator.h"
#include "molecules.h"
#include "output.h"
#include "parameters_common.h"
#include "varnex/patterns.h"

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

}  // namespace

void ConfigureExplain(KvSystem::KvInterface& itf) {
  AddText(itf, "-smiles", "-s", "Molecule as SMILES");
  KvSystem::KvParameter* bit = itf.AddParameter("int");
  bit->SetName("-bit");
  bit->SetBrief("Only the patterns behind this bit (-1: every pattern)");
  bit->SetLegalRange("-1", "65535");
  bit->SetDefault(-1);
  AddFormat(itf);
  AddFingerPrintParameters(itf);
}

int RunExplain(KvSystem::KvInterface& itf) {
  const Varnex::KvFPTypeBase* type = FingerPrintTypeOf(itf);
  if (type == nullptr) return kExitUsage;
  KvChem::KvMol mol;
  if (!ReadSmiles(itf.Get<std::string>("-smiles"), mol, "molecule -smiles")) return kExitFailure;
  const unsigned kind = type->GetFPType();
  if (kind != Varnex::KvFPType::Path && kind != Varnex::KvFPType::Tree && kind != Varnex::KvFPType::Circular) {
    std::fprintf(stderr, "varnex explain: patterns exist for the Path, Tree and Circular fingerprints only\n");
    return kExitUsage;
  }
  const int only = itf.Get<int>("-bit");
  std::vector<Varnex::KvFPPattern> patterns = KvSystem::KvCollect(Varnex::KvGetFPPatterns(mol, type));

  const bool json = WantsJson(itf);
  std::fputs(json ? "[" : "bit\tidentifier\tpattern\tatoms\n", stdout);
  bool first = true;
  for (const Varnex::KvFPPattern& p : patterns) {
    if (only >= 0 && p.GetBit() != static_cast<unsigned>(only)) continue;
    if (json) {
      std::printf("%s\n  {\"bit\": %u, \"identifier\": %u, \"pattern\": %s, \"atoms\": [%s]}", first ? "" : ",",
                  p.GetBit(), p.GetUnhashed(), JsonString(p.GetSmarts()).c_str(), AtomList(p).c_str());
    } else {
      std::printf("%u\t%u\t%s\t%s\n", p.GetBit(), p.GetUnhashed(), TsvField(p.GetSmarts()).c_str(),
                  AtomList(p).c_str());
    }
    first = false;
  }
  if (json) std::fputs(first ? "]\n" : "\n]\n", stdout);
  return kExitOk;
}

}  // namespace VarnexCli
