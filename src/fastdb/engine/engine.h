// The search engines behind KvFastFPDatabase.
//
// Both engines score a query straight from the stored bit counts and 64-bit
// words of a ".fpbin" file, without building fingerprint objects; they differ
// only in where the records live: FastFPMemoryMapDatabaseImpl reads them
// from a read-only mapping of the file, FastFPInMemoryDatabaseImpl from one
// array filled at opening. All routines live in the base, over the record
// array the engine hands out.
//
// Opening reads and checks the header (and that the file size matches n and
// W), then the engine loads or maps the records and builds the search index
// (search_index.h) in the same pass over the file, refusing a record whose
// count is above 64W ("%s : invalid data in %d-th fingerprint"). Every
// opening warning names "KvFastFPDatabase::KvFastFPDatabase()".
//
// Results: in every KvSimScore and KvSimScorePair the index is the record's
// stored molecule index, not its position. Iterators are owned by the caller.
//
// Thread safety: after opening nothing is written, so any number of threads
// may query one engine at once. SortedSearch, the batch forms and the
// matrices start options.GetNumProcessors() threads of their own; opening a
// large file in memory runs on two (inmemory.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "database/hitlist.h"
#include "fastdb/engine/search_index.h"
#include "fastdb/format/bytes.h"
#include "kvsystem/iterator.h"
#include "varnex/dboptions.h"
#include "varnex/fingerprint.h"
#include "varnex/fpbin.h"
#include "varnex/histogram.h"
#include "varnex/searchresult.h"

namespace Varnex {

// The size up to which sorted searches scan every record instead of pruning
// (4096 records: a few microseconds per call either way). Process-wide;
// tests lower it to 0 to search small files the way large ones are.
std::uint64_t ScanWholeUpTo();
void SetScanWholeUpTo(std::uint64_t records);
// The records a single query's threaded search must still have to visit
// after its seed before other threads join it (32768 records: fewer take
// less time than starting a thread). Process-wide; tests lower it to 0 so
// that small files are shared among threads the way large ones are.
std::uint64_t ShareSearchFrom();
void SetShareSearchFrom(std::uint64_t records);
// The size from which the neighbour matrix goes row by row, one pruned
// search per record, instead of in tiles over all pairs (262144 records:
// the tiles' work grows as n², the searches' more slowly). Process-wide;
// tests lower it to 0, or raise it, to check both ways on small files.
std::uint64_t MatrixRowsFrom();
void SetMatrixRowsFrom(std::uint64_t records);
// The record bytes from which opening in memory runs on two threads (64 MB:
// below it a second thread saves less than it costs). Process-wide; tests
// lower it to 0 so that small files open the way large ones do.
std::uint64_t TwoThreadOpeningFrom();
void SetTwoThreadOpeningFrom(std::uint64_t bytes);

// Where the records are and how they are laid out.
struct RecordView {
  const std::uint8_t* records = nullptr;  // record 0
  std::uint64_t n = 0;                    // number of records
  std::uint64_t words = 0;                // W
  std::size_t stride = 0;                 // bytes per record, (W + 2) x 8

  const std::uint8_t* At(std::uint64_t i) const { return records + i * stride; }
  std::uint64_t MolIdx(std::uint64_t i) const { return LoadLE64(At(i)); }
  std::uint64_t Count(std::uint64_t i) const { return LoadLE64(At(i) + 8); }
};

// The query as the kernels read it: W words and their bit count.
struct QueryWords {
  std::vector<std::uint64_t> words;
  std::uint64_t bits = 0;
};

class KvFastFPDatabaseImplBase {
 public:
  KvFastFPDatabaseImplBase(const KvFastFPDatabaseImplBase&) = delete;
  KvFastFPDatabaseImplBase& operator=(const KvFastFPDatabaseImplBase&) = delete;
  virtual ~KvFastFPDatabaseImplBase() = default;

  bool IsValid() const { return valid_; }
  // 1 for the memory-mapped engine, 2 for the in-memory engine.
  virtual unsigned GetMemoryType() const = 0;
  // "memory-mapped" or "in-memory".
  virtual std::string GetMemoryTypeString() const = 0;

  const std::string& GetPath() const { return path_; }
  const KvFastFPDatabaseParams& GetParams() const { return params_; }
  std::uint64_t NumFingerPrints() const { return params_.NumFingerPrints(); }
  const KvFPTypeBase* GetFPTypeBase() const { return params_.GetFPTypeBase(); }

  // Record `position`: its W words, molecule index and stored bit count.
  // Warns "KvFastFPDatabase::GetFingerPrint() : fingerprint index out of
  // range!" (or "... : invalid fingerprint database file pointer!") and
  // returns false when it cannot be read.
  bool ReadRecord(std::vector<std::uint64_t>& words, std::uint64_t& molIdx, std::uint64_t& count,
                  std::uint64_t position) const;

