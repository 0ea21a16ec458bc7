// varnex append and varnex verify: growing a collection and checking it.

#include <cstdio>
#include <string>

#include "collection_cli.h"
#include "command.h"
#include "molecules.h"
#include "parameters_common.h"
#include "run_context.h"
#include "kvsystem/dots.h"
#include "varnex/collection.h"
#include "varnex/fptypes.h"

namespace VarnexCli {

void ConfigureAppend(KvSystem::KvInterface& itf) {
  AddText(itf, "-db", "", "Collection to grow (NAME.vxc, made by 'varnex create -out NAME.vxc')");
  AddText(itf, "-in", "-i", "Molecule file to add (.smi, .sdf, also .gz)");
  KvSystem::KvParameter* shards = itf.AddParameter("int");
  shards->SetName("-shards");
  shards->SetBrief("Number of new shard files for the added molecules");
  shards->SetLegalRange("1", "100000");
  shards->SetDefault(1);
  AddThreadsAndQuiet(itf);
}

int RunAppend(KvSystem::KvInterface& itf) {
  const std::string db = itf.Get<std::string>("-db");
  const std::string in = itf.Get<std::string>("-in");
  if (!IsMoleculeFile(in)) return kExitFailure;
  // The collection's own type is used; this one only carries the options.
  Varnex::KvCreateFastFPDatabaseOptions options(Varnex::KvGetFPType(Varnex::KvFPType::Path));
  options.SetNumProcessors(static_cast<unsigned>(itf.Get<int>("-threads")));
  KvSystem::KvDots dots("Appending", "molecules");
  if (itf.Get<bool>("-quiet")) dots.SetDisplay(KvSystem::KvDots::Display::Never);
  options.SetTracer(dots);
  Varnex::KvCollectionWriteSummary written;
  const bool done =
      Varnex::KvAppendToCollection(db, in, options, static_cast<unsigned>(itf.Get<int>("-shards")), written);
  return ReportCollectionWrite("append", done, db, written);
}

void ConfigureVerify(KvSystem::KvInterface& itf) {
  AddText(itf, "-db", "", "Collection to check (NAME.vxc)");
}

int RunVerify(KvSystem::KvInterface& itf) {
  const std::string db = itf.Get<std::string>("-db");
  const std::vector<std::string> problems = Varnex::KvVerifyCollection(db);
  for (const std::string& problem : problems) std::fprintf(stderr, "varnex verify: %s\n", problem.c_str());
  if (!problems.empty()) return kExitFailure;
  std::fprintf(stderr, "varnex verify: %s is sound\n", db.c_str());
  return kExitOk;
}

}  // namespace VarnexCli
