// Collections: a catalog beside its shards. Oracles: a collection grown by
// appends answers exactly as one .fpbin file of all its molecules; a failed
// or killed change leaves the collection as it was and the next writer
// removes what it left; every tampered file is refused by name.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "capture_sink.h"
#include "fastdb/collection/testing.h"
#include "fastdb/collection/sqlite_db.h"
#include "fastdb_test_db.h"
#include "faulty_file_system.h"
#include "kvchem/moldb.h"
#include "kvsystem/iterator.h"
#include "varnex/collection.h"
#include "varnex/fastdb.h"
#include "varnex/fpbin_create.h"

namespace {

using FastDbTest::Mentions;
using VarnexTest::CaptureSink;
using VarnexTest::FaultyFileSystem;
using VarnexTest::ReadFile;
using VarnexTest::TempDir;

Varnex::KvCreateFastFPDatabaseOptions Options() { return FastDbTest::CreateOptions(FastDbTest::PathType(1024), 2); }

// NCI molecules 0-79 (one unreadable SMILES among them) and 80-119.
struct Library {
  TempDir dir;
  std::string first = dir.File("first.smi", FastDbTest::NciLines(40) + "C1CC(broken ring\n" +
                                                FastDbTest::NciLines(79).substr(FastDbTest::NciLines(40).size()));
  std::string second = dir.File("second.smi", FastDbTest::NciLines(119).substr(FastDbTest::NciLines(79).size()));
  std::string all = dir.File("all.smi", ReadFile(first) + ReadFile(second));
  std::string catalog = dir.Path("lib.vxc");

