// varnex info: version, build and the CPU kernel chosen for searches.

#include <cstdio>

#include "collection_cli.h"
#include "command.h"
#include "output.h"
#include "parameters_common.h"
#include "varnex/fastdb.h"
#include "varnex/info.h"
#include "varnex/similarity.h"

namespace VarnexCli {

void ConfigureInfo(KvSystem::KvInterface& itf) {
  AddText(itf, "-db", "", "Also describe this database: a .fpbin file or a collection (NAME.vxc)", false);
}

int RunInfo(KvSystem::KvInterface& itf) {
  std::printf("varnex\t%s\n", Varnex::VarnexGetRelease());
  std::printf("build\t%u\n", Varnex::VarnexGetVersion());
  std::printf("platform\t%s\n", Varnex::VarnexGetPlatform());
  std::printf("configuration\t%s\n", Varnex::VarnexGetConfigureArgs());
  std::printf("kernel\t%s\n", Varnex::KvGetScanKernelName().c_str());
  const KvSystem::KvParameter* db = itf.GetParameter("-db");
  if (db == nullptr || !db->HasValue()) return kExitOk;
  if (NamesCollection(itf)) {
    auto collection = OpenCollection(itf, "info");
    if (collection == nullptr) return kExitFailure;
    std::printf("type\t%s\n", collection->GetFPTypeBase()->GetFPTypeString().c_str());
    std::printf("molecules\t%llu\n", static_cast<unsigned long long>(collection->NumMolecules()));
    std::printf("shards\t%zu\n", collection->Shards().size());
    for (const Varnex::KvShardInfo& s : collection->Shards())
      std::printf("shard\t%s\t%llu\t%llu\n", TsvField(s.file).c_str(), static_cast<unsigned long long>(s.firstIndex),
                  static_cast<unsigned long long>(s.records));
    return kExitOk;
  }
  const Varnex::KvFastFPDatabase file(db->GetText(), Varnex::KvFastFPDatabaseMemoryType::MemoryMapped);
  if (!file.IsValid()) {
    std::fprintf(stderr, "varnex: %s is not a valid fingerprint database\n", db->GetText().c_str());
    return kExitFailure;
  }
  std::printf("type\t%s\n", file.GetFPTypeBase()->GetFPTypeString().c_str());
  std::printf("records\t%zu\n", file.NumFingerPrints());
  return kExitOk;
}

}  // namespace VarnexCli
