// The table of subcommands.

#include "command.h"

namespace VarnexCli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"fp", "Fingerprints of a molecule file or of one SMILES, as type string and hexadecimal bits.",
       "varnex fp -in data/sample.smi -fptype Path -numbits 1024", ConfigureFp, RunFp},
      {"compare", "All six similarity measures for two molecules.",
       "varnex compare -a 'c1ccccc1O' -b 'c1ccccc1N'", ConfigureCompare, RunCompare},
      {"info", "Version, build and the CPU kernel chosen for searches.", "varnex info", ConfigureInfo, RunInfo},
      {"help", "The subcommands, or the parameters of one of them.", "varnex help -command search", ConfigureHelp,
       RunHelp},
  };
  return commands;
}

}  // namespace VarnexCli
