// Scores of one query against fingerprint records held in memory.
//
// The records are laid out like those of a fast database file (fpbin.h):
// W + 2 little-endian 64-bit words each (a molecule index, the record's bit
// count, then the W fingerprint words), `stride` bytes apart. Anyone who keeps
// fingerprints in that layout (a Python array, a shard in a worker's memory)
// gets the fast database's scan kernels and scores without building a file.
//
// Scores are the fast database's: double precision from the query's bit
// count, the stored bit counts and the intersections, so two empty
// fingerprints score 0.0 with Tanimoto and Cosine (see fastdb.h).
//
// Thread safety: reentrant; reads its inputs only. Allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "varnex/dboptions.h"

namespace Varnex {

// Writes out[r] = score of `query` (W = `words` words) against record r for
// r in [0, count), with the measure and Tversky coefficients of `options`
// (cutoff, order and limit are not used). False without writing when the
// measure is unknown or `stride` is smaller than (W + 2) x 8 bytes.
// REQUIRES: `records` holds count x stride bytes (the last record's W + 2
// words at least); `out` holds count values.
bool KvGetRecordScores(const std::uint64_t* query, std::size_t words, const std::uint8_t* records,
                       std::size_t stride, std::size_t count, const KvFPDatabaseOptions& options, double* out);

}  // namespace Varnex
