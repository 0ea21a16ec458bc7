// Library failures as Python exceptions, translated in one place from the
// status code: NotFound -> FileNotFoundError, PermissionDenied ->
// PermissionError, IsADirectory -> IsADirectoryError, IoError -> OSError with
// its errno, WrongType -> TypeError, OutOfMemory -> MemoryError, Cancelled ->
// KeyboardInterrupt, anything else -> ValueError; the message is the status's.
// Binding code throws StatusError (or calls ThrowStatus); the translator
// registered at import turns it into the Python exception.
#pragma once

#include <exception>
#include <string>

#include "kvsystem/status.h"

namespace VarnexPy {

class StatusError : public std::exception {
 public:
  explicit StatusError(KvSystem::KvStatus status) : status_(std::move(status)) {}
  const KvSystem::KvStatus& Status() const { return status_; }
  const char* what() const noexcept override { return status_.Message().c_str(); }

 private:
  KvSystem::KvStatus status_;
};

// Throws StatusError(status). REQUIRES: !status.IsOk().
[[noreturn]] void ThrowStatus(const KvSystem::KvStatus& status);
// Throws a StatusError of `code` with `message`.
[[noreturn]] void ThrowStatus(KvSystem::KvStatusCode code, const std::string& message);

// Sets the Python error of `status` (the translation above).
void SetPythonError(const KvSystem::KvStatus& status);

// Registers the StatusError translator with pybind11. Call once, at import.
void RegisterStatusTranslator();

}  // namespace VarnexPy
