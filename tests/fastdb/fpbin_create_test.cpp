// Creating .fpbin files: refusals with their warnings, records written once
// each at their molecule's slot by many threads, byte-identical files for any
// thread count, unparsable molecules keeping their slot, the NCI set.

#include "varnex/fpbin_create.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "fastdb_test_db.h"
#include "kvchem/mol.h"
#include "kvchem/moldb.h"
#include "kvsystem/platform.h"
#include "varnex/fastdb.h"
#include "varnex/fpbin.h"
#include "varnex/generation.h"

using VarnexTest::ReadFile;
using VarnexTest::TempDir;
using FastDbTest::WordAt;
using Varnex::KvCreateFastFPDatabaseFile;
using Varnex::KvCreateFastFPDatabaseOptions;
using VarnexTest::CaptureSink;

namespace {

const std::string kNci5K = std::string(VARNEX_RDKIT_DATA_DIR) + "/NCI/first_5K.smi";
constexpr const char* kCreator = "KvCreateFastFPDatabaseFile()";

using FastDbTest::CreateOptions;
using FastDbTest::Path4096;

// The record that creation must write for molecule `index` of `mols`.
std::string ExpectedRecord(const KvChem::KvMolDatabase& mols, unsigned index, const Varnex::KvFPTypeBase* type) {
  KvChem::KvMol mol;
  Varnex::KvFingerPrint fp;
  EXPECT_TRUE(mols.GetMolecule(mol, index));
  EXPECT_TRUE(Varnex::KvMakeFP(fp, mol, type));
  return Varnex::KvWriteFastFingerPrintBlob(index, fp);
}

// The thread count is capped at twice the processors; the options hold their
// own copy of the tracer.
TEST(FpbinCreateOptions, ProcessorsAreCappedAndTracerIsCopied) {
  const unsigned machine = KvSystem::KvGetNumProcessors();
  KvCreateFastFPDatabaseOptions options(Path4096());
  EXPECT_EQ(options.GetNumProcessors(), machine);
  options.SetNumProcessors(1000000);
  EXPECT_EQ(options.GetNumProcessors(), 2 * machine);
  KvSystem::KvDots dots("Creating", "molecules");
  dots.SetDisplay(KvSystem::KvDots::Display::Never);
  options.SetTracer(dots);
  options.GetTracer()->Update(4);
  EXPECT_EQ(dots.GetCount(), 0u);
  const KvCreateFastFPDatabaseOptions copy(options);
  ASSERT_NE(copy.GetTracer(), options.GetTracer());
  EXPECT_EQ(copy.GetTracer()->GetCount(), 4u);
}

TEST(FpbinCreate, RefusalsWarnAndReturnFalse) {
  TempDir dir;
  const std::string smi = dir.File("mols.smi", "CCO ethanol\nc1ccccc1 benzene\n");
  const std::string empty = dir.File("empty.smi", "");
  const std::string out = dir.Path("out.fpbin");
  struct Case {
    const char* name;
    std::string fpbin, mol;
    const Varnex::KvFPTypeBase* type;
    std::string warning;
  };
  const Case cases[] = {
      {"upper-case extension", dir.Path("out.FPBIN"), smi, Path4096(),
       "fingerprint database file should have '.fpbin' file extension!"},
      {"short extension", dir.Path("out.fpb"), smi, Path4096(),
       "fingerprint database file should have '.fpbin' file extension!"},
      {"no extension", dir.Path("fpbin"), smi, Path4096(),
       "fingerprint database file should have '.fpbin' file extension!"},
      {"missing molecules", out, dir.Path("absent.smi"), Path4096(),
       "cannot open molecule file " + dir.Path("absent.smi") + "!"},
      {"empty molecule file", out, empty, Path4096(), "empty molecule database!"},
      {"null type", out, smi, nullptr, "invalid fingerprint pointer!"},
      {"1000 bits", out, smi, Varnex::KvGetPathFPType(1000, 0, 5, 191, 3),
       "invalid fingerprint size (has to be multiple of 256)!"},
      {"MACCS", out, smi, Varnex::KvGetFPType(Varnex::KvFPType::MACCS166),
       "invalid fingerprint type (only path, circular or tree allowed)!"},
      {"Lingo", out, smi, Varnex::KvGetFPType(Varnex::KvFPType::Lingo),
       "invalid fingerprint type (only path, circular or tree allowed)!"},
      {"unhashed path", out, smi, Varnex::KvGetFPType(Varnex::KvFPType::UnhashedPath),
       "invalid fingerprint type (only path, circular or tree allowed)!"},
      {"output directory missing", dir.Path("no/dir/out.fpbin"), smi, Path4096(),
       ": unable to open fingerprint database file: " + dir.Path("no/dir/out.fpbin")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CaptureSink sink;
    EXPECT_FALSE(KvCreateFastFPDatabaseFile(c.fpbin, c.mol, c.type));
    EXPECT_TRUE(sink.Contains(std::string(kCreator) + " " + c.warning))
        << (sink.Count() ? sink.Texts().back() : "no message");
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(FpbinCreate, UnparsableMoleculesKeepEmptyRecordsAtTheirSlotsAndAreListed) {
  TempDir dir;
  // Broken lines in several five-molecule chunks, so that workers merge their lists.
  const std::vector<std::uint64_t> broken = {1, 3, 7, 12};
  std::string text;
  for (std::uint64_t i = 0; i < 13; ++i)
    text += std::find(broken.begin(), broken.end(), i) != broken.end() ? "C1CC(broken unclosed\n" : "CCO\n";
  const std::string smi = dir.File("bad.smi", text);
  const auto* circular = Varnex::KvGetFPType(Varnex::KvFPType::Circular);
  const std::uint64_t words = Varnex::KvGetFingerPrintSize(circular) / 64;
  for (unsigned threads : {1u, 3u}) {
    SCOPED_TRACE(threads);
    const std::string out = dir.Path(std::to_string(threads) + ".fpbin");
    CaptureSink sink;
    Varnex::KvCreateFastFPDatabaseSummary summary;
    ASSERT_TRUE(KvCreateFastFPDatabaseFile(out, smi, CreateOptions(circular, threads), summary));
    EXPECT_TRUE(sink.Contains(std::string(kCreator) + " cannot access molecule with index 1"));
    EXPECT_TRUE(sink.Contains(std::string(kCreator) + " cannot access molecule with index 12"));
    EXPECT_EQ(summary.records, 13u);
    EXPECT_EQ(summary.unreadable, broken.size());
    EXPECT_EQ(summary.failed, broken);

    const std::string bytes = ReadFile(out);
    ASSERT_EQ(bytes.size(), Varnex::KvFastFPRecordOffset(13, words));
    for (unsigned i = 0; i < 13; ++i) {
      const std::size_t at = Varnex::KvFastFPRecordOffset(i, words);
      EXPECT_EQ(WordAt(bytes, at), i);
      const bool empty = std::find(broken.begin(), broken.end(), i) != broken.end();
      EXPECT_EQ(WordAt(bytes, at + 8) == 0, empty) << i;
      if (empty) {
        EXPECT_EQ(bytes.substr(at + 16, 8 * words), std::string(8 * words, '\0')) << i;
      }
    }
  }
}

TEST(FpbinCreate, FileIsByteIdenticalForAnyThreadCount) {
  TempDir dir;
  const std::string smi = dir.File("nci400.smi", FastDbTest::NciLines(400));
  const auto* tree = Varnex::KvGetTreeFPType(1024, 0, 4, 63, 1);
  std::string first;
  for (unsigned threads : {1u, 2u, 3u, 7u}) {
    SCOPED_TRACE(threads);
    const std::string out = dir.Path(std::to_string(threads) + "threads.fpbin");
    ASSERT_TRUE(KvCreateFastFPDatabaseFile(out, smi, CreateOptions(tree, threads)));
    const std::string bytes = ReadFile(out);
    ASSERT_EQ(bytes.size(), Varnex::KvGetFPDatabaseFileSize(400, tree));
    if (first.empty()) first = bytes;
    EXPECT_TRUE(bytes == first);
  }
}

// The NCI sets as SMILES and as SD file, and three molecules on eight
// threads: every record written once, at its molecule's slot, equal to the
// fingerprint made one by one from a molecule of the caller (creation
// readies its own molecules in place instead of copying them).
TEST(FpbinCreate, EveryRecordIsAtItsSlot) {
  TempDir dir;
  const std::string sdf = std::string(VARNEX_RDKIT_DATA_DIR) + "/NCI/first_200.props.sdf";
  const struct {
    std::string mols;
    const Varnex::KvFPTypeBase* type;
    unsigned threads;  // 0: the form without options
  } cases[] = {
      {dir.File("three.smi", "CCO ethanol\nc1ccccc1O phenol\nCC(=O)Nc1ccc(O)cc1 paracetamol\n"), Path4096(), 8},
      {kNci5K, Path4096(), 0},
      {sdf, Varnex::KvGetFPType(Varnex::KvFPType::Circular), 2},
      {sdf, Varnex::KvGetFPType(Varnex::KvFPType::Tree), 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mols);
    const std::string out = dir.Path("nci.fpbin");
    KvChem::KvMolDatabase mols;
    ASSERT_TRUE(mols.Open(c.mols));
    const std::uint64_t n = mols.GetMaxMolIdx();
    KvCreateFastFPDatabaseOptions options = CreateOptions(c.type, c.threads);
    KvSystem::KvDots dots("Creating", "molecules");
    dots.SetDisplay(KvSystem::KvDots::Display::Never);
    options.SetTracer(dots);
    CaptureSink sink;
    ASSERT_TRUE(c.threads ? KvCreateFastFPDatabaseFile(out, c.mols, options)
                          : KvCreateFastFPDatabaseFile(out, c.mols, c.type));
    if (c.threads != 0) EXPECT_EQ(options.GetTracer()->GetCount(), n);
    const Varnex::KvFastFPDatabaseParams params(out);
    ASSERT_TRUE(params.IsValid());
    EXPECT_EQ(params.NumFingerPrints(), n);
    EXPECT_EQ(params.GetMolDatabaseFilename(), c.mols);
    ASSERT_TRUE(Varnex::KvCheckFastFPDatabaseLayout(params, out, "Test()"));
    const std::string bytes = ReadFile(out);
    const std::uint64_t words = Varnex::KvGetFingerPrintSize(c.type) / 64;
    std::uint64_t nonEmpty = 0;
    for (std::uint64_t i = 0; i < n; ++i) {
      const std::size_t at = Varnex::KvFastFPRecordOffset(i, words);
      ASSERT_EQ(WordAt(bytes, at), i);
      ASSERT_LE(WordAt(bytes, at + 8), 64 * words);
      nonEmpty += WordAt(bytes, at + 8) > 0;
    }
    EXPECT_GT(nonEmpty + 10, n);
    EXPECT_EQ(sink.Count(), 2 * (n - nonEmpty));  // the reader and the creator name each unparsable molecule
    for (unsigned i = 0; i < n; ++i) {
      if (WordAt(bytes, Varnex::KvFastFPRecordOffset(i, words) + 8) == 0) continue;  // unparsable
      ASSERT_EQ(bytes.substr(Varnex::KvFastFPRecordOffset(i, words), (words + 2) * 8), ExpectedRecord(mols, i, c.type))
          << i;
    }
  }
}

TEST(FpbinCompatibility, SizesFirstRecordAndEmptyRecords) {
  TempDir dir;
  const std::string good = "CCO ethanol\nc1ccccc1O phenol\nCCN ethylamine\n", bad = "C1CC(bad\nc1ccccc1O\nCCN\n";
  CaptureSink quiet;  // creation and the missing file warn
  ASSERT_TRUE(KvCreateFastFPDatabaseFile(dir.Path("good.fpbin"), dir.File("good.smi", good), Path4096()));
  ASSERT_TRUE(KvCreateFastFPDatabaseFile(dir.Path("bad.fpbin"), dir.File("bad.smi", bad), Path4096()));
  const Varnex::KvFastFPDatabase goodDb(dir.Path("good.fpbin"), 1), badDb(dir.Path("bad.fpbin"), 2),
      missing(dir.Path("absent.fpbin"), 1);
  const std::string prefix = "KvAreCompatibleDatabases() ";
  const struct {
    const char* name;
    std::string mols;  // "" for a molecule database never opened
    const Varnex::KvFastFPDatabase& db;
    std::string fault;  // "" when compatible
  } cases[] = {
      {"same molecules", good, goodDb, ""},
      {"unopened", "", goodDb, "empty molecule database!"},
      {"fewer molecules", "CCO\nCCN\n", goodDb, "different number of entries!"},
      {"other first molecule", "CCCl\nc1ccccc1O\nCCN\n", goodDb, "fingerprint mismatch!"},
      {"unreadable first molecule", bad, goodDb, "cannot access molecule data!"},
      {"missing database", good, missing, "invalid fingerprint database!"},
      // An unreadable first molecule left an empty record: no mismatch then.
      {"empty first record", bad, badDb, ""},
      {"empty first record, readable molecule", good, badDb, "fingerprint mismatch!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    KvChem::KvMolDatabase mols;
    if (!c.mols.empty()) {
      ASSERT_TRUE(mols.Open(dir.File(std::string(c.name) + ".smi", c.mols)));
    }
    CaptureSink sink;
    EXPECT_EQ(Varnex::KvAreCompatibleDatabases(mols, c.db), c.fault.empty());
    bool reported = false;
    for (const std::string& text : sink.Texts()) reported |= text.rfind(prefix, 0) == 0;
    EXPECT_EQ(reported, !c.fault.empty());
    if (!c.fault.empty()) {
      EXPECT_TRUE(sink.Contains(prefix + c.fault)) << ::testing::PrintToString(sink.Texts());
    }
  }
}

TEST(FpbinCreate, RecreatingAMappedFileLeavesItsReadersTheOldBytes) {
  TempDir dir;
  const std::string first = dir.File("first.smi", FastDbTest::NciLines(50));
  const std::string second = dir.File("second.smi", "CCO\n");
  const std::string out = dir.Path("db.fpbin");
  ASSERT_TRUE(KvCreateFastFPDatabaseFile(out, first, CreateOptions(Path4096(), 2)));
  const std::uint64_t size = Varnex::KvGetFPDatabaseFileSize(50, Path4096());
  Varnex::MMapInputFile reader;
  ASSERT_TRUE(reader.Open(out, size));
  const std::string before(reinterpret_cast<const char*>(reader.Bytes().data()), size);

  ASSERT_TRUE(KvCreateFastFPDatabaseFile(out, second, CreateOptions(Path4096(), 2)));
  EXPECT_EQ(ReadFile(out).size(), Varnex::KvGetFPDatabaseFileSize(1, Path4096()));
  // Every page of the old view is still there (a truncation would fault here).
  EXPECT_TRUE(std::string(reinterpret_cast<const char*>(reader.Bytes().data()), size) == before);
}

}  // namespace
