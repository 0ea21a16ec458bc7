// Sharded fast databases: creation from a molecule file and splitting of an
// existing file, each followed by the manifest.

#include "varnex/shards.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "fastdb/create/file.h"
#include "fastdb/format/bytes.h"
#include "fastdb/shards/manifest.h"
#include "fastdb/storage/file_names.h"
#include "kvsystem/error.h"
#include "kvsystem/file_system.h"
#include "kvsystem/temporary_output.h"
#include "varnex/fpbin.h"
#include "system/messages.h"

namespace Varnex {
namespace {

constexpr const char* kCreator = "KvCreateShardedFastFPDatabase()";
constexpr const char* kSplitter = "KvSplitFastFPDatabase()";
// Bytes copied per read when splitting.
constexpr std::size_t kCopyBlock = std::size_t{4} << 20;

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

KvShardInfo ToShardInfo(const std::string& path, std::uint64_t first, std::uint64_t count, std::uint64_t minBits,
                        std::uint64_t maxBits) {
  KvShardInfo shard;
  shard.file = BaseName(path);
  shard.records = count;
  shard.firstIndex = first;
  shard.minBits = minBits;
  shard.maxBits = maxBits;
  return shard;
}

// Copies the records [first, first + count) of `in` into `out` (its header
// already written), noting the range of stored bit counts. A count above
// the size marks the input damaged.
bool CopyRecords(KvSystem::KvReadableFile& in, KvSystem::KvWritableFile& out, std::uint64_t first, std::uint64_t count,
                 std::uint64_t words, std::uint64_t& minBits, std::uint64_t& maxBits, KvSystem::KvStatus& error) {
  const std::uint64_t recordBytes = (words + KvFastFPRecordExtraWords) * 8;
  const std::uint64_t perBlock = std::max<std::uint64_t>(1, kCopyBlock / recordBytes);
  std::vector<std::uint8_t> block(static_cast<std::size_t>(std::min(count, perBlock) * recordBytes));
  minBits = 64 * words;
  maxBits = 0;
  for (std::uint64_t done = 0; done < count;) {
    const std::uint64_t records = std::min(perBlock, count - done);
    const std::size_t bytes = static_cast<std::size_t>(records * recordBytes);
    const std::uint64_t from = KvFastFPRecordOffset(first + done, words);
    for (std::size_t got = 0; got < bytes;) {
      const std::size_t read = in.ReadAt(from + got, block.data() + got, bytes - got, error);
      if (read == 0) {
        if (error.IsOk()) error = KvSystem::KvStatus(KvSystem::KvStatusCode::Corrupt, "file ended early");
        return false;
      }
      got += read;
    }
    for (std::uint64_t r = 0; r < records; ++r) {
      const std::uint64_t bits = LoadLE64(block.data() + r * recordBytes + 8 * KvFastFPRecordCountWord);
      if (bits > 64 * words) {
        error = KvSystem::KvStatus(KvSystem::KvStatusCode::Corrupt,
                                   "invalid data in " + std::to_string(first + done + r) + "-th fingerprint");
        return false;
      }
      minBits = std::min(minBits, bits);
      maxBits = std::max(maxBits, bits);
    }
    if (!out.WriteAt(KvFastFPRecordOffset(done, words), {block.data(), bytes}, error)) return false;
    done += records;
  }
  return true;
}

// Only reads the records: the manifest of a file as its own single shard.
bool ScanRecords(KvSystem::KvReadableFile& in, std::uint64_t count, std::uint64_t words, std::uint64_t& minBits,
                 std::uint64_t& maxBits, KvSystem::KvStatus& error) {
  // A sink that takes every write and keeps nothing.
  class Discard final : public KvSystem::KvWritableFile {
   public:
    bool Reserve(std::uint64_t, KvSystem::KvStatus&) override { return true; }
    bool WriteAt(std::uint64_t, std::span<const std::uint8_t>, KvSystem::KvStatus&) override { return true; }
    std::unique_ptr<KvSystem::KvMappedRegion> Map(std::uint64_t, KvSystem::KvStatus& error) override {
      error = KvSystem::KvStatus(KvSystem::KvStatusCode::Unsupported, "a discarding sink has no bytes to map");
      return nullptr;
    }
    bool Sync(KvSystem::KvStatus&) override { return true; }
    bool Close(KvSystem::KvStatus&) override { return true; }
  } discard;
  return CopyRecords(in, discard, 0, count, words, minBits, maxBits, error);
}

bool Split(const std::string& fpbinPath, unsigned shards, const std::string& outPath, KvShardManifest& manifest) {
  KvSystem::KvErrorHandler* report = KvSystem::KvThrow();
  if (!HasFastDatabaseExtension(outPath)) {
    report->Warning(Msg::kCreateExtension, kSplitter);
    return false;
  }
  const KvFastFPDatabaseParams params(fpbinPath);
  if (!params.IsValid() || !KvCheckFastFPDatabaseLayout(params, fpbinPath, kSplitter)) {
    report->Warning("%s cannot read fingerprint database %s", kSplitter, fpbinPath.c_str());
    return false;
  }
  const std::uint64_t n = params.NumFingerPrints();
  const std::uint64_t words = params.GetFingerPrintSizeIn64();
  if (shards == 0 || n < shards) {
    report->Warning("%s cannot split %llu records into %u shards!", kSplitter, static_cast<unsigned long long>(n),
                    shards);
    return false;
  }
  KvSystem::KvStatus error;
  std::unique_ptr<KvSystem::KvReadableFile> in = KvSystem::KvGetFileSystem().OpenForReading(fpbinPath, error);
  KvShardManifest made;
  made.type = params.GetFPTypeBase()->GetFPTypeString();
  made.molFile = params.GetMolDatabaseFilename();
  std::vector<std::unique_ptr<KvSystem::KvTemporaryOutput>> files;
  bool ok = in != nullptr;
  if (ok && shards == 1 && outPath == fpbinPath) {
    made.shards.push_back(ToShardInfo(fpbinPath, 0, n, 0, 0));
    ok = ScanRecords(*in, n, words, made.shards[0].minBits, made.shards[0].maxBits, error);
  }
  for (unsigned i = 0; ok && made.shards.size() < shards; ++i) {
    const std::uint64_t first = n * i / shards;
    const std::uint64_t count = n * (i + 1) / shards - first;
    files.push_back(
        std::make_unique<KvSystem::KvTemporaryOutput>(KvSystem::KvGetFileSystem(), KvShardPath(outPath, i, shards)));
    KvFastFPDatabaseParams header;
    header.SetMolDatabaseFilename(params.GetMolDatabaseFilename());
    header.SetFPTypeBase(params.GetFPTypeBase());
    header.SetNumFingerPrints(count);
    const std::string blob = KvWriteFastFPDatabaseHeaderBlob(header);
    KvShardInfo info = ToShardInfo(files.back()->Target(), first, count, 0, 0);
    ok = files.back()->Create(error);
    if (ok) {
      KvSystem::KvWritableFile& out = files.back()->File();
      ok = out.Reserve(KvFastFPRecordOffset(count, words), error) &&
           out.WriteAt(0, {reinterpret_cast<const std::uint8_t*>(blob.data()), blob.size()}, error) &&
           CopyRecords(*in, out, first, count, words, info.minBits, info.maxBits, error);
    }
    made.shards.push_back(std::move(info));
  }
  if (!ok) {
    report->Warning(error, "%s : %s", kSplitter, error.Message().c_str());
    report->Warning(error, "%s : cannot split %s", kSplitter, fpbinPath.c_str());
    return false;
  }
  // The manifest is written before any shard is put in place, and put in
  // place after them.
  PendingManifest pending(KvShardManifestPath(outPath));
  if (!pending.Write(made)) return false;
  for (const auto& file : files) {
    if (!file->Commit(error)) {
      report->Warning(error, "%s : %s", kSplitter, error.Message().c_str());
      report->Warning(error, "%s : cannot split %s", kSplitter, fpbinPath.c_str());
      return false;
    }
  }
  if (!pending.Commit()) return false;
  manifest = std::move(made);
  return true;
}

}  // namespace

std::string KvShardManifestPath(const std::string& fpbinPath) {
  const std::size_t dot = fpbinPath.find_last_of('.');
  const std::size_t slash = fpbinPath.find_last_of('/');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? fpbinPath.substr(0, dot) : fpbinPath) + ".json";
}