  void Create(unsigned shards = 3) {
    Varnex::KvCollectionWriteSummary summary;
    ASSERT_TRUE(Varnex::KvCreateCollection(catalog, first, Options(), shards, "", summary));
  }
  bool Append(unsigned shards = 2) {
    Varnex::KvCollectionWriteSummary summary;
    return Varnex::KvAppendToCollection(catalog, second, Options(), shards, summary);
  }
  // Files beside the catalog other than the molecule files.
  std::set<std::string> Files() const {
    std::set<std::string> files = dir.Files();
    for (const char* name : {"first.smi", "second.smi", "all.smi", "one.fpbin"}) files.erase(name);
    return files;
  }
};

std::vector<Varnex::KvFingerPrint> Queries(const Varnex::KvFastFPDatabase& db) {
  std::vector<Varnex::KvFingerPrint> queries;
  for (std::size_t i : {0, 7, 39, 40, 80, 118}) {
    queries.emplace_back();
    EXPECT_TRUE(db.GetFingerPrint(queries.back(), i));
  }
  return queries;
}

std::vector<unsigned> Counts(const Varnex::KvFPHistogram& h) { return KvSystem::KvCollect(h.GetCounts()); }

// Hits as (minus score, index), sorted when `sort`: best first, equal
// scores by index, the order of a merge.
std::vector<std::pair<double, std::size_t>> Ranked(std::vector<Varnex::KvSimScore> hits, bool sort = true) {
  std::vector<std::pair<double, std::size_t>> out;
  for (const auto& h : hits) out.emplace_back(-h.GetScore(), h.GetIdx());
  if (sort) std::sort(out.begin(), out.end());
  return out;
}

// The search answers of the collection equal those of one file: every hit
// above a cutoff, the scores of the top 10, counts and histogram bins.
void ExpectSameAnswers(const Varnex::KvCollection& collection, const Varnex::KvFastFPDatabase& one) {
  const std::vector<Varnex::KvFingerPrint> queries = Queries(one);
  for (unsigned measure : {Varnex::KvSimMeasure::Tanimoto, Varnex::KvSimMeasure::Tversky}) {
    Varnex::KvFPDatabaseOptions options;
    options.SetNumProcessors(2);  // shards searched at once, one thread each
    options.SetSimFunc(measure);
    options.SetCutoff(0.25);
    options.SetLimit(0);
    const auto all = collection.GetSortedScoresMany(queries, options);
    const auto expected = one.GetSortedScoresMany(queries, options);
    // The collection merges its shards' hits in that order itself.
    for (std::size_t q = 0; q < queries.size(); ++q) EXPECT_EQ(Ranked(all[q], false), Ranked(expected[q])) << q;
    EXPECT_EQ(collection.NumHitsMany(queries, options), one.NumHitsMany(queries, options));
    options.ClearCutoff();
    // The best hit (later shards skipped once it scores 1), and the top 10,
    // shards searched in turn on one thread or on two.
    for (unsigned threads : {1u, 2u}) {
      for (unsigned limit : {1u, 10u}) {
        options.SetNumProcessors(threads);
        options.SetLimit(limit);
        const auto top = collection.GetSortedScoresMany(queries, options);
        const auto oneTop = one.GetSortedScoresMany(queries, options);
        for (std::size_t q = 0; q < queries.size(); ++q)
          EXPECT_EQ(FastDbTest::ScoresOf(top[q]), FastDbTest::ScoresOf(oneTop[q])) << threads << " " << limit;
      }
    }
    const auto bins = collection.GetHistogramMany(queries, options, 20);
    const auto oneBins = one.GetHistogramMany(queries, options, 20);
    for (std::size_t q = 0; q < queries.size(); ++q) EXPECT_EQ(Counts(bins[q]), Counts(oneBins[q])) << q;
    // All pairs, and every record's neighbours.
    EXPECT_EQ(Counts(collection.GetHistogram(options, 20)), Counts(one.GetHistogram(options, 20)));
    options.SetLimit(3);
    const auto rows = collection.GetNeighbours(0, collection.NumMolecules(), options);
    // Neighbours follow the search's rule: no scores of 0 (the matrix of one
    // file keeps them).
    auto oneRows = KvSystem::KvCollect(one.GetSparseMatrix(options));
    std::erase_if(oneRows, [](const Varnex::KvSimScorePair& p) { return p.GetScore() == 0.0; });
    ASSERT_EQ(rows.size(), oneRows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(rows[i].GetIdxA(), oneRows[i].GetIdxA());
      // The matrix of one file keeps single precision.
      EXPECT_EQ(static_cast<float>(rows[i].GetScore()), static_cast<float>(oneRows[i].GetScore()));
    }
  }
}

TEST(CollectionTest, AppendedCollectionAnswersAsOneFileOfAllMolecules) {
  Library lib;
  lib.Create(3);
  ASSERT_TRUE(lib.Append(2));
  Varnex::KvCollection collection(lib.catalog);
  ASSERT_TRUE(collection.IsValid());
  ASSERT_TRUE(Varnex::KvCreateFastFPDatabaseFile(lib.dir.Path("one.fpbin"), lib.all, Options()));
  Varnex::KvFastFPDatabase one(lib.dir.Path("one.fpbin"), Varnex::KvFastFPDatabaseMemoryType::InMemory);
  ASSERT_EQ(collection.NumMolecules(), 120u);
  ASSERT_EQ(collection.Shards().size(), 5u);
  EXPECT_EQ(collection.Shards()[3].firstIndex, 80u);
  ExpectSameAnswers(collection, one);
  // Every record, on every shard, by molecule index.
  std::vector<Varnex::KvFingerPrint> records;
  ASSERT_TRUE(collection.GetFingerPrints(records, 0, 120));
  for (std::size_t i = 0; i < 120; ++i) {
    Varnex::KvFingerPrint expected;
    ASSERT_TRUE(one.GetFingerPrint(expected, i));
    EXPECT_TRUE(records[i] == expected) << i;
  }
  EXPECT_EQ(collection.GetFailed(), std::vector<std::uint64_t>{40});
  // Ids are the titles, SMILES as written; the unreadable molecule keeps its place.
  KvChem::KvMolDatabase mols;
  ASSERT_TRUE(mols.Open(lib.all));
  const std::vector<std::string> ids = collection.GetIds({0, 40, 119, 120});
  EXPECT_EQ(ids[0], mols.GetMolName(0));
  EXPECT_EQ(ids[2], mols.GetMolName(119));
  EXPECT_EQ(ids[3], "");
  EXPECT_EQ(collection.GetSmiles({40})[0], "C1CC(broken");
  EXPECT_TRUE(Varnex::KvVerifyCollection(lib.catalog).empty());
}

// Every step of an append failed in turn, or its writer killed there: the
// collection reads as before, and the next append works and leaves only its
// own new shard, removing what a dead writer left. A creation failed at the
// same step leaves no file at all. (Each step of writing one shard file is
// failed in turn under FaultInjection.*.)
TEST(CollectionTest, FailedOrKilledChangesLeaveTheCollectionAsItWas) {
  struct Case {
    const char* name;
    std::function<void(FaultyFileSystem&)> arm;
    bool kills = false;  // the writer dies (exit status 9) instead of failing
  };
  const Case cases[] = {
      {"record write", [](FaultyFileSystem& fs) { fs.failWriteNumber = 2; }},
      {"rename", [](FaultyFileSystem& fs) { fs.failRename = true; }},
      {"second rename",
       [](FaultyFileSystem& fs) {
         fs.onRename = [&fs] { fs.failRename = true; };
       }},
      {"commit", [](FaultyFileSystem&) { Varnex::SetCollectionCommitFaultForTesting(true); }},
      {"killed during the records", [](FaultyFileSystem& fs) { fs.onWrite = [] { ::_exit(9); }; }, true},
      {"killed after the first rename", [](FaultyFileSystem& fs) { fs.onRename = [] { ::_exit(9); }; }, true},
      {"killed after the second rename",
       [](FaultyFileSystem& fs) {
         fs.onRename = [n = 0]() mutable {
           if (++n == 2) ::_exit(9);
         };
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Library lib;
    lib.Create(2);
    const std::string before = ReadFile(lib.catalog);
    const std::set<std::string> files = lib.Files();
    if (c.kills) {
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        FaultyFileSystem fs;
        c.arm(fs);
        lib.Append(2);
        ::_exit(0);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 9);
    } else {
      CaptureSink sink;
      FaultyFileSystem fs;
      c.arm(fs);
      EXPECT_FALSE(lib.Append(2));
      Varnex::SetCollectionCommitFaultForTesting(false);
      EXPECT_NE(sink.Count(), 0u);
      EXPECT_EQ(lib.Files(), files);
    }
    EXPECT_EQ(ReadFile(lib.catalog), before);
    Varnex::KvCollection collection(lib.catalog);
    ASSERT_TRUE(collection.IsValid());
    EXPECT_EQ(collection.NumMolecules(), 80u);
    ASSERT_TRUE(lib.Append(1));
    Varnex::KvCollection grown(lib.catalog);
    ASSERT_TRUE(grown.IsValid());
    std::set<std::string> expected = files;
    expected.insert(grown.Shards().back().file);
    EXPECT_EQ(lib.Files(), expected);
    EXPECT_TRUE(Varnex::KvVerifyCollection(lib.catalog).empty());
    if (c.kills) continue;

    Library fresh;
    CaptureSink sink;
    {
      FaultyFileSystem fs;
      c.arm(fs);
      Varnex::KvCollectionWriteSummary summary;
      EXPECT_FALSE(Varnex::KvCreateCollection(fresh.catalog, fresh.first, Options(), 3, "", summary));
      Varnex::SetCollectionCommitFaultForTesting(false);
    }
    EXPECT_EQ(fresh.Files(), std::set<std::string>{});
  }
}

TEST(CollectionTest, SecondWriterIsRefusedNeverMixed) {
  Library lib;
  lib.Create(2);
  {
    // Another writer holds the catalog.
    Varnex::Sqlite other;
    ASSERT_TRUE(other.Open(lib.catalog, Varnex::Sqlite::Mode::ReadWrite, 0).IsOk());
    ASSERT_TRUE(other.Exec("BEGIN IMMEDIATE").IsOk());
    CaptureSink sink;
    EXPECT_FALSE(lib.Append(1));
    EXPECT_TRUE(sink.Contains("KvAppendToCollection() : collection " + lib.catalog +
                              " is being changed by another writer"));
  }
  // Two creations of one name at once: one collection, never a mixture.
  for (int round = 0; round < 5; ++round) {
    TempDir dir;
    const std::string a = dir.File("a.smi", FastDbTest::NciLines(30));
    const std::string b = dir.File("b.smi", FastDbTest::NciLines(50));
    const std::string catalog = dir.Path("race.vxc");
    CaptureSink sink;
    bool made[2] = {false, false};
    std::thread first([&] {
      Varnex::KvCollectionWriteSummary s;
      made[0] = Varnex::KvCreateCollection(catalog, a, Options(), 2, "", s);
    });
    std::thread second([&] {
      Varnex::KvCollectionWriteSummary s;
      made[1] = Varnex::KvCreateCollection(catalog, b, Options(), 3, "", s);
    });
    first.join();
    second.join();
    Varnex::KvCollection collection(catalog);
    if (!made[0] && !made[1]) continue;  // both may lose to each other's lock; nothing then exists
    ASSERT_TRUE(made[0] != made[1]);
    ASSERT_TRUE(collection.IsValid());
    EXPECT_EQ(collection.NumMolecules(), made[0] ? 30u : 50u);
    EXPECT_EQ(dir.Files().size(), 3u + (made[0] ? 2 : 3));
  }
}

// A catalog or shard tampered with after creation is refused on opening,
// the message naming the shard. The catalog opened alone (as a client whose
// workers hold the shards does) still names the molecules when only shard
// files are damaged. Lies only a full reading finds leave the collection
// opening, and verify names them with the shard.
TEST(CollectionTest, TamperedCollectionsAreRefused) {
  struct Case {
    const char* name;
    std::function<void(Library&, const std::vector<std::string>& shards)> tamper;
    std::string message;  // part of the warning on opening; "": the collection opens
    bool catalogSound = false;
    std::string problem = "";  // part of a problem verify finds, with the shard named
  };
  // Runs `statement` on the catalog.
  const auto sql = [](const std::string& statement) {
    return [statement](Library& lib, const std::vector<std::string>&) {
      Varnex::Sqlite db;
      ASSERT_TRUE(db.Open(lib.catalog, Varnex::Sqlite::Mode::ReadWrite, 1000).IsOk());
      ASSERT_TRUE(db.Exec(statement).IsOk());
    };
  };
  // Swaps two different bytes of record `r` of shard file `file`: its bit count holds.
  const auto swap = [](Library& lib, const std::string& file, std::size_t r) {
    std::string bytes = ReadFile(lib.dir.Path(file));
    const std::size_t words = 800 + r * (16 + 128) + 16;
    std::size_t other = words + 1;
    while (other < words + 128 && bytes[other] == bytes[words]) ++other;
    ASSERT_LT(other, words + 128) << "record " << r << " has no two different bytes";
    std::swap(bytes[words], bytes[other]);
    std::ofstream(lib.dir.Path(file), std::ios::binary) << bytes;
  };
  const Case cases[] = {
      {"shard copied over another",
       [](Library& lib, const auto& s) { std::filesystem::copy_file(lib.dir.Path(s[0]), lib.dir.Path(s[1]),
                                                                    std::filesystem::copy_options::overwrite_existing); },
       "its records are not molecules 40 to 79", true},
      {"first record's bytes swapped", [&](Library& lib, const auto& s) { swap(lib, s[0], 0); },
       "its records differ from those the catalog lists", true},
      {"truncated shard",
       [](Library& lib, const auto& s) { std::filesystem::resize_file(lib.dir.Path(s[1]), 5000); },
       "does not match the catalog: 5000 bytes", true},
      {"missing shard", [](Library& lib, const auto& s) { std::filesystem::remove(lib.dir.Path(s[1])); }, "is missing", true},
      {"parent folder name", sql("UPDATE shards SET file = '../x.fpbin' WHERE position = 1"),
       "is not a plain file name"},
      {"symbolic link leaving the folder",
       [](Library& lib, const auto& s) {
         const std::string outside = lib.dir.Path("../outside-" + std::to_string(::getpid()) + ".fpbin");
         std::filesystem::rename(lib.dir.Path(s[0]), outside);
         std::filesystem::create_symlink(outside, lib.dir.Path(s[0]));
       },
       "symbolic link leaving the catalog's folder", true},
      {"bit range beyond the size", sql("UPDATE shards SET max_bits = 5000"), "bit count range beyond the size", true},
      {"overlapping molecule ranges", sql("UPDATE shards SET first = 30 WHERE position = 1"),
       "starts at molecule 30, not 40"},
      {"lost molecule rows", sql("DELETE FROM molecules WHERE idx > 70"), "has molecule rows up to 70 for 80 records"},
      {"not a collection", sql("DELETE FROM meta WHERE key = 'format'"), "not a varnex collection"},
      {"lying bit range", sql("UPDATE shards SET min_bits = 0, max_bits = 1 WHERE position = 0"), "", true,
       "the catalog says 0 to 1"},
      {"record in the middle changed",
       [](Library& lib, const auto& s) {
         std::string bytes = ReadFile(lib.dir.Path(s[0]));
         bytes[800 + 10 * (16 + 128) + 20] ^= 0x10;
         std::ofstream(lib.dir.Path(s[0]), std::ios::binary) << bytes;
       },
       "is damaged: record 10: its stored bit count", true, "record 10 is not that of molecule 10"},
      {"bytes of a middle record swapped", [&](Library& lib, const auto& s) { swap(lib, s[0], 10); }, "", true,
       "checksum differs from the catalog's"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Library lib;
    lib.Create(2);
    std::vector<std::string> shards, ids;
    {
      Varnex::KvCollection clean(lib.catalog);
      ASSERT_TRUE(clean.IsValid());
      for (const auto& s : clean.Shards()) shards.push_back(s.file);
      ids = clean.GetIds({79, 0, 40});
      ASSERT_NE(ids[1], "");
    }
    c.tamper(lib, shards);
    CaptureSink sink;
    Varnex::KvCollection collection(lib.catalog);
    EXPECT_EQ(collection.IsValid(), c.message.empty());
    const Varnex::KvCollectionCatalog catalog(lib.catalog);
    EXPECT_EQ(catalog.IsValid(), c.catalogSound);
    EXPECT_EQ(catalog.GetIds({79, 0, 40}), c.catalogSound ? ids : std::vector<std::string>(3));
    EXPECT_TRUE(Mentions(sink.Texts(), c.message)) << ::testing::PrintToString(sink.Texts());
    const std::vector<std::string> problems = Varnex::KvVerifyCollection(lib.catalog);
    EXPECT_FALSE(problems.empty());
    EXPECT_TRUE(Mentions(problems, c.problem, shards[0])) << ::testing::PrintToString(problems);
    std::filesystem::remove(lib.dir.Path("../outside-" + std::to_string(::getpid()) + ".fpbin"));
  }
}

}  // namespace
