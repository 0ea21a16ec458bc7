// File access behind a small interface that tests replace to inject faults:
// short and failed writes, a full disk, failed renames, short and failed
// reads, failed mappings.
//
// Every file the library, the command line and the Python package write or
// map goes through the file system in use (KvGetFileSystem): creation writes
// through KvWritableFile, readers read through KvReadableFile, and mapped
// files are views a KvReadableFile or KvWritableFile maps (KvMappedRegion).
//
// Thread safety: the file system may be used from any thread, but
// KvSetFileSystem must not race with a use. A file object is used by one
// thread at a time; a mapped region may be read by any number of threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "kvsystem/status.h"
#include "kvsystem/streams.h"

namespace KvSystem {

// A view of a file's first bytes in memory; the destructor unmaps it. The
// view keeps the file alive after the file object that mapped it is gone.
class KvMappedRegion {
 public:
  virtual ~KvMappedRegion() = default;
  // The first byte of the view. Writable only when a KvWritableFile mapped it.
  virtual void* Data() const = 0;
  // The view's length in bytes.
  virtual std::uint64_t Size() const = 0;
};

// A file written at explicit offsets. Failures set `error` to a status with
// the system's error number and a text naming the file and the cause
// ("cannot write <path>: No space left on device").
class KvWritableFile {
 public:
  virtual ~KvWritableFile() = default;
  // Sizes the file to `size` bytes (zeros) and claims its disk space, so a
  // full disk shows here and not in the middle of the work.
  virtual bool Reserve(std::uint64_t size, KvStatus& error) = 0;
  // Writes all of `bytes` at `offset`; a write that stops short is retried,
  // one that cannot go on is an error.
  virtual bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes, KvStatus& error) = 0;
  // Maps the first `size` bytes writable and shared, so that stores land in
  // the file; null with `error` when it cannot. The caller owns the region.
  // REQUIRES: Reserve(n) succeeded with n >= size.
  virtual std::unique_ptr<KvMappedRegion> Map(std::uint64_t size, KvStatus& error) = 0;
  // Puts the written data on stable storage.
  virtual bool Sync(KvStatus& error) = 0;
  // Releases the file; an error reported by the system at closing counts.
  virtual bool Close(KvStatus& error) = 0;
};

// A file read at explicit offsets.
class KvReadableFile {
 public:
  virtual ~KvReadableFile() = default;
  // Reads up to `count` bytes at `offset` into `buffer` and returns how many
  // it read: fewer only at the end of the file or on an error (then with
  // `error` set), and possibly fewer than asked for at any time.
  virtual std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count, KvStatus& error) = 0;
  // Maps the first `size` bytes read-only; null with `error` when it cannot
  // (`size` 0 or beyond the end of the file included: pages past the end
  // would fault on access). The caller owns the region.
  virtual std::unique_ptr<KvMappedRegion> Map(std::uint64_t size, KvStatus& error) = 0;
  // The file's size in bytes when it was opened.
  virtual std::uint64_t Size() const = 0;
};

class KvFileSystem {
 public:
  virtual ~KvFileSystem() = default;
  // Creates `path` for reading and writing, which must not exist yet; null
  // with `error` otherwise. The caller owns the file.
  virtual std::unique_ptr<KvWritableFile> CreateNew(const std::string& path, KvStatus& error) = 0;
  // Opens the regular file `path` for reading; null with `error` otherwise
  // (a folder: IsADirectory; another kind of file: EINVAL). The caller owns
  // the file.
  virtual std::unique_ptr<KvReadableFile> OpenForReading(const std::string& path, KvStatus& error) = 0;
  // Replaces `to` by `from` in one step: readers of the old `to` keep it.
  virtual bool Rename(const std::string& from, const std::string& to, KvStatus& error) = 0;
  // Removes `path` (a symbolic link itself, never what it points to); false
  // when it could not.
  virtual bool Remove(const std::string& path) = 0;
  // Puts the entries of `directory` (a finished rename) on stable storage.
  virtual bool SyncDirectory(const std::string& directory, KvStatus& error) = 0;
};

// The POSIX file system.
KvFileSystem& KvDefaultFileSystem();
// The file system in use (the POSIX one unless a test replaced it).
KvFileSystem& KvGetFileSystem();
// Makes `fs` the file system in use (null: the POSIX one again) and returns
// the one used before. `fs` is not owned and must outlive its use.
KvFileSystem* KvSetFileSystem(KvFileSystem* fs);

// A stream over a KvReadableFile from offset 0. Does not own the file.
class KvReadableFileStream final : public kvistream {
 public:
  explicit KvReadableFileStream(KvReadableFile& file) : file_(file) {}
  // The cause of the last failed read (Ok when none).
  const KvStatus& Error() const { return error_; }

 protected:
  std::size_t ReadSource(void* buffer, std::size_t count) override;
  std::size_t SkipSource(std::size_t count) override;
  std::uint64_t SourceSize() const override { return file_.Size(); }

 private:
  KvReadableFile& file_;
  std::uint64_t offset_ = 0;
  KvStatus error_;
};

}  // namespace KvSystem
