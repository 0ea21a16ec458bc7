// The files of a collection: shard names, the facts the catalog keeps about
// a shard file, and the checks that tie a file to its catalog row.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "kvsystem/status.h"
#include "varnex/shards.h"

namespace Varnex {

// The folder and stem of a catalog path: "/d/lib.vxc" -> "/d", "lib".
struct CollectionNames {
  explicit CollectionNames(const std::string& catalogPath);
  // The path of shard `i` of the change `token`: "<folder>/<stem>.<token>-<i>.fpbin".
  std::string ShardPath(const std::string& token, unsigned i) const;
  std::string folder;
  std::string stem;
};

// 16 random hexadecimal digits: the token of one change.
std::string NewChangeToken();

// Removes the shard files of the collection's changes that never committed:
// names of the form ShardPath(token, i) that `listed` does not hold.
void RemoveUnlistedShards(const CollectionNames& names, const std::set<std::string>& listed);

// Reads the finished shard file `path` (`words` 64-bit words per record) and
// fills the catalog's facts about it: size, checksums, the header's molecule
// file line. The other fields stay as they are.
KvSystem::KvStatus DescribeShardFile(const std::string& path, std::uint64_t words, KvShardInfo& info);

// The SHA-256 of the first and last record of `path` (`words` per record,
// `records` records), read through the file system.
KvSystem::KvStatus ShardEndsDigest(const std::string& path, std::uint64_t words, std::uint64_t records,
                                     std::string& digest);

// Whether the shard file `name` of `folder` is a plain file in it: not a
// symbolic link leaving the folder. A Corrupt status otherwise.
KvSystem::KvStatus CheckShardLocation(const std::string& folder, const std::string& name);

}  // namespace Varnex
