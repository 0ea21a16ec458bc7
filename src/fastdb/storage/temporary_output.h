// Output files that appear whole or not at all: written under a temporary
// name next to the target and renamed over it only when complete.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "fastdb/storage/file_system.h"
#include "varnex/fptypes.h"

namespace Varnex {

// The folder part of `path` ("." when it has none).
std::string KvDirectoryOf(const std::string& path);

// Whether `path` ends in ".fpbin" exactly (case-sensitive).
bool KvHasFastDatabaseExtension(const std::string& path);

// The molecule file name as a header of `count` records of `type` can hold
// it: the path unchanged when it has no line break and fits the header text;
// otherwise its base name with line breaks as '?', cut (at a UTF-8 character
// boundary) to what fits.
std::string KvHeaderSafeMolFilename(const std::string& molPath, const KvFPTypeBase* type, std::uint64_t count);

// Removes the temporary files "<name>.tmp-<pid>-<n>" in `directory` whose
// process has ended (killed, say) without renaming or removing them.
void KvRemoveDeadTemporaries(KvFileSystem& fs, const std::string& directory);

// The temporary output file: created next to the target, removed on
// destruction unless Commit() renamed it over the target.
class KvTemporaryOutput {
 public:
  KvTemporaryOutput(KvFileSystem& fs, std::string target) : fs_(fs), target_(std::move(target)) {}
  ~KvTemporaryOutput();
  KvTemporaryOutput(const KvTemporaryOutput&) = delete;
  KvTemporaryOutput& operator=(const KvTemporaryOutput&) = delete;

  // Creates "<target>.tmp-<pid>-<n>" with the first n that is free (a
  // process of the same id may have died and left one), after removing the
  // temporary files dead processes left in that folder. A very long file
  // name is shortened, so that the suffix still fits.
  bool Create(KvSystem::KvStatus& error);
  // REQUIRES: Create() succeeded and Commit() was not called.
  KvWritableFile& File() { return *file_; }
  const std::string& Target() const { return target_; }
  // Syncs and closes the file, renames it over the target and syncs the
  // directory that holds both.
  bool Commit(KvSystem::KvStatus& error);

 private:
  KvFileSystem& fs_;
  std::string target_;
  std::string path_;
  std::unique_ptr<KvWritableFile> file_;
};

}  // namespace Varnex
