// Byte streams: abstract input (kvistream) and output (kvostream), over files
// (kvifstream, kvofstream) and strings (kvisstream, kvosstream).
//
// Streams are binary-safe: bytes pass unchanged, NUL bytes included; only
// getline and gettoken give "\n", "\r\n" and white space a meaning. Errors
// (a file that does not open, a failed write) are reported through KvThrow()
// and make good() false; no function throws.
//
// Thread safety: a stream belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace KvSystem {

// Buffered input from some byte source. Not copyable.
class kvistream {
 public:
  kvistream(const kvistream&) = delete;
  kvistream& operator=(const kvistream&) = delete;
  virtual ~kvistream() = default;

  // Reads up to `count` bytes into `buffer`; returns the number read, which
  // is less than `count` only at the end of the input or after an error.
  std::size_t read(void* buffer, std::size_t count);
  // Skips up to `count` bytes; returns the number skipped (less only at end).
  std::size_t skip(std::size_t count);
  // The next byte (0 to 255), or -1 at the end. peek() does not consume it.
  int get();
  int peek();

  // Reads one line into `buffer` (capacity `capacity` bytes, REQUIRES >= 2)
  // and NUL-terminates it. A line ends at "\n" or "\r\n", which are consumed
  // and not stored (a lone "\r" is data), or at the end of the input. Returns
  // the number of bytes stored, or -1 when the input is exhausted. A line
  // longer than capacity - 1 bytes comes in pieces: each call returns the next
  // capacity - 1 bytes of it and the call that reaches its end consumes the
  // terminator, so no empty line is invented.
  std::ptrdiff_t getline(char* buffer, std::size_t capacity);
  // Reads one whole line of any length into `line`; false when exhausted.
  bool getline(std::string& line);
  // Skips white space (" \t\n\r\v\f"), then reads the following run of
  // non-white bytes like getline (pieces of capacity - 1 bytes when longer);
  // the white space after the token is left in the stream. Returns the
  // length, or -1 when only white space remained.
  std::ptrdiff_t gettoken(char* buffer, std::size_t capacity);

  // Releases the source; further reads return nothing. Idempotent.
  void close();
  // The total byte length of the source (0 when unknown, e.g. a pipe).
  std::uint64_t size() const { return SourceSize(); }
  // The number of bytes consumed so far.
  std::uint64_t tell() const { return consumed_; }
  // good(): not at the end, not failed, not closed. eof(): a read reached
  // the end. fail(): the source did not open or an I/O error occurred.
  bool good() const { return !eof_ && !fail_ && !closed_; }
  bool eof() const { return eof_; }
  bool fail() const { return fail_; }

 protected:
  kvistream() = default;
  // Reads up to `count` raw bytes from the source; 0 means the end (call
  // SetFail() first on an error).
  virtual std::size_t ReadSource(void* buffer, std::size_t count) = 0;
  // Skips raw bytes of the source; the default reads and discards them.
  virtual std::size_t SkipSource(std::size_t count);
  virtual void CloseSource() {}
  virtual std::uint64_t SourceSize() const = 0;
  void SetFail() { fail_ = true; }

 private:
  // Makes at least `want` unread bytes available if the source has them;
  // returns how many are available.
  std::size_t Fill(std::size_t want);
  std::ptrdiff_t ReadPiece(char* buffer, std::size_t capacity, bool token);

  std::vector<char> buffer_;
  std::size_t pos_ = 0;  // next unread byte in buffer_
  std::size_t end_ = 0;  // end of the valid bytes in buffer_
  std::uint64_t consumed_ = 0;
  bool eof_ = false;
  bool fail_ = false;
  bool closed_ = false;
};

// Output to some byte sink. Not copyable.
class kvostream {
 public:
  kvostream(const kvostream&) = delete;
  kvostream& operator=(const kvostream&) = delete;
  virtual ~kvostream() = default;

  // Writes all `count` bytes; false (and !good()) when that failed or the
  // stream is closed or failed.
  bool write(const void* data, std::size_t count);
  bool write(std::string_view text) { return write(text.data(), text.size()); }
  bool put(char c) { return write(&c, 1); }
  // Pushes buffered bytes to the sink.
  bool flush();
  // Flushes and releases the sink; false when that failed. Idempotent.
  bool close();
  // The number of bytes written so far.
  std::uint64_t size() const { return written_; }
  // Not failed and not closed.
  bool good() const { return !fail_ && !closed_; }

 protected:
  kvostream() = default;
  virtual bool WriteSink(const void* data, std::size_t count) = 0;
  virtual bool FlushSink() { return true; }
  virtual bool CloseSink() { return true; }
  void SetFail() { fail_ = true; }

 private:
  std::uint64_t written_ = 0;
  bool fail_ = false;
  bool closed_ = false;
};

namespace detail {
struct KvFileCloser {
  void operator()(std::FILE* file) const;
};
using KvFilePtr = std::unique_ptr<std::FILE, KvFileCloser>;
}  // namespace detail

// Reads a file. A file that does not open is reported with its path and
// leaves the stream failed (!good()). Owns its file handle.
class kvifstream final : public kvistream {
 public:
  explicit kvifstream(const std::string& path);
  ~kvifstream() override;
  bool is_open() const { return file_ != nullptr; }
  const std::string& path() const { return path_; }

 protected:
  std::size_t ReadSource(void* buffer, std::size_t count) override;
  std::size_t SkipSource(std::size_t count) override;
  void CloseSource() override;
  std::uint64_t SourceSize() const override { return size_; }

 private:
  std::string path_;
  detail::KvFilePtr file_;
  std::uint64_t size_ = 0;
  bool seekable_ = false;
};

// Writes a file, created or truncated. A file that does not open is reported
// with its path and leaves the stream failed. Closed (flushed) on destruction.
class kvofstream final : public kvostream {
 public:
  explicit kvofstream(const std::string& path);
  ~kvofstream() override;
  bool is_open() const { return file_ != nullptr; }
  const std::string& path() const { return path_; }

 protected:
  bool WriteSink(const void* data, std::size_t count) override;
  bool FlushSink() override;
  bool CloseSink() override;

 private:
  std::string path_;
  detail::KvFilePtr file_;
};

// Reads from its own copy of a string.
class kvisstream final : public kvistream {
 public:
  explicit kvisstream(std::string text) : text_(std::move(text)) {}

 protected:
  std::size_t ReadSource(void* buffer, std::size_t count) override;
  std::size_t SkipSource(std::size_t count) override;
  std::uint64_t SourceSize() const override { return text_.size(); }

 private:
  std::string text_;
  std::size_t pos_ = 0;
};

// Collects the bytes written in a string.
class kvosstream final : public kvostream {
 public:
  kvosstream() = default;
  // Everything written so far.
  const std::string& str() const { return text_; }

 protected:
  bool WriteSink(const void* data, std::size_t count) override;

 private:
  std::string text_;
};

}  // namespace KvSystem