  // The routines of the front, one each. REQUIRES: IsValid(), a query of the
  // database's type and options with a measure 1 to 6 (the front checks).
  KvSystem::KvIterBase<KvSimScore>* GetScores(const KvFingerPrint& query, const KvFPDatabaseOptions& options) const;
  // Best first, visiting records by bit count and skipping those that cannot
  // enter the hit list; `prune` false scores every record in file order.
  KvSystem::KvIterBase<KvSimScore>* GetSortedScores(const KvFingerPrint& query, const KvFPDatabaseOptions& options,
                                                    bool prune = true) const;
  KvSystem::KvIterBase<double>* GetRawScores(const KvFingerPrint& query, const KvFPDatabaseOptions& options) const;
  KvSystem::KvIterBase<float>* GetAllScores(const KvFPDatabaseOptions& options) const;
  void GetHistogram(KvFPHistogram& out, const KvFPDatabaseOptions& options, std::size_t nbins) const;
  void GetVariogram(KvFPVariogram& out, const std::vector<float>& values, const KvFPDatabaseOptions& options,
                    std::size_t nbins) const;
  // Checks its own options (limit, measure) with the texts of the front.
  KvSystem::KvIterBase<KvSimScorePair>* GetSparseMatrix(const KvFPDatabaseOptions& options) const;
  KvSystem::KvIterBase<KvSimScorePair>* GetThresholdMatrix(const KvFPDatabaseOptions& options) const;
  // The batch forms of the front, one result per query in query order, on
  // options.GetNumProcessors() threads. REQUIRES: IsValid(), queries of the
  // database's type, a measure 1 to 6.
  std::vector<std::vector<KvSimScore>> GetSortedScoresMany(const std::vector<const KvFingerPrint*>& queries,
                                                           const KvFPDatabaseOptions& options) const;
  std::vector<std::uint64_t> NumHitsMany(const std::vector<const KvFingerPrint*>& queries,
                                         const KvFPDatabaseOptions& options) const;
  std::vector<KvFPHistogram> GetHistogramMany(const std::vector<const KvFingerPrint*>& queries,
                                              const KvFPDatabaseOptions& options, std::size_t nbins) const;
  // Prepares `result`, scores every record on options.GetNumProcessors()
  // threads (the calling thread alone below 1000 records) and returns the
  // final status.
  unsigned SortedSearch(KvSimSearchResult& result, const KvFingerPrint& query,
                        const KvFPDatabaseOptions& options) const;

  // The hit list of a sorted search for `query` (not finished), pruned or
  // scoring every record.
  HitList<KvSimScore> SortedHits(const QueryWords& query, const KvFPDatabaseOptions& options, bool prune) const;

  // The record layout, with a null record pointer when the engine has none.
  RecordView View() const;
  // The side structures of the pruned searches (empty when they could not
  // be built).
  const SearchIndex& Index() const { return index_; }
  // Whether sorted searches and hit counts visit the records through the
  // index: not when it could not be built, nor for databases of at most
  // ScanWholeUpTo() records, where scanning every record costs less than
  // visiting the bit-count bins.
  bool PrunesSearches() const { return !index_.Empty() && params_.NumFingerPrints() > ScanWholeUpTo(); }
  // The query's words and bit count as the kernels read them.
  QueryWords MakeQuery(const KvFingerPrint& query) const;
  // Record `position` as a query (REQUIRES: position < n and a record array).
  void RecordAsQuery(std::uint64_t position, QueryWords& query) const;

 protected:
  // Reads and checks the header; valid_ tells whether the engine may go on.
  explicit KvFastFPDatabaseImplBase(const std::string& path);
  // The engine's record array (record 0), or null.
  virtual const std::uint8_t* Records() const = 0;
  // Starts the search index, then reads the records after the header in
  // runs of about a megabyte (large reads, each checked while in cache) and
  // adds each run to the index: into their place in `into` (n x (W + 2)
  // words) when given, split among up to `threads` threads that each read
  // their share through a file object of their own, the signatures folded
  // later from there; otherwise into one reused buffer, the signatures
  // folded as the runs pass. `cannotSkip` is the warning format (engine
  // name, path) when the header cannot be skipped. False after the warning
  // a read in file order would have given first.
  bool ReadRecords(std::uint64_t* into, const char* cannotSkip, unsigned threads = 1);
  // Reads records [first, last) as ReadRecords does; on a failure, the
  // warning that names it, for the caller to give (empty when none).
  std::function<void()> ReadRange(std::uint64_t first, std::uint64_t last, std::uint64_t* into,
                                  const char* cannotSkip);
  bool valid_ = false;
  std::string path_;
  KvFastFPDatabaseParams params_;
  SearchIndex index_;
};

// The records read from a read-only mapping of the whole file.
class FastFPMemoryMapDatabaseImpl final : public KvFastFPDatabaseImplBase {
 public:
  explicit FastFPMemoryMapDatabaseImpl(const std::string& path);
  unsigned GetMemoryType() const override { return 1; }
  std::string GetMemoryTypeString() const override { return "memory-mapped"; }

 protected:
  const std::uint8_t* Records() const override;

 private:
  MMapInputFile file_;
};

// The records read once into one array of n x (W + 2) words (from
// TwoThreadOpeningFrom() bytes on, read and indexed on two threads).
class FastFPInMemoryDatabaseImpl final : public KvFastFPDatabaseImplBase {
 public:
  explicit FastFPInMemoryDatabaseImpl(const std::string& path);
  unsigned GetMemoryType() const override { return 2; }
  std::string GetMemoryTypeString() const override { return "in-memory"; }

 protected:
  const std::uint8_t* Records() const override;

 private:
  // Reads the records and builds the search index; false after a warning.
  bool Load();

  WordBuffer records_;
};

}  // namespace Varnex
