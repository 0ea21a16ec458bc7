// Output files that appear whole or not at all.
#pragma once

#include <cstdio>
#include <string>

namespace VarnexCli {

// Text goes to a temporary file in the target's folder, which Commit renames
// over the target; a file never committed is removed, so a failed or
// interrupted command leaves the target as it was. Not copyable.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // Creates the temporary file; false after one message on stderr when the
  // folder does not exist or cannot be written.
  bool Open(const std::string& path);
  // Appends text; a failure is reported by Commit.
  void Write(const std::string& text);
  // Flushes the text to disk and renames it over the target; false after one
  // message on stderr, the temporary file removed.
  bool Commit();

 private:
  void Discard();

  std::string path_, temporary_;
  std::FILE* file_ = nullptr;
  int error_ = 0;  // the first write error
};

}  // namespace VarnexCli
