// Creating a collection and appending to it: shards written and put in place
// under fresh names, then one catalog transaction that lists them.

#include <sys/stat.h>

#include <atomic>
#include <set>

#include "fastdb/collection/catalog.h"
#include "fastdb/collection/files.h"
#include "fastdb/collection/testing.h"
#include "fastdb/create/file.h"
#include "kvchem/mol.h"
#include "kvchem/moldb.h"
#include "kvsystem/error.h"
#include "kvsystem/file_system.h"
#include "varnex/collection.h"
#include "varnex/fpbin.h"

namespace Varnex {
namespace {

using KvSystem::KvStatus;
using KvSystem::KvStatusCode;

std::atomic<bool> gFailCommit{false};

// The SMILES kept for a molecule: a SMILES record's own text, else the
// canonical SMILES of the parsed molecule; "" when it does not read.
std::string RecordSmiles(const KvChem::KvMolDatabase& mols, unsigned index, bool failed) {
  const std::string text = mols.GetRecordText(index);
  const std::size_t end = text.find_last_not_of(" \t\r\n");
  if (end != std::string::npos && text.find('\n') > end) {
    const std::size_t begin = text.find_first_not_of(" \t");
    return text.substr(begin, text.find_first_of(" \t\r\n", begin) - begin);
  }
  KvChem::KvMol mol;
  return !failed && mols.GetMolecule(mol, index) ? KvChem::KvMolToSmiles(mol) : "";
}

std::string RecordId(const KvChem::KvMolDatabase& mols, unsigned index, const std::string& idTag,
                     std::uint64_t molecule) {
  std::string id = idTag.empty() ? mols.GetMolName(index) : KvChem::KvSdDataField(mols.GetRecordText(index), idTag).value_or("");
  return id.empty() ? std::to_string(molecule) : id;
}

KvStatus AddMoleculeRows(Sqlite& db, const std::string& molPath, std::uint64_t base, std::uint64_t count,
                         const std::string& idTag, const std::vector<std::string>& ids,
                         const std::vector<std::uint64_t>& failed) {
  KvChem::KvMolDatabase mols;
  if (!mols.Open(molPath) || mols.GetMaxMolIdx() != count)
    return KvStatus(KvStatusCode::IoError, "cannot read molecule file " + molPath + " again");
  MoleculeRows rows;
  KvStatus error = rows.Prepare(db);
  auto nextFailed = failed.begin();
  for (std::uint64_t i = 0; error.IsOk() && i < count; ++i) {
    const bool isFailed = nextFailed != failed.end() && *nextFailed == i;
    if (isFailed) ++nextFailed;
    const auto index = static_cast<unsigned>(i);
    error = rows.Add(base + i, ids.empty() ? RecordId(mols, index, idTag, base + i) : ids[i],
                     RecordSmiles(mols, index, isFailed), isFailed);
  }
  return error;
}

// Undoes a change that did not commit: the transaction rolls back, the new
// shards go and a catalog file this writer made is removed.
class PendingChange {
 public:
  PendingChange(Sqlite& db, std::string catalogPath) : db_(db), catalogPath_(std::move(catalogPath)) {}
  ~PendingChange() {
    if (committed_) return;
    for (const std::string& path : shards_) KvSystem::KvGetFileSystem().Remove(path);
    // Removed while the lock is still held: a writer waiting for it finds
    // the path gone (and gives up) rather than a file no one will keep.
    if (removeCatalog_ && inTransaction_) KvSystem::KvGetFileSystem().Remove(catalogPath_);
    if (inTransaction_) (void)db_.Exec("ROLLBACK");
  }
  void Began() { inTransaction_ = true; }
  // The catalog file is this writer's own: a failure removes it.
  void OwnsCatalog() { removeCatalog_ = true; }
  void AddShard(const std::string& path) { shards_.push_back(path); }
  KvStatus Commit() {
    if (gFailCommit.load())
      return KvStatus::FromErrno(28, "cannot update " + catalogPath_ + ": database or disk is full");
    // The commit waits for readers of the catalog (a search naming its hits,
    // a service looking for a new generation) to finish their reads; only
    // the start of a change refuses at once when another writer holds it.
    KvStatus error = db_.Exec("PRAGMA busy_timeout = 10000; COMMIT");
    committed_ = error.IsOk();
    return error;
  }

