// The fast fingerprint database: similarity queries over every fingerprint of
// a ".fpbin" file (see fpbin.h), memory-mapped or read completely into memory.
//
// KvFastFPDatabase validates each request (database state, record index,
// query type, molecule, measure) and warns with fixed texts naming the
// operation ("KvFastFPDatabase::GetScores() : fingerprint type mismatch!")
// before handing it to its search engine; a failed check gives the neutral
// result (false, 0, an empty iterator, an empty histogram). Every query takes
// a fingerprint of the database's type, a molecule (fingerprinted with the
// database's type) or a record position (that record as the query).
//
// Scores are computed in double precision from the stored bit counts; they
// differ from KvTanimoto and friends at the edges (two empty fingerprints
// score 0.0 with Tanimoto and Cosine). In every KvSimScore and
// KvSimScorePair the index is the record's stored molecule index.
//
// Ownership: the database owns its engine and is not copied. Iterators handed
// out are owned by the caller.
// Thread safety: after construction a database is read-only; any number of
// threads may query it at once. SortedSearch and the batch calls (the "Many"
// family) start worker threads of their own (options.GetNumProcessors());
// every other call runs on the caller's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kvchem/mol.h"
#include "kvsystem/iterator.h"
#include "varnex/dboptions.h"
#include "varnex/fingerprint.h"
#include "varnex/fptypes.h"
#include "varnex/histogram.h"
#include "varnex/searchresult.h"

namespace Varnex {

// Where the records live (unsigned codes).
namespace KvFastFPDatabaseMemoryType {
inline constexpr unsigned int MemoryMapped = 1;  // "memory-mapped": a read-only mapping of the file
inline constexpr unsigned int InMemory = 2;      // "in-memory": the records read into one array
inline constexpr unsigned int CUDA = 3;          // "CUDA": no such engine here; memory-mapped instead
}  // namespace KvFastFPDatabaseMemoryType

// Always true: the fast database is available in this build.
bool KvIsFastFPDatabaseReady();
// (VarnexIsGPUReady(), always false, is in info.h.)
// The name of the scan kernel in use ("avx512", "avx2", "popcnt" or
// "software"): the fastest this processor runs, unless the environment
// variable VARNEX_KERNEL names another available one. Thread-safe.
std::string KvGetScanKernelName();

class KvFastFPDatabaseImplBase;

class KvFastFPDatabase {
 public:
  // Opens `path` with the engine of `memoryType`: 2 in memory, anything else
  // memory-mapped (3 warns "... : no CUDA-enabled device available falling
  // back to memory-mapped type!", values other than 1-3 "... : invalid memory
  // type parameter initialized for memory-mapped!"). Faults are warnings;
  // the database then reports !IsValid().
  KvFastFPDatabase(const std::string& path, unsigned int memoryType);
  ~KvFastFPDatabase();
  KvFastFPDatabase(const KvFastFPDatabase&) = delete;
  KvFastFPDatabase& operator=(const KvFastFPDatabase&) = delete;

  // Engine present and valid; never warns.
  bool IsValid() const;
  // The header's fingerprint count; 0 (with a warning) when not valid.
  std::size_t NumFingerPrints() const;
  // The one type of all records; null (with a warning) when not valid.
  const KvFPTypeBase* GetFPTypeBase() const;
  // 1 or 2, the engine actually built; 0 when not valid.
  unsigned int GetMemoryType() const;
  // "memory-mapped" or "in-memory"; "" when not valid.
  std::string GetMemoryTypeString() const;

  // Fills `fp` with record `idx` (the database's type, 64W bits). False with
  // a warning for a bad index, an unreadable record or a record whose stored
  // molecule index differs from idx.
  bool GetFingerPrint(KvFingerPrint& fp, std::size_t idx) const;
  // The molecule index stored in record `idx`; all bits set on failure.
  std::size_t GetMoleculeIndex(std::size_t idx) const;
  // The smallest and largest bit count of its records, known from the
  // search index built on opening (every stored count was checked then).
  // False, never warning, when not known (no records, no index, not valid).
  bool GetBitCountRange(std::uint64_t& lo, std::uint64_t& hi) const;

  // Every record's score in record order; with a cutoff only scores >= it
  // (descending) or <= it (ascending). Caller owns the iterator.
  KvSystem::KvIterBase<KvSimScore>* GetScores(const KvFingerPrint& query, const KvFPDatabaseOptions& options) const;
  KvSystem::KvIterBase<KvSimScore>* GetScores(const KvChem::KvMolBase& query,
                                              const KvFPDatabaseOptions& options) const;
  KvSystem::KvIterBase<KvSimScore>* GetScores(std::size_t queryIdx, const KvFPDatabaseOptions& options) const;

  // The best options.GetLimit() scores (all for 0), best first; only scores
  // strictly better than the cutoff, and above 0.0 when descending without
  // one. Records whose bit count rules them out are not scored; the result
  // is that of a full scan (ties at the limit are in no defined order).
  KvSystem::KvIterBase<KvSimScore>* GetSortedScores(const KvFingerPrint& query,
                                                    const KvFPDatabaseOptions& options) const;
  KvSystem::KvIterBase<KvSimScore>* GetSortedScores(const KvChem::KvMolBase& query,
                                                    const KvFPDatabaseOptions& options) const;
  KvSystem::KvIterBase<KvSimScore>* GetSortedScores(std::size_t queryIdx, const KvFPDatabaseOptions& options) const;

