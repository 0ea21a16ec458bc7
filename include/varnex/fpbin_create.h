// Creating a fast fingerprint database file (".fpbin", see fpbin.h) from a
// molecule file, and checking that a molecule file and a fast database
// belong together.
//
// Creation writes a temporary file next to the output ("<out>.tmp-<pid>-<n>"),
// sized at once to its final size, with the header, and lets worker threads
// claim molecules five at a time, make their fingerprints and write each
// record at its molecule's position. The file is byte-for-byte the same
// whatever the number of threads. A molecule that cannot be read or
// fingerprinted keeps its record: its index, a count of 0 and no bits.
//
// The output appears whole or not at all: only a complete file, synced to
// disk, is renamed over the output path. On any failure (a full disk, a
// failed write or rename, a cancel) the temporary file is removed and an
// existing output file is left as it was; processes that have it mapped keep
// reading the old file even after a successful creation replaced it. A
// killed process can leave its temporary file behind, never a partial output.
// The header stores the molecule file's path as given when it fits on its
// line; a path with a line break, or too long for the 784-byte header text,
// is stored as its base name (line breaks as '?'), shortened when needed.
//
// Thread safety: the functions are reentrant; the options object is a plain
// value that belongs to one thread at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kvsystem/dots.h"
#include "varnex/fptypes.h"

namespace KvChem {
class KvMolDatabase;
}

namespace Varnex {

class KvFastFPDatabase;

// Settings of one creation: the fingerprint type, the thread count and an
// optional progress display. Copies of it share nothing.
class KvCreateFastFPDatabaseOptions {
 public:
  // `type` is not owned (types live in their registries); it is checked by
  // KvCreateFastFPDatabaseFile, not here.
  explicit KvCreateFastFPDatabaseOptions(const KvFPTypeBase* type) : type_(type) {}
  KvCreateFastFPDatabaseOptions(const KvCreateFastFPDatabaseOptions& other);
  KvCreateFastFPDatabaseOptions& operator=(const KvCreateFastFPDatabaseOptions& other);
  ~KvCreateFastFPDatabaseOptions() = default;

  const KvFPTypeBase* GetFPType() const { return type_; }
  // Stored unchanged; 0 (the default) means every processor of the machine.
  void SetNumProcessors(unsigned int count) { numProcessors_ = count; }
  // With 0 stored, the machine's processor count n; otherwise min(stored, 2n).
  unsigned int GetNumProcessors() const;
  // Keeps a copy of `tracer` (replacing an earlier one); creation advances it
  // by one per molecule and calls Total() at the end.
  void SetTracer(const KvSystem::KvDots& tracer) { tracer_ = std::make_unique<KvSystem::KvDots>(tracer); }
  // The options' own copy, or null when none was set. Owned by the options.
  KvSystem::KvDots* GetTracer() const { return tracer_.get(); }
  // A flag (not owned; null: none) that cancels the creation once it turns
  // true, for example from a signal handler: workers stop at their next
  // chunk, the temporary file is removed and creation returns false.
  void SetCancelFlag(const std::atomic<bool>* flag) { cancel_ = flag; }
  const std::atomic<bool>* GetCancelFlag() const { return cancel_; }

 private:
  const KvFPTypeBase* type_ = nullptr;
  unsigned int numProcessors_ = 0;
  const std::atomic<bool>* cancel_ = nullptr;
  std::unique_ptr<KvSystem::KvDots> tracer_;
};

// What one creation wrote.
struct KvCreateFastFPDatabaseSummary {
  std::uint64_t records = 0;      // records in the file
  std::uint64_t unreadable = 0;   // empty records: the molecule could not be read
  std::uint64_t ungenerated = 0;  // empty records: its fingerprint failed
  bool damagedInput = false;      // the molecule file was damaged (KvMolDatabase::IsDamaged)
  std::vector<std::uint64_t> failed;  // indices of the empty records, ascending
};

// Writes the fast database `fpbinPath` (which must end in ".fpbin") with one
// record per record of the molecule file `molPath`, fingerprints of the
// options' type (Path, Circular or Tree, size a multiple of 256 bits), on
// GetNumProcessors() threads. False with a warning naming
// "KvCreateFastFPDatabaseFile()" when the path, the molecule file, the type
// or writing the output is refused or fails, or the cancel flag was set;
// the output path is then untouched. Faults of single molecules are
// warnings, leave the result true and are counted in `summary`.
bool KvCreateFastFPDatabaseFile(const std::string& fpbinPath, const std::string& molPath,
                                const KvCreateFastFPDatabaseOptions& options, KvCreateFastFPDatabaseSummary& summary);
// The same without the summary.
bool KvCreateFastFPDatabaseFile(const std::string& fpbinPath, const std::string& molPath,
                                const KvCreateFastFPDatabaseOptions& options);
// The same on every processor, without progress display.
bool KvCreateFastFPDatabaseFile(const std::string& fpbinPath, const std::string& molPath, const KvFPTypeBase* type);

// Whether `fpdb` was made from `mols`: both non-empty, `fpdb` valid with an
// admissible type, the same number of entries, and the fingerprint of the
// molecule named by fpdb's first record equal to that record. False with a
// warning naming "KvAreCompatibleDatabases()" otherwise. Only reads both.
bool KvAreCompatibleDatabases(const KvChem::KvMolDatabase& mols, const KvFastFPDatabase& fpdb);

}  // namespace Varnex
