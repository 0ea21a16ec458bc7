// The outcome of an operation, as a value.
//
// Inside the library, layers return a KvStatus instead of reporting through
// KvThrow() and a bool: the caller decides what the failure means. The public
// API turns a status into the documented message and neutral value in one
// place; the command line maps its code to an exit status and the Python
// package to an exception class. A status is a small value: copy it freely.
//
// Thread safety: a KvStatus is a plain value; distinct objects may be used
// from any threads.
#pragma once

#include <string>
#include <utility>

namespace KvSystem {

// What went wrong, coarse enough to choose a reaction by.
enum class KvStatusCode : int {
  Ok = 0,
  InvalidArgument,   // a value outside its meaning (Python ValueError, command line exit 2)
  WrongType,         // an argument of the wrong kind (Python TypeError)
  NotFound,          // no such file or folder (FileNotFoundError)
  PermissionDenied,  // (PermissionError)
  IsADirectory,      // a folder where a file was expected (IsADirectoryError)
  IoError,           // any other failure of the operating system; errno tells which (OSError)
  Corrupt,           // stored data that contradicts itself or its catalog
  OutOfMemory,       // (MemoryError)
  Cancelled,         // stopped through the cancel flag (KeyboardInterrupt)
  Busy,              // another writer holds what this call needs
  Unsupported,       // a request the object cannot answer
};

// The text of a code, for logs and tests ("ok", "invalid argument", ...).
const char* KvStatusCodeName(KvStatusCode code);

class [[nodiscard]] KvStatus {
 public:
  // Success.
  KvStatus() = default;
  KvStatus(KvStatusCode code, std::string message, int osError = 0)
      : code_(code), osError_(osError), message_(std::move(message)) {}

  static KvStatus Ok() { return {}; }
  // A failure of the operating system: the code follows from `osError`
  // (ENOENT -> NotFound, EACCES/EPERM -> PermissionDenied, EISDIR ->
  // IsADirectory, ENOMEM -> OutOfMemory, anything else -> IoError).
  static KvStatus FromErrno(int osError, std::string message);

  bool IsOk() const { return code_ == KvStatusCode::Ok; }
  explicit operator bool() const { return IsOk(); }
  KvStatusCode Code() const { return code_; }
  // The operating system's error number, 0 when the failure has none.
  int OsError() const { return osError_; }
  // One line naming what failed and why; empty on success.
  const std::string& Message() const { return message_; }
  // The same failure told in other words (a caller's context added, say).
  KvStatus WithMessage(std::string message) const { return KvStatus(code_, std::move(message), osError_); }

 private:
  KvStatusCode code_ = KvStatusCode::Ok;
  int osError_ = 0;
  std::string message_;
};

}  // namespace KvSystem
