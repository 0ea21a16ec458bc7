// Reading, checking and writing the rows of a collection's catalog.

#include "fastdb/collection/catalog.h"

#include <algorithm>

namespace Varnex {
namespace {

using KvSystem::KvStatus;
using KvSystem::KvStatusCode;

KvStatus Invalid(const Sqlite& db, const std::string& what) {
  return KvStatus(KvStatusCode::Corrupt, "invalid collection catalog " + db.Path() + ": " + what);
}

bool IsHexDigest(const std::string& text) {
  return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

bool IsPlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return std::none_of(name.begin(), name.end(),
                      [](char c) { return c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20; });
}

bool HasCatalog(Sqlite& db) {
  SqliteStatement query;
  KvStatus error;
  return db.Prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'meta'", query).IsOk() &&
         query.Step(error);
}

KvStatus ReadCatalog(Sqlite& db, Catalog& catalog) {
  catalog = {};
  SqliteStatement meta;
  KvStatus error = db.Prepare("SELECT key, value FROM meta", meta);
  if (!error.IsOk()) return Invalid(db, "no catalog tables (" + error.Message() + ")");
  std::string format, version;
  bool hasType = false;
  while (meta.Step(error)) {
    const std::string key = meta.Text(0);
    if (key == "format") format = meta.Text(1);
    if (key == "version") version = meta.Text(1);
    if (key == "type") catalog.type = meta.Text(1), hasType = true;
    if (key == "idtag") catalog.idTag = meta.Text(1);
  }
  if (!error.IsOk()) return error;
  if (format != kCatalogFormat) return Invalid(db, "not a varnex collection");
  if (version != std::to_string(kCatalogVersion)) return Invalid(db, "unknown version '" + version + "'");
  if (!hasType || catalog.type.empty()) return Invalid(db, "no fingerprint type");

  SqliteStatement shards;
  error = db.Prepare(
      "SELECT file, first, records, min_bits, max_bits, molecules, bytes, sha256, ends_sha256 FROM shards "
      "ORDER BY position",
      shards);
  if (!error.IsOk()) return Invalid(db, "no shard table (" + error.Message() + ")");
  std::uint64_t next = 0;
  while (shards.Step(error)) {
    KvShardInfo s;
    s.file = shards.Text(0);
    const std::int64_t first = shards.Int(1), records = shards.Int(2), minBits = shards.Int(3), maxBits = shards.Int(4),
                       bytes = shards.Int(6);
    s.molFile = shards.Text(5);
    s.sha256 = shards.Text(7);
    s.endsSha256 = shards.Text(8);
    const std::string which = "shard " + std::to_string(catalog.shards.size()) + " (" + s.file + ")";
    if (!IsPlainFileName(s.file)) return Invalid(db, which + " is not a plain file name in the catalog's folder");
    if (first < 0 || records <= 0 || minBits < 0 || maxBits < minBits || bytes <= 0)
      return Invalid(db, which + " has negative or empty counts");
    if (static_cast<std::uint64_t>(first) != next)
      return Invalid(db, which + " starts at molecule " + std::to_string(first) + ", not " + std::to_string(next));
    if (!IsHexDigest(s.sha256) || !IsHexDigest(s.endsSha256)) return Invalid(db, which + " has no valid checksum");
    s.firstIndex = static_cast<std::uint64_t>(first);
    s.records = static_cast<std::uint64_t>(records);
    s.minBits = static_cast<std::uint64_t>(minBits);
    s.maxBits = static_cast<std::uint64_t>(maxBits);
    s.bytes = static_cast<std::uint64_t>(bytes);
    next = s.firstIndex + s.records;
    catalog.shards.push_back(std::move(s));
  }
  if (!error.IsOk()) return error;
  if (catalog.shards.empty()) return Invalid(db, "no shards");
  return {};
}

KvStatus CreateCatalog(Sqlite& db, const std::string& type, const std::string& idTag) {
  KvStatus error = db.Exec(
      "CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
      "CREATE TABLE shards(position INTEGER PRIMARY KEY, file TEXT NOT NULL UNIQUE, first INTEGER NOT NULL, "
      "records INTEGER NOT NULL, min_bits INTEGER NOT NULL, max_bits INTEGER NOT NULL, molecules TEXT NOT NULL, "
      "bytes INTEGER NOT NULL, sha256 TEXT NOT NULL, ends_sha256 TEXT NOT NULL);"
      "CREATE TABLE molecules(idx INTEGER PRIMARY KEY, id TEXT NOT NULL, smiles TEXT NOT NULL, "
      "failed INTEGER NOT NULL DEFAULT 0);");
  if (!error.IsOk()) return error;
  SqliteStatement insert;
  if (!(error = db.Prepare("INSERT INTO meta(key, value) VALUES(?, ?)", insert)).IsOk()) return error;
  const std::pair<const char*, std::string> rows[] = {
      {"format", kCatalogFormat}, {"version", std::to_string(kCatalogVersion)}, {"type", type}, {"idtag", idTag}};
  for (const auto& [key, value] : rows) {
    insert.Bind(1, key);
    insert.Bind(2, value);
    if (!(error = insert.Run()).IsOk()) return error;
  }
  return {};
}

KvStatus InsertShard(Sqlite& db, const KvShardInfo& s, std::int64_t position) {
  SqliteStatement insert;
  KvStatus error = db.Prepare(
      "INSERT INTO shards(position, file, first, records, min_bits, max_bits, molecules, bytes, sha256, ends_sha256) "
      "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
      insert);
  if (!error.IsOk()) return error;
  insert.Bind(1, position);
  insert.Bind(2, s.file);
  insert.Bind(3, static_cast<std::int64_t>(s.firstIndex));
  insert.Bind(4, static_cast<std::int64_t>(s.records));
  insert.Bind(5, static_cast<std::int64_t>(s.minBits));
  insert.Bind(6, static_cast<std::int64_t>(s.maxBits));
  insert.Bind(7, s.molFile);
  insert.Bind(8, static_cast<std::int64_t>(s.bytes));
  insert.Bind(9, s.sha256);
  insert.Bind(10, s.endsSha256);
  return insert.Run();
}

KvStatus MoleculeRows::Prepare(Sqlite& db) {
  return db.Prepare("INSERT INTO molecules(idx, id, smiles, failed) VALUES(?, ?, ?, ?)", insert_);
}

KvStatus MoleculeRows::Add(std::uint64_t index, const std::string& id, const std::string& smiles, bool failed) {
  insert_.Bind(1, static_cast<std::int64_t>(index));
  insert_.Bind(2, id);
  insert_.Bind(3, smiles);
  insert_.Bind(4, std::int64_t{failed ? 1 : 0});
  return insert_.Run();
}

}  // namespace Varnex
