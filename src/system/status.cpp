#include "kvsystem/status.h"

#include <cerrno>

namespace KvSystem {

const char* KvStatusCodeName(KvStatusCode code) {
  switch (code) {
    case KvStatusCode::Ok: return "ok";
    case KvStatusCode::InvalidArgument: return "invalid argument";
    case KvStatusCode::WrongType: return "wrong type";
    case KvStatusCode::NotFound: return "not found";
    case KvStatusCode::PermissionDenied: return "permission denied";
    case KvStatusCode::IsADirectory: return "is a directory";
    case KvStatusCode::IoError: return "input/output error";
    case KvStatusCode::Corrupt: return "corrupt";
    case KvStatusCode::OutOfMemory: return "out of memory";
    case KvStatusCode::Cancelled: return "cancelled";
    case KvStatusCode::Busy: return "busy";
    case KvStatusCode::Unsupported: return "unsupported";
  }
  return "unknown";
}

KvStatus KvStatus::FromErrno(int osError, std::string message) {
  KvStatusCode code = KvStatusCode::IoError;
  switch (osError) {
    case ENOENT: code = KvStatusCode::NotFound; break;
    case EACCES:
    case EPERM: code = KvStatusCode::PermissionDenied; break;
    case EISDIR: code = KvStatusCode::IsADirectory; break;
    case ENOMEM: code = KvStatusCode::OutOfMemory; break;
    default: break;
  }
  return KvStatus(code, std::move(message), osError);
}

}  // namespace KvSystem
