// Collections on the command line.

#include "collection_cli.h"

#include <cstdio>

#include "command.h"
#include "output.h"
#include "parameters_common.h"
#include "run_context.h"
#include "varnex/similarity.h"

namespace VarnexCli {

bool NamesCollection(const KvSystem::KvInterface& itf) {
  const KvSystem::KvParameter* db = itf.GetParameter("-db");
  return db != nullptr && db->HasValue() && Varnex::KvIsCollectionFile(db->GetText());
}

std::unique_ptr<Varnex::KvCollection> OpenCollection(const KvSystem::KvInterface& itf, const char* command) {
  const KvSystem::KvParameter* mols = itf.GetParameter("-mols");
  if (mols != nullptr && mols->HasValue()) {
    std::fprintf(stderr, "varnex %s: -mols is not used with a collection: its catalog names the molecules\n", command);
    return nullptr;
  }
  const std::string path = itf.Get<std::string>("-db");
  auto collection = std::make_unique<Varnex::KvCollection>(path);
  if (!collection->IsValid()) {
    std::fprintf(stderr, "varnex %s: %s is not a valid collection\n", command, path.c_str());
    return nullptr;
  }
  return collection;
}

bool RefusePageOfCollection(const std::string& page, const char* command) {
  if (page.empty()) return true;
  std::fprintf(stderr, "varnex %s: pages of a collection are not available; use -format tsv or json\n", command);
  return false;
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
    std::vector<Varnex::KvFingerPrint> rows;
    for (std::uint64_t i = from; i < std::min(end, from + kBlock); ++i) {
      rows.emplace_back();
      if (!collection->GetFingerPrint(rows.back(), i)) return kExitFailure;
    }
    const auto hits = collection->GetSortedScoresMany(rows, options);
    for (std::size_t r = 0; r < hits.size(); ++r) {
      const std::uint64_t a = from + r;
      const std::string nameA = collection->GetIds({a}).front();
      for (const Varnex::KvSimScore& hit : hits[r]) {
        const std::string nameB = collection->GetIds({hit.GetIdx()}).front();
        if (json)
          std::printf("%s\n{\"index_a\": %llu, \"name_a\": %s, \"index_b\": %zu, \"name_b\": %s, \"score\": %s}",
                      first ? "" : ",", static_cast<unsigned long long>(a), JsonString(nameA).c_str(), hit.GetIdx(),
                      JsonString(nameB).c_str(), FormatScore(hit.GetScore()).c_str());
        else
          std::printf("%llu\t%s\t%zu\t%s\t%s\n", static_cast<unsigned long long>(a), TsvField(nameA).c_str(),
                      hit.GetIdx(), TsvField(nameB).c_str(), FormatScore(hit.GetScore()).c_str());
        first = false;
      }
    }
  }
  if (json) std::fputs("\n]\n", stdout);
  return kExitOk;
}

Varnex::KvFPHistogram CollectionHistogram(const Varnex::KvCollection& collection,
                                          const Varnex::KvFPDatabaseOptions& options, std::size_t nbins) {
  Varnex::KvFPHistogram total(nbins, 0.0, 1.0);
  const bool ordered = options.GetSimFunc() == Varnex::KvSimMeasure::Tversky;
  constexpr std::uint64_t kBlock = 1024;
  const auto& shards = collection.Shards();
  for (std::size_t a = 0; a < shards.size(); ++a) {
    total += collection.Shard(a).GetHistogram(options, nbins);
    for (std::uint64_t from = 0; from < shards[a].records; from += kBlock) {
      std::vector<Varnex::KvFingerPrint> rows;
      if (!collection.GetFingerPrints(rows, shards[a].firstIndex + from, std::min(kBlock, shards[a].records - from)))
        return Varnex::KvFPHistogram(nbins, 0.0, 1.0);
      // Each unordered pair across shards once (both orders for Tversky).
      for (std::size_t b = ordered ? 0 : a + 1; b < shards.size(); ++b) {
        if (b == a) continue;
        for (const Varnex::KvFPHistogram& h : collection.Shard(b).GetHistogramMany(rows, options, nbins)) total += h;
      }
    }
  }
  return total;
}

}  // namespace VarnexCli
