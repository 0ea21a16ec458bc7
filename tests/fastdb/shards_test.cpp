// Sharded fast databases: shards made from molecules or split from a file
// hold exactly the records of the unsharded file, in consecutive ranges
// with their molecule indices; manifests round-trip and damaged ones are
// refused with the fault named; the shard bound never falls below a score
// that a shard's records reach.

#include "varnex/shards.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "fastdb_test_db.h"
#include "varnex/fastdb.h"
#include "varnex/fpbin.h"

using FastDbTest::WordAt;
using VarnexTest::CaptureSink;
using VarnexTest::ReadFile;
using VarnexTest::TempDir;

namespace {

constexpr std::uint64_t kWords = 16;  // 1024-bit fingerprints
constexpr std::size_t kRecordBytes = (kWords + 2) * 8;

const Varnex::KvFPTypeBase* Path1024() { return Varnex::KvGetPathFPType(1024, 0, 5, 191, 3); }

std::string NciFile(const TempDir& dir, std::size_t count) { return dir.File("nci.smi", FastDbTest::NciLines(count)); }

// The record bytes of a .fpbin file (everything after the header).
std::string Records(const std::string& path) { return ReadFile(path).substr(Varnex::KvFastFPHeaderSize); }

// Checks `manifest` and its shard files against the unsharded file `whole`.
void ExpectShardsOf(const std::string& whole, const std::string& manifestPath, const Varnex::KvShardManifest& manifest,
                    unsigned shards) {
  Varnex::KvShardManifest read;
  ASSERT_TRUE(Varnex::KvReadShardManifest(manifestPath, read));
  ASSERT_EQ(read.shards.size(), shards);
  EXPECT_EQ(read.type, Path1024()->GetFPTypeString());
  EXPECT_EQ(read.molFile, manifest.molFile);
  const std::string all = Records(whole);
  const std::uint64_t n = all.size() / kRecordBytes;
  EXPECT_EQ(read.NumRecords(), n);
  const std::string folder = manifestPath.substr(0, manifestPath.find_last_of('/') + 1);
  for (unsigned i = 0; i < shards; ++i) {
    SCOPED_TRACE("shard " + std::to_string(i));
    const Varnex::KvShardInfo& info = read.shards[i];
    EXPECT_EQ(info.file, manifest.shards[i].file);
    EXPECT_EQ(info.firstIndex, n * i / shards);
    EXPECT_EQ(info.records, n * (i + 1) / shards - n * i / shards);
    const std::string path = folder + info.file;
    const Varnex::KvFastFPDatabaseParams header(path);
    EXPECT_EQ(header.NumFingerPrints(), info.records);
    EXPECT_EQ(header.GetMolDatabaseFilename(), manifest.molFile);
    // The shard's records are the unsharded file's, byte for byte, so every
    // record keeps its molecule index.
    const std::string records = Records(path);
    EXPECT_TRUE(records == all.substr(info.firstIndex * kRecordBytes, info.records * kRecordBytes));
    std::uint64_t lo = 1024, hi = 0;
    for (std::uint64_t r = 0; r < info.records; ++r) {
      lo = std::min(lo, WordAt(records, r * kRecordBytes + 8));
      hi = std::max(hi, WordAt(records, r * kRecordBytes + 8));
    }
    EXPECT_EQ(info.minBits, lo);
    EXPECT_EQ(info.maxBits, hi);
  }
}

TEST(Shards, MadeFromMoleculesOrSplitHoldTheUnshardedRecords) {
  TempDir dir;
  const std::string smi = NciFile(dir, 301);
  const std::string whole = dir.Path("whole.fpbin");
  ASSERT_TRUE(Varnex::KvCreateFastFPDatabaseFile(whole, smi, Path1024()));
  for (unsigned shards : {1u, 2u, 7u, 12u}) {
    SCOPED_TRACE(shards);
    Varnex::KvCreateFastFPDatabaseOptions options(Path1024());
    options.SetNumProcessors(3);
    Varnex::KvCreateFastFPDatabaseSummary summary;
    Varnex::KvShardManifest made, split;
    const std::string created = dir.Path("made" + std::to_string(shards) + ".fpbin");
    ASSERT_TRUE(Varnex::KvCreateShardedFastFPDatabase(created, smi, options, shards, summary, made));
    EXPECT_EQ(made.molFile, smi);
    ExpectShardsOf(whole, Varnex::KvShardManifestPath(created), made, shards);

    const std::string out = dir.Path("split" + std::to_string(shards) + ".fpbin");
    ASSERT_TRUE(Varnex::KvSplitFastFPDatabase(whole, shards, out, split));
    ExpectShardsOf(whole, Varnex::KvShardManifestPath(out), split, shards);
  }
  EXPECT_EQ(Varnex::KvShardPath(dir.Path("made12.fpbin"), 3, 12), dir.Path("made12-03.fpbin"));
  // One shard of the file itself: only the manifest is written.
  Varnex::KvShardManifest self;
  ASSERT_TRUE(Varnex::KvSplitFastFPDatabase(whole, 1, whole, self));
  ASSERT_EQ(self.shards.size(), 1u);
  EXPECT_EQ(self.shards[0].file, "whole.fpbin");
  ExpectShardsOf(whole, dir.Path("whole.json"), self, 1);
}

TEST(Shards, RefusalsChangeNoFile) {
  TempDir dir;
  const std::string smi = NciFile(dir, 5);
  const std::string whole = dir.Path("whole.fpbin");
  ASSERT_TRUE(Varnex::KvCreateFastFPDatabaseFile(whole, smi, Path1024()));
  std::string damaged = ReadFile(whole);
  FastDbTest::SetWordAt(damaged, Varnex::KvFastFPHeaderSize + 3 * kRecordBytes + 8, 1025);  // record 3 claims 1025 bits
  dir.File("damaged.fpbin", damaged);
  const std::set<std::string> before = dir.Files();
  const auto split = [&](const std::string& from, unsigned shards, const std::string& out) {
    return [&, from, shards, out](auto& m) { return Varnex::KvSplitFastFPDatabase(from, shards, dir.Path(out), m); };
  };
  const struct {
    const char* name;
    std::function<bool(Varnex::KvShardManifest&)> run;
    std::string warning;
  } cases[] = {
      {"more shards than molecules",
       [&](Varnex::KvShardManifest& m) {
         Varnex::KvCreateFastFPDatabaseSummary summary;
         return Varnex::KvCreateShardedFastFPDatabase(dir.Path("s.fpbin"), smi,
                                                      Varnex::KvCreateFastFPDatabaseOptions(Path1024()), 6, summary, m);
       },
       "KvCreateShardedFastFPDatabase() cannot split 5 molecules into 6 shards!"},
      {"more shards than records", split(whole, 6, "s.fpbin"),
       "KvSplitFastFPDatabase() cannot split 5 records into 6 shards!"},
      {"damaged record", split(dir.Path("damaged.fpbin"), 2, "s.fpbin"),
       "KvSplitFastFPDatabase() : invalid data in 3-th fingerprint"},
      {"wrong extension", split(whole, 2, "s.fpb"),
       "KvSplitFastFPDatabase() fingerprint database file should have '.fpbin' file extension!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CaptureSink sink;
    Varnex::KvShardManifest manifest;
    EXPECT_FALSE(c.run(manifest));
    ASSERT_GE(sink.Count(), 1u);
    EXPECT_EQ(sink.Texts().front(), c.warning);
    EXPECT_EQ(dir.Files(), before);
  }
}

TEST(ShardManifest, DamageIsRefusedWithItsCause) {
  TempDir dir;
  const std::string type = Path1024()->GetFPTypeString();
  auto manifest = [&](const std::string& shards, const std::string& typeText) {
    return R"({"format": "varnex-shards", "version": 1, "type": ")" + typeText +
           R"(", "molecules": "m.smi", "shards": [)" + shards + "]}";
  };
  const auto shard = [](const std::string& file, const char* records, int first, int minBits, int maxBits) {
    return R"({"file": ")" + file + R"(", "records": )" + records + R"(, "first": )" + std::to_string(first) +
           R"(, "min_bits": )" + std::to_string(minBits) + R"(, "max_bits": )" + std::to_string(maxBits) + "}";
  };
  const std::string s0 = shard("a.fpbin", "5", 0, 3, 90);
  const struct {
    const char* name;
    std::string text;
    std::string cause;  // empty: accepted
  } cases[] = {
      {"good", manifest(s0 + ", " + shard("b.fpbin", "2", 5, 0, 1024), type), ""},
      {"cut short", manifest(s0, type).substr(0, 60),
       "not JSON (Missing a closing quotation mark in string. at offset 60)"},
      {"array", "[1, 2]", "not a JSON object"},
      {"other format", R"({"format": "shards", "version": 1})", R"("format" is not "varnex-shards")"},
      {"lingo", manifest(s0, "Lingo,ver=2.0.0"), R"("Lingo,ver=2.0.0" is not a fingerprint type of a fast database)"},
      {"no shards", manifest("", type), R"("shards" is not a non-empty array)"},
      {"gap", manifest(s0 + ", " + shard("b.fpbin", "2", 7, 0, 9), type), "shard 1 starts at molecule 7, not 5"},
      {"bits above size", manifest(shard("a.fpbin", "5", 0, 3, 1025), type),
       "shard 0 has bit counts 3-1025 outside 0-1024"},
      {"absolute file", manifest(shard("/a.fpbin", "5", 0, 3, 9), type), R"(shard 0 has no relative "file" name)"},
      {"negative records", manifest(shard("a.fpbin", "-5", 0, 3, 9), type), R"(shard 0 has no unsigned "records")"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File("m.json", c.text);
    CaptureSink sink;
    Varnex::KvShardManifest read;
    EXPECT_EQ(Varnex::KvReadShardManifest(path, read), c.cause.empty());
    if (c.cause.empty()) {
      EXPECT_EQ(read.NumRecords(), 7u);
      EXPECT_EQ(read.shards[1].maxBits, 1024u);
      continue;
    }
    ASSERT_EQ(sink.Count(), 1u);
    const std::string prefix = "KvReadShardManifest() : invalid shard manifest " + path + ": ";
    EXPECT_EQ(sink.Texts()[0].substr(0, prefix.size() + c.cause.size()), prefix + c.cause);
  }
  CaptureSink sink;
  Varnex::KvShardManifest read;
  EXPECT_FALSE(Varnex::KvReadShardManifest(dir.Path("missing.json"), read));
  const std::string missing = "KvReadShardManifest() : cannot read shard manifest " + dir.Path("missing.json");
  EXPECT_EQ(sink.Texts().at(0).rfind(missing, 0), 0u);
}

