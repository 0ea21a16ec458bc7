// Opening a collection (the catalog, then each shard checked against its
// row) and searching its shards together.

#include "varnex/collection.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>

#include "fastdb/collection/files.h"
#include "fastdb/format/bytes.h"
#include "kvsystem/call_context.h"
#include "kvsystem/error.h"
#include "kvsystem/file_system.h"
#include "kvsystem/platform.h"
#include "kvsystem/temporary_output.h"
#include "kvsystem/workers.h"
#include "varnex/fpbin.h"
#include "varnex/similarity.h"

namespace Varnex {

using KvSystem::KvStatus;
using KvSystem::KvStatusCode;

namespace {

constexpr const char* kOpener = "KvCollection()";

KvStatus ShardMismatch(const KvShardInfo& s, const std::string& what) {
  return KvStatus(KvStatusCode::Corrupt, "shard " + s.file + " does not match the catalog: " + what);
}

// The checks of one opened shard against its catalog row; O(1) reads.
KvStatus CheckShardFile(const std::string& path, const KvShardInfo& s, const std::string& type) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return KvStatus(KvStatusCode::NotFound, "shard " + s.file + " is missing");
  if (static_cast<std::uint64_t>(info.st_size) != s.bytes)
    return ShardMismatch(s, std::to_string(info.st_size) + " bytes, not " + std::to_string(s.bytes));
  const KvFastFPDatabaseParams header(path);
  if (!header.IsValid()) return ShardMismatch(s, "unreadable header");
  if (header.GetFPTypeBase() == nullptr || header.GetFPTypeBase()->GetFPTypeString() != type)
    return ShardMismatch(s, "another fingerprint type");
  if (header.NumFingerPrints() != s.records)
    return ShardMismatch(s, std::to_string(header.NumFingerPrints()) + " records, not " + std::to_string(s.records));
  if (header.GetMolDatabaseFilename() != s.molFile) return ShardMismatch(s, "another molecule file");
  if (s.maxBits > header.GetFingerPrintSizeInBits()) return ShardMismatch(s, "bit count range beyond the size");
  return {};
}

// The checks of the opened shard's records: the molecule indices and bytes of
// its first and last record.
KvStatus CheckShardRecords(const std::string& path, const KvShardInfo& s, const KvFastFPDatabase& db) {
  const std::uint64_t last = s.firstIndex + s.records - 1;
  if (db.GetMoleculeIndex(0) != s.firstIndex || db.GetMoleculeIndex(s.records - 1) != last)
    return ShardMismatch(s, "its records are not molecules " + std::to_string(s.firstIndex) + " to " +
                                std::to_string(last));
  std::string ends;
  KvStatus error = ShardEndsDigest(path, KvGetFingerPrintSize(db.GetFPTypeBase()) / 64, s.records, ends);
  if (!error.IsOk()) return error;
  if (ends != s.endsSha256) return ShardMismatch(s, "its records differ from those the catalog lists");
  return {};
}

bool Better(const KvSimScore& a, const KvSimScore& b, bool descending) {
  if (a.GetScore() != b.GetScore()) return descending ? a.GetScore() > b.GetScore() : a.GetScore() < b.GetScore();
  return a.GetIdx() < b.GetIdx();
}

}  // namespace

bool KvIsCollectionFile(const std::string& path) {
  static constexpr char kMagic[] = "SQLite format 3";
  char head[sizeof kMagic] = {};
  KvSystem::KvStatus error;
  const std::unique_ptr<KvSystem::KvReadableFile> file = KvSystem::KvGetFileSystem().OpenForReading(path, error);
  return file != nullptr && file->ReadAt(0, head, sizeof head, error) == sizeof head &&
         std::memcmp(head, kMagic, sizeof kMagic) == 0;
}

KvCollection::KvCollection(const std::string& catalogPath, unsigned memoryType) {
  try {
    valid_ = Open(catalogPath, memoryType);
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("%s : %s", kOpener, e.what());
    valid_ = false;
  }
  if (!valid_) {
    databases_.clear();
    type_ = nullptr;
  }
}

KvCollection::~KvCollection() = default;

