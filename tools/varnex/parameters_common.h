// Parameters several subcommands declare the same way.
#pragma once

#include <string>

#include "kvsystem/parameters.h"
#include "varnex/dboptions.h"

namespace VarnexCli {

// A string parameter with an alias and a brief; required unless a default
// is given or `required` is false.
KvSystem::KvParameter* AddText(KvSystem::KvInterface& itf, const std::string& name, const std::string& alias,
                               const std::string& brief, bool required = true);
// "-threads" ("-t", worker threads, 0 for every processor, default 0) and
// "-quiet" ("-q", no progress display) of the commands that write files.
void AddThreadsAndQuiet(KvSystem::KvInterface& itf);
// "-alpha" and "-beta": the Tversky weights of the bits only the first
// molecule (the query) has and of those only the second has, 0 to 1,
// defaults 0.95 and 0.05.
void AddTverskyWeights(KvSystem::KvInterface& itf);
// "-format" ("tsv" or "json", default "tsv"). With a `picture` format
// ("html", "svg") also that one, and "-out", the file it is written to.
void AddFormat(KvSystem::KvInterface& itf, const char* picture = nullptr);
// Whether "-format" asks for JSON.
bool WantsJson(const KvSystem::KvInterface& itf);
// Whether "-format" asks for the picture format.
bool WantsPicture(const KvSystem::KvInterface& itf);
// The "-out" file of the picture format, "" for the text formats; false
// after a message when a picture lacks "-out" or a text format has one, or
// when it names one of the command's inputs.
bool ReadPictureOut(const KvSystem::KvInterface& itf, const char* command, std::string& path);
// False after a message when `out` is (by device and inode) one of the files
// the command reads: "-db", "-mols", "-query", "-in".
bool IsNoInput(const KvSystem::KvInterface& itf, const char* command, const std::string& out);

// The search options of the parameters, on every processor, with the
// library's inclusive cutoff rule: every score at or above "-cutoff" (at or
// below it for the Manhattan distance) is kept.
void SetupSearchOptions(Varnex::KvFPDatabaseOptions& options, const KvSystem::KvInterface& itf);

}  // namespace VarnexCli
