// Memory-mapped input and output files on POSIX open/mmap.
//
// The file descriptor is closed as soon as the view exists: the mapping keeps
// the file alive, and a database object then holds no descriptor.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits>
#include <utility>

#include "kvsystem/error.h"
#include "varnex/fpbin.h"
#include "system/messages.h"

namespace Varnex {
namespace {

void CloseHandle(int& handle) {
  // After a failed close the descriptor is gone on Linux (EINTR included):
  // a retry could close a descriptor another thread has just been given.
  if (handle >= 0) ::close(handle);
  handle = -1;
}

// A byte length that mmap can take on this platform.
bool FitsSizeT(std::uint64_t size) { return size <= std::numeric_limits<std::size_t>::max(); }

// Claims the disk blocks of a freshly sized file, so that a full disk shows
// up here as an error and not later as a fault on a store through the view.
// File systems without block reservation keep the sparse file.
bool ReserveSpace(int handle, std::uint64_t size) {
  const int rc = ::posix_fallocate(handle, 0, static_cast<off_t>(size));
  return rc == 0 || (rc != ENOSPC && rc != EFBIG);
}

}  // namespace

// ---- MMapInputFile

MMapInputFile::MMapInputFile(MMapInputFile&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)),
      length_(std::exchange(other.length_, 0)),
      view_(std::exchange(other.view_, nullptr)) {}

MMapInputFile& MMapInputFile::operator=(MMapInputFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
    length_ = std::exchange(other.length_, 0);
    view_ = std::exchange(other.view_, nullptr);
  }
  return *this;
}

bool MMapInputFile::Open(const std::string& path, std::uint64_t size) {
  Close();
  length_ = size;
  handle_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (handle_ < 0) {
    KvSystem::KvThrow()->Error(Msg::kMapOpen, path.c_str());
    length_ = 0;
    return false;
  }
  // Pages past the end of a file fault on access, so a view longer than the
  // file is refused here rather than crashing a reader later.
  struct stat info {};
  if (size == 0 || !FitsSizeT(size) || ::fstat(handle_, &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::uint64_t>(info.st_size) < size) {
    KvSystem::KvThrow()->Error(Msg::kMapMapping);
    CloseHandle(handle_);
    length_ = 0;
    return false;
  }
  void* view = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_SHARED, handle_, 0);
  CloseHandle(handle_);
  if (view == MAP_FAILED) {
    KvSystem::KvThrow()->Error(Msg::kMapView);
    length_ = 0;
    return false;
  }
  view_ = view;
  return true;
}

void MMapInputFile::Close() {
  if (view_ != nullptr && length_ > 0) ::munmap(const_cast<void*>(view_), static_cast<std::size_t>(length_));
  view_ = nullptr;
  length_ = 0;
  CloseHandle(handle_);
}

// ---- MMapOutputFile

MMapOutputFile::MMapOutputFile(MMapOutputFile&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)),
      length_(std::exchange(other.length_, 0)),
      view_(std::exchange(other.view_, nullptr)) {}

MMapOutputFile& MMapOutputFile::operator=(MMapOutputFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
    length_ = std::exchange(other.length_, 0);
    view_ = std::exchange(other.view_, nullptr);
  }
  return *this;
}

bool MMapOutputFile::Open(const std::string& path, std::uint64_t size) {
  Close();
  length_ = size;
  // Truncating a file that some reader has mapped would make its next access
  // fault; a fresh file at the same path leaves such readers the old bytes.
  // A symbolic link is replaced too, never the file it points to.
  struct stat existing {};
  if (::lstat(path.c_str(), &existing) == 0 && !S_ISDIR(existing.st_mode)) ::unlink(path.c_str());
  handle_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (handle_ < 0) {
    KvSystem::KvThrow()->Error(Msg::kMapCreate, path.c_str());
    length_ = 0;
    return false;
  }
  // Sizing the file is the POSIX half of creating a mapping of that size.
  if (size == 0 || !FitsSizeT(size) || size > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) ||
      ::ftruncate(handle_, static_cast<off_t>(size)) != 0 || !ReserveSpace(handle_, size)) {
    KvSystem::KvThrow()->Error(Msg::kMapMapping);
    CloseHandle(handle_);
    length_ = 0;
    return false;
  }
  void* view = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED, handle_, 0);
  CloseHandle(handle_);
  if (view == MAP_FAILED) {
    KvSystem::KvThrow()->Error(Msg::kMapView);
    length_ = 0;
    return false;
  }
  view_ = view;
  return true;
}

void MMapOutputFile::Close() {
  if (view_ != nullptr && length_ > 0) ::munmap(view_, static_cast<std::size_t>(length_));
  view_ = nullptr;
  length_ = 0;
  CloseHandle(handle_);
}

}  // namespace Varnex
