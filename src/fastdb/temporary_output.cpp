// Temporary output files renamed over their target when complete.

#include "fastdb/temporary_output.h"

#include <unistd.h>

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

bool KvTemporaryOutput::Create(KvSystem::KvStatus& error) {
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
