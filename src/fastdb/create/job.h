// The creation job: worker threads that fingerprint the molecules of a
// molecule database and write each record at its molecule's position of a
// fast database file.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "kvchem/moldb.h"
#include "kvsystem/dots.h"
#include "kvsystem/file_system.h"
#include "varnex/fpbin_create.h"
#include "varnex/fptypes.h"

namespace Varnex {

// How the job ended.
struct CreationJobResult {
  bool written = true;     // every record reached the file
  bool cancelled = false;  // the cancel flag stopped the job
  KvSystem::KvStatus error;  // the write fault when !written
  std::uint64_t unreadable = 0;
  std::uint64_t ungenerated = 0;
  std::vector<std::uint64_t> failed;  // molecules of the unreadable and ungenerated records, ascending
};

// One output file of a job: the records of molecules first to
// first + count - 1, at positions 0 to count - 1 (the header written
// separately). The job fills in the lowest and highest bit count it wrote.
struct CreationOutput {
  KvSystem::KvWritableFile* file = nullptr;  // not owned
  std::uint64_t first = 0;
  std::uint64_t count = 0;
  std::uint64_t minBits = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t maxBits = 0;
};

// Writes the records of molecules 0 to GetMaxMolIdx() - 1 into `outputs`
// (consecutive ranges in molecule order that cover them all; every record
// keeps its molecule index, plus `indexBase` when the molecules continue a
// collection) on `threads` threads (1: on the calling thread).
// `tracer` (may be null) is advanced by one per molecule. Faults of single
// molecules are warnings naming `caller`; their records hold the index, a
// count of 0 and no bits. A failed write or a set `cancel` flag (may be
// null) stops every worker at its next chunk. The workers run on the
// library's worker pool: an exception of one stops the others at their next
// chunk and is rethrown here once all have ended.
CreationJobResult RunCreationJob(const KvChem::KvMolDatabase& mols, const KvFPTypeBase* type,
                                     std::span<CreationOutput> outputs, unsigned threads, KvSystem::KvDots* tracer,
                                     const char* caller, const std::atomic<bool>* cancel,
                                     std::uint64_t indexBase = 0);

}  // namespace Varnex
