// varnex: molecular fingerprints and similarity search from the command line.
//   varnex <command> [-parameter value ...]

#include <cstdio>
#include <string>

#include "command.h"

int main(int argc, char** argv) {
  using namespace VarnexCli;
  if (argc < 2) {
    std::fputs("usage: varnex <command> [-parameter value ...]\nsee 'varnex help' for the commands\n", stderr);
    return kExitUsage;
  }
  std::string name = argv[1];
  if (name == "-help" || name == "--help" || name == "-h") name = "help";
  const Command* command = FindCommand(name);
  if (command == nullptr) {
    std::fprintf(stderr, "varnex: unknown command '%s'; see 'varnex help' for the commands\n", name.c_str());
    return kExitUsage;
  }
  Arguments args(argv + 2, argv + argc);
  // "varnex help search" reads as "varnex help -command search".
  if (name == "help" && args.size() == 1 && !args[0].empty() && args[0][0] != '-') args.insert(args.begin(), "-command");
  return RunCommand(*command, args);
}