bool KvCollection::Open(const std::string& catalogPath, unsigned memoryType) {
  KvSystem::KvErrorHandler* report = KvSystem::KvThrow();
  const auto fail = [&](const KvStatus& error) {
    report->Warning(error, "%s : %s", kOpener, error.Message().c_str());
    return false;
  };
  catalog_.reset(new KvCollectionCatalog(catalogPath, "KvCollection"));
  if (!catalog_->IsValid()) return false;
  const std::string& typeString = catalog_->Type();
  type_ = KvGetFPType(typeString);
  if (type_ == nullptr || !KvIsAdmissibleFastFPType(type_, kOpener))
    return fail(KvStatus(KvStatusCode::Corrupt, "collection " + catalogPath + " has an unusable type " + typeString));
  folder_ = KvSystem::KvDirectoryOf(catalogPath);
  // Shards open on several threads (each opening reads its records once);
  // the first fault in shard order is the one reported.
  const std::vector<KvShardInfo>& shards = catalog_->Shards();
  const std::size_t n = shards.size();
  databases_.resize(n);
  std::vector<KvStatus> faults(n);
  std::atomic<std::size_t> next{0};
  auto openShards = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < n;) {
      const KvShardInfo& s = shards[i];
      const std::string path = folder_ + "/" + s.file;
      KvStatus& fault = faults[i];
      if (!(fault = CheckShardLocation(folder_, s.file)).IsOk() ||
          !(fault = CheckShardFile(path, s, typeString)).IsOk())
        continue;
      auto shard = std::make_unique<KvFastFPDatabase>(path, memoryType);
      if (!shard->IsValid())
        fault = KvStatus(KvStatusCode::Corrupt, "cannot open shard " + s.file);
      else if ((fault = CheckShardRecords(path, s, *shard)).IsOk())
        databases_[i] = std::move(shard);
    }
  };
  KvSystem::KvRunWorkers(static_cast<unsigned>(std::min<std::size_t>(n, KvSystem::KvGetNumProcessors())),
                         [&](unsigned) { openShards(); });
  for (const KvStatus& fault : faults)
    if (!fault.IsOk()) return fail(fault);
  records_ = catalog_->NumMolecules();
  shards_ = shards;
  return true;
}

std::size_t KvCollection::ShardOf(std::uint64_t index) const {
  const auto after = std::upper_bound(shards_.begin(), shards_.end(), index,
                                      [](std::uint64_t i, const KvShardInfo& s) { return i < s.firstIndex; });
  if (after == shards_.begin()) return shards_.size();
  const std::size_t i = static_cast<std::size_t>(after - shards_.begin()) - 1;
  return index < shards_[i].firstIndex + shards_[i].records ? i : shards_.size();
}

bool KvCollection::GetFingerPrint(KvFingerPrint& fp, std::uint64_t index) const {
  std::vector<KvFingerPrint> one;
  if (!GetFingerPrints(one, index, 1)) return false;
  fp = std::move(one.front());
  return true;
}

bool KvCollection::GetFingerPrints(std::vector<KvFingerPrint>& fps, std::uint64_t first, std::uint64_t count) const {
  fps.clear();
  const auto fail = [&](std::uint64_t index) {
    KvSystem::KvThrow()->Warning("KvCollection::GetFingerPrint() : no readable molecule %llu in the collection!",
                                 static_cast<unsigned long long>(index));
    fps.clear();
    return false;
  };
  if (!valid_ || first >= records_ || count > records_ - first) return fail(first);
  const std::uint64_t words = KvGetFingerPrintSize(type_) / 64;
  const std::size_t recordBytes = static_cast<std::size_t>((words + KvFastFPRecordExtraWords) * 8);
  std::vector<std::uint8_t> block;
  std::vector<std::uint64_t> bits(words);
  fps.reserve(count);
  for (std::uint64_t index = first; index < first + count;) {
    // The shard's records keep their molecule index: read them by position.
    const KvShardInfo& s = shards_[ShardOf(index)];
    const std::uint64_t take = std::min(first + count, s.firstIndex + s.records) - index;
    block.resize(static_cast<std::size_t>(take) * recordBytes);
    KvStatus error;
    std::unique_ptr<KvSystem::KvReadableFile> file =
        KvSystem::KvGetFileSystem().OpenForReading(folder_ + "/" + s.file, error);
    std::size_t got = 0;
    while (file != nullptr && got < block.size()) {
      const std::size_t n = file->ReadAt(KvFastFPRecordOffset(index - s.firstIndex, words) + got, block.data() + got,
                                         block.size() - got, error);
      if (n == 0) break;
      got += n;
    }
    if (got != block.size()) return fail(index);
    for (std::uint64_t r = 0; r < take; ++r) {
      const std::uint8_t* record = block.data() + r * recordBytes;
      if (LoadLE64(record) != index + r) return fail(index + r);
      for (std::uint64_t w = 0; w < words; ++w) bits[w] = LoadLE64(record + 8 * (KvFastFPRecordExtraWords + w));
      fps.emplace_back();
      fps.back().SetData(bits.data(), 64 * words);
      fps.back().SetFPTypeBase(type_);
    }
    index += take;
  }
  return true;
}

