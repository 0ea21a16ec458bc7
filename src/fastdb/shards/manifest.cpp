// The JSON manifest of a sharded fast database: writing and checked reading.

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <string>
#include <utility>

#include "fastdb/shards/manifest.h"

#include "kvsystem/error.h"
#include "kvsystem/file_system.h"
#include "varnex/fpbin.h"
#include "varnex/fptypes.h"
#include "varnex/shards.h"

namespace Varnex {
namespace {

constexpr const char* kReader = "KvReadShardManifest()";
constexpr const char* kWriter = "KvWriteShardManifest()";
constexpr const char* kFormat = "varnex-shards";
constexpr int kVersion = 1;
// Far above any real manifest (a million shards is about 150 MB): a
// bigger file is not one.
constexpr std::uint64_t kLargestManifest = std::uint64_t{1} << 30;

std::string Serialize(const KvShardManifest& manifest) {
  rapidjson::StringBuffer buffer;
  rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
  auto string = [&](const std::string& s) { writer.String(s.data(), static_cast<rapidjson::SizeType>(s.size())); };
  writer.StartObject();
  writer.Key("format");
  writer.String(kFormat);
  writer.Key("version");
  writer.Int(kVersion);
  writer.Key("type");
  string(manifest.type);
  writer.Key("molecules");
  string(manifest.molFile);
  writer.Key("records");
  writer.Uint64(manifest.NumRecords());
  writer.Key("shards");
  writer.StartArray();
  for (const KvShardInfo& shard : manifest.shards) {
    writer.StartObject();
    writer.Key("file");
    string(shard.file);
    writer.Key("records");
    writer.Uint64(shard.records);
    writer.Key("first");
    writer.Uint64(shard.firstIndex);
    writer.Key("min_bits");
    writer.Uint64(shard.minBits);
    writer.Key("max_bits");
    writer.Uint64(shard.maxBits);
    writer.EndObject();
  }
  writer.EndArray();
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}

bool ReadWhole(const std::string& path, std::string& text, KvSystem::KvStatus& error) {
  std::unique_ptr<KvSystem::KvReadableFile> file = KvSystem::KvGetFileSystem().OpenForReading(path, error);
  if (file == nullptr) return false;
  if (file->Size() > kLargestManifest) {
    error = KvSystem::KvStatus(KvSystem::KvStatusCode::Corrupt, "file too large");
    return false;
  }
  text.resize(file->Size());
  std::size_t done = 0;
  while (done < text.size()) {
    const std::size_t got = file->ReadAt(done, text.data() + done, text.size() - done, error);
    if (got == 0) {
      if (error.IsOk()) error = KvSystem::KvStatus(KvSystem::KvStatusCode::Corrupt, "file ended early");
      return false;
    }
    done += got;
  }
  return true;
}

// The unsigned integer member `name`; false when missing or of another kind.
bool GetUint64(const rapidjson::Value& object, const char* name, std::uint64_t& value) {
  const auto member = object.FindMember(name);
  if (member == object.MemberEnd() || !member->value.IsUint64()) return false;
  value = member->value.GetUint64();
  return true;
}

bool GetString(const rapidjson::Value& object, const char* name, std::string& value) {
  const auto member = object.FindMember(name);
  if (member == object.MemberEnd() || !member->value.IsString()) return false;
  value.assign(member->value.GetString(), member->value.GetStringLength());
  return true;
}

// Fills `manifest` from `document`; otherwise says what is wrong in `what`.
bool Decode(const rapidjson::Document& document, KvShardManifest& manifest, std::string& what) {
  if (!document.IsObject()) return what = "not a JSON object", false;
  std::string format;
  std::uint64_t version = 0;
  if (!GetString(document, "format", format) || format != kFormat)
    return what = "\"format\" is not \"" + std::string(kFormat) + "\"", false;
  if (!GetUint64(document, "version", version) || version != kVersion)
    return what = "unsupported \"version\" (this library reads version 1)", false;
  if (!GetString(document, "type", manifest.type)) return what = "missing \"type\"", false;
  const KvFPTypeBase* type = KvGetFPType(manifest.type);
  if (type == nullptr || type->GetNumBits() == 0 || type->GetNumBits() % KvFastFPSizeGranularity != 0)
    return what = "\"" + manifest.type + "\" is not a fingerprint type of a fast database", false;
  if (!GetString(document, "molecules", manifest.molFile)) return what = "missing \"molecules\"", false;
  const auto shards = document.FindMember("shards");
  if (shards == document.MemberEnd() || !shards->value.IsArray() || shards->value.Empty())
    return what = "\"shards\" is not a non-empty array", false;
  std::uint64_t next = 0;
  manifest.shards.clear();
  for (const rapidjson::Value& entry : shards->value.GetArray()) {
    const std::string shard = "shard " + std::to_string(manifest.shards.size());
    KvShardInfo info;
    if (!entry.IsObject()) return what = shard + " is not an object", false;
    if (!GetString(entry, "file", info.file) || info.file.empty() || info.file.front() == '/')
      return what = shard + " has no relative \"file\" name", false;
    const std::pair<const char*, std::uint64_t*> numbers[] = {
        {"records", &info.records}, {"first", &info.firstIndex}, {"min_bits", &info.minBits}, {"max_bits", &info.maxBits}};
    for (const auto& [name, value] : numbers) {
      if (!GetUint64(entry, name, *value)) return what = shard + " has no unsigned \"" + name + "\"", false;
    }
    if (info.records == 0) return what = shard + " has no records", false;
    if (info.firstIndex != next)
      return what = shard + " starts at molecule " + std::to_string(info.firstIndex) + ", not " + std::to_string(next),
             false;
    if (info.minBits > info.maxBits || info.maxBits > type->GetNumBits())
      return what = shard + " has bit counts " + std::to_string(info.minBits) + "-" + std::to_string(info.maxBits) +
                    " outside 0-" + std::to_string(type->GetNumBits()),
             false;
    next = info.firstIndex + info.records;
    manifest.shards.push_back(std::move(info));
  }
  std::uint64_t records = 0;
  if (GetUint64(document, "records", records) && records != next)
    return what = "\"records\" is " + std::to_string(records) + " but the shards hold " + std::to_string(next), false;
  return true;
}

}  // namespace

std::uint64_t KvShardManifest::NumRecords() const {
  std::uint64_t total = 0;
  for (const KvShardInfo& shard : shards) total += shard.records;
  return total;
}

bool PendingManifest::Write(const KvShardManifest& manifest) {
  const std::string text = Serialize(manifest);
  KvSystem::KvStatus error;
  if (!output_.Create(error) || !output_.File().Reserve(text.size(), error) ||
      !output_.File().WriteAt(0, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, error)) {
    KvSystem::KvThrow()->Warning(error, "%s : cannot write shard manifest %s: %s", kWriter, output_.Target().c_str(),
                                 error.Message().c_str());
    return false;
  }
  return true;
}

bool PendingManifest::Commit() {
  KvSystem::KvStatus error;
  if (!output_.Commit(error)) {
    KvSystem::KvThrow()->Warning(error, "%s : cannot write shard manifest %s: %s", kWriter, output_.Target().c_str(),
                                 error.Message().c_str());
    return false;
  }
  return true;
}

bool KvWriteShardManifest(const std::string& path, const KvShardManifest& manifest) {
  PendingManifest pending(path);
  return pending.Write(manifest) && pending.Commit();
}

bool KvReadShardManifest(const std::string& path, KvShardManifest& manifest) {
  std::string text;
  KvSystem::KvStatus error;
  if (!ReadWhole(path, text, error)) {
    KvSystem::KvThrow()->Warning(error, "%s : cannot read shard manifest %s: %s", kReader, path.c_str(),
                                 error.Message().c_str());
    return false;
  }
  rapidjson::Document document;
  // Iterative: the depth of the input never becomes depth of our stack.
  document.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag>(text.data(), text.size());
  std::string what;
  if (document.HasParseError()) {
    what = std::string("not JSON (") + rapidjson::GetParseError_En(document.GetParseError()) + " at offset " +
           std::to_string(document.GetErrorOffset()) + ")";
  }
  KvShardManifest read;
  if (!what.empty() || !Decode(document, read, what)) {
    KvSystem::KvThrow()->Warning("%s : invalid shard manifest %s: %s", kReader, path.c_str(), what.c_str());
    return false;
  }
  manifest = std::move(read);
  return true;
}

}  // namespace Varnex
