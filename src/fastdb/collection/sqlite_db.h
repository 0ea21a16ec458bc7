// A thin RAII layer over the SQLite C API: a connection and its prepared
// statements, with failures as KvStatus values naming the database file.
//
// Thread safety: a connection and its statements are used by one thread at
// a time (SQLite's multi-thread mode); distinct connections are independent.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "kvsystem/status.h"

struct sqlite3;
struct sqlite3_stmt;

namespace Varnex {

class SqliteStatement;

class Sqlite {
 public:
  enum class Mode { ReadOnly, ReadWrite, Create };

  Sqlite() = default;
  ~Sqlite();
  Sqlite(Sqlite&& other) noexcept;
  Sqlite& operator=(Sqlite&& other) noexcept;
  Sqlite(const Sqlite&) = delete;
  Sqlite& operator=(const Sqlite&) = delete;

  // Opens the database file `path` (no URI names, no shared cache). Create
  // makes the file when it does not exist. Waits at most `busyMillis` for a
  // lock another connection holds.
  KvSystem::KvStatus Open(const std::string& path, Mode mode, int busyMillis);
  bool IsOpen() const { return db_ != nullptr; }
  // Runs one or more statements without results.
  KvSystem::KvStatus Exec(const std::string& sql);
  // Prepares one statement; `statement` is valid while this connection is.
  KvSystem::KvStatus Prepare(const std::string& sql, SqliteStatement& statement);
  const std::string& Path() const { return path_; }
  // A status for the connection's last error, prefixed by `action`.
  KvSystem::KvStatus Failure(const std::string& action, int code) const;

 private:
  sqlite3* db_ = nullptr;
  std::string path_;
};

// A prepared statement. Step() walks the rows; parameters are numbered from 1
// and columns from 0.
class SqliteStatement {
 public:
  SqliteStatement() = default;
  ~SqliteStatement();
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  void Bind(int index, std::int64_t value);
  void Bind(int index, std::string_view text);
  // Advances to the next row: true with a row, false at the end or on an
  // error (then `error` is set).
  bool Step(KvSystem::KvStatus& error);
  // Runs a statement without rows.
  KvSystem::KvStatus Run();
  // Ready for new bindings and steps.
  void Reset();
  std::int64_t Int(int column) const;
  std::string Text(int column) const;
  bool IsNull(int column) const;

 private:
  friend class Sqlite;
  const Sqlite* owner_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace Varnex
