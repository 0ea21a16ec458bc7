// Temporary output files renamed over their target when complete.

#include "kvsystem/temporary_output.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <algorithm>
#include <atomic>

namespace KvSystem {

std::string KvDirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

KvTemporaryOutput::~KvTemporaryOutput() {
  file_.reset();
  if (!path_.empty()) fs_.Remove(path_);
}

namespace {

// The process id in a temporary file name "<target>.tmp-<pid>-<n>", or 0.
pid_t TemporaryOwner(std::string_view name) {
  const std::size_t tag = name.rfind(".tmp-");
  if (tag == std::string_view::npos) return 0;
  const std::string_view rest = name.substr(tag + 5);
  const std::size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size()) return 0;
  if (rest.find_first_not_of("0123456789-") != std::string_view::npos || rest.find('-', dash + 1) != std::string_view::npos)
    return 0;
  const long pid = std::strtol(std::string(rest.substr(0, dash)).c_str(), nullptr, 10);
  return pid > 0 && pid < (1L << 30) ? static_cast<pid_t>(pid) : 0;
}

}  // namespace

void KvRemoveDeadTemporaries(KvFileSystem& fs, const std::string& directory) {
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const pid_t owner = TemporaryOwner(entry->d_name);
    // Only a process that no longer exists cannot finish its file.
    if (owner != 0 && ::kill(owner, 0) != 0 && errno == ESRCH)
      fs.Remove(directory + "/" + entry->d_name);
  }
  ::closedir(dir);
}

bool KvTemporaryOutput::Create(KvStatus& error) {
  KvRemoveDeadTemporaries(fs_, KvDirectoryOf(target_));
  static std::atomic<unsigned> serial{0};
  constexpr std::size_t kLongestStem = 200;
  const std::size_t nameStart = target_.find_last_of('/') + 1;  // npos + 1 == 0
  const std::string stem = target_.substr(0, nameStart + std::min(kLongestStem, target_.size() - nameStart));
  for (int attempt = 0; attempt < 10 && file_ == nullptr; ++attempt) {
    const std::string path = stem + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(serial.fetch_add(1));
    error = {};
    file_ = fs_.CreateNew(path, error);
    if (file_ != nullptr) path_ = path;
  }
  return file_ != nullptr;
}

bool KvTemporaryOutput::Append(std::string_view bytes, KvStatus& error) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  if (!file_->WriteAt(end_, {data, bytes.size()}, error)) return false;
  end_ += bytes.size();
  return true;
}

bool KvTemporaryOutput::Commit(KvStatus& error) {
  if (!file_->Sync(error) || !file_->Close(error)) return false;
  file_.reset();
  if (!fs_.Rename(path_, target_, error)) return false;
  path_.clear();
  // The new file is in place; a directory that cannot be synced leaves the
  // rename to the next sync of the system, not a failure.
  KvStatus ignored;
  fs_.SyncDirectory(KvDirectoryOf(target_), ignored);
  return true;
}

KvStatus KvCannotWrite(const std::string& target, const KvStatus& cause) {
  const int code = cause.OsError() != 0 ? cause.OsError() : EIO;
  return KvStatus::FromErrno(code, "cannot write " + target + ": " + std::strerror(code));
}

KvStatus KvWriteWholeFile(const std::string& path, std::string_view bytes) {
  KvTemporaryOutput output(KvGetFileSystem(), path);
  KvStatus error;
  if (output.Create(error) && output.Append(bytes, error) && output.Commit(error)) return {};
  return KvCannotWrite(path, error);
}

}  // namespace KvSystem
