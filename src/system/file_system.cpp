// The POSIX file system, and the switch tests use to put another one in its
// place.

#include "kvsystem/file_system.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <limits>

namespace KvSystem {
namespace {

KvStatus Describe(const char* action, const std::string& path, int code) {
  return KvStatus::FromErrno(code, std::string("cannot ") + action + " " + path + ": " + std::strerror(code));
}

void CloseQuietly(int& handle) {
  if (handle >= 0) ::close(handle);
  handle = -1;
}

class PosixMappedRegion final : public KvMappedRegion {
 public:
  PosixMappedRegion(void* view, std::size_t length) : view_(view), length_(length) {}
  ~PosixMappedRegion() override { ::munmap(view_, length_); }
  void* Data() const override { return view_; }
  std::uint64_t Size() const override { return length_; }

 private:
  void* view_;
  std::size_t length_;
};

// Maps the first `size` bytes of the open file `handle`. The mapping keeps
// the file alive, so the descriptor may be closed afterwards.
std::unique_ptr<KvMappedRegion> MapHandle(int handle, const std::string& path, std::uint64_t size, int protection,
                                          KvStatus& error) {
  if (size == 0 || size > std::numeric_limits<std::size_t>::max()) {
    error = Describe("map", path, EINVAL);
    return nullptr;
  }
  void* view = ::mmap(nullptr, static_cast<std::size_t>(size), protection, MAP_SHARED, handle, 0);
  if (view == MAP_FAILED) {
    error = Describe("map", path, errno);
    return nullptr;
  }
  return std::make_unique<PosixMappedRegion>(view, static_cast<std::size_t>(size));
}

class PosixWritableFile final : public KvWritableFile {
 public:
  PosixWritableFile(std::string path, int handle) : path_(std::move(path)), handle_(handle) {}
  ~PosixWritableFile() override { CloseQuietly(handle_); }

  bool Reserve(std::uint64_t size, KvStatus& error) override {
    if (size > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
      error = Describe("size", path_, EFBIG);
      return false;
    }
    if (::ftruncate(handle_, static_cast<off_t>(size)) != 0) {
      error = Describe("size", path_, errno);
      return false;
    }
    // File systems without block reservation keep the sparse file.
    const int rc = ::posix_fallocate(handle_, 0, static_cast<off_t>(size));
    if (rc == ENOSPC || rc == EFBIG || rc == EIO) {
      error = Describe("reserve space for", path_, rc);
      return false;
    }
    return true;
  }

  bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes, KvStatus& error) override {
    while (!bytes.empty()) {
      const ssize_t n = ::pwrite(handle_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error = Describe("write", path_, n < 0 ? errno : EIO);
        return false;
      }
      bytes = bytes.subspan(static_cast<std::size_t>(n));
      offset += static_cast<std::uint64_t>(n);
    }
    return true;
  }

  std::unique_ptr<KvMappedRegion> Map(std::uint64_t size, KvStatus& error) override {
    return MapHandle(handle_, path_, size, PROT_READ | PROT_WRITE, error);
  }

  bool Sync(KvStatus& error) override {
    if (::fsync(handle_) == 0) return true;
    error = Describe("sync", path_, errno);
    return false;
  }

  bool Close(KvStatus& error) override {
    const int handle = handle_;
    handle_ = -1;
    // After a failed close the descriptor is gone on Linux: never retry it.
    if (handle < 0 || ::close(handle) == 0 || errno == EINTR) return true;
    error = Describe("close", path_, errno);
    return false;
  }

 private:
  std::string path_;
  int handle_;
};

class PosixReadableFile final : public KvReadableFile {
 public:
  PosixReadableFile(std::string path, int handle, std::uint64_t size)
      : path_(std::move(path)), handle_(handle), size_(size) {}
  ~PosixReadableFile() override { CloseQuietly(handle_); }

  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count, KvStatus& error) override {
    for (;;) {
      const ssize_t n = ::pread(handle_, buffer, count, static_cast<off_t>(offset));
      if (n >= 0) return static_cast<std::size_t>(n);
      if (errno != EINTR) {
        error = Describe("read", path_, errno);
        return 0;
      }
    }
  }
  std::unique_ptr<KvMappedRegion> Map(std::uint64_t size, KvStatus& error) override {
    // Pages past the end of a file fault on access.
    if (size > size_) {
      error = Describe("map", path_, EINVAL);
      return nullptr;
    }
    return MapHandle(handle_, path_, size, PROT_READ, error);
  }
  std::uint64_t Size() const override { return size_; }

 private:
  std::string path_;
  int handle_;
  std::uint64_t size_;
};

class PosixFileSystem final : public KvFileSystem {
 public:
  std::unique_ptr<KvWritableFile> CreateNew(const std::string& path, KvStatus& error) override {
    const int handle = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (handle < 0) {
      error = Describe("create", path, errno);
      return nullptr;
    }
    return std::make_unique<PosixWritableFile>(path, handle);
  }

  std::unique_ptr<KvReadableFile> OpenForReading(const std::string& path, KvStatus& error) override {
    int handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (handle < 0) {
      error = Describe("open", path, errno);
      return nullptr;
    }
    struct stat info {};
    if (::fstat(handle, &info) != 0 || !S_ISREG(info.st_mode)) {
      error = Describe("read", path, S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
      CloseQuietly(handle);
      return nullptr;
    }
    return std::make_unique<PosixReadableFile>(path, handle, static_cast<std::uint64_t>(info.st_size));
  }

  bool Rename(const std::string& from, const std::string& to, KvStatus& error) override {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    error = KvStatus::FromErrno(errno, std::string("cannot rename ") + from + " to " + to + ": " +
                                                     std::strerror(errno));
    return false;
  }

  bool Remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

  bool SyncDirectory(const std::string& directory, KvStatus& error) override {
    int handle = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0) {
      error = Describe("open", directory, errno);
      return false;
    }
    // Some file systems cannot sync a directory; the rename itself is done.
    const bool ok = ::fsync(handle) == 0 || errno == EINVAL || errno == EROFS;
    if (!ok) error = Describe("sync", directory, errno);
    CloseQuietly(handle);
    return ok;
  }
};

std::atomic<KvFileSystem*> gFileSystem{nullptr};

}  // namespace

KvFileSystem& KvDefaultFileSystem() {
  static PosixFileSystem posix;
  return posix;
}

KvFileSystem& KvGetFileSystem() {
  KvFileSystem* fs = gFileSystem.load(std::memory_order_acquire);
  return fs != nullptr ? *fs : KvDefaultFileSystem();
}

KvFileSystem* KvSetFileSystem(KvFileSystem* fs) {
  KvFileSystem* previous = gFileSystem.exchange(fs, std::memory_order_acq_rel);
  return previous != nullptr ? previous : &KvDefaultFileSystem();
}

std::size_t KvReadableFileStream::ReadSource(void* buffer, std::size_t count) {
  const std::size_t got = file_.ReadAt(offset_, buffer, count, error_);
  if (got == 0 && !error_.IsOk()) SetFail();
  offset_ += got;
  return got;
}

std::size_t KvReadableFileStream::SkipSource(std::size_t count) {
  const std::uint64_t size = file_.Size();
  const std::size_t skipped = offset_ >= size ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(count, size - offset_));
  offset_ += skipped;
  return skipped;
}

}  // namespace KvSystem
