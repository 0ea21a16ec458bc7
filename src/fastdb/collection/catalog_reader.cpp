// A collection's catalog opened without its shards, and the id and SMILES
// lookups that both it and an open collection answer from it.

#include <sys/stat.h>

#include <algorithm>

#include "fastdb/collection/catalog.h"
#include "kvsystem/error.h"
#include "varnex/collection.h"

namespace Varnex {

using KvSystem::KvStatus;
using KvSystem::KvStatusCode;

// The catalog connection kept open for the lookups.
class KvCollectionCatalogReader {
 public:
  Sqlite db;
};

namespace {

// The `column` of the molecule rows `indices` ("" for an index out of
// range): one statement per block of distinct indices, whose rows SQLite
// finds in index order. A catalog that cannot be read (locked longer than
// the busy wait, damaged) is reported with a warning naming `caller`; the
// rows not read stay "".
std::vector<std::string> ReadColumn(Sqlite& db, const char* column, const std::vector<std::uint64_t>& indices,
                                    std::uint64_t records, const std::string& caller) {
  constexpr std::size_t kBlock = 500;  // bound parameters per statement
  std::vector<std::uint64_t> wanted;
  for (std::uint64_t i : indices)
    if (i < records) wanted.push_back(i);
  std::sort(wanted.begin(), wanted.end());
  wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
  std::vector<std::string> found(wanted.size());
  for (std::size_t from = 0; from < wanted.size(); from += kBlock) {
    const std::size_t count = std::min(kBlock, wanted.size() - from);
    std::string sql = std::string("SELECT idx, ") + column + " FROM molecules WHERE idx IN (?";
    for (std::size_t k = 1; k < count; ++k) sql += ",?";
    sql += ")";
    SqliteStatement statement;
    KvStatus error = db.Prepare(sql, statement);
    if (error.IsOk()) {
      for (std::size_t k = 0; k < count; ++k)
        statement.Bind(static_cast<int>(k + 1), static_cast<std::int64_t>(wanted[from + k]));
      while (statement.Step(error)) {
        const auto at = std::lower_bound(wanted.begin(), wanted.end(), static_cast<std::uint64_t>(statement.Int(0)));
        if (at != wanted.end() && *at == static_cast<std::uint64_t>(statement.Int(0)))
          found[static_cast<std::size_t>(at - wanted.begin())] = statement.Text(1);
      }
    }
    if (!error.IsOk()) {
      KvSystem::KvThrow()->Warning(error, "%s : %s", caller.c_str(), error.Message().c_str());
      break;
    }
  }
  std::vector<std::string> out(indices.size());
  for (std::size_t i = 0; i < indices.size(); ++i) {
    const auto at = std::lower_bound(wanted.begin(), wanted.end(), indices[i]);
    if (at != wanted.end() && *at == indices[i]) out[i] = found[static_cast<std::size_t>(at - wanted.begin())];
  }
  return out;
}

}  // namespace

KvCollectionCatalog::KvCollectionCatalog(const std::string& catalogPath)
    : KvCollectionCatalog(catalogPath, "KvCollectionCatalog") {}

KvCollectionCatalog::KvCollectionCatalog(const std::string& catalogPath, const std::string& owner) : owner_(owner) {
  try {
    valid_ = Open(catalogPath);
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("%s() : %s", owner_.c_str(), e.what());
    valid_ = false;
  }
  if (!valid_) {
    type_.clear();
    shards_.clear();
    records_ = 0;
    reader_.reset();
  }
}

KvCollectionCatalog::~KvCollectionCatalog() = default;

bool KvCollectionCatalog::Open(const std::string& catalogPath) {
  const auto fail = [&](const KvStatus& error) {
    KvSystem::KvThrow()->Warning(error, "%s() : %s", owner_.c_str(), error.Message().c_str());
    return false;
  };
  struct stat info {};
  if (::stat(catalogPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    return fail(KvStatus(KvStatusCode::NotFound, "no collection catalog " + catalogPath));
  reader_ = std::make_unique<KvCollectionCatalogReader>();
  Sqlite& db = reader_->db;
  KvStatus error = db.Open(catalogPath, Sqlite::Mode::ReadOnly, 10000);
  Catalog catalog;
  if (!error.IsOk() || !(error = ReadCatalog(db, catalog)).IsOk()) return fail(error);
  // Lookups read the catalog through a mapping, not a read call per page.
  (void)db.Exec("PRAGMA mmap_size = 1073741824");
  SqliteStatement ends;
  // The ends of the molecule rows (two index lookups, not a count: opening
  // stays O(shards)); verifying counts every row.
  if (!(error = db.Prepare("SELECT MIN(idx), MAX(idx) FROM molecules", ends)).IsOk() || !ends.Step(error))
    return fail(error);
  records_ = catalog.NumRecords();
  if (ends.IsNull(0) || ends.Int(0) != 0 || static_cast<std::uint64_t>(ends.Int(1)) + 1 != records_)
    return fail(KvStatus(KvStatusCode::Corrupt, "collection " + catalogPath + " has molecule rows up to " +
                                                    std::to_string(ends.Int(1)) + " for " +
                                                    std::to_string(records_) + " records"));
  type_ = std::move(catalog.type);
  shards_ = std::move(catalog.shards);
  return true;
}

std::vector<std::string> KvCollectionCatalog::Lookup(const char* column, const char* call,
                                                     const std::vector<std::uint64_t>& indices) const {
  if (!valid_) return std::vector<std::string>(indices.size());
  std::lock_guard<std::mutex> guard(lock_);
  return ReadColumn(reader_->db, column, indices, records_, owner_ + "::" + call + "()");
}

std::vector<std::string> KvCollectionCatalog::GetIds(const std::vector<std::uint64_t>& indices) const {
  return Lookup("id", "GetIds", indices);
}

std::vector<std::string> KvCollectionCatalog::GetSmiles(const std::vector<std::uint64_t>& indices) const {
  return Lookup("smiles", "GetSmiles", indices);
}

std::vector<std::uint64_t> KvCollectionCatalog::GetFailed() const {
  std::vector<std::uint64_t> failed;
  if (!valid_) return failed;
  std::lock_guard<std::mutex> guard(lock_);
  SqliteStatement query;
  KvStatus error = reader_->db.Prepare("SELECT idx FROM molecules WHERE failed != 0 ORDER BY idx", query);
  while (error.IsOk() && query.Step(error)) failed.push_back(static_cast<std::uint64_t>(query.Int(0)));
  return failed;
}

}  // namespace Varnex
