// Collections on the command line: "-db" naming a catalog (NAME.vxc)
// instead of a .fpbin file, for search, matrix and histogram.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kvsystem/parameters.h"
#include "varnex/collection.h"

namespace VarnexCli {

// Whether "-db" names a collection's catalog (a SQLite file).
bool NamesCollection(const KvSystem::KvInterface& itf);
// False after a message when "-mols" is given with a collection: its catalog
// names the molecules itself (a usage error).
bool RefuseMolsOfCollection(const KvSystem::KvInterface& itf, const char* command);
// Opens the collection of "-db" with shards of `memoryType` (see
// KvFastFPDatabase); null after a message on stderr.
std::unique_ptr<Varnex::KvCollection> OpenCollection(
    const KvSystem::KvInterface& itf, const char* command,
    unsigned memoryType = Varnex::KvFastFPDatabaseMemoryType::MemoryMapped);
// False after a message when the output file `out` is one of the
// collection's shards (writing it would destroy the collection).
bool IsNoShard(const Varnex::KvCollection& collection, const KvSystem::KvInterface& itf, const char* command,
               const std::string& out);
// The molecule indices of `hits`, in order (for the catalog's lookups).
std::vector<std::uint64_t> IndicesOf(const std::vector<Varnex::KvSimScore>& hits);

// The message and exit status of a creation of or an append to `path`.
int ReportCollectionWrite(const char* command, bool done, const std::string& path,
                          const Varnex::KvCollectionWriteSummary& written);

// varnex matrix over a collection: the neighbours of molecule `record` (a
// molecule index on any shard), or of every molecule, as index pairs.
int RunCollectionMatrix(KvSystem::KvInterface& itf, const Varnex::KvFPDatabaseOptions& options, int record);

}  // namespace VarnexCli
