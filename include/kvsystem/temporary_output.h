// Output files that appear whole or not at all: written under a temporary
// name next to the target and renamed over it only when complete. The one
// writer of every output file of the library, the command line and the
// Python package.
//
// Thread safety: a KvTemporaryOutput belongs to one thread at a time;
// distinct ones (even for one target) may be used from any threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "kvsystem/file_system.h"
#include "kvsystem/status.h"

namespace KvSystem {

// The folder part of `path` ("." when it has none).
std::string KvDirectoryOf(const std::string& path);

// Removes the temporary files "<name>.tmp-<pid>-<n>" in `directory` whose
// process has ended (killed, say) without renaming or removing them.
void KvRemoveDeadTemporaries(KvFileSystem& fs, const std::string& directory);

// The temporary output file: created next to the target, removed on
// destruction unless Commit() renamed it over the target. Not copyable.
class KvTemporaryOutput {
 public:
  // `fs` is not owned and must outlive the object.
  KvTemporaryOutput(KvFileSystem& fs, std::string target) : fs_(fs), target_(std::move(target)) {}
  ~KvTemporaryOutput();
  KvTemporaryOutput(const KvTemporaryOutput&) = delete;
  KvTemporaryOutput& operator=(const KvTemporaryOutput&) = delete;

  // Creates "<target>.tmp-<pid>-<n>" with the first n that is free (a
  // process of the same id may have died and left one), after removing the
  // temporary files dead processes left in that folder. A very long file
  // name is shortened, so that the suffix still fits.
  bool Create(KvStatus& error);
  // REQUIRES: Create() succeeded and Commit() was not called.
  KvWritableFile& File() { return *file_; }
  const std::string& Target() const { return target_; }
  // Writes `bytes` after those Append wrote before (from offset 0).
  // REQUIRES: as for File().
  bool Append(std::string_view bytes, KvStatus& error);
  // Syncs and closes the file, renames it over the target and syncs the
  // directory that holds both.
  bool Commit(KvStatus& error);

 private:
  KvFileSystem& fs_;
  std::string target_;
  std::string path_;
  std::unique_ptr<KvWritableFile> file_;
  std::uint64_t end_ = 0;  // where the next Append writes
};

// The failure `cause` of writing `target` told as the user sees it: "cannot
// write <target>: <the system's reason>", whatever temporary file it hit.
KvStatus KvCannotWrite(const std::string& target, const KvStatus& cause);

// Writes `bytes` to `path` whole or not at all through the file system in
// use; on failure `path` keeps what it had, no temporary file is left and
// the status is KvCannotWrite's.
KvStatus KvWriteWholeFile(const std::string& path, std::string_view bytes);

}  // namespace KvSystem