// Every score a shard's records reach is within the bound of its bit count
// range, for every measure: the scores of 60 NCI queries against 7 shards.
TEST(ShardBound, NoRecordScoresBeyondItsShardsBound) {
  TempDir dir;
  const std::string smi = NciFile(dir, 420);
  const std::string whole = dir.Path("whole.fpbin");
  ASSERT_TRUE(Varnex::KvCreateFastFPDatabaseFile(whole, smi, Path1024()));
  Varnex::KvShardManifest manifest;
  ASSERT_TRUE(Varnex::KvSplitFastFPDatabase(whole, 7, whole, manifest));
  Varnex::KvFastFPDatabase db(whole, Varnex::KvFastFPDatabaseMemoryType::InMemory);
  const struct {
    unsigned measure;
    float alpha, beta;
  } measures[] = {{1, 1, 1}, {2, 1, 1}, {3, 1, 1}, {4, 1, 1}, {5, 0.9f, 0.1f}, {5, 0.2f, 0.7f}, {6, 1, 1}};
  for (const auto& m : measures) {
    SCOPED_TRACE(m.measure);
    Varnex::KvFPDatabaseOptions options;
    options.SetSimFunc(m.measure);
    options.SetTverskyCoeffs(m.alpha, m.beta);
    options.SetDescendingOrder(m.measure != 6);
    int tight = 0;
    for (std::size_t q = 0; q < 420; q += 7) {
      Varnex::KvFingerPrint query;
      ASSERT_TRUE(db.GetFingerPrint(query, q));
      const auto scores = KvSystem::KvCollect(db.GetRawScores(query, options));
      for (const Varnex::KvShardInfo& shard : manifest.shards) {
        const double bound = Varnex::KvGetShardBestScore(options, query.CountBits(), kWords, shard.minBits,
                                                         shard.maxBits);
        auto first = scores.begin() + static_cast<std::ptrdiff_t>(shard.firstIndex);
        auto last = first + static_cast<std::ptrdiff_t>(shard.records);
        const double best = m.measure == 6 ? *std::min_element(first, last) : *std::max_element(first, last);
        ASSERT_TRUE(m.measure == 6 ? bound <= best : bound >= best) << bound << " against " << best;
        tight += bound == best;
      }
    }
    // The query's own shard reaches the bound for the measures that give a
    // record its best score against itself.
    if (m.measure != 5) {
      EXPECT_GE(tight, 60);
    }
  }
}

}  // namespace