 private:
  Sqlite& db_;
  std::string catalogPath_;
  bool removeCatalog_ = false;
  bool inTransaction_ = false;
  bool committed_ = false;
  std::vector<std::string> shards_;
};

bool Write(const std::string& catalogPath, const std::string& molPath, const KvCreateFastFPDatabaseOptions& options,
           unsigned shards, const std::string& idTag, const std::vector<std::string>& ids, bool creating,
           const char* caller, KvCollectionWriteSummary& summary) {
  KvSystem::KvErrorHandler* report = KvSystem::KvThrow();
  const auto fail = [&](const KvStatus& error) {
    report->Warning(error, "%s : %s", caller, error.Message().c_str());
    return false;
  };
  if (!catalogPath.ends_with(".vxc") || catalogPath.find_last_of('/') + 1 == catalogPath.size() - 4) {
    report->Warning("%s collection catalog should have '.vxc' file extension!", caller);
    return false;
  }
  struct stat info {};
  const bool existed = ::stat(catalogPath.c_str(), &info) == 0;
  if (!creating && !existed) return fail(KvStatus(KvStatusCode::NotFound, "no collection " + catalogPath));
  Sqlite db;
  KvStatus error = db.Open(catalogPath, creating ? Sqlite::Mode::Create : Sqlite::Mode::ReadWrite, 0);
  if (!error.IsOk()) return fail(error);
  PendingChange change(db, catalogPath);
  const KvStatus busy(KvStatusCode::Busy, "collection " + catalogPath + " is being changed by another writer");
  // The change stays in the writer's memory until it commits (no spill of
  // dirty pages, which would lock readers out of the catalog meanwhile).
  error = db.Exec("PRAGMA synchronous = FULL; PRAGMA cache_spill = OFF; BEGIN IMMEDIATE");
  if (error.Code() == KvStatusCode::Busy) return fail(busy);
  if (!error.IsOk()) return fail(error);
  change.Began();
  // A failed creator removes its catalog before giving up the lock.
  if (::stat(catalogPath.c_str(), &info) != 0) return fail(busy);

  Catalog catalog;
  if (creating) {
    if (HasCatalog(db))
      return fail(KvStatus(KvStatusCode::InvalidArgument,
                           "collection " + catalogPath + " exists already; add molecules with append"));
    if (!existed) change.OwnsCatalog();
    catalog.type = options.GetFPType() != nullptr ? options.GetFPType()->GetFPTypeString() : "";
    catalog.idTag = idTag;
    if (!KvIsAdmissibleFastFPType(options.GetFPType(), caller)) return false;
    if (!(error = CreateCatalog(db, catalog.type, idTag)).IsOk()) return fail(error);
  } else if (!(error = ReadCatalog(db, catalog)).IsOk()) {
    return fail(error);
  }
  const KvFPTypeBase* type = KvGetFPType(catalog.type);
  if (type == nullptr) return fail(KvStatus(KvStatusCode::Corrupt, "unknown type " + catalog.type));
  KvCreateFastFPDatabaseOptions typed(type);
  typed.SetNumProcessors(options.GetNumProcessors());
  if (options.GetTracer() != nullptr) typed.SetTracer(*options.GetTracer());
  typed.SetCancelFlag(options.GetCancelFlag());

  // Files of changes that never committed go first (the lock is ours).
  const CollectionNames names(catalogPath);
  std::set<std::string> listed;
  for (const KvShardInfo& s : catalog.shards) listed.insert(s.file);
  RemoveUnlistedShards(names, listed);

  const std::string token = NewChangeToken();
  const std::uint64_t base = catalog.NumRecords();
  std::vector<KvShardInfo> parts;
  KvCreateFastFPDatabaseSummary made;
  const auto partPath = [&](unsigned i) { return names.ShardPath(token, i); };
  const bool written = CreateFastFPDatabaseParts(partPath(0), molPath, typed, shards, partPath,
                                                   [&](const std::vector<KvShardInfo>& ready) {
                                                     for (const KvShardInfo& p : ready) change.AddShard(p.file);
                                                     return true;
                                                   },
                                                   caller, made, parts, base);
  if (!written) return false;
  if (!ids.empty() && ids.size() != made.records)
    return fail(KvStatus(KvStatusCode::InvalidArgument, std::to_string(ids.size()) + " ids for " +
                                                            std::to_string(made.records) + " molecules"));
  const std::uint64_t words = KvGetFingerPrintSize(type) / 64;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    KvShardInfo& shard = parts[i];
    const std::string path = shard.file;
    shard.file = path.substr(path.find_last_of('/') + 1);
    if (!(error = DescribeShardFile(path, words, shard)).IsOk() ||
        !(error = InsertShard(db, shard, static_cast<std::int64_t>(catalog.shards.size() + i))).IsOk())
      return fail(error);
  }
  if (!(error = AddMoleculeRows(db, molPath, base, made.records, catalog.idTag, ids, made.failed)).IsOk() ||
      !(error = change.Commit()).IsOk())
    return fail(error);

  summary.type = catalog.type;
  summary.first = base;
  summary.records = made.records;
  summary.unreadable = made.unreadable;
  summary.ungenerated = made.ungenerated;
  summary.damagedInput = made.damagedInput;
  summary.failed.clear();
  for (std::uint64_t f : made.failed) summary.failed.push_back(base + f);
  return true;
}

bool Guarded(const char* caller, const std::function<bool()>& body) {
  try {
    return body();
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("%s : %s", caller, e.what());
    return false;
  }
}

}  // namespace

void SetCollectionCommitFaultForTesting(bool fail) { gFailCommit.store(fail); }

bool KvCreateCollection(const std::string& catalogPath, const std::string& molPath,
                        const KvCreateFastFPDatabaseOptions& options, unsigned shards, const std::string& idTag,
                        KvCollectionWriteSummary& summary, const std::vector<std::string>& ids) {
  constexpr const char* kCaller = "KvCreateCollection()";
  summary = {};
  return Guarded(kCaller, [&] { return Write(catalogPath, molPath, options, shards, idTag, ids, true, kCaller, summary); });
}

bool KvAppendToCollection(const std::string& catalogPath, const std::string& molPath,
                          const KvCreateFastFPDatabaseOptions& options, unsigned shards,
                          KvCollectionWriteSummary& summary, const std::vector<std::string>& ids) {
  constexpr const char* kCaller = "KvAppendToCollection()";
  summary = {};
  return Guarded(kCaller, [&] { return Write(catalogPath, molPath, options, shards, "", ids, false, kCaller, summary); });
}

}  // namespace Varnex