namespace {

// `search(i, options)` for every shard i of [first, last), results in shard
// order. With at least as many shards as threads the shards are searched at
// once, each on one thread (one worker pool call rather than one per shard);
// otherwise one after the other, each on all threads.
template <typename Result, typename Search>
std::vector<Result> SearchShards(std::size_t first, std::size_t last, const KvFPDatabaseOptions& options,
                                 Search search) {
  std::vector<Result> results(last - first);
  const std::size_t threads = options.GetNumProcessors();
  if (threads < 2 || last - first < threads) {
    for (std::size_t i = first; i < last; ++i) results[i - first] = search(i, options);
    return results;
  }
  KvFPDatabaseOptions single = options;
  single.SetNumProcessors(1);
  std::atomic<std::size_t> next{first};
  KvSystem::KvRunWorkers(static_cast<unsigned>(threads), [&](unsigned) {
    for (std::size_t i; (i = KvSystem::KvClaim(next, last)) < last;) results[i - first] = search(i, single);
  });
  return results;
}

template <typename Result, typename Search>
std::vector<Result> SearchShards(std::size_t shards, const KvFPDatabaseOptions& options, Search search) {
  return SearchShards<Result>(0, shards, options, search);
}

}  // namespace

std::vector<std::vector<KvSimScore>> KvCollection::GetSortedScoresMany(const std::vector<KvFingerPrint>& queries,
                                                                       const KvFPDatabaseOptions& options) const {
  std::vector<std::vector<KvSimScore>> merged(queries.size());
  const bool descending = options.GetDescendingOrder();
  const std::size_t limit = options.GetLimit();
  const auto better = [descending](const KvSimScore& a, const KvSimScore& b) { return Better(a, b, descending); };
  // With a limit, shards go one after the other in molecule order, each on
  // every thread, and a shard searches only the queries whose best score it
  // can reach (over its records' bit counts) is strictly better than the
  // k-th hit held: its records come after every hit held, so at an equal
  // score they would lose. Without a limit all shards search every query
  // at once.
  const std::size_t n = databases_.size();
  const std::size_t wave = limit == 0 ? n : 1;
  std::vector<std::uint64_t> queryBits(queries.size());
  for (std::size_t q = 0; q < queries.size(); ++q) queryBits[q] = queries[q].CountBits();
  const std::uint64_t words = KvGetFingerPrintSize(type_) / 64;
  std::vector<double> kth(queries.size(), std::numeric_limits<double>::quiet_NaN());  // once `limit` are held
  std::vector<std::vector<std::size_t>> asked(n);  // per shard, the queries it searches
  const auto search = [&](std::size_t i, const KvFPDatabaseOptions& o) {
    std::uint64_t lo = 0, hi = 0;
    const bool known = limit != 0 && databases_[i]->GetBitCountRange(lo, hi);
    for (std::size_t q = 0; q < queries.size(); ++q) {
      const double reach = known && !std::isnan(kth[q]) ? KvGetShardBestScore(o, queryBits[q], words, lo, hi)
                                                         : std::numeric_limits<double>::quiet_NaN();
      if (std::isnan(reach) || (descending ? reach > kth[q] : reach < kth[q])) asked[i].push_back(q);
    }
    if (asked[i].size() == queries.size()) return databases_[i]->GetSortedScoresMany(queries, o);
    std::vector<KvFingerPrint> subset;
    for (std::size_t q : asked[i]) subset.push_back(queries[q]);
    return subset.empty() ? std::vector<std::vector<KvSimScore>>() : databases_[i]->GetSortedScoresMany(subset, o);
  };
  for (std::size_t first = 0; first < n && !KvSystem::KvCancelRequested(); first += wave) {
    const std::size_t last = std::min(n, first + wave);
    const auto parts = SearchShards<std::vector<std::vector<KvSimScore>>>(first, last, options, search);
    for (std::size_t i = first; i < last; ++i) {
      const std::vector<std::vector<KvSimScore>>& hits = parts[i - first];
      for (std::size_t a = 0; a < hits.size() && a < asked[i].size(); ++a) {
        const std::size_t q = asked[i][a];
        std::vector<KvSimScore>& m = merged[q];
        m.insert(m.end(), hits[a].begin(), hits[a].end());
        if (limit == 0 || m.size() < limit) continue;
        std::nth_element(m.begin(), m.begin() + static_cast<std::ptrdiff_t>(limit - 1), m.end(), better);
        m.resize(limit);
        kth[q] = m[limit - 1].GetScore();
      }
    }
  }
  for (auto& m : merged) std::sort(m.begin(), m.end(), better);
  return merged;
}

