// varnex create: a fast fingerprint database (.fpbin) from a molecule file.

#include <cstdio>
#include <string>

#include "collection_cli.h"
#include "command.h"
#include "fingerprint_kinds.h"
#include "molecules.h"
#include "parameters_common.h"
#include "run_context.h"
#include "kvsystem/dots.h"
#include "varnex/fpbin_create.h"
#include "varnex/shards.h"

namespace VarnexCli {
void ConfigureCreate(KvSystem::KvInterface& itf) {
  AddText(itf, "-in", "-i", "Molecule file (.smi, .sdf, also .gz)");
  AddText(itf, "-out", "-o", "Fingerprint database to write: a .fpbin file, or a collection NAME.vxc");
  AddThreadsAndQuiet(itf);
  KvSystem::KvParameter* shards = itf.AddParameter("int");
  shards->SetName("-shards");
  shards->SetBrief("Number of shard files for a cluster search (1: one plain file)");
  shards->AddDetail(
      "With N > 1 the molecules are split into N consecutive ranges, written for -out db.fpbin to db-0.fpbin to "
      "db-<N-1>.fpbin (every record keeps its molecule index), and a manifest db.json lists the shards for "
      "varnex.distributed.ShardedDatabase. With 1 only the -out file is written, as always.");
  shards->SetLegalRange("1", "100000");
  shards->SetDefault(1);
  AddText(itf, "-idtag", "", "With -out NAME.vxc: molecule ids from this SD data field instead of the title", false);
  AddFingerPrintParameters(itf);
}

int RunCreate(KvSystem::KvInterface& itf) {
  const std::string in = itf.Get<std::string>("-in");
  const std::string out = itf.Get<std::string>("-out");
  const bool collection = out.ends_with(".vxc");
  if (!collection && !out.ends_with(".fpbin")) {
    std::fprintf(stderr, "varnex create: the output file must end in .fpbin or .vxc: %s\n", out.c_str());
    return kExitUsage;
  }
  const KvSystem::KvParameter* idTag = itf.GetParameter("-idtag");
  if (!collection && idTag->HasValue()) {
    std::fprintf(stderr, "varnex create: -idtag needs a collection (-out NAME.vxc)\n");
    return kExitUsage;
  }
  FingerPrintKind kind;
  if (!ReadFingerPrintKind(itf, kind)) return kExitUsage;
  if (kind.IsVsepr()) {
    std::fprintf(stderr, "varnex create: %s fingerprints count paths; a fast database holds Path, Circular or Tree bits\n",
                 kind.name.c_str());
    return kExitUsage;
  }
  const Varnex::KvFPTypeBase* type = kind.type;
  if (Varnex::KvGetFingerPrintSize(type) % 256 != 0) {
    std::fprintf(stderr, "varnex create: -numbits %u is not allowed: a fast database holds multiples of 256 bits\n",
                 Varnex::KvGetFingerPrintSize(type));
    return kExitUsage;
  }
  if (!IsNoInput(itf, "create", out)) return kExitUsage;
  if (!IsMoleculeFile(in)) return kExitFailure;

  Varnex::KvCreateFastFPDatabaseOptions options(type);
  options.SetNumProcessors(static_cast<unsigned>(itf.Get<int>("-threads")));
  KvSystem::KvDots dots("Creating", "molecules");
  if (itf.Get<bool>("-quiet")) dots.SetDisplay(KvSystem::KvDots::Display::Never);
  options.SetTracer(dots);
  Varnex::KvCreateFastFPDatabaseSummary summary;
  const auto shards = static_cast<unsigned>(itf.Get<int>("-shards"));
  if (collection) {
    Varnex::KvCollectionWriteSummary written;
    const bool made = Varnex::KvCreateCollection(out, in, options, shards, idTag->HasValue() ? idTag->GetText() : "",
                                                 written);
    return ReportCollectionWrite("create", made, out, written);
  }
  Varnex::KvShardManifest manifest;
  bool created = false;
  // A signal cancels the creation through the run's context (run_context.h):
  // the output path stays as it was.
  created = shards > 1 ? Varnex::KvCreateShardedFastFPDatabase(out, in, options, shards, summary, manifest)
                       : Varnex::KvCreateFastFPDatabaseFile(out, in, options, summary);
  if (Interrupted()) return kExitFailure;
  if (!created) {
    // The library has said why; the output path is as it was.
    std::fprintf(stderr, "varnex create: could not create %s\n", out.c_str());
    return kExitFailure;
  }
  const std::uint64_t empty = summary.unreadable + summary.ungenerated;
  std::fprintf(stderr, "varnex create: wrote %llu fingerprints (%s) to %s", static_cast<unsigned long long>(summary.records),
               type->GetFPTypeString().c_str(), out.c_str());
  if (shards > 1)
    std::fprintf(stderr, " as %u shards listed in %s", shards, Varnex::KvShardManifestPath(out).c_str());
  if (empty != 0)
    std::fprintf(stderr, "; %llu molecules failed (%llu unreadable, %llu without fingerprint) and have empty records",
                 static_cast<unsigned long long>(empty), static_cast<unsigned long long>(summary.unreadable),
                 static_cast<unsigned long long>(summary.ungenerated));
  std::fputs(summary.damagedInput ? "; the molecule file is damaged\n" : "\n", stderr);
  return empty != 0 || summary.damagedInput ? kExitPartial : kExitOk;
}

}  // namespace VarnexCli
