// Faults injected under creation and the readers through the file system
// seam: a failed creation never touches the output path and leaves no
// temporary file; readers refuse files whose bytes do not all arrive and
// read chunked files exactly like whole ones. Also the cancel flag and the
// molecule file names the header can hold.

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <algorithm>
#include <functional>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "fastdb_test_db.h"
#include "fastdb/engine/engine.h"
#include "faulty_file_system.h"
#include "kvsystem/iterator.h"
#include "kvsystem/temporary_output.h"
#include "varnex/fastdb.h"
#include "varnex/fpbin.h"
#include "varnex/fpbin_create.h"
#include "varnex/shards.h"

using VarnexTest::ReadFile;
using VarnexTest::TempDir;
using VarnexTest::CaptureSink;
using VarnexTest::FaultyFileSystem;

namespace {

using FastDbTest::Path4096;

Varnex::KvCreateFastFPDatabaseOptions Options(unsigned threads) {
  return FastDbTest::CreateOptions(Path4096(), threads);
}

// Every fault under creation, a cancel flag raised once work has started (as
// a signal would) and memory exhausted in a worker (the exception reaches the
// creator on the calling thread, the process lives on): false, the fault and
// its consequence named, the old output byte for byte as it was, and no
// temporary file left, on any thread count.
TEST(FaultInjection, FailedCreationLeavesTheOutputUntouchedAndNoTemporaryFile) {
  TempDir dir;
  const std::string mols = dir.File("mols.smi", FastDbTest::NciLines(60));
  const std::string out = dir.Path("db.fpbin");
  ASSERT_TRUE(Varnex::KvCreateFastFPDatabaseFile(out, dir.File("old.smi", "CCO\nCCN\n"), Options(1)));
  const std::string old = ReadFile(out);
  const std::set<std::string> files = dir.Files();
  const std::string creator = "KvCreateFastFPDatabaseFile() : ";
  std::atomic<bool> cancel{false};
  std::atomic<int> writes{0};

  struct Case {
    const char* name;
    std::function<void(FaultyFileSystem&)> arm;
    std::string fault;        // the warning before the last, after the creator's name ("": none)
    std::string consequence;  // last warning, after the creator's name
  };
  const std::string notWritten = "unable to write fingerprint database file: " + out;
  const Case cases[] = {
      {"temporary file refused", [](FaultyFileSystem& fs) { fs.failCreate = true; }, "cannot create",
       "unable to open fingerprint database file: " + out},
      {"disk full at sizing", [](FaultyFileSystem& fs) { fs.failReserve = true; }, "cannot reserve space for",
       "unable to open fingerprint database file: " + out},
      {"short header write", [](FaultyFileSystem& fs) { fs.failWriteNumber = 0; }, "cannot write",
       "unable to write fingerprint database header: " + out},
      {"short first record write", [](FaultyFileSystem& fs) { fs.failWriteNumber = 1; }, "cannot write", notWritten},
      {"short last record write", [](FaultyFileSystem& fs) { fs.failWriteNumber = 12; }, "cannot write", notWritten},
      {"failed sync", [](FaultyFileSystem& fs) { fs.failSync = true; }, "cannot sync", notWritten},
      {"failed close", [](FaultyFileSystem& fs) { fs.failClose = true; }, "cannot close", notWritten},
      {"failed rename", [](FaultyFileSystem& fs) { fs.failRename = true; }, "cannot rename", notWritten},
      {"cancelled", [&](FaultyFileSystem& fs) { fs.onWrite = [&] { cancel = true; }; }, "",
       "creation of " + out + " cancelled"},
      {"out of memory",
       [&](FaultyFileSystem& fs) {
         fs.onWrite = [&] {
           if (++writes == 4) throw std::bad_alloc();
         };
       },
       "", "std::bad_alloc"},
  };
  Varnex::KvCreateFastFPDatabaseOptions options = Options(1);
  options.SetCancelFlag(&cancel);
  for (const Case& c : cases) {
    for (unsigned threads : {1u, 2u, 4u}) {
      SCOPED_TRACE(std::string(c.name) + ", threads " + std::to_string(threads));
      cancel = false;
      writes = 0;
      options.SetNumProcessors(threads);
      FaultyFileSystem fs;
      c.arm(fs);
      CaptureSink sink;
      EXPECT_FALSE(Varnex::KvCreateFastFPDatabaseFile(out, mols, options));
      const std::vector<std::string> texts = sink.Texts();
      ASSERT_GE(texts.size(), c.fault.empty() ? 1u : 2u);
      if (!c.fault.empty()) {
        EXPECT_EQ(texts[texts.size() - 2].rfind(creator + c.fault + " " + dir.Path("db.fpbin.tmp-"), 0), 0u)
            << texts[texts.size() - 2];
      }
      EXPECT_EQ(texts.back(), creator + c.consequence);
      EXPECT_TRUE(ReadFile(out) == old);
      EXPECT_EQ(dir.Files(), files);
    }
  }
  // Without faults, and with a flag that stays clear, the same creation goes through.
  FaultyFileSystem fs;
  cancel = false;
  ASSERT_TRUE(Varnex::KvCreateFastFPDatabaseFile(out, mols, options));
  EXPECT_EQ(ReadFile(out).size(), Varnex::KvGetFPDatabaseFileSize(60, Path4096()));
}

// Shards appear together or not at all: a fault in any of them leaves no
// shard, no manifest and no temporary file, for creation and for splitting.
TEST(FaultInjection, FailedShardingLeavesNoShard) {
  TempDir dir;
  const std::string mols = dir.File("mols.smi", FastDbTest::NciLines(60));
  const std::string whole = dir.Path("whole.fpbin");
  ASSERT_TRUE(Varnex::KvCreateFastFPDatabaseFile(whole, mols, Options(1)));
  const std::set<std::string> files = dir.Files();
  const struct {
    const char* name;
    std::function<void(FaultyFileSystem&)> arm;
  } faults[] = {
      {"disk full at sizing", [](FaultyFileSystem& fs) { fs.failReserve = true; }},
      {"short record write of the last shard",
       [](FaultyFileSystem& fs) {
         fs.failWriteNumber = 1;
         fs.failWriteIn = "shards-3.fpbin";
       }},
      {"manifest not written",
       [](FaultyFileSystem& fs) {
         fs.failWriteNumber = 0;
         fs.failWriteIn = "shards.json";
       }},
      {"failed rename", [](FaultyFileSystem& fs) { fs.failRename = true; }},
  };
  for (const auto& fault : faults) {
    for (bool split : {false, true}) {
      SCOPED_TRACE(std::string(fault.name) + (split ? ", split" : ", created"));
      FaultyFileSystem fs;
      fault.arm(fs);
      CaptureSink sink;
      Varnex::KvShardManifest manifest;
      Varnex::KvCreateFastFPDatabaseSummary summary;
      const std::string out = dir.Path("shards.fpbin");
      EXPECT_FALSE(split ? Varnex::KvSplitFastFPDatabase(whole, 4, out, manifest)
                         : Varnex::KvCreateShardedFastFPDatabase(out, mols, Options(2), 4, summary, manifest));
      EXPECT_GE(sink.Count(), 1u);
      EXPECT_EQ(dir.Files(), files);
    }
  }
}

// Clean against faulty reads: chunked reads give the same database as whole
// ones; a file whose records do not all arrive is refused by both engines
// with the record named.
TEST(FaultInjection, ShortAndFailedReads) {
  TempDir dir;
  const std::string out = dir.Path("db.fpbin");
  ASSERT_TRUE(Varnex::KvCreateFastFPDatabaseFile(out, dir.File("mols.smi", FastDbTest::NciLines(40)), Options(1)));
  const std::uint64_t record = (Varnex::KvGetFingerPrintSize(Path4096()) / 64 + 2) * 8;
  Varnex::KvFPDatabaseOptions search;
  search.SetLimit(5);
  auto topHits = [&](const Varnex::KvFastFPDatabase& db) {
    return FastDbTest::ScoresOf(KvSystem::KvCollect(db.GetSortedScores(std::size_t{7}, search)));
  };
  const Varnex::KvFastFPDatabase clean(out, Varnex::KvFastFPDatabaseMemoryType::InMemory);
  const auto expected = topHits(clean);
  ASSERT_EQ(expected.size(), 5u);

  // Memory types 1 and 2, and 2 read on two threads (3).
  auto open = [&](unsigned way) {
    Varnex::SetTwoThreadOpeningFrom(way == 3 ? 0 : std::uint64_t{64} << 20);
    auto db = std::make_unique<Varnex::KvFastFPDatabase>(out, std::min(way, 2u));
    Varnex::SetTwoThreadOpeningFrom(std::uint64_t{64} << 20);
    return db;
  };
  for (std::size_t chunk : {1u, 7u, 800u, 1000u}) {
    FaultyFileSystem fs;
    fs.readChunk = chunk;
    for (unsigned way : {1u, 2u, 3u}) {
      const auto db = open(way);
      ASSERT_TRUE(db->IsValid()) << chunk;
      EXPECT_EQ(topHits(*db), expected) << chunk;
    }
  }

  const std::string opening = "KvFastFPDatabase::KvFastFPDatabase() : ";
  const struct {
    const char* name;
    std::uint64_t end, errorFrom;
    std::string warning;
  } cases[] = {
      {"ends inside record 39", 800 + 39 * record + 8, UINT64_MAX, opening + "cannot read 39-th fingerprint"},
      {"read error at record 12", UINT64_MAX, 800 + 12 * record, opening + "cannot read 12-th fingerprint"},
      {"read error in the header", UINT64_MAX, 0,
       "KvFastFPDatabaseParams() cannot read fingerprint database file " + out + ": cannot read: Input/output error"},
  };
  for (const auto& c : cases) {
    for (unsigned way : {1u, 2u, 3u}) {
      SCOPED_TRACE(std::string(c.name) + ", way " + std::to_string(way));
      FaultyFileSystem fs;
      fs.readEnd = c.end;
      fs.readErrorFrom = c.errorFrom;
      CaptureSink sink;
      EXPECT_FALSE(open(way)->IsValid());
      EXPECT_TRUE(sink.Contains(c.warning)) << ::testing::PrintToString(sink.Texts());
    }
  }
}

// The operations the file system layer took over from direct system calls:
// a failed mapping (of a database an engine opens, of a file mapped for
// writing) and a failed save of a whole file (each of its three steps; a
// failed sync is creation's) give their error, leave no view, the old file as
// it was and no temporary file.
TEST(FaultInjection, FailedMappingsAndSavesAreNamedAndLeaveNoFile) {
  TempDir dir;
  const std::string db = dir.Path("db.fpbin");
  ASSERT_TRUE(Varnex::KvCreateFastFPDatabaseFile(db, dir.File("mols.smi", FastDbTest::NciLines(10)), Options(1)));
  const std::string saved = dir.File("saved.svg", "old");
  const std::set<std::string> files = dir.Files();
  const std::string bytes(100000, 'x');
  auto save = [&] {  // a caller reports what failed
    const KvSystem::KvStatus status = KvSystem::KvWriteWholeFile(saved, bytes);
    if (!status.IsOk()) KvSystem::KvThrow()->Warning("%s", status.Message().c_str());
    return status.IsOk();
  };
  struct Case {
    const char* name;
    std::function<void(FaultyFileSystem&)> arm;
    std::function<bool()> act;  // false when it failed
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"mapped engine", [](FaultyFileSystem& fs) { fs.failMap = true; },
       [&] { return Varnex::KvFastFPDatabase(db, Varnex::KvFastFPDatabaseMemoryType::MemoryMapped).IsValid(); },
       {"Unable to mmap file",
        "KvFastFPDatabase::KvFastFPDatabase() : cannot initialize object for memory mapping!"}},
      {"mapped output", [](FaultyFileSystem& fs) { fs.failMap = true; },
       [&] {
         Varnex::MMapOutputFile out;
         return out.Open(dir.Path("new.bin"), 4096) || out.GetPtr() != nullptr;
       },
       {"Unable to mmap file"}},
      {"save: temporary file refused", [](FaultyFileSystem& fs) { fs.failCreate = true; }, save,
       {"cannot write " + saved + ": Permission denied"}},
      {"save: disk full", [](FaultyFileSystem& fs) { fs.failWriteNumber = 0; }, save,
       {"cannot write " + saved + ": No space left on device"}},
      {"save: failed rename", [](FaultyFileSystem& fs) { fs.failRename = true; }, save,
       {"cannot write " + saved + ": Device or resource busy"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FaultyFileSystem fs;
    c.arm(fs);
    CaptureSink sink;
    EXPECT_FALSE(c.act());
    EXPECT_EQ(sink.Texts(), c.messages);
    EXPECT_EQ(ReadFile(saved), "old");
    EXPECT_EQ(dir.Files(), files);
  }
  // Without faults each goes through.
  FaultyFileSystem fs;
  EXPECT_TRUE(Varnex::KvFastFPDatabase(db, Varnex::KvFastFPDatabaseMemoryType::MemoryMapped).IsValid());
  EXPECT_TRUE(save());
  EXPECT_TRUE(ReadFile(saved) == bytes);
}

// Molecule file names the header line cannot hold whole are stored as their
// base name, line breaks as '?': paths of every length around what the header
// holds are stored one way or the other, and every file reads back.
TEST(FaultInjection, MoleculeFileNamesRoundTripThroughTheHeader) {
  TempDir dir;
  const std::string out = dir.Path("names.fpbin");
  const std::string broken = dir.Path("a\nb\r.smi");
  { std::ofstream(broken) << "CCO\n"; }
  ASSERT_TRUE(Varnex::KvCreateFastFPDatabaseFile(out, broken, Options(1)));
  EXPECT_EQ(Varnex::KvFastFPDatabaseParams(out).GetMolDatabaseFilename(), "a?b?.smi");
  std::string mid = dir.Path("");
  for (int i = 0; i < 3; ++i) {
    mid += std::string(200, static_cast<char>('a' + i)) + "/";
    std::filesystem::create_directories(mid);
  }
  ASSERT_LT(mid.size(), 630u);
  bool storedWhole = false, storedShort = false;
  for (std::size_t length = 640; length <= 720; ++length) {
    const std::string name = std::string(length - mid.size() - 4, 'm') + ".smi";
    const std::string path = mid + name;
    { std::ofstream(path) << "CCO\n"; }
    ASSERT_TRUE(Varnex::KvCreateFastFPDatabaseFile(out, path, Options(1)));
    const Varnex::KvFastFPDatabaseParams params(out);
    ASSERT_TRUE(params.IsValid()) << length;
    EXPECT_TRUE(params.GetMolDatabaseFilename() == path || params.GetMolDatabaseFilename() == name) << length;
    storedWhole = storedWhole || params.GetMolDatabaseFilename() == path;
    storedShort = storedShort || params.GetMolDatabaseFilename() == name;
    std::filesystem::remove(path);
  }
  EXPECT_TRUE(storedWhole && storedShort);
}

}  // namespace
