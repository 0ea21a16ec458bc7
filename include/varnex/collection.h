// Collections: the unit users create, grow, search and share. A collection
// is a SQLite catalog ("NAME.vxc") beside its shard files (ordinary ".fpbin"
// files, each of a consecutive range of molecules whose records keep their
// global molecule index). The catalog lists the fingerprint type, every
// shard (file name, first molecule, record count, bit count range, the
// header's molecule file line, size, SHA-256) and one row per molecule: its
// index, id and SMILES.
//
// Every creation and append is one SQLite transaction that commits only
// after all of its new shards are complete, synced and renamed to names no
// earlier change used ("NAME.<random>-<i>.fpbin"): a failure or a kill at
// any point leaves the collection as it was, and the next writer removes
// the files an unfinished change left. A second writer at the same time is
// refused with the message "... collection <path> is being changed by
// another writer".
//
// Opening (shards on several threads) checks per shard, with a few reads
// besides the engine's own, the file's size, its header (type, count,
// molecule file line), the molecule indices and bytes of its first and last
// record against the catalog; a shard name must be a plain file name in the
// catalog's folder (a symbolic link must not leave it). The catalog's bit
// count ranges prune nothing here; KvVerifyCollection, which reads
// everything, and KvCheckShardRecords check them.
//
// Thread safety: the free functions are reentrant. After construction a
// KvCollection or KvCollectionCatalog is read-only, and any number of threads
// may use it at once; the catalog lookups (ids, SMILES) serialize on an
// internal lock.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "varnex/dboptions.h"
#include "varnex/fastdb.h"
#include "varnex/fpbin_create.h"
#include "varnex/shards.h"

namespace Varnex {

// What a creation or an append added.
struct KvCollectionWriteSummary {
  std::string type;           // the collection's fingerprint type string
  std::uint64_t first = 0;    // molecule index of the first new molecule
  std::uint64_t records = 0;  // molecules added
  std::uint64_t unreadable = 0;
  std::uint64_t ungenerated = 0;
  bool damagedInput = false;
  std::vector<std::uint64_t> failed;  // molecule indices of the empty records, ascending
};

// Creates the collection `catalogPath` (which must end in ".vxc" and not
// exist as a collection yet) from the molecule file `molPath` in `shards`
// shards, with fingerprints of the options' type. Ids are the SD data field
// `idTag` (when not empty), else the record's title, else the molecule index
// as text; `ids`, when not empty, gives one id per molecule instead. False
// with a warning naming "KvCreateCollection()" on any fault; the path is
// then as before.
bool KvCreateCollection(const std::string& catalogPath, const std::string& molPath,
                        const KvCreateFastFPDatabaseOptions& options, unsigned shards, const std::string& idTag,
                        KvCollectionWriteSummary& summary, const std::vector<std::string>& ids = {});

// Adds the molecules of `molPath` to the collection `catalogPath` in
// `shards` new shards; their indices continue the collection's. The
// collection's own type and id tag are used (the options give the threads,
// tracer and cancel flag). False with a warning naming
// "KvAppendToCollection()" on any fault; the collection is then as before.
bool KvAppendToCollection(const std::string& catalogPath, const std::string& molPath,
                          const KvCreateFastFPDatabaseOptions& options, unsigned shards,
                          KvCollectionWriteSummary& summary, const std::vector<std::string>& ids = {});

// Reads every shard of `catalogPath` against its checksum and every record's
// molecule index and bit count, and the molecule rows against the records.
// Returns the problems found, one line each naming the shard (empty: sound).
std::vector<std::string> KvVerifyCollection(const std::string& catalogPath);

// Reads the shard file `path` against its catalog row `shard` as a worker
// that opens it on its own does: header, size, every record's molecule index
// and bit count, the bit count range (no checksum). The problems found, one
// line each naming the shard (empty: sound).
std::vector<std::string> KvCheckShardRecords(const std::string& path, const KvShardInfo& shard,
                                             const std::string& type);

// Reads and checks the catalog `catalogPath` without opening its shards:
// the type string and the shards in molecule order. False with a warning
// naming "KvReadCollectionCatalog()" when it is not a sound catalog.
bool KvReadCollectionCatalog(const std::string& catalogPath, std::string& type, std::vector<KvShardInfo>& shards);

// Whether `path` starts like a SQLite database (a collection's catalog).
bool KvIsCollectionFile(const std::string& path);

class KvCollectionCatalogReader;

// A collection's catalog opened on its own, without its shards (which may lie
// on other machines): the type, the shards and the molecule rows, for naming
// hits found elsewhere. KvCollection names its hits through one.
class KvCollectionCatalog {
 public:
  // Opens `catalogPath` read-only and checks it as KvReadCollectionCatalog
  // does, and that its molecule rows run from 0 to the last record. Faults
  // are warnings naming "KvCollectionCatalog()"; it then reports !IsValid().
  explicit KvCollectionCatalog(const std::string& catalogPath);
  ~KvCollectionCatalog();
  KvCollectionCatalog(const KvCollectionCatalog&) = delete;
  KvCollectionCatalog& operator=(const KvCollectionCatalog&) = delete;

  bool IsValid() const { return valid_; }
  // The fingerprint type string; "" when not valid.
  const std::string& Type() const { return type_; }
  // The shards in molecule order, as the catalog lists them.
  const std::vector<KvShardInfo>& Shards() const { return shards_; }
  // The number of molecules (records of all shards); 0 when not valid.
  std::uint64_t NumMolecules() const { return records_; }

