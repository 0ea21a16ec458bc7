// varnex create: a fast fingerprint database (.fpbin) from a molecule file.

#include <signal.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>

#include "command.h"
#include "fingerprint_kinds.h"
#include "molecules.h"
#include "parameters_common.h"
#include "kvsystem/dots.h"
#include "varnex/fpbin_create.h"
#include "varnex/shards.h"

namespace VarnexCli {
namespace {

// Set by SIGINT or SIGTERM; the library stops the creation at its next
// chunk and removes its temporary file. Lock-free, so a handler may set it.
std::atomic<bool> gInterrupted{false};
std::atomic<int> gSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int signal) {
  gSignal.store(signal);
  gInterrupted.store(true);
}

// Catches SIGINT and SIGTERM while alive.
class InterruptGuard {
 public:
  InterruptGuard() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt_);
    sigaction(SIGTERM, &action, &oldTerm_);
  }
  ~InterruptGuard() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
  }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};

}  // namespace

void ConfigureCreate(KvSystem::KvInterface& itf) {
  AddText(itf, "-in", "-i", "Molecule file (.smi, .sdf, also .gz)");
  AddText(itf, "-out", "-o", "Fingerprint database to write (must end in .fpbin)");
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
  KvSystem::KvParameter* shards = itf.AddParameter("int");
  shards->SetName("-shards");
  shards->SetBrief("Number of shard files for a cluster search (1: one plain file)");
  shards->AddDetail(
      "With N > 1 the molecules are split into N consecutive ranges, written for -out db.fpbin to db-0.fpbin to "
      "db-<N-1>.fpbin (every record keeps its molecule index), and a manifest db.json lists the shards for "
      "varnex.distributed.ShardedDatabase. With 1 only the -out file is written, as always.");
  shards->SetLegalRange("1", "100000");
  shards->SetDefault(1);
  AddFingerPrintParameters(itf);
}

int RunCreate(KvSystem::KvInterface& itf) {
  const std::string in = itf.Get<std::string>("-in");
  const std::string out = itf.Get<std::string>("-out");
  if (out.size() < 6 || out.compare(out.size() - 6, 6, ".fpbin") != 0) {
    std::fprintf(stderr, "varnex create: the output file must end in .fpbin: %s\n", out.c_str());
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
  if (!IsMoleculeFile(in)) return kExitFailure;

  Varnex::KvCreateFastFPDatabaseOptions options(type);
  options.SetNumProcessors(static_cast<unsigned>(itf.Get<int>("-threads")));
  KvSystem::KvDots dots("Creating", "molecules");
  if (itf.Get<bool>("-quiet")) dots.SetDisplay(KvSystem::KvDots::Display::Never);
  options.SetTracer(dots);
  options.SetCancelFlag(&gInterrupted);
  Varnex::KvCreateFastFPDatabaseSummary summary;
  const auto shards = static_cast<unsigned>(itf.Get<int>("-shards"));
  Varnex::KvShardManifest manifest;
  bool created = false;
  {
    InterruptGuard guard;
    created = shards > 1 ? Varnex::KvCreateShardedFastFPDatabase(out, in, options, shards, summary, manifest)
                         : Varnex::KvCreateFastFPDatabaseFile(out, in, options, summary);
  }
  if (!created && gInterrupted.load()) {
    std::fprintf(stderr, "varnex create: interrupted; %s was not written\n", out.c_str());
    std::signal(gSignal.load(), SIG_DFL);  // end as the signal would have
    std::raise(gSignal.load());
  }
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
