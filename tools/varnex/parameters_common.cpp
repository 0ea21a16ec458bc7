// Parameters several subcommands declare the same way.

#include "parameters_common.h"

namespace VarnexCli {

KvSystem::KvParameter* AddText(KvSystem::KvInterface& itf, const std::string& name, const std::string& alias,
                               const std::string& brief, bool required) {
  KvSystem::KvParameter* p = itf.AddParameter("string");
  p->SetName(name);
  if (!alias.empty()) p->AddAlias(alias);
  p->SetBrief(brief);
  p->SetRequired(required);
  return p;
}

void AddFormat(KvSystem::KvInterface& itf) {
  KvSystem::KvParameter* p = AddText(itf, "-format", "-f", "Output format");
  p->AddLegalValue("tsv");
  p->AddLegalValue("json");
  p->SetDefault("tsv");
  p->AddDetail("\n\ttsv: a header line, then one tab-separated line per result\n\tjson: one JSON document");
}

bool WantsJson(const KvSystem::KvInterface& itf) {
  const KvSystem::KvParameter* p = itf.GetParameter("-format");
  return p != nullptr && p->GetText() == "json";
}

}  // namespace VarnexCli
