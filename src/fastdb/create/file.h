// Creation of fast database files from a molecule file, as one file or as
// several files of consecutive molecule ranges (shards).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "varnex/fpbin_create.h"
#include "varnex/shards.h"

namespace Varnex {

// Writes the molecules of `molPath` into `parts` files (part i at
// partPath(i)), part i holding molecules [i n / parts, (i + 1) n / parts).
// `fpbinPath` is the path checked for the ".fpbin" extension and named in
// the warnings (which name `caller`). The files appear together: none is
// renamed into place before all are complete and `beforeCommit` (may be
// empty) has accepted them; it sees what `made` will hold and may refuse
// (after its own warning); each part is described with its path as `file`
// and the molecule index of its first record (plus `indexBase`) as
// `firstIndex`. False, with no file written, when creation fails,
// `beforeCommit` refuses or there are fewer molecules than parts. Records
// store their molecule index plus `indexBase` (a collection's next index).
bool CreateFastFPDatabaseParts(const std::string& fpbinPath, const std::string& molPath,
                                 const KvCreateFastFPDatabaseOptions& options, unsigned parts,
                                 const std::function<std::string(unsigned)>& partPath,
                                 const std::function<bool(const std::vector<KvShardInfo>&)>& beforeCommit,
                                 const char* caller, KvCreateFastFPDatabaseSummary& summary,
                                 std::vector<KvShardInfo>& made, std::uint64_t indexBase = 0);

}  // namespace Varnex
