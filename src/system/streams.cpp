#include "kvsystem/streams.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "kvsystem/error.h"

namespace KvSystem {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

bool IsWhite(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string ErrnoText(int error) { return std::error_code(error, std::generic_category()).message(); }

}  // namespace

// ---------------------------------------------------------------- kvistream

std::size_t kvistream::SkipSource(std::size_t count) {
  char scratch[4096];
  std::size_t skipped = 0;
  while (skipped < count) {
    const std::size_t got = ReadSource(scratch, std::min(count - skipped, sizeof scratch));
    if (got == 0) break;
    skipped += got;
  }
  return skipped;
}

std::size_t kvistream::Fill(std::size_t want) {
  std::size_t available = end_ - pos_;
  if (available >= want || closed_ || fail_) return available;
  if (buffer_.size() < std::max(kBufferSize, want)) buffer_.resize(std::max(kBufferSize, want));
  if (pos_ > 0) {  // move the unread tail to the front
    std::memmove(buffer_.data(), buffer_.data() + pos_, available);
    pos_ = 0;
    end_ = available;
  }
  while (available < want) {
    const std::size_t got = ReadSource(buffer_.data() + end_, buffer_.size() - end_);
    if (got == 0) break;
    end_ += got;
    available += got;
  }
  return available;
}

int kvistream::peek() {
  if (Fill(1) == 0) {
    eof_ = true;
    return -1;
  }
  return static_cast<unsigned char>(buffer_[pos_]);
}

int kvistream::get() {
  const int c = peek();
  if (c >= 0) {
    ++pos_;
    ++consumed_;
  }
  return c;
}

std::size_t kvistream::read(void* buffer, std::size_t count) {
  if (count == 0) return 0;
  char* out = static_cast<char*>(buffer);
  std::size_t done = std::min(count, end_ - pos_);
  if (done > 0) std::memcpy(out, buffer_.data() + pos_, done);
  pos_ += done;
  while (done < count && !closed_ && !fail_) {
    const std::size_t want = count - done;
    std::size_t got;
    if (want >= kBufferSize) {
      got = ReadSource(out + done, want);  // large reads bypass the buffer
    } else {
      got = std::min(want, Fill(1));
      if (got > 0) std::memcpy(out + done, buffer_.data() + pos_, got);
      pos_ += got;
    }
    if (got == 0) break;
    done += got;
  }
  consumed_ += done;
  if (done < count) eof_ = true;
  return done;
}

std::size_t kvistream::skip(std::size_t count) {
  std::size_t done = std::min(count, end_ - pos_);
  pos_ += done;
  if (done < count && !closed_ && !fail_) done += SkipSource(count - done);
  consumed_ += done;
  if (done < count) eof_ = true;
  return done;
}

std::ptrdiff_t kvistream::ReadPiece(char* buffer, std::size_t capacity, bool token) {
  const char* what = token ? "gettoken" : "getline";
  if (buffer == nullptr || capacity < 2) {
    KvThrow()->Warning("kvistream::%s() needs a buffer of at least 2 bytes, got %zu", what, buffer ? capacity : 0);
    if (buffer != nullptr && capacity == 1) buffer[0] = '\0';
    return -1;
  }
  if (token)
    while (IsWhite(peek())) get();
  if (peek() < 0) {
    buffer[0] = '\0';
    return -1;
  }
  std::size_t length = 0;
  while (length < capacity - 1) {
    const int c = peek();
    if (c < 0) break;
    if (token) {
      if (IsWhite(c)) break;
    } else if (c == '\n') {
      get();
      break;
    } else if (c == '\r' && Fill(2) >= 2 && buffer_[pos_ + 1] == '\n') {
      get();
      get();
      break;
    }
    buffer[length++] = static_cast<char>(get());
    if (!token && length == capacity - 1) {
      // The piece is full. If the line ends right here, take its terminator
      // now, or the next call would return an empty line that is not there.
      if (peek() == '\n') {
        get();
      } else if (peek() == '\r' && Fill(2) >= 2 && buffer_[pos_ + 1] == '\n') {
        get();
        get();
      }
    }
  }
  buffer[length] = '\0';
  return static_cast<std::ptrdiff_t>(length);
}

std::ptrdiff_t kvistream::getline(char* buffer, std::size_t capacity) { return ReadPiece(buffer, capacity, false); }

std::ptrdiff_t kvistream::gettoken(char* buffer, std::size_t capacity) { return ReadPiece(buffer, capacity, true); }

bool kvistream::getline(std::string& line) {
  line.clear();
  if (peek() < 0) return false;
  while (true) {
    const int c = get();
    if (c < 0 || c == '\n') break;
    if (c == '\r' && peek() == '\n') {
      get();
      break;
    }
    line.push_back(static_cast<char>(c));
  }
  return true;
}

void kvistream::close() {
  if (closed_) return;
  CloseSource();
  closed_ = true;
  buffer_.clear();
  buffer_.shrink_to_fit();
  pos_ = end_ = 0;
}

// ---------------------------------------------------------------- kvostream

bool kvostream::write(const void* data, std::size_t count) {
  if (fail_ || closed_) return false;
  if (count == 0) return true;
  if (data == nullptr || !WriteSink(data, count)) {
    fail_ = true;
    return false;
  }
  written_ += count;
  return true;
}

bool kvostream::flush() {
  if (fail_ || closed_) return false;
  if (!FlushSink()) fail_ = true;
  return !fail_;
}

bool kvostream::close() {
  if (closed_) return !fail_;
  closed_ = true;
  if (!CloseSink()) fail_ = true;
  return !fail_;
}

// ---------------------------------------------------------------- files

void detail::KvFileCloser::operator()(std::FILE* file) const {
  if (file != nullptr) std::fclose(file);
}

kvifstream::kvifstream(const std::string& path) : path_(path) {
  file_.reset(std::fopen(path.c_str(), "rb"));
  if (!file_) {
    KvThrow()->Warning("kvifstream() cannot open %s: %s", path.c_str(), ErrnoText(errno).c_str());
    SetFail();
    return;
  }
  struct stat info;
  if (::fstat(::fileno(file_.get()), &info) == 0 && S_ISREG(info.st_mode)) {
    size_ = static_cast<std::uint64_t>(info.st_size);
    seekable_ = true;
  }
}

kvifstream::~kvifstream() { file_.reset(); }

std::size_t kvifstream::ReadSource(void* buffer, std::size_t count) {
  if (!file_) return 0;
  const std::size_t got = std::fread(buffer, 1, count, file_.get());
  if (got < count && std::ferror(file_.get())) {
    KvThrow()->Warning("kvifstream::read() error reading %s", path_.c_str());
    SetFail();
  }
  return got;
}

std::size_t kvifstream::SkipSource(std::size_t count) {
  if (!file_) return 0;
  if (!seekable_) return kvistream::SkipSource(count);
  const off_t here = ::ftello(file_.get());
  if (here < 0) return kvistream::SkipSource(count);
  const std::uint64_t position = static_cast<std::uint64_t>(here);
  const std::uint64_t left = position < size_ ? size_ - position : 0;
  const std::uint64_t step = std::min<std::uint64_t>(count, left);
  if (::fseeko(file_.get(), static_cast<off_t>(position + step), SEEK_SET) != 0) return kvistream::SkipSource(count);
  return static_cast<std::size_t>(step);
}

void kvifstream::CloseSource() { file_.reset(); }

kvofstream::kvofstream(const std::string& path) : path_(path) {
  file_.reset(std::fopen(path.c_str(), "wb"));
  if (!file_) {
    KvThrow()->Warning("kvofstream() cannot open %s: %s", path.c_str(), ErrnoText(errno).c_str());
    SetFail();
  }
}

kvofstream::~kvofstream() { close(); }

bool kvofstream::WriteSink(const void* data, std::size_t count) {
  if (file_ && std::fwrite(data, 1, count, file_.get()) == count) return true;
  KvThrow()->Warning("kvofstream::write() error writing %s", path_.c_str());
  return false;
}

bool kvofstream::FlushSink() { return file_ && std::fflush(file_.get()) == 0; }

bool kvofstream::CloseSink() {
  if (!file_) return false;
  const bool ok = std::fclose(file_.release()) == 0;
  if (!ok) KvThrow()->Warning("kvofstream::close() error writing %s", path_.c_str());
  return ok;
}

// ---------------------------------------------------------------- strings

std::size_t kvisstream::ReadSource(void* buffer, std::size_t count) {
  const std::size_t got = std::min(count, text_.size() - pos_);
  if (got > 0) std::memcpy(buffer, text_.data() + pos_, got);
  pos_ += got;
  return got;
}

std::size_t kvisstream::SkipSource(std::size_t count) {
  const std::size_t step = std::min(count, text_.size() - pos_);
  pos_ += step;
  return step;
}

bool kvosstream::WriteSink(const void* data, std::size_t count) {
  text_.append(static_cast<const char*>(data), count);
  return true;
}

}  // namespace KvSystem