  // One score per record in record order; no cutoff, no limit.
  KvSystem::KvIterBase<double>* GetRawScores(const KvFingerPrint& query, const KvFPDatabaseOptions& options) const;
  KvSystem::KvIterBase<double>* GetRawScores(const KvChem::KvMolBase& query, const KvFPDatabaseOptions& options) const;
  KvSystem::KvIterBase<double>* GetRawScores(std::size_t queryIdx, const KvFPDatabaseOptions& options) const;

  // The n x n matrix, row-major, entry (i, j) = record i against record j,
  // on options.GetNumProcessors() threads. Memory grows with n squared.
  KvSystem::KvIterBase<float>* GetAllScores(const KvFPDatabaseOptions& options) const;
  // Per record, its options.GetLimit() nearest neighbours (itself included),
  // best first, as (molecule index, molecule index, score) pairs; with a
  // cutoff only those at or above it. Runs on options.GetNumProcessors()
  // threads; the result does not depend on their number.
  KvSystem::KvIterBase<KvSimScorePair>* GetSparseMatrix(const KvFPDatabaseOptions& options) const;
  // Every pair of records whose score is at least the options' cutoff
  // (every pair when there is none), row by row in record order, each row
  // best first with equal scores by the larger molecule index first: what
  // GetSparseMatrix gives with limit 0, without its warnings and without
  // room for n x n pairs. The limit and the order are not used. Runs on
  // options.GetNumProcessors() threads. Warns "... : not enough system
  // memory to store results!" and gives nothing when the pairs do not fit.
  KvSystem::KvIterBase<KvSimScorePair>* GetThresholdMatrix(const KvFPDatabaseOptions& options) const;
  // nbins bins over [0, 1] holding every pair's score (each unordered pair
  // once; every ordered pair for Tversky), on options.GetNumProcessors()
  // threads.
  KvFPHistogram GetHistogram(const KvFPDatabaseOptions& options, std::size_t nbins) const;
  // nbins bins over [0, 1] of 1 - score for every unordered pair, with the
  // squared differences of values[i] - values[j] (values indexed by record
  // position; at least one per record). Tversky is refused.
  KvFPVariogram GetVariogram(const std::vector<float>& values, const KvFPDatabaseOptions& options,
                             std::size_t nbins) const;

  // Searches every record for `mol` on several threads into `result` (its
  // hits, histogram of all scores and counters; see searchresult.h) and
  // returns the final status (KvSimSearchStatus::Finished on success).
  unsigned int SortedSearch(KvSimSearchResult& result, const KvChem::KvMolBase& mol,
                            const KvFPDatabaseOptions& options) const;
  // The same with a query fingerprint of the database's type.
  unsigned int SortedSearch(KvSimSearchResult& result, const KvFingerPrint& query,
                            const KvFPDatabaseOptions& options) const;

  // ---- Batches: many queries per pass over the records.
  //
  // A batch call answers every query of `queries` as the single-query call
  // named in its comment would, but reads each block of records once for a
  // block of queries, and works on options.GetNumProcessors() threads (the
  // caller's thread among them; a batch of one query is split over the
  // records, so this is also the threaded form of a single search). Each
  // query is checked as in the fingerprint form of the single calls, with
  // warnings naming the batch call ("KvFastFPDatabase::GetSortedScoresMany()
  // : fingerprint type mismatch!"); a query that fails gets an empty result
  // (no hits, count 0, a histogram without samples) and the others are still
  // answered. An invalid database or measure warns once and gives an empty
  // result for every query.
  //
  // Results come in query order, one per query, and belong to the caller.
  // They do not depend on the thread count, except which of several equal
  // scores at the limit are kept, which no sorted search defines. Every
  // result merges exactly with the result of the same queries against
  // another database (a shard): hit lists carry the stored molecule indices
  // and are merged by keeping the best `limit` scores, counts and histogram
  // bins add up.

  // Per query, the hits of GetSortedScores(query, options): the best
  // options.GetLimit() scores (all for 0) strictly better than the cutoff
  // (above 0.0 when descending without one), best first.
  std::vector<std::vector<KvSimScore>> GetSortedScoresMany(const std::vector<KvFingerPrint>& queries,
                                                           const KvFPDatabaseOptions& options) const;
  // Per query, the number of hits GetSortedScores would give with limit 0:
  // the records whose score is strictly better than the cutoff (above 0.0
  // when descending without one). The options' limit is not used.
  std::vector<std::uint64_t> NumHitsMany(const std::vector<KvFingerPrint>& queries,
                                         const KvFPDatabaseOptions& options) const;
  // Per query, its score against every record in nbins bins over [0, 1]
  // (the histogram SortedSearch fills; nbins 0 counts as 1).
  std::vector<KvFPHistogram> GetHistogramMany(const std::vector<KvFingerPrint>& queries,
                                              const KvFPDatabaseOptions& options, std::size_t nbins) const;

 private:
  std::unique_ptr<KvFastFPDatabaseImplBase> impl_;
};

}  // namespace Varnex