std::string KvShardPath(const std::string& fpbinPath, unsigned i, unsigned n) {
  if (n <= 1) return fpbinPath;
  const std::string number = std::to_string(i);
  const std::size_t width = std::to_string(n - 1).size();
  const std::string manifest = KvShardManifestPath(fpbinPath);
  const std::string stem = manifest.substr(0, manifest.size() - 5);  // without ".json"
  const std::string extension = fpbinPath.substr(stem.size());
  return stem + "-" + std::string(width - std::min(width, number.size()), '0') + number + extension;
}

bool KvCreateShardedFastFPDatabase(const std::string& fpbinPath, const std::string& molPath,
                                   const KvCreateFastFPDatabaseOptions& options, unsigned shards,
                                   KvCreateFastFPDatabaseSummary& summary, KvShardManifest& manifest) {
  const auto name = [&](unsigned i) { return KvShardPath(fpbinPath, i, shards); };
  // The manifest is written before any shard is put in place, and put in
  // place after them.
  PendingManifest pending(KvShardManifestPath(fpbinPath));
  KvShardManifest made;
  const auto writeManifest = [&](const std::vector<KvShardInfo>& parts) {
    made.type = options.GetFPType()->GetFPTypeString();
    made.molFile = molPath;
    for (const KvShardInfo& part : parts)
      made.shards.push_back(ToShardInfo(part.file, part.firstIndex, part.records, part.minBits, part.maxBits));
    return pending.Write(made);
  };
  std::vector<KvShardInfo> parts;
  if (!CreateFastFPDatabaseParts(fpbinPath, molPath, options, shards, name, writeManifest, kCreator, summary, parts) ||
      !pending.Commit())
    return false;
  manifest = std::move(made);
  return true;
}

bool KvSplitFastFPDatabase(const std::string& fpbinPath, unsigned shards, const std::string& outPath,
                           KvShardManifest& manifest) {
  try {
    return Split(fpbinPath, shards, outPath, manifest);
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("%s : %s", kSplitter, e.what());
    return false;
  }
}

}  // namespace Varnex
