// varnex matrix for one record: its neighbours as matrix rows or as an HTML
// page with drawings.
#pragma once

#include <vector>

#include "kvsystem/parameters.h"
#include "varnex/dboptions.h"
#include "varnex/fastdb.h"

namespace VarnexCli {

// Declares "-record" (default -1: every record).
void AddRecordParameter(KvSystem::KvInterface& itf);
// Appends the neighbours of record `record` as (its molecule, neighbour,
// score) pairs, best first; false after a message when there is no such
// record.
bool RecordNeighbours(const Varnex::KvFastFPDatabase& db, int record, const Varnex::KvFPDatabaseOptions& options,
                      std::vector<Varnex::KvSimScorePair>& pairs);
// varnex matrix -format html: the page of one record and its neighbours.
int RunMatrixPage(KvSystem::KvInterface& itf);

}  // namespace VarnexCli
