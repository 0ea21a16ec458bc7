// Temporary output files renamed over their target when complete.

#include "fastdb/storage/temporary_output.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include <algorithm>
#include <atomic>

#include "kvsystem/strings.h"
#include "varnex/fpbin.h"

namespace Varnex {

std::string KvDirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The system's extension function folds case, so the file name's own last
// letters are compared as well.
bool KvHasFastDatabaseExtension(const std::string& path) {
  static constexpr std::string_view kExtension = "fpbin";
  return KvSystem::KvFileExtension(path) == kExtension && path.ends_with(kExtension);
}

std::string KvHeaderSafeMolFilename(const std::string& molPath, const KvFPTypeBase* type, std::uint64_t count) {
  // "LE", the name, the type string and the count, each with its line feed.
  const std::size_t others = 3 + type->GetFPTypeString().size() + 1 + std::to_string(count).size() + 1;
  const std::size_t budget = KvFastFPHeaderTextSize - others - 1;
  if (molPath.find_first_of("\n\r") == std::string::npos && molPath.size() <= budget) return molPath;
  std::string name = molPath.substr(molPath.find_last_of('/') + 1);  // npos + 1 == 0
  for (char& c : name)
    if (c == '\n' || c == '\r') c = '?';
  if (name.size() > budget) {
    std::size_t cut = budget;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return name;
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

bool KvTemporaryOutput::Create(KvSystem::KvStatus& error) {
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

bool KvTemporaryOutput::Commit(KvSystem::KvStatus& error) {
  if (!file_->Sync(error) || !file_->Close(error)) return false;
  file_.reset();
  if (!fs_.Rename(path_, target_, error)) return false;
  path_.clear();
  // The new file is in place; a directory that cannot be synced leaves the
  // rename to the next sync of the system, not a failure.
  KvSystem::KvStatus ignored;
  fs_.SyncDirectory(KvDirectoryOf(target_), ignored);
  return true;
}

}  // namespace Varnex
