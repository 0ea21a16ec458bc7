// The catalog of a collection: a SQLite database that lists the shard files
// beside it and one row per molecule. It is the collection's only source of
// truth; every change is one transaction.
//
// Tables:
//   meta(key, value): format "varnex-collection", version "1", type (the
//     fingerprint type string), idtag (the SD field ids came from, or "")
//   shards(position, file, first, records, min_bits, max_bits, molecules,
//     bytes, sha256, ends_sha256): in molecule order
//   molecules(idx, id, smiles, failed): every molecule index once
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fastdb/collection/sqlite_db.h"
#include "kvsystem/status.h"
#include "varnex/shards.h"

namespace Varnex {

inline constexpr const char* kCatalogFormat = "varnex-collection";
inline constexpr int kCatalogVersion = 1;

struct Catalog {
  std::string type;   // fingerprint type string
  std::string idTag;  // "" when ids are titles
  std::vector<KvShardInfo> shards;

  std::uint64_t NumRecords() const { return shards.empty() ? 0 : shards.back().firstIndex + shards.back().records; }
};

// Whether `name` may name a shard: a plain file name (no separator, not "."
// or "..", no control character, not empty).
bool IsPlainFileName(const std::string& name);

// Reads the catalog of the open `db` and checks it: the format and version,
// a type string, shards with plain names, at least one record each, molecule
// ranges that follow each other from 0, bit count ranges within the type's
// size (`bitsOfType` 0: unchecked here), checksums of 64 hex digits. A Corrupt
// status names what is wrong.
KvSystem::KvStatus ReadCatalog(Sqlite& db, Catalog& catalog);

// Whether the open `db` holds a catalog already (its meta table).
bool HasCatalog(Sqlite& db);

// Creates the tables and the meta rows. REQUIRES: inside a transaction.
KvSystem::KvStatus CreateCatalog(Sqlite& db, const std::string& type, const std::string& idTag);

// Adds `shard` at `position`. REQUIRES: inside a transaction.
KvSystem::KvStatus InsertShard(Sqlite& db, const KvShardInfo& shard, std::int64_t position);

// Inserts molecule rows: Prepare once, then Add per molecule.
class MoleculeRows {
 public:
  KvSystem::KvStatus Prepare(Sqlite& db);
  KvSystem::KvStatus Add(std::uint64_t index, const std::string& id, const std::string& smiles, bool failed);

 private:
  SqliteStatement insert_;
};

}  // namespace Varnex
