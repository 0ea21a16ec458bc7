// Collections on the command line.

#include "collection_cli.h"

#include <sys/stat.h>

#include <cstdio>

#include "command.h"
#include "output.h"
#include "parameters_common.h"
#include "run_context.h"

namespace VarnexCli {

bool NamesCollection(const KvSystem::KvInterface& itf) {
  const KvSystem::KvParameter* db = itf.GetParameter("-db");
  return db != nullptr && db->HasValue() && Varnex::KvIsCollectionFile(db->GetText());
}

bool RefuseMolsOfCollection(const KvSystem::KvInterface& itf, const char* command) {
  const KvSystem::KvParameter* mols = itf.GetParameter("-mols");
  if (mols == nullptr || !mols->HasValue()) return true;
  std::fprintf(stderr, "varnex %s: -mols is not used with a collection: its catalog names the molecules\n", command);
  return false;
}

std::unique_ptr<Varnex::KvCollection> OpenCollection(const KvSystem::KvInterface& itf, const char* command,
                                                     unsigned memoryType) {
  const std::string path = itf.Get<std::string>("-db");
  auto collection = std::make_unique<Varnex::KvCollection>(path, memoryType);
  if (!collection->IsValid()) {
    std::fprintf(stderr, "varnex %s: %s is not a valid collection\n", command, path.c_str());
    return nullptr;
  }
  return collection;
}

bool IsNoShard(const Varnex::KvCollection& collection, const KvSystem::KvInterface& itf, const char* command,
               const std::string& out) {
  struct stat target {};
  if (out.empty() || ::stat(out.c_str(), &target) != 0) return true;  // a new file is no shard
  const std::string catalog = itf.Get<std::string>("-db");
  const std::size_t slash = catalog.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : catalog.substr(0, slash);
  for (const Varnex::KvShardInfo& shard : collection.Shards()) {
    struct stat file {};
    if (::stat((folder + "/" + shard.file).c_str(), &file) == 0 && file.st_dev == target.st_dev &&
        file.st_ino == target.st_ino) {
      std::fprintf(stderr, "varnex %s: -out %s is a shard of the collection %s; choose another file\n", command,
                   out.c_str(), catalog.c_str());
      return false;
    }
  }
  return true;
}

std::vector<std::uint64_t> IndicesOf(const std::vector<Varnex::KvSimScore>& hits) {
  std::vector<std::uint64_t> indices;
  indices.reserve(hits.size());
  for (const Varnex::KvSimScore& hit : hits) indices.push_back(hit.GetIdx());
  return indices;
}

int ReportCollectionWrite(const char* command, bool done, const std::string& path,
                          const Varnex::KvCollectionWriteSummary& written) {
  if (Interrupted()) return kExitFailure;
  if (!done) {
    // The library has said why; the collection is as it was.
    std::fprintf(stderr, "varnex %s: could not change %s; it is as it was\n", command, path.c_str());
    return kExitFailure;
  }
  const std::uint64_t empty = written.unreadable + written.ungenerated;
  std::fprintf(stderr, "varnex %s: wrote %llu fingerprints (%s) to %s as molecules %llu to %llu", command,
               static_cast<unsigned long long>(written.records), written.type.c_str(), path.c_str(),
               static_cast<unsigned long long>(written.first),
               static_cast<unsigned long long>(written.first + written.records - 1));
  if (empty != 0)
    std::fprintf(stderr, "; %llu molecules failed (%llu unreadable, %llu without fingerprint) and have empty records",
                 static_cast<unsigned long long>(empty), static_cast<unsigned long long>(written.unreadable),
                 static_cast<unsigned long long>(written.ungenerated));
  std::fputs(written.damagedInput ? "; the molecule file is damaged\n" : "\n", stderr);
  return empty != 0 || written.damagedInput ? kExitPartial : kExitOk;
}

int RunCollectionMatrix(KvSystem::KvInterface& itf, const Varnex::KvFPDatabaseOptions& options, int record) {
  if (!RefuseMolsOfCollection(itf, "matrix")) return kExitUsage;
  auto collection = OpenCollection(itf, "matrix");
  if (collection == nullptr) return kExitFailure;
  const std::uint64_t n = collection->NumMolecules();
  if (record >= 0 && static_cast<std::uint64_t>(record) >= n) {
    std::fprintf(stderr, "varnex matrix: -record %d is beyond the last molecule of the collection (%llu molecules)\n",
                 record, static_cast<unsigned long long>(n));
    return kExitUsage;
  }
  const bool json = WantsJson(itf);
  std::fputs(json ? "[" : "index_a\tname_a\tindex_b\tname_b\tscore\n", stdout);
  bool first = true;
  // Rows in blocks, each block one batch search over every shard.
  constexpr std::uint64_t kBlock = 1024;
  const std::uint64_t begin = record >= 0 ? static_cast<std::uint64_t>(record) : 0;
  const std::uint64_t end = record >= 0 ? begin + 1 : n;
  for (std::uint64_t from = begin; from < end; from += kBlock) {
    const std::vector<Varnex::KvSimScorePair> pairs =
        collection->GetNeighbours(from, std::min(end, from + kBlock) - from, options);
    if (KvSystem::KvDots* progress = options.GetProgress(); record < 0 && progress != nullptr)
      progress->Update(std::min(end, from + kBlock) - from);
    for (const Varnex::KvSimScorePair& p : pairs) {
      const std::vector<std::string> names = collection->GetIds({p.GetIdxA(), p.GetIdxB()});
      if (json)
        std::printf("%s\n{\"index_a\": %zu, \"name_a\": %s, \"index_b\": %zu, \"name_b\": %s, \"score\": %s}",
                    first ? "" : ",", p.GetIdxA(), JsonString(names[0]).c_str(), p.GetIdxB(),
                    JsonString(names[1]).c_str(), FormatScore(p.GetScore()).c_str());
      else
        std::printf("%zu\t%s\t%zu\t%s\t%s\n", p.GetIdxA(), TsvField(names[0]).c_str(), p.GetIdxB(),
                    TsvField(names[1]).c_str(), FormatScore(p.GetScore()).c_str());
      first = false;
    }
  }
  if (json) std::fputs("\n]\n", stdout);
  if (record < 0 && options.GetProgress() != nullptr && !Interrupted()) options.GetProgress()->Total();
  return kExitOk;
}

}  // namespace VarnexCli
