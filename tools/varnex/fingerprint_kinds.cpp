// The fingerprint kinds of the command line and their parameters.

#include "fingerprint_kinds.h"

#include <cstdio>

#include "checks.h"
#include "varnex/generation.h"
#include "varnex/typing.h"

namespace VarnexCli {
namespace {

using Varnex::KvFPType::Circular;
using Varnex::KvFPType::Path;
using Varnex::KvFPType::Tree;

enum class Family { Hashed, Unhashed, Plain, Vsepr };

struct KindInfo {
  const char* name;
  unsigned code;  // the library's kind code; for VSEPR, 1 when stereo aware
  Family family;
};

constexpr KindInfo kKinds[] = {
    {"Path", Path, Family::Hashed},
    {"Circular", Circular, Family::Hashed},
    {"Tree", Tree, Family::Hashed},
    {"MACCS166", Varnex::KvFPType::MACCS166, Family::Plain},
    {"Lingo", Varnex::KvFPType::Lingo, Family::Plain},
    {"UnhashedPath", Varnex::KvFPType::UnhashedPath, Family::Unhashed},
    {"UnhashedTree", Varnex::KvFPType::UnhashedTree, Family::Unhashed},
    {"UnhashedCircular", Varnex::KvFPType::UnhashedCircular, Family::Unhashed},
    {"VSEPRAroType", 0, Family::Vsepr},
    {"VSEPRAroStereoType", 1, Family::Vsepr},
};

// The parameters of some kinds only, and the families they apply to.
struct KindParameter {
  const char* name;
  bool hashed, unhashed, vsepr;
};

constexpr KindParameter kKindParameters[] = {
    {"-numbits", true, false, false},        {"-mindistance", true, true, false},
    {"-maxdistance", true, true, false},     {"-atomtype", true, true, false},
    {"-bondtype", true, true, false},        {"-maxpathlength", false, false, true},
    {"-minpathlength", false, false, true},  {"-forcepathsout", false, false, true},
    {"-weightbylength", false, false, true},
};

const KindInfo* FindKind(const std::string& name) {
  for (const KindInfo& kind : kKinds)
    if (name == kind.name) return &kind;
  return nullptr;
}

bool Applies(const KindParameter& parameter, Family family) {
  switch (family) {
    case Family::Hashed: return parameter.hashed;
    case Family::Unhashed: return parameter.unhashed;
    case Family::Vsepr: return parameter.vsepr;
    default: return false;
  }
}

// The default type of a graph kind, for its distances and typing.
const Varnex::KvFPGraphTypeBase* GraphDefaults(unsigned code) {
  return dynamic_cast<const Varnex::KvFPGraphTypeBase*>(Varnex::KvGetFPType(code));
}

// A detail that lists one default of every graph kind, a line per kind
// ("Tree: 4").
template <typename Field>
std::string GraphDefaultsText(Field field) {
  std::string text = "\n\tby kind:";
  for (const KindInfo& kind : kKinds)
    if (kind.family == Family::Hashed || kind.family == Family::Unhashed)
      text += std::string("\n\t  ") + kind.name + ": " + field(*GraphDefaults(kind.code));
  return text;
}

std::string FlagNames(const KvSystem::KvNamespaceInterface& ns) {
  std::string text = "\n\tflags, joined by |:";
  for (const auto& prim : ns.GetPrimitives()) text += " " + prim.GetName();
  return text;
}

KvSystem::KvParameter* AddParameter(KvSystem::KvInterface& group, const char* type, const char* name,
                                    const char* alias, const std::string& brief) {
  KvSystem::KvParameter* p = group.AddParameter(type);
  p->SetName(name);
  p->AddAlias(alias);
  p->SetBrief(brief);
  p->SetRequired(false);
  return p;
}

bool Usage(const std::string& message) {
  std::fprintf(stderr, "varnex: %s\n", message.c_str());
  return false;
}

// Reads an atom or bond typing expression; false after a message.
bool ReadTyping(const KvSystem::KvInterface& itf, const char* name, bool atoms, unsigned& flags) {
  const KvSystem::KvParameter* p = itf.GetParameter(name);
  if (p == nullptr || !p->IsSet()) return true;
  const std::string& text = p->GetText();
  if (atoms ? !Varnex::KvIsValidFPAtomType(text) : !Varnex::KvIsValidFPBondType(text))
    return Usage(std::string(name) + " " + text + (atoms ? " is not an atom" : " is not a bond") +
                 " typing (flag names joined by |; see -help)");
  flags = atoms ? Varnex::KvGetFPAtomType(text) : Varnex::KvGetFPBondType(text);
  return true;
}

void ReadInt(const KvSystem::KvInterface& itf, const char* name, unsigned& value) {
  const KvSystem::KvParameter* p = itf.GetParameter(name);
  int read = 0;
  if (p != nullptr && p->IsSet() && p->Read(read)) value = static_cast<unsigned>(read);
}

bool ReadGraphType(const KvSystem::KvInterface& itf, const KindInfo& kind, FingerPrintKind& out) {
  const Varnex::KvFPGraphTypeBase* d = GraphDefaults(kind.code);
  unsigned bits = d->GetNumBits(), min = d->GetMinDistance(), max = d->GetMaxDistance();
  unsigned atoms = d->GetAtomTypes(), bonds = d->GetBondTypes();
  ReadInt(itf, "-numbits", bits);
  ReadInt(itf, "-mindistance", min);
  ReadInt(itf, "-maxdistance", max);
  if (!ReadTyping(itf, "-atomtype", true, atoms) || !ReadTyping(itf, "-bondtype", false, bonds)) return false;
  if (min > max)
    return Usage("-mindistance " + std::to_string(min) + " is above -maxdistance " + std::to_string(max));
  if (atoms == 0 && bonds == 0) return Usage("-atomtype and -bondtype cannot both be None");
  const unsigned short version = Varnex::KvGetFingerPrintVersion(kind.code);
  switch (kind.code) {
    case Path: out.type = Varnex::KvGetPathFPType(version, bits, min, max, atoms, bonds); break;
    case Circular: out.type = Varnex::KvGetCircularFPType(version, bits, min, max, atoms, bonds); break;
    case Tree: out.type = Varnex::KvGetTreeFPType(version, bits, min, max, atoms, bonds); break;
    case Varnex::KvFPType::UnhashedPath:
      out.type = Varnex::KvGetUnhashedPathFPType(version, min, max, atoms, bonds);
      break;
    case Varnex::KvFPType::UnhashedTree:
      out.type = Varnex::KvGetUnhashedTreeFPType(version, min, max, atoms, bonds);
      break;
    default: out.type = Varnex::KvGetUnhashedCircularFPType(version, min, max, atoms, bonds);
  }
  return true;
}

}  // namespace

std::string FingerPrintKind::Describe() const {
  if (!IsVsepr()) return type->GetFPTypeString();
  const auto flag = [](bool on) { return on ? "true" : "false"; };
  return name + ",maxpathlength=" + std::to_string(vsepr.GetMaxPathLength()) +
         ",minpathlength=" + std::to_string(vsepr.GetMinPathLength()) +
         ",forcepathsout=" + flag(vsepr.GetForcePathsOut()) + ",weightbylength=" + flag(vsepr.GetWeightByLength());
}

void AddFingerPrintParameters(KvSystem::KvInterface& itf) {
  KvSystem::KvInterface* group = itf.AddInterface();
  group->SetName("fingerprint options");
  KvSystem::KvParameter* p = AddParameter(*group, "string", "-fptype", "-fpt", "Fingerprint kind");
  for (const KindInfo& kind : kKinds) p->AddLegalValue(kind.name);
  p->SetDefault("Path");
  p->AddDetail(
      "\n\tPath, Circular, Tree: hashed bits (-numbits, -mindistance, -maxdistance, -atomtype, -bondtype)"
      "\n\tUnhashedPath, UnhashedTree, UnhashedCircular: the feature texts (as above, without -numbits)"
      "\n\tMACCS166, Lingo: no parameters"
      "\n\tVSEPRAroType, VSEPRAroStereoType: VSEPR path counts (-maxpathlength, -minpathlength,"
      "\n\t  -forcepathsout, -weightbylength)"
      "\n\tA parameter left out takes the default of the kind.");

  p = AddParameter(*group, "int", "-numbits", "-size", "Size of the bit vector (Path, Circular, Tree)");
  p->SetLegalRange("64", "65535");
  p->SetDefault(4096);
  p = AddParameter(*group, "int", "-mindistance", "-mind", "Minimum number of bonds (radius for Circular kinds)");
  p->SetLegalRange("0", "10");
  p->AddDetail(GraphDefaultsText([](const auto& t) { return std::to_string(t.GetMinDistance()); }));
  p = AddParameter(*group, "int", "-maxdistance", "-maxd", "Maximum number of bonds (radius for Circular kinds)");
  p->SetLegalRange("0", "10");
  p->AddDetail(GraphDefaultsText([](const auto& t) { return std::to_string(t.GetMaxDistance()); }));
  p = AddParameter(*group, "string", "-atomtype", "-a", "Atom typing of the graph kinds");
  p->AddDetail(FlagNames(Varnex::KvGetFPAtomTypeNamespace()));
  p->AddDetail(GraphDefaultsText([](const auto& t) { return Varnex::KvGetFPAtomType(t.GetAtomTypes()); }));
  p = AddParameter(*group, "string", "-bondtype", "-b", "Bond typing of the graph kinds");
  p->AddDetail(FlagNames(Varnex::KvGetFPBondTypeNamespace()));
  p->AddDetail(GraphDefaultsText([](const auto& t) { return Varnex::KvGetFPBondType(t.GetBondTypes()); }));

  const Varnex::KvVseprOptions vsepr;
  p = AddParameter(*group, "int", "-maxpathlength", "-maxpath", "VSEPR: paths have at most this many atoms");
  p->SetLegalRange("0", "8");
  p->SetDefault(static_cast<int>(vsepr.GetMaxPathLength()));
  p = AddParameter(*group, "int", "-minpathlength", "-minpath", "VSEPR: paths count from this many bonds");
  p->SetLegalRange("0", "8");
  p->SetDefault(static_cast<int>(vsepr.GetMinPathLength()));
  p = AddParameter(*group, "bool", "-forcepathsout", "-pathsout",
                   "VSEPR: paths only move away from their start atom");
  p->SetDefault(vsepr.GetForcePathsOut());
  p = AddParameter(*group, "bool", "-weightbylength", "-weighted", "VSEPR: a path of d bonds counts exp((8 - d) / 2)");
  p->SetDefault(vsepr.GetWeightByLength());
  AddMoleculeLimitParameter(itf);
}

bool ReadFingerPrintKind(const KvSystem::KvInterface& itf, FingerPrintKind& out) {
  out.name = itf.Get<std::string>("-fptype");
  const KindInfo* kind = FindKind(out.name);
  if (kind == nullptr) return Usage("unknown fingerprint kind " + out.name);
  for (const KindParameter& parameter : kKindParameters) {
    const KvSystem::KvParameter* p = itf.GetParameter(parameter.name);
    if (p != nullptr && p->IsSet() && !Applies(parameter, kind->family))
      return Usage(std::string(parameter.name) + " does not apply to " + out.name + " fingerprints; see -help");
  }
  switch (kind->family) {
    case Family::Plain: out.type = Varnex::KvGetFPType(kind->code); return true;
    case Family::Vsepr:
      out.type = nullptr;
      out.vsepr = Varnex::KvVseprOptions()
                      .SetMaxPathLength(static_cast<unsigned>(itf.Get<int>("-maxpathlength")))
                      .SetMinPathLength(static_cast<unsigned>(itf.Get<int>("-minpathlength")))
                      .SetForcePathsOut(itf.Get<bool>("-forcepathsout"))
                      .SetWeightByLength(itf.Get<bool>("-weightbylength"))
                      .SetStereoAware(kind->code == 1);
      return true;
    default: return ReadGraphType(itf, *kind, out);
  }
}

bool MakeFingerPrint(const FingerPrintKind& kind, const KvChem::KvMolBase& mol, KindFingerPrint& fp) {
  if (!kind.IsVsepr()) return Varnex::KvMakeFP(fp.bits, mol, kind.type);
  if (!mol.IsValid()) return false;
  fp.counts.Setup(mol, kind.vsepr);
  return true;
}

}  // namespace VarnexCli
