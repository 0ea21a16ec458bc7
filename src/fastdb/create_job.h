// The creation job: worker threads that fingerprint the molecules of a
// molecule database and write each record at its molecule's position of a
// mapped fast database file.
#pragma once

#include <cstdint>

#include "kvchem/moldb.h"
#include "kvsystem/dots.h"
#include "varnex/fptypes.h"

namespace Varnex {

// Fills records 0 to GetMaxMolIdx() - 1 of the file mapped at `file` (the
// header already written; the mapping at least KvGetFPDatabaseFileSize long)
// on `threads` threads (1: on the calling thread). `tracer` (may be null) is
// advanced by one per molecule. Faults of single molecules are warnings
// naming `caller`; their records hold the index, a count of 0 and no bits.
void KvRunCreationJob(const KvChem::KvMolDatabase& mols, const KvFPTypeBase* type, std::uint8_t* file, unsigned threads,
                      KvSystem::KvDots* tracer, const char* caller);

}  // namespace Varnex
