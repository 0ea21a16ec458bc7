// Creating .fpbin files: refusals with their warnings, records written once
// each at their molecule's slot by many threads, as one by one on one thread,
// unparsable molecules keeping their slot, the NCI set.

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

// Creation's own refusals; the molecule file, the output folder and the
// other types refused are walked by the message table.
TEST(FpbinCreate, RefusalsWarnAndReturnFalse) {
  TempDir dir;
  const std::string smi = dir.File("mols.smi", "CCO ethanol\nc1ccccc1 benzene\n");
  const std::string out = dir.Path("out.fpbin");
  struct Case {
    const char* name;
    std::string fpbin;
    const Varnex::KvFPTypeBase* type;
    std::string warning;
  };
  const Case cases[] = {
      {"upper-case extension", dir.Path("out.FPBIN"), Path4096(),
       "fingerprint database file should have '.fpbin' file extension!"},
      {"no extension", dir.Path("fpbin"), Path4096(),
       "fingerprint database file should have '.fpbin' file extension!"},
      {"null type", out, nullptr, "invalid fingerprint pointer!"},
      {"MACCS", out, Varnex::KvGetFPType(Varnex::KvFPType::MACCS166),
       "invalid fingerprint type (only path, circular or tree allowed)!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CaptureSink sink;
    EXPECT_FALSE(KvCreateFastFPDatabaseFile(c.fpbin, smi, c.type));
    EXPECT_TRUE(sink.Contains(std::string(kCreator) + " " + c.warning))
        << (sink.Count() ? sink.Texts().back() : "no message");
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

// Every record written once, at its molecule's slot, equal to the
// fingerprint made one by one from a molecule of the caller (creation
// readies its own molecules in place instead of copying them), so the file
// is the same on any thread count; the records of unreadable molecules
// empty, listed and warned of. Three molecules on eight threads, broken lines
// in several five-molecule chunks (so that workers merge their lists), the
// NCI sets as SMILES and as SD file.
TEST(FpbinCreate, EveryRecordIsAtItsSlot) {
  TempDir dir;
  std::string broken;
  for (int i = 0; i < 13; ++i) broken += (i == 1 || i == 3 || i == 7 || i == 12) ? "C1CC(broken unclosed\n" : "CCO\n";
  const std::string sdf = std::string(VARNEX_RDKIT_DATA_DIR) + "/NCI/first_200.props.sdf";
  const struct {
    std::string mols;
    const Varnex::KvFPTypeBase* type;
    unsigned threads;
  } cases[] = {
      {dir.File("three.smi", "CCO ethanol\nc1ccccc1O phenol\nCC(=O)Nc1ccc(O)cc1 paracetamol\n"), Path4096(), 8},
      {dir.File("broken.smi", broken), Varnex::KvGetFPType(Varnex::KvFPType::Circular), 3},
      {kNci5K, Path4096(), 3},
      {kNci5K, Varnex::KvGetFPType(Varnex::KvFPType::Circular), 2},  // read without hybridisation
      {sdf, Varnex::KvGetFPType(Varnex::KvFPType::Circular), 2},
      {sdf, Varnex::KvGetFPType(Varnex::KvFPType::Tree), 1},
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
    Varnex::KvCreateFastFPDatabaseSummary summary;
    ASSERT_TRUE(KvCreateFastFPDatabaseFile(out, c.mols, options, summary));
    const std::size_t warnings = sink.Count();
    EXPECT_EQ(options.GetTracer()->GetCount(), n);
    const Varnex::KvFastFPDatabaseParams params(out);
    EXPECT_EQ(params.NumFingerPrints(), n);
    EXPECT_EQ(params.GetMolDatabaseFilename(), c.mols);
    ASSERT_TRUE(Varnex::KvCheckFastFPDatabaseLayout(params, out, "Test()"));
    const std::string bytes = ReadFile(out);
    const std::uint64_t words = Varnex::KvGetFingerPrintSize(c.type) / 64;
    std::vector<std::uint64_t> empty;
    for (unsigned i = 0; i < n; ++i) {
      const std::size_t at = Varnex::KvFastFPRecordOffset(i, words);
      ASSERT_EQ(WordAt(bytes, at), i);
      if (WordAt(bytes, at + 8) != 0) {
        ASSERT_EQ(bytes.substr(at, (words + 2) * 8), ExpectedRecord(mols, i, c.type)) << i;
        continue;
      }
      empty.push_back(i);
      KvChem::KvMol mol;
      EXPECT_FALSE(mols.GetMolecule(mol, i)) << i;
      EXPECT_EQ(bytes.substr(at + 16, 8 * words), std::string(8 * words, '\0')) << i;
    }
    EXPECT_EQ(summary.records, n);
    EXPECT_EQ(summary.failed, empty);
    EXPECT_EQ(summary.unreadable, empty.size());
    EXPECT_EQ(warnings, 2 * empty.size());  // the reader and the creator name each unreadable molecule
  }
}

// The empty record of an unreadable molecule against readable and unreadable
// molecules; the other refusals are walked by the message table.
TEST(FpbinCompatibility, SizesFirstRecordAndEmptyRecords) {
  TempDir dir;
  const std::string good = "CCO ethanol\nc1ccccc1O phenol\nCCN ethylamine\n", bad = "C1CC(bad\nc1ccccc1O\nCCN\n";
  CaptureSink quiet;  // creation warns of the unreadable molecule
  ASSERT_TRUE(KvCreateFastFPDatabaseFile(dir.Path("good.fpbin"), dir.File("good.smi", good), Path4096()));
  ASSERT_TRUE(KvCreateFastFPDatabaseFile(dir.Path("bad.fpbin"), dir.File("bad.smi", bad), Path4096()));
  const Varnex::KvFastFPDatabase goodDb(dir.Path("good.fpbin"), 1), badDb(dir.Path("bad.fpbin"), 2);
  const std::string prefix = "KvAreCompatibleDatabases() ";
  const struct {
    const char* name;
    std::string mols;  // "" for a molecule database never opened
    const Varnex::KvFastFPDatabase& db;
    std::string fault;  // "" when compatible
  } cases[] = {
      {"same molecules", good, goodDb, ""},
      {"unopened", "", goodDb, "empty molecule database!"},
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
