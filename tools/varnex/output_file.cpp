// Output files that appear whole or not at all.

#include "output_file.h"

#include <cstdio>

#include "run_context.h"

namespace VarnexCli {
namespace {

// The failure told under the target's name, whatever temporary file it hit.
bool Fail(const std::string& path, const KvSystem::KvStatus& cause) {
  std::fprintf(stderr, "varnex: %s\n", KvSystem::KvCannotWrite(path, cause).Message().c_str());
  return false;
}

}  // namespace

bool OutputFile::Open(const std::string& path) {
  path_ = path;
  error_ = {};
  output_ = std::make_unique<KvSystem::KvTemporaryOutput>(KvSystem::KvGetFileSystem(), path);
  if (output_->Create(error_)) return true;
  output_.reset();
  return Fail(path, error_);
}

void OutputFile::Write(const std::string& text) {
  if (output_ != nullptr && error_.IsOk()) (void)output_->Append(text, error_);
}

bool OutputFile::Commit() {
  if (output_ == nullptr) return false;
  // A cancelled run leaves the target as it was; so does a failed one, once
  // the writer is gone with its temporary file.
  const bool ok = !Interrupted() && error_.IsOk() && output_->Commit(error_);
  output_.reset();
  if (ok || Interrupted()) return ok;
  return Fail(path_, error_);
}

}  // namespace VarnexCli
