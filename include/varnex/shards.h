// Sharded fast databases: one collection of fingerprints spread over several
// ordinary ".fpbin" files (shards), each of a consecutive range of molecules,
// listed in a JSON manifest, so that separate processes or machines can
// search the shards and merge their partial results exactly.
//
// Every record keeps its global molecule index (its position in the molecule
// file), so a hit names the same molecule as a search of the unsharded file.
// Each shard is a complete fast database that every tool opens on its own
// (its header names the source molecule file and counts its own records;
// KvFastFPDatabase::GetFingerPrint, which wants the molecule index to equal
// the record position, works on the first shard only).
//
// Naming: the collection "db.fpbin" in N > 1 shards is "db-0.fpbin" to
// "db-<N-1>.fpbin" (numbers zero-padded to one width) and the manifest
// "db.json" beside them; a collection of one shard is "db.fpbin" itself.
//
// Manifest (UTF-8 JSON; shard file names relative to the manifest's folder):
//   {"format": "varnex-shards", "version": 1, "type": "<type string>",
//    "molecules": "<source molecule file>", "records": <total>,
//    "shards": [{"file": "db-0.fpbin", "records": 1000, "first": 0,
//                "min_bits": 12, "max_bits": 402}, ...]}
//
// Every shard and the manifest appear whole or not at all: each is written
// under a temporary name and renamed into place when complete; no shard is
// renamed before all are complete, and the manifest comes last.
//
// Thread safety: the functions are reentrant.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "varnex/dboptions.h"
#include "varnex/fpbin_create.h"

namespace Varnex {

// One shard: what a creation made, what a manifest or a collection's
// catalog lists, and what Python's ShardInfo shows.
struct KvShardInfo {
  std::string file;              // relative to the manifest's or catalog's folder
  std::uint64_t records = 0;     // records in the shard, at least 1
  std::uint64_t firstIndex = 0;  // molecule index of its first record
  std::uint64_t minBits = 0;     // lowest stored bit count
  std::uint64_t maxBits = 0;     // highest stored bit count
  // Kept by collections only (empty or 0 in manifests):
  std::string molFile;           // the header's molecule file line
  std::uint64_t bytes = 0;       // the file's size
  std::string sha256;            // SHA-256 of the whole file, hexadecimal
  std::string endsSha256;        // SHA-256 of its first and last record, checked on every opening
};

// The contents of a manifest. Shards come in molecule order: shard i + 1
// starts where shard i ends.
struct KvShardManifest {
  std::string type;     // fingerprint type string of every shard
  std::string molFile;  // the molecule file the records were made from
  std::vector<KvShardInfo> shards;

  std::uint64_t NumRecords() const;
};

// "db.fpbin" -> "db.json".
std::string KvShardManifestPath(const std::string& fpbinPath);
// The path of shard `i` of `n` of the collection `fpbinPath` ("db-3.fpbin";
// `fpbinPath` itself when n is 1).
std::string KvShardPath(const std::string& fpbinPath, unsigned i, unsigned n);

// Creates the collection `fpbinPath` (ending in ".fpbin") from `molPath` in
// `shards` shards of consecutive molecule ranges (shard i holds molecules
// [i n / shards, (i + 1) n / shards) of the n molecules) and writes its
// manifest, also for one shard. Otherwise as KvCreateFastFPDatabaseFile,
// whose warnings it gives (naming "KvCreateShardedFastFPDatabase()"), plus
// "... cannot split <n> molecules into <shards> shards!" when there are
// fewer molecules than shards. Fills `manifest` on success.
bool KvCreateShardedFastFPDatabase(const std::string& fpbinPath, const std::string& molPath,
                                   const KvCreateFastFPDatabaseOptions& options, unsigned shards,
                                   KvCreateFastFPDatabaseSummary& summary, KvShardManifest& manifest);

// Splits the fast database `fpbinPath` into `shards` shards of consecutive
// record ranges, named after `outPath` (ending in ".fpbin"), and writes
// their manifest. Records are copied unchanged (their molecule indices
// stay). With one shard and `outPath` equal to `fpbinPath` nothing is
// copied: the manifest lists the file itself. False with a warning naming
// "KvSplitFastFPDatabase()" when the input cannot be read, is damaged (a
// stored bit count above the size) or a file cannot be written; no output
// then changes. Fills `manifest` on success.
bool KvSplitFastFPDatabase(const std::string& fpbinPath, unsigned shards, const std::string& outPath,
                           KvShardManifest& manifest);

// Writes `manifest` to `path`. False with a warning naming
// "KvWriteShardManifest()" when it cannot.
bool KvWriteShardManifest(const std::string& path, const KvShardManifest& manifest);
// Reads and checks the manifest `path`: JSON of the layout above, a known
// fingerprint type of the fast database, at least one shard, every shard
// with a relative file name, at least one record, consecutive molecule
// ranges and a bit count range within the type's size. Otherwise warning
// "KvReadShardManifest() : invalid shard manifest <path>: <what is wrong>"
// (or "... cannot read shard manifest <path>: <cause>") and false.
bool KvReadShardManifest(const std::string& path, KvShardManifest& manifest);

// The best score (the highest, or the lowest for an ascending order) that
// any record with a stored bit count in [minBits, maxBits] can reach against
// a query of `queryBits` bits under `options` (measure, order, Tversky
// weights), for fingerprints of `words` 64-bit words; the same bound, per
// bit count, that the pruned search uses, so a shard whose bound is not
// strictly better than a cutoff or a k-th score cannot add a hit. NaN for an
// unknown measure. REQUIRES: minBits <= maxBits <= 64 words, queryBits <= 64
// words.
double KvGetShardBestScore(const KvFPDatabaseOptions& options, std::uint64_t queryBits, std::uint64_t words,
                           std::uint64_t minBits, std::uint64_t maxBits);

}  // namespace Varnex
