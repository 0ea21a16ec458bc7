// Fuzz target: shard manifests (the JSON written beside sharded databases)
// read by KvReadShardManifest. A manifest read as valid must describe shards
// that cover consecutive molecules, and written back it must read the same.
#include "fuzz_util.h"
#include "varnex/shards.h"

VARNEX_FUZZ_TARGET(shard_manifest) {
  static const VarnexFuzz::ScratchFile file("manifest.json");
  static const VarnexFuzz::ScratchFile again("again.json");
  Varnex::KvShardManifest manifest;
  if (!Varnex::KvReadShardManifest(file.Write(VarnexFuzz::ToString(data, size)), manifest)) return 0;
  std::uint64_t next = manifest.shards.empty() ? 0 : manifest.shards.front().firstIndex;
  for (const Varnex::KvShardInfo& shard : manifest.shards) {
    VarnexFuzz::Check(shard.firstIndex == next && shard.minBits <= shard.maxBits, "shards cover consecutive molecules");
    next += shard.records;
  }
  Varnex::KvShardManifest back;
  VarnexFuzz::Check(Varnex::KvWriteShardManifest(again.Path(), manifest) &&
                        Varnex::KvReadShardManifest(again.Path(), back) && back.shards.size() == manifest.shards.size() &&
                        back.type == manifest.type,
                    "a manifest read back after writing is the same");
  return 0;
}
