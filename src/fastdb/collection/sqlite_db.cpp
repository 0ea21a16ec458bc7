// The RAII layer over SQLite.

#include "fastdb/collection/sqlite_db.h"

#include <sqlite3.h>

#include <utility>

namespace Varnex {

Sqlite::~Sqlite() {
  if (db_ != nullptr) sqlite3_close_v2(db_);
}

Sqlite::Sqlite(Sqlite&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), path_(std::move(other.path_)) {}

Sqlite& Sqlite::operator=(Sqlite&& other) noexcept {
  if (this != &other) {
    if (db_ != nullptr) sqlite3_close_v2(db_);
    db_ = std::exchange(other.db_, nullptr);
    path_ = std::move(other.path_);
  }
  return *this;
}

KvSystem::KvStatus Sqlite::Failure(const std::string& action, int code) const {
  using KvSystem::KvStatusCode;
  const char* text = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
  KvStatusCode status = KvStatusCode::IoError;
  switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: status = KvStatusCode::Busy; break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_SCHEMA:
    case SQLITE_MISMATCH:
    case SQLITE_CONSTRAINT: status = KvStatusCode::Corrupt; break;
    case SQLITE_NOMEM: status = KvStatusCode::OutOfMemory; break;
    case SQLITE_PERM:
    case SQLITE_READONLY: status = KvStatusCode::PermissionDenied; break;
    case SQLITE_CANTOPEN: status = KvStatusCode::NotFound; break;
    default: break;
  }
  return KvSystem::KvStatus(status, "cannot " + action + " " + path_ + ": " + text);
}

KvSystem::KvStatus Sqlite::Open(const std::string& path, Mode mode, int busyMillis) {
  if (db_ != nullptr) sqlite3_close_v2(std::exchange(db_, nullptr));
  path_ = path;
  int flags = SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_PRIVATECACHE;
  flags |= mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
  if (mode == Mode::Create) flags |= SQLITE_OPEN_CREATE;
  const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    KvSystem::KvStatus error = Failure("open", rc);
    sqlite3_close_v2(std::exchange(db_, nullptr));
    return error;
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, busyMillis);
  return {};
}

KvSystem::KvStatus Sqlite::Exec(const std::string& sql) {
  const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
  return rc == SQLITE_OK ? KvSystem::KvStatus() : Failure("update", rc);
}

KvSystem::KvStatus Sqlite::Prepare(const std::string& sql, SqliteStatement& statement) {
  if (statement.stmt_ != nullptr) sqlite3_finalize(std::exchange(statement.stmt_, nullptr));
  statement.owner_ = this;
  const int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &statement.stmt_, nullptr);
  return rc == SQLITE_OK ? KvSystem::KvStatus() : Failure("read", rc);
}

SqliteStatement::~SqliteStatement() {
  if (stmt_ != nullptr) sqlite3_finalize(stmt_);
}

void SqliteStatement::Bind(int index, std::int64_t value) { sqlite3_bind_int64(stmt_, index, value); }

void SqliteStatement::Bind(int index, std::string_view text) {
  sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

bool SqliteStatement::Step(KvSystem::KvStatus& error) {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc != SQLITE_DONE) error = owner_->Failure("read", rc);
  return false;
}

KvSystem::KvStatus SqliteStatement::Run() {
  const int rc = sqlite3_step(stmt_);
  KvSystem::KvStatus error;
  if (rc != SQLITE_DONE && rc != SQLITE_ROW) error = owner_->Failure("update", rc);
  sqlite3_reset(stmt_);
  return error;
}

void SqliteStatement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

std::int64_t SqliteStatement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string SqliteStatement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  return text == nullptr ? std::string() : std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
}

bool SqliteStatement::IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

}  // namespace Varnex
