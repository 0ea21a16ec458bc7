// Verifying a collection: every byte of every shard against the catalog.

#include <bit>
#include <memory>

#include "fastdb/collection/catalog.h"
#include "fastdb/collection/files.h"
#include "fastdb/format/bytes.h"
#include "kvsystem/error.h"
#include "kvsystem/file_system.h"
#include "kvsystem/sha256.h"
#include "kvsystem/temporary_output.h"
#include "varnex/collection.h"
#include "varnex/fpbin.h"

namespace Varnex {
namespace {

using KvSystem::KvStatus;

constexpr std::size_t kBlockRecords = 4096;

// The problems of one shard: checksum, header, and per record its molecule
// index, bit count and the catalog's bit count range.
void VerifyShard(const std::string& path, const KvShardInfo& s, const std::string& type, bool checksum,
                 std::vector<std::string>& problems) {
  const std::string name = "shard " + s.file + ": ";
  KvStatus error;
  const KvFastFPDatabaseParams header(path);
  if (!header.IsValid()) {
    problems.push_back(name + "missing or unreadable header");
    return;
  }
  if (header.GetFPTypeBase() == nullptr || header.GetFPTypeBase()->GetFPTypeString() != type)
    problems.push_back(name + "another fingerprint type");
  if (header.NumFingerPrints() != s.records) problems.push_back(name + "another record count");
  if (header.GetMolDatabaseFilename() != s.molFile) problems.push_back(name + "another molecule file line");
  std::unique_ptr<KvSystem::KvReadableFile> file = KvSystem::KvGetFileSystem().OpenForReading(path, error);
  if (file == nullptr) {
    problems.push_back(name + error.Message());
    return;
  }
  if (file->Size() != s.bytes) problems.push_back(name + "size " + std::to_string(file->Size()) + ", not " + std::to_string(s.bytes));
  const std::uint64_t words = header.GetFingerPrintSizeIn64();
  const std::size_t recordBytes = static_cast<std::size_t>((words + KvFastFPRecordExtraWords) * 8);
  KvSystem::KvSha256 sha;
  std::vector<std::uint8_t> block(std::max<std::size_t>(KvFastFPHeaderSize, kBlockRecords * recordBytes));
  std::uint64_t at = 0, record = 0, minBits = UINT64_MAX, maxBits = 0, wrong = 0;
  while (at < file->Size()) {
    const std::size_t want = static_cast<std::size_t>(
        std::min<std::uint64_t>(at == 0 ? KvFastFPHeaderSize : block.size(), file->Size() - at));
    std::size_t got = 0;
    while (got < want) {
      const std::size_t n = file->ReadAt(at + got, block.data() + got, want - got, error);
      if (n == 0) break;
      got += n;
    }
    if (got != want) {
      problems.push_back(name + "cannot read: " + error.Message());
      return;
    }
    if (checksum) sha.Update(block.data(), got);
    for (std::size_t off = at == 0 ? got : 0; off + recordBytes <= got && record < s.records; off += recordBytes, ++record) {
      const std::uint8_t* r = block.data() + off;
      std::uint64_t count = 0;
      for (std::uint64_t w = 0; w < words; ++w) count += static_cast<std::uint64_t>(std::popcount(LoadLE64(r + 16 + 8 * w)));
      const bool bad = LoadLE64(r) != s.firstIndex + record || LoadLE64(r + 8) != count;
      if (bad && wrong++ == 0)
        problems.push_back(name + "record " + std::to_string(record) + " is not that of molecule " +
                           std::to_string(s.firstIndex + record) + " with its bit count");
      minBits = std::min(minBits, count);
      maxBits = std::max(maxBits, count);
    }
    at += got;
  }
  if (checksum && sha.HexDigest() != s.sha256) problems.push_back(name + "checksum differs from the catalog's");
  if (record == s.records && (minBits != s.minBits || maxBits != s.maxBits))
    problems.push_back(name + "bit counts " + std::to_string(minBits) + " to " + std::to_string(maxBits) +
                       ", the catalog says " + std::to_string(s.minBits) + " to " + std::to_string(s.maxBits));
}

}  // namespace

std::vector<std::string> KvCheckShardRecords(const std::string& path, const KvShardInfo& shard,
                                             const std::string& type) {
  std::vector<std::string> problems;
  try {
    VerifyShard(path, shard, type, false, problems);
  } catch (const std::exception& e) {
    problems.push_back("shard " + shard.file + ": " + e.what());
  }
  return problems;
}

bool KvReadCollectionCatalog(const std::string& catalogPath, std::string& type, std::vector<KvShardInfo>& shards) {
  Sqlite db;
  Catalog catalog;
  KvStatus error = db.Open(catalogPath, Sqlite::Mode::ReadOnly, 10000);
  if (!error.IsOk() || !(error = ReadCatalog(db, catalog)).IsOk()) {
    KvSystem::KvThrow()->Warning(error, "KvReadCollectionCatalog() : %s", error.Message().c_str());
    return false;
  }
  type = catalog.type;
  shards = std::move(catalog.shards);
  return true;
}

std::vector<std::string> KvVerifyCollection(const std::string& catalogPath) {
  std::vector<std::string> problems;
  Sqlite db;
  Catalog catalog;
  KvStatus error = db.Open(catalogPath, Sqlite::Mode::ReadOnly, 10000);
  if (!error.IsOk() || !(error = ReadCatalog(db, catalog)).IsOk()) return {error.Message()};
  const std::string folder = KvSystem::KvDirectoryOf(catalogPath);
  for (const KvShardInfo& s : catalog.shards) {
    const KvStatus location = CheckShardLocation(folder, s.file);
    if (!location.IsOk())
      problems.push_back(location.Message());
    else
      VerifyShard(folder + "/" + s.file, s, catalog.type, true, problems);
  }
  SqliteStatement count;
  if (!(error = db.Prepare("SELECT COUNT(*), MIN(idx), MAX(idx) FROM molecules", count)).IsOk() || !count.Step(error))
    return problems.push_back(error.Message()), problems;
  if (static_cast<std::uint64_t>(count.Int(0)) != catalog.NumRecords() || count.Int(1) != 0 ||
      static_cast<std::uint64_t>(count.Int(2)) + 1 != catalog.NumRecords())
    problems.push_back("molecule rows do not match the " + std::to_string(catalog.NumRecords()) + " records");
  return problems;
}

}  // namespace Varnex
