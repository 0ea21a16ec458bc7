// varnex create: a fast fingerprint database (.fpbin) from a molecule file.

#include <cstdio>
#include <string>

#include "command.h"
#include "molecules.h"
#include "parameters_common.h"
#include "kvsystem/dots.h"
#include "varnex/fpbin_create.h"

namespace VarnexCli {

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
  AddFingerPrintParameters(itf);
}

int RunCreate(KvSystem::KvInterface& itf) {
  const std::string in = itf.Get<std::string>("-in");
  const std::string out = itf.Get<std::string>("-out");
  if (out.size() < 6 || out.compare(out.size() - 6, 6, ".fpbin") != 0) {
    std::fprintf(stderr, "varnex create: the output file must end in .fpbin: %s\n", out.c_str());
    return kExitUsage;
  }
  const Varnex::KvFPTypeBase* type = FingerPrintTypeOf(itf);
  if (type == nullptr) return kExitUsage;
  KvChem::KvMolDatabase probe;  // a clear message for a missing input before anything is written
  if (!OpenMolecules(probe, in)) return kExitFailure;
  const unsigned count = probe.GetMaxMolIdx();
  probe.Close();

  Varnex::KvCreateFastFPDatabaseOptions options(type);
  options.SetNumProcessors(static_cast<unsigned>(itf.Get<int>("-threads")));
  KvSystem::KvDots dots("Creating", "molecules");
  if (itf.Get<bool>("-quiet")) dots.SetDisplay(KvSystem::KvDots::Display::Never);
  options.SetTracer(dots);
  if (!Varnex::KvCreateFastFPDatabaseFile(out, in, options)) {
    std::remove(out.c_str());  // never leave a partial file that looks like a database
    std::fprintf(stderr, "varnex create: could not create %s\n", out.c_str());
    return kExitFailure;
  }
  std::fprintf(stderr, "varnex create: wrote %u fingerprints (%s) to %s\n", count,
               type->GetFPTypeString().c_str(), out.c_str());
  return kExitOk;
}

}  // namespace VarnexCli