std::vector<std::uint64_t> KvCollection::NumHitsMany(const std::vector<KvFingerPrint>& queries,
                                                     const KvFPDatabaseOptions& options) const {
  std::vector<std::uint64_t> total(queries.size(), 0);
  const auto parts = SearchShards<std::vector<std::uint64_t>>(
      databases_.size(), options,
      [&](std::size_t i, const KvFPDatabaseOptions& o) { return databases_[i]->NumHitsMany(queries, o); });
  for (const auto& counts : parts)
    for (std::size_t q = 0; q < counts.size() && q < total.size(); ++q) total[q] += counts[q];
  return total;
}

std::vector<KvFPHistogram> KvCollection::GetHistogramMany(const std::vector<KvFingerPrint>& queries,
                                                          const KvFPDatabaseOptions& options, std::size_t nbins) const {
  std::vector<KvFPHistogram> total;
  auto parts = SearchShards<std::vector<KvFPHistogram>>(
      databases_.size(), options,
      [&](std::size_t i, const KvFPDatabaseOptions& o) { return databases_[i]->GetHistogramMany(queries, o, nbins); });
  for (auto& part : parts) {
    if (total.empty()) {
      total = std::move(part);
      continue;
    }
    for (std::size_t q = 0; q < part.size() && q < total.size(); ++q) total[q] += part[q];
  }
  if (total.empty()) total.assign(queries.size(), KvFPHistogram(std::max<std::size_t>(nbins, 1), 0.0, 1.0));
  return total;
}

std::vector<KvSimScorePair> KvCollection::GetNeighbours(std::uint64_t first, std::uint64_t count,
                                                       const KvFPDatabaseOptions& options) const {
  std::vector<KvFingerPrint> rows;
  std::vector<KvSimScorePair> pairs;
  if (!GetFingerPrints(rows, first, count)) return pairs;
  const std::vector<std::vector<KvSimScore>> hits = GetSortedScoresMany(rows, options);
  for (std::size_t r = 0; r < hits.size(); ++r)
    for (const KvSimScore& hit : hits[r]) pairs.emplace_back(first + r, hit.GetIdx(), hit.GetScore());
  return pairs;
}

KvFPHistogram KvCollection::GetHistogram(const KvFPDatabaseOptions& options, std::size_t nbins) const {
  KvFPHistogram total(std::max<std::size_t>(nbins, 1), 0.0, 1.0);
  const bool ordered = !options.GetSimMeasure().symmetric;
  constexpr std::uint64_t kBlock = 1024;
  for (std::size_t a = 0; a < shards_.size(); ++a) {
    total += databases_[a]->GetHistogram(options, nbins);
    for (std::uint64_t from = 0; from < shards_[a].records; from += kBlock) {
      std::vector<KvFingerPrint> rows;
      if (!GetFingerPrints(rows, shards_[a].firstIndex + from, std::min(kBlock, shards_[a].records - from)))
        return KvFPHistogram(std::max<std::size_t>(nbins, 1), 0.0, 1.0);
      // Each unordered pair across shards once (both orders for an asymmetric measure).
      for (std::size_t b = ordered ? 0 : a + 1; b < shards_.size(); ++b) {
        if (b == a) continue;
        for (const KvFPHistogram& h : databases_[b]->GetHistogramMany(rows, options, nbins)) total += h;
      }
    }
  }
  return total;
}

std::vector<std::string> KvCollection::GetIds(const std::vector<std::uint64_t>& indices) const {
  return valid_ ? catalog_->GetIds(indices) : std::vector<std::string>(indices.size());
}

std::vector<std::string> KvCollection::GetSmiles(const std::vector<std::uint64_t>& indices) const {
  return valid_ ? catalog_->GetSmiles(indices) : std::vector<std::string>(indices.size());
}

std::vector<std::uint64_t> KvCollection::GetFailed() const {
  return valid_ ? catalog_->GetFailed() : std::vector<std::uint64_t>{};
}

}  // namespace Varnex
