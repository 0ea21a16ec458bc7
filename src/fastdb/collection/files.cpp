// Shard files of a collection: names, checksums and location checks.

#include "fastdb/collection/files.h"

#include <dirent.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

#include "fastdb/collection/catalog.h"
#include "kvsystem/file_system.h"
#include "kvsystem/sha256.h"
#include "kvsystem/temporary_output.h"
#include "varnex/fpbin.h"

namespace Varnex {
namespace {

using KvSystem::KvStatus;
using KvSystem::KvStatusCode;

constexpr std::size_t kTokenDigits = 16;
constexpr std::size_t kReadBlock = std::size_t{1} << 20;

bool ReadFully(KvSystem::KvReadableFile& file, std::uint64_t offset, std::uint8_t* into, std::size_t count,
               KvStatus& error) {
  for (std::size_t got = 0; got < count;) {
    const std::size_t read = file.ReadAt(offset + got, into + got, count - got, error);
    if (read == 0) {
      if (error.IsOk()) error = KvStatus(KvStatusCode::Corrupt, "file ended early");
      return false;
    }
    got += read;
  }
  return true;
}

// Whether `name` is "<stem>.<token>-<digits>.fpbin".
bool IsChangeShardName(const std::string& name, const std::string& stem) {
  const std::string prefix = stem + ".";
  if (!name.starts_with(prefix) || !name.ends_with(".fpbin")) return false;
  const std::string rest = name.substr(prefix.size(), name.size() - prefix.size() - 6);
  if (rest.size() < kTokenDigits + 2 || rest[kTokenDigits] != '-') return false;
  return rest.find_first_not_of("0123456789abcdef") == kTokenDigits &&
         rest.find_first_not_of("0123456789", kTokenDigits + 1) == std::string::npos;
}

}  // namespace

CollectionNames::CollectionNames(const std::string& catalogPath) : folder(KvSystem::KvDirectoryOf(catalogPath)) {
  std::string name = catalogPath.substr(catalogPath.find_last_of('/') + 1);  // npos + 1 == 0
  if (name.ends_with(".vxc")) name.resize(name.size() - 4);
  stem = name;
}

std::string CollectionNames::ShardPath(const std::string& token, unsigned i) const {
  return folder + "/" + stem + "." + token + "-" + std::to_string(i) + ".fpbin";
}

std::string NewChangeToken() {
  std::random_device device;
  std::uint64_t value = (std::uint64_t{device()} << 32) ^ device();
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token(kTokenDigits, '0');
  for (char& c : token) {
    c = kHex[value & 0xF];
    value >>= 4;
  }
  return token;
}

void RemoveUnlistedShards(const CollectionNames& names, const std::set<std::string>& listed) {
  std::vector<std::string> doomed;
  if (DIR* dir = ::opendir(names.folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (IsChangeShardName(name, names.stem) && listed.count(name) == 0) doomed.push_back(name);
    }
    ::closedir(dir);
  }
  for (const std::string& name : doomed) KvSystem::KvGetFileSystem().Remove(names.folder + "/" + name);
}

KvStatus ShardEndsDigest(const std::string& path, std::uint64_t words, std::uint64_t records, std::string& digest) {
  KvStatus error;
  std::unique_ptr<KvSystem::KvReadableFile> file = KvSystem::KvGetFileSystem().OpenForReading(path, error);
  if (file == nullptr) return error;
  const std::size_t recordBytes = static_cast<std::size_t>((words + KvFastFPRecordExtraWords) * 8);
  std::vector<std::uint8_t> record(recordBytes);
  KvSystem::KvSha256 sha;
  for (std::uint64_t i : {std::uint64_t{0}, records - 1}) {
    if (!ReadFully(*file, KvFastFPRecordOffset(i, words), record.data(), recordBytes, error))
      return KvStatus(error.Code(), "cannot read record " + std::to_string(i) + " of " + path + ": " + error.Message());
    sha.Update(record.data(), record.size());
  }
  digest = sha.HexDigest();
  return {};
}

KvStatus DescribeShardFile(const std::string& path, std::uint64_t words, KvShardInfo& info) {
  const KvFastFPDatabaseParams header(path);
  if (!header.IsValid()) return KvStatus(KvStatusCode::Corrupt, "cannot read the header of " + path);
  info.molFile = header.GetMolDatabaseFilename();
  KvStatus error;
  std::unique_ptr<KvSystem::KvReadableFile> file = KvSystem::KvGetFileSystem().OpenForReading(path, error);
  if (file == nullptr) return error;
  info.bytes = file->Size();
  std::vector<std::uint8_t> block(kReadBlock);
  KvSystem::KvSha256 sha;
  for (std::uint64_t at = 0; at < info.bytes;) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), info.bytes - at));
    if (!ReadFully(*file, at, block.data(), count, error)) return error;
    sha.Update(block.data(), count);
    at += count;
  }
  info.sha256 = sha.HexDigest();
  return ShardEndsDigest(path, words, info.records, info.endsSha256);
}

KvStatus CheckShardLocation(const std::string& folder, const std::string& name) {
  if (!IsPlainFileName(name))
    return KvStatus(KvStatusCode::Corrupt, "shard " + name + " is not a plain file name in the catalog's folder");
  std::error_code ec;
  const std::filesystem::path path = std::filesystem::path(folder) / name;
  if (!std::filesystem::is_symlink(path, ec)) return {};
  const std::filesystem::path target = std::filesystem::canonical(path, ec);
  const std::filesystem::path home = std::filesystem::canonical(folder, ec);
  if (ec || target.parent_path() != home)
    return KvStatus(KvStatusCode::Corrupt, "shard " + name + " is a symbolic link leaving the catalog's folder");
  return {};
}

}  // namespace Varnex
