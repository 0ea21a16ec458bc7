// Fuzz target: collection catalogs (SQLite files) read by
// KvReadCollectionCatalog and opened by KvCollection. A catalog read as
// sound lists plain shard names covering consecutive molecules from 0; an
// opening never crashes, whatever the bytes.
#include "fuzz_util.h"
#include "varnex/collection.h"

VARNEX_FUZZ_TARGET(collection_catalog) {
  static const VarnexFuzz::ScratchFile file("catalog.vxc");
  const std::string& path = file.Write(VarnexFuzz::ToString(data, size));
  std::string type;
  std::vector<Varnex::KvShardInfo> shards;
  if (Varnex::KvReadCollectionCatalog(path, type, shards)) {
    std::uint64_t next = 0;
    for (const Varnex::KvShardInfo& shard : shards) {
      VarnexFuzz::Check(shard.firstIndex == next && shard.records > 0 && shard.minBits <= shard.maxBits,
                        "shards cover consecutive molecules from 0");
      VarnexFuzz::Check(shard.file.find('/') == std::string::npos && shard.file != "..",
                        "shard names are plain file names");
      next += shard.records;
    }
  }
  const Varnex::KvCollection collection(path);
  if (collection.IsValid()) VarnexFuzz::Check(!collection.Shards().empty(), "an open collection has shards");
  return 0;
}
