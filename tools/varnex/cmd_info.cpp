// varnex info: version, build and the CPU kernel chosen for searches.

#include <cstdio>

#include "command.h"
#include "varnex/fastdb.h"
#include "varnex/info.h"
#include "varnex/similarity.h"

namespace VarnexCli {

void ConfigureInfo(KvSystem::KvInterface&) {}

int RunInfo(KvSystem::KvInterface&) {
  std::printf("varnex\t%s\n", Varnex::VarnexGetRelease());
  std::printf("build\t%u\n", Varnex::VarnexGetVersion());
  std::printf("platform\t%s\n", Varnex::VarnexGetPlatform());
  std::printf("configuration\t%s\n", Varnex::VarnexGetConfigureArgs());
  std::printf("kernel\t%s\n", Varnex::KvGetScanKernelName().c_str());
  return kExitOk;
}

}  // namespace VarnexCli
