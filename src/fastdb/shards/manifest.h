// A shard manifest written under a temporary name before its shards are put
// in place, and renamed over its path after them.
#pragma once

#include <string>

#include "kvsystem/file_system.h"
#include "kvsystem/temporary_output.h"
#include "varnex/shards.h"

namespace Varnex {

class PendingManifest {
 public:
  explicit PendingManifest(const std::string& path) : output_(KvSystem::KvGetFileSystem(), path) {}
  // Writes `manifest` to the temporary file. False with a warning naming
  // "KvWriteShardManifest()" when it cannot; nothing is then left behind.
  bool Write(const KvShardManifest& manifest);
  // Renames the written file over the path; false with that warning.
  bool Commit();

 private:
  KvSystem::KvTemporaryOutput output_;
};

}  // namespace Varnex
