// The table of subcommands.

#include "command.h"

namespace VarnexCli {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"create", "A fast fingerprint database (.fpbin) from a molecule file, with a progress display.",
       "varnex create -in data/sample.smi -out build/sample.fpbin", ConfigureCreate, RunCreate},
      {"append", "Adds the molecules of a file to a collection (NAME.vxc) as new shards; indices continue.",
       "varnex append -db build/library.vxc -in data/sample.smi", ConfigureAppend, RunAppend},
      {"verify", "Reads every shard of a collection against its catalog: checksums, molecule indices, bit counts.",
       "varnex verify -db build/library.vxc", ConfigureVerify, RunVerify},
      {"search", "The nearest neighbours of one SMILES or of a file of queries in a .fpbin database or a collection, also as an "
       "HTML page.",
       "varnex search -db build/sample.fpbin -mols data/sample.smi -query 'c1ccccc1C(=O)O' -limit 10", ConfigureSearch,
       RunSearch},
      {"fp", "Fingerprints of a molecule file or of one SMILES, as type string and hexadecimal bits.",
       "varnex fp -in data/sample.smi -fptype Path -numbits 1024", ConfigureFp, RunFp},
      {"compare", "All six similarity measures for two molecules.",
       "varnex compare -a 'c1ccccc1O' -b 'c1ccccc1N'", ConfigureCompare, RunCompare},
      {"matrix",
       "The nearest neighbours of every record (or of one) of a .fpbin database or a collection, also as an HTML page; "
       "with -cutoff and no -limit every pair of records at or above the cutoff.",
       "varnex matrix -db build/sample.fpbin -limit 3", ConfigureMatrix, RunMatrix},
      {"histogram", "The distribution of the similarity scores of all pairs of records of a .fpbin database or a collection, also "
       "as a chart.",
       "varnex histogram -db build/sample.fpbin -bins 10 -simfunc Dice", ConfigureHistogram, RunHistogram},
      {"explain", "The patterns behind the bits of a molecule's fingerprint: bit, identifier, pattern, atoms; also drawn.",
       "varnex explain -smiles 'c1ccccc1O' -fptype Circular -svg phenol.svg", ConfigureExplain, RunExplain},
      {"serve",
       "The similarity search of a collection (or a .fpbin database) as an HTTP service: JSON API, search page, "
       "metrics; read-only; an append to the collection is served without a restart.",
       "varnex serve -db build/library.vxc -port 8080", ConfigureServe, RunServe},
      {"info", "Version, build and the CPU kernel chosen for searches.", "varnex info", ConfigureInfo, RunInfo},
      {"help", "The subcommands, or the parameters of one of them.", "varnex help -command search", ConfigureHelp,
       RunHelp},
  };
  return commands;
}

}  // namespace VarnexCli
