// Memory-mapped input and output files, mapped through the file system in
// use so that a test can fail any step.
//
// The file is closed as soon as the view exists: the mapping keeps it alive,
// and a database object then holds no descriptor.

#include <cerrno>
#include <limits>

#include "kvsystem/error.h"
#include "kvsystem/file_system.h"
#include "system/messages.h"
#include "varnex/fpbin.h"

namespace Varnex {
namespace {

// A byte length that a mapping can take on this platform.
bool FitsSizeT(std::uint64_t size) { return size <= std::numeric_limits<std::size_t>::max(); }

}  // namespace

bool MMapInputFile::Open(const std::string& path, std::uint64_t size) {
  Close();
  KvSystem::KvStatus error;
  const std::unique_ptr<KvSystem::KvReadableFile> file = KvSystem::KvGetFileSystem().OpenForReading(path, error);
  if (file == nullptr) {
    // A folder or a device opens but is not a regular file.
    const bool notRegular = error.Code() == KvSystem::KvStatusCode::IsADirectory || error.OsError() == EINVAL;
    if (notRegular)
      KvSystem::KvThrow()->Error(Msg::kMapMapping);
    else
      KvSystem::KvThrow()->Error(Msg::kMapOpen, path.c_str());
    return false;
  }
  // Pages past the end of a file fault on access, so a view longer than the
  // file is refused here rather than crashing a reader later.
  if (size == 0 || !FitsSizeT(size) || file->Size() < size) {
    KvSystem::KvThrow()->Error(Msg::kMapMapping);
    return false;
  }
  region_ = file->Map(size, error);
  if (region_ == nullptr) {
    KvSystem::KvThrow()->Error(Msg::kMapView);
    return false;
  }
  return true;
}

bool MMapOutputFile::Open(const std::string& path, std::uint64_t size) {
  Close();
  KvSystem::KvFileSystem& fs = KvSystem::KvGetFileSystem();
  // Truncating a file that some reader has mapped would make its next access
  // fault; a fresh file at the same path leaves such readers the old bytes.
  // A symbolic link is replaced too, never the file it points to.
  fs.Remove(path);
  KvSystem::KvStatus error;
  const std::unique_ptr<KvSystem::KvWritableFile> file = fs.CreateNew(path, error);
  if (file == nullptr) {
    KvSystem::KvThrow()->Error(Msg::kMapCreate, path.c_str());
    return false;
  }
  // Claiming the disk blocks first makes a full disk an error here and not
  // a fault on a store through the view. A file that cannot be mapped whole
  // is not left behind.
  if (size == 0 || !FitsSizeT(size) || !file->Reserve(size, error)) {
    KvSystem::KvThrow()->Error(Msg::kMapMapping);
    fs.Remove(path);
    return false;
  }
  region_ = file->Map(size, error);
  if (region_ == nullptr) {
    KvSystem::KvThrow()->Error(Msg::kMapView);
    fs.Remove(path);
    return false;
  }
  return true;
}

}  // namespace Varnex
