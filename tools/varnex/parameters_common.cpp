// Parameters several subcommands declare the same way.

#include "parameters_common.h"

#include <sys/stat.h>

#include <cstdio>

#include "varnex/config.h"

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

void AddThreadsAndQuiet(KvSystem::KvInterface& itf) {
  KvSystem::KvParameter* threads = itf.AddParameter("int");
  threads->SetName("-threads");
  threads->AddAlias("-t");
  threads->SetBrief("Worker threads (0: every processor)");
  threads->SetLegalRange("0", "1024");
  threads->SetDefault(0);
  KvSystem::KvParameter* quiet = itf.AddParameter("bool");
  quiet->SetName("-quiet");
  quiet->AddAlias("-q");
  quiet->SetBrief("No progress display");
  quiet->SetDefault(false);
}

void AddTverskyWeights(KvSystem::KvInterface& itf) {
  KvSystem::KvParameter* alpha = itf.AddParameter("float");
  alpha->SetName("-alpha");
  alpha->SetBrief("Tversky weight of the first molecule's own bits");
  alpha->SetLegalRange("0", "1");
  alpha->SetDefault(0.95f);
  KvSystem::KvParameter* beta = itf.AddParameter("float");
  beta->SetName("-beta");
  beta->SetBrief("Tversky weight of the second molecule's own bits");
  beta->SetLegalRange("0", "1");
  beta->SetDefault(0.05f);
}

void AddFormat(KvSystem::KvInterface& itf, const char* picture) {
  KvSystem::KvParameter* p = AddText(itf, "-format", "-f", "Output format");
  p->AddLegalValue("tsv");
  p->AddLegalValue("json");
  p->SetDefault("tsv");
  p->AddDetail("\n\ttsv: a header line, then one tab-separated line per result\n\tjson: one JSON document");
  if (picture == nullptr) return;
  p->AddLegalValue(picture);
  p->AddDetail(std::string("\t") + picture +
               (std::string(picture) == "html" ? ": a page with drawings of the molecules, into the file of -out"
                                               : ": a chart, into the file of -out"));
  AddText(itf, "-out", "-o", std::string("File for -format ") + picture + ", written whole or not at all", false);
}

bool WantsJson(const KvSystem::KvInterface& itf) {
  const KvSystem::KvParameter* p = itf.GetParameter("-format");
  return p != nullptr && p->GetText() == "json";
}

bool WantsPicture(const KvSystem::KvInterface& itf) {
  const KvSystem::KvParameter* p = itf.GetParameter("-format");
  return p != nullptr && p->GetText() != "json" && p->GetText() != "tsv";
}

bool ReadPictureOut(const KvSystem::KvInterface& itf, const char* command, std::string& path) {
  const KvSystem::KvParameter* out = itf.GetParameter("-out");
  const bool given = out != nullptr && out->HasValue();
  const std::string format = itf.GetParameter("-format")->GetText();
  if (WantsPicture(itf) && !given) {
    std::fprintf(stderr, "varnex %s: -format %s writes a file: give -out FILE\n", command, format.c_str());
    return false;
  }
  if (!WantsPicture(itf) && given) {
    std::fprintf(stderr, "varnex %s: -out is for the picture format; %s goes to stdout\n", command, format.c_str());
    return false;
  }
  path = given ? out->GetText() : std::string();
  return path.empty() || IsNoInput(itf, command, path);
}

bool IsNoInput(const KvSystem::KvInterface& itf, const char* command, const std::string& out) {
  struct stat target {};
  if (::stat(out.c_str(), &target) != 0) return true;  // a new file is nobody's input
  for (const char* name : {"-db", "-mols", "-query", "-in"}) {
    const KvSystem::KvParameter* p = itf.GetParameter(name);
    struct stat input {};
    if (p == nullptr || !p->HasValue() || ::stat(p->GetText().c_str(), &input) != 0) continue;
    if (input.st_dev == target.st_dev && input.st_ino == target.st_ino) {
      std::fprintf(stderr, "varnex %s: the output file %s is the %s input; choose another output file\n", command,
                   out.c_str(), name);
      return false;
    }
  }
  return true;
}

void SetupSearchOptions(Varnex::KvFPDatabaseOptions& options, const KvSystem::KvInterface& itf) {
  Varnex::KvSetupFPDatabaseOptions(options, itf);
  if (options.HasCutoff()) options.SetInclusiveCutoff(options.GetCutoff());
  options.SetNumProcessors(0);
}

}  // namespace VarnexCli