  // The ids and SMILES of molecules `indices` ("" for an index out of range),
  // in a few batched statements. A catalog that cannot be read (locked beyond
  // a 10 s wait, damaged) is a warning naming the call; the rows not read are
  // then "".
  std::vector<std::string> GetIds(const std::vector<std::uint64_t>& indices) const;
  std::vector<std::string> GetSmiles(const std::vector<std::uint64_t>& indices) const;
  // The molecules whose records are empty (unreadable or without fingerprint).
  std::vector<std::uint64_t> GetFailed() const;

 private:
  friend class KvCollection;
  // As the public constructor, with warnings naming `owner` ("KvCollection").
  KvCollectionCatalog(const std::string& catalogPath, const std::string& owner);
  bool Open(const std::string& catalogPath);
  std::vector<std::string> Lookup(const char* column, const char* call,
                                  const std::vector<std::uint64_t>& indices) const;

  std::string owner_;
  bool valid_ = false;
  std::string type_;
  std::vector<KvShardInfo> shards_;
  std::uint64_t records_ = 0;
  std::unique_ptr<KvCollectionCatalogReader> reader_;
  mutable std::mutex lock_;
};

// An open collection: its shards, searched together.
class KvCollection {
 public:
  // Opens and checks `catalogPath`; shards are opened with `memoryType`
  // (see KvFastFPDatabase). Faults are warnings naming "KvCollection()"
  // and the shard; the collection then reports !IsValid().
  explicit KvCollection(const std::string& catalogPath,
                        unsigned memoryType = KvFastFPDatabaseMemoryType::MemoryMapped);
  ~KvCollection();
  KvCollection(const KvCollection&) = delete;
  KvCollection& operator=(const KvCollection&) = delete;

  bool IsValid() const { return valid_; }
  // The number of molecules (records of all shards).
  std::uint64_t NumMolecules() const { return records_; }
  // The type of every shard; null when not valid.
  const KvFPTypeBase* GetFPTypeBase() const { return type_; }
  const std::vector<KvShardInfo>& Shards() const { return shards_; }
  // Shard `i`, opened. REQUIRES: IsValid(), i < Shards().size().
  const KvFastFPDatabase& Shard(std::size_t i) const { return *databases_[i]; }
  // The shard holding molecule `index` (Shards().size() when none).
  std::size_t ShardOf(std::uint64_t index) const;

  // Fills `fp` with the record of molecule `index`; false with a warning
  // naming "KvCollection::GetFingerPrint()" when there is none.
  bool GetFingerPrint(KvFingerPrint& fp, std::uint64_t index) const;
  // Replaces `fps` by the records of molecules [first, first + count), read
  // in blocks; false with that warning when any is missing or unreadable.
  bool GetFingerPrints(std::vector<KvFingerPrint>& fps, std::uint64_t first, std::uint64_t count) const;

  // The batch calls of KvFastFPDatabase over every shard, merged exactly:
  // hits are the best options.GetLimit() of all shards (equal scores by
  // molecule index), counts and bins add up. With a limit, a shard whose
  // bit counts cannot beat a query's k-th hit of the shards before it is
  // not searched for that query.
  std::vector<std::vector<KvSimScore>> GetSortedScoresMany(const std::vector<KvFingerPrint>& queries,
                                                           const KvFPDatabaseOptions& options) const;
  std::vector<std::uint64_t> NumHitsMany(const std::vector<KvFingerPrint>& queries,
                                         const KvFPDatabaseOptions& options) const;
  std::vector<KvFPHistogram> GetHistogramMany(const std::vector<KvFingerPrint>& queries,
                                              const KvFPDatabaseOptions& options, std::size_t nbins) const;
  // Per molecule of [first, first + count), its neighbours as
  // GetSortedScoresMany gives them (so, unlike KvFastFPDatabase's sparse
  // matrix, no scores of 0 without a cutoff), as (molecule, neighbour,
  // score) pairs row by row; empty with a warning when a record cannot be
  // read.
  std::vector<KvSimScorePair> GetNeighbours(std::uint64_t first, std::uint64_t count,
                                            const KvFPDatabaseOptions& options) const;
  // The scores of all pairs of molecules in nbins bins over [0, 1], as
  // KvFastFPDatabase::GetHistogram gives them for one file (each unordered
  // pair once, every ordered pair for Tversky): pairs within a shard from
  // the shard, pairs across shards from batch searches.
  KvFPHistogram GetHistogram(const KvFPDatabaseOptions& options, std::size_t nbins) const;

  // As KvCollectionCatalog's (warnings name KvCollection); "" and none when
  // not valid.
  std::vector<std::string> GetIds(const std::vector<std::uint64_t>& indices) const;
  std::vector<std::string> GetSmiles(const std::vector<std::uint64_t>& indices) const;
  std::vector<std::uint64_t> GetFailed() const;

 private:
  bool Open(const std::string& catalogPath, unsigned memoryType);

  bool valid_ = false;
  std::uint64_t records_ = 0;
  const KvFPTypeBase* type_ = nullptr;
  std::string folder_;
  std::vector<KvShardInfo> shards_;
  std::vector<std::unique_ptr<KvFastFPDatabase>> databases_;
  std::unique_ptr<KvCollectionCatalog> catalog_;
};

}  // namespace Varnex
