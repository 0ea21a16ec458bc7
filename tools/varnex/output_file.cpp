// Output files that appear whole or not at all.

#include "output_file.h"

#include "run_context.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace VarnexCli {
namespace {

bool Fail(const std::string& path, int error) {
  std::fprintf(stderr, "varnex: cannot write %s: %s\n", path.c_str(), std::strerror(error));
  return false;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Open(const std::string& path) {
  Discard();
  path_ = path;
  error_ = 0;
  std::string name = FolderOf(path) + "/.varnex-XXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return Fail(path, errno);
  // mkstemp makes the file private; give it the mode a new file gets.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  file_ = ::fdopen(fd, "w");
  if (file_ == nullptr) {
    const int error = errno;
    ::close(fd);
    ::unlink(name.c_str());
    return Fail(path, error);
  }
  temporary_ = name;
  return true;
}

void OutputFile::Write(const std::string& text) {
  if (file_ != nullptr && error_ == 0 && std::fwrite(text.data(), 1, text.size(), file_) != text.size())
    error_ = errno != 0 ? errno : EIO;
}

bool OutputFile::Commit() {
  if (file_ == nullptr) return false;
  if (Interrupted()) {  // a cancelled run leaves the target as it was
    Discard();
    return false;
  }
  int error = error_;
  if (error == 0 && (std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0)) error = errno != 0 ? errno : EIO;
  if (std::fclose(file_) != 0 && error == 0) error = errno;
  file_ = nullptr;
  if (error == 0 && std::rename(temporary_.c_str(), path_.c_str()) != 0) error = errno;
  if (error != 0) {
    Discard();
    return Fail(path_, error);
  }
  temporary_.clear();
  return true;
}

void OutputFile::Discard() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

}  // namespace VarnexCli
