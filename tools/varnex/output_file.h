// Output files that appear whole or not at all, written by the library's
// temporary-file writer (kvsystem/temporary_output.h).
#pragma once

#include <memory>
#include <string>

#include "kvsystem/status.h"
#include "kvsystem/temporary_output.h"

namespace VarnexCli {

// Text goes to a temporary file in the target's folder, which Commit renames
// over the target; a file never committed is removed, so a failed or
// interrupted command leaves the target as it was. Not copyable.
class OutputFile {
 public:
  // Creates the temporary file; false after one message on stderr when the
  // folder does not exist or cannot be written.
  bool Open(const std::string& path);
  // Appends text; a failure is reported by Commit.
  void Write(const std::string& text);
  // Puts the text on disk and renames it over the target; false after one
  // message on stderr, the temporary file removed.
  bool Commit();

 private:
  std::string path_;
  std::unique_ptr<KvSystem::KvTemporaryOutput> output_;
  KvSystem::KvStatus error_;  // the first write error
};

}  // namespace VarnexCli
