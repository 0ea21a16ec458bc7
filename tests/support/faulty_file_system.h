// Test helper: the POSIX file system with faults that a test switches on
// (failed creates, reserves, writes, syncs, closes, renames and mappings;
// short, cut and failing reads), installed while it lives.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "kvsystem/file_system.h"
#include "kvsystem/status.h"

namespace VarnexTest {

// The POSIX file system with faults switched on by the test.
class FaultyFileSystem final : public KvSystem::KvFileSystem {
 public:
  // Creation faults.
  bool failCreate = false;
  bool failReserve = false;
  int failWriteNumber = -1;  // this write (0 = the header) stores half its bytes, then fails
  std::string failWriteIn;   // ... in files whose path holds this text only ("": in every file)
  bool failSync = false;
  bool failClose = false;
  bool failRename = false;
  bool failMap = false;  // mappings of readable and writable files fail
  std::function<void()> onWrite;   // runs after every write
  std::function<void()> onRename;  // runs after every rename
  // Reading faults.
  std::size_t readChunk = 0;                   // at most this many bytes per read (0: no limit)
  std::uint64_t readEnd = UINT64_MAX;          // reads stop here as if the file ended
  std::uint64_t readErrorFrom = UINT64_MAX;    // reads from here fail

  FaultyFileSystem() : previous_(KvSystem::KvSetFileSystem(this)) {}
  ~FaultyFileSystem() override { KvSystem::KvSetFileSystem(previous_); }

  std::unique_ptr<KvSystem::KvWritableFile> CreateNew(const std::string& path, KvSystem::KvStatus& error) override {
    if (failCreate) return Fail(error, EACCES, "cannot create " + path), nullptr;
    auto file = posix().CreateNew(path, error);
    return file ? std::make_unique<Writable>(*this, path, std::move(file)) : nullptr;
  }
  std::unique_ptr<KvSystem::KvReadableFile> OpenForReading(const std::string& path,
                                                           KvSystem::KvStatus& error) override {
    auto file = posix().OpenForReading(path, error);
    return file ? std::make_unique<Readable>(*this, path, std::move(file)) : nullptr;
  }
  bool Rename(const std::string& from, const std::string& to, KvSystem::KvStatus& error) override {
    if (failRename) return Fail(error, EBUSY, "cannot rename " + from + " to " + to);
    const bool ok = posix().Rename(from, to, error);
    if (onRename) onRename();
    return ok;
  }
  bool Remove(const std::string& path) override { return posix().Remove(path); }
  bool SyncDirectory(const std::string& directory, KvSystem::KvStatus& error) override {
    return posix().SyncDirectory(directory, error);
  }

 private:
  static KvSystem::KvFileSystem& posix() { return KvSystem::KvDefaultFileSystem(); }
  // Sets the error a failing call of the operating system would give; false.
  static bool Fail(KvSystem::KvStatus& error, int code, const std::string& what) {
    error = KvSystem::KvStatus::FromErrno(code, what + ": " + std::strerror(code));
    return false;
  }

  // A file of the POSIX file system (`File`: writable or readable) whose
  // mappings fail on request.
  template <typename File>
  class Wrapped : public File {
   public:
    Wrapped(FaultyFileSystem& fs, std::string path, std::unique_ptr<File> file)
        : fs_(fs), path_(std::move(path)), file_(std::move(file)) {}
    std::unique_ptr<KvSystem::KvMappedRegion> Map(std::uint64_t size, KvSystem::KvStatus& error) override {
      if (fs_.failMap) return Fail(error, ENOMEM, "cannot map " + path_), nullptr;
      return file_->Map(size, error);
    }

   protected:
    FaultyFileSystem& fs_;
    std::string path_;
    std::unique_ptr<File> file_;
  };

  class Writable final : public Wrapped<KvSystem::KvWritableFile> {
   public:
    using Wrapped::Wrapped;
    bool Reserve(std::uint64_t size, KvSystem::KvStatus& error) override {
      if (fs_.failReserve) return Fail(error, ENOSPC, "cannot reserve space for " + path_);
      return file_->Reserve(size, error);
    }
    bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes, KvSystem::KvStatus& error) override {
      if (writes_++ == fs_.failWriteNumber && path_.find(fs_.failWriteIn) != std::string::npos) {
        file_->WriteAt(offset, bytes.first(bytes.size() / 2), error);
        return Fail(error, ENOSPC, "cannot write " + path_);
      }
      const bool ok = file_->WriteAt(offset, bytes, error);
      if (fs_.onWrite) fs_.onWrite();
      return ok;
    }
    bool Sync(KvSystem::KvStatus& error) override {
      if (fs_.failSync) return Fail(error, EIO, "cannot sync " + path_);
      return file_->Sync(error);
    }
    bool Close(KvSystem::KvStatus& error) override {
      const bool ok = file_->Close(error);
      return fs_.failClose ? Fail(error, EIO, "cannot close " + path_) : ok;
    }

   private:
    int writes_ = 0;
  };

  class Readable final : public Wrapped<KvSystem::KvReadableFile> {
   public:
    using Wrapped::Wrapped;
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count, KvSystem::KvStatus& error) override {
      if (offset >= fs_.readErrorFrom) return Fail(error, EIO, "cannot read"), 0;
      if (offset >= fs_.readEnd) return 0;
      // A read reaching the fault stops short before it, as pread does.
      count = std::min<std::uint64_t>({count, fs_.readEnd - offset, fs_.readErrorFrom - offset});
      if (fs_.readChunk != 0) count = std::min(count, fs_.readChunk);
      return file_->ReadAt(offset, buffer, count, error);
    }
    std::uint64_t Size() const override { return file_->Size(); }
  };

  KvSystem::KvFileSystem* previous_;
};

}  // namespace VarnexTest
