// The .fpbin layout to the byte: header blob, records, file size, the header
// reader on clean and deliberately corrupted files, the layout check, type
// admission and the memory-mapped files.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "fastdb_test_db.h"
#include "varnex/fpbin.h"

using VarnexTest::TempDir;
using FastDbTest::WordAt;
using Varnex::KvFastFPDatabaseParams;
using Varnex::KvFingerPrint;
using VarnexTest::CaptureSink;

namespace {

using FastDbTest::Path4096;

KvFingerPrint MakeFP(const Varnex::KvFPTypeBase* type, unsigned bits, const std::vector<unsigned>& on) {
  KvFingerPrint fp;
  fp.SetSize(bits);
  for (unsigned b : on) fp.SetBitOn(b);
  fp.SetFPTypeBase(type);
  return fp;
}

KvFastFPDatabaseParams Params(const std::string& molName, std::uint64_t n) {
  KvFastFPDatabaseParams params;
  params.SetMolDatabaseFilename(molName);
  params.SetFPTypeBase(Path4096());
  params.SetNumFingerPrints(n);
  return params;
}

// A well-formed file of `n` default path records; record i has bits i and 4095.
std::string WellFormedFile(std::uint64_t n) {
  std::string bytes = Varnex::KvWriteFastFPDatabaseHeaderBlob(Params("mols.smi", n));
  for (std::uint64_t i = 0; i < n; ++i)
    bytes += Varnex::KvWriteFastFingerPrintBlob(i, MakeFP(Path4096(), 4096, {static_cast<unsigned>(i), 4095}));
  return bytes;
}

std::string Replace(std::string bytes, const std::string& from, const std::string& to) {
  const std::size_t at = bytes.find(from);
  bytes.replace(at, from.size(), to);
  return bytes;
}

TEST(FpbinLayout, FileSizeOfWorkedExamples) {
  EXPECT_EQ(Varnex::KvGetFPDatabaseFileSize(1000, Path4096()), 800u + 1000u * 66u * 8u);
  EXPECT_EQ(Varnex::KvGetFPDatabaseFileSize(0, Path4096()), 800u);
  EXPECT_EQ(Varnex::KvGetFPDatabaseFileSize(5, nullptr), 800u + 5u * 2u * 8u);  // W = 0
  EXPECT_EQ(Varnex::KvFastFPRecordOffset(2, 64), 800u + 2u * 66u * 8u);
}

TEST(FpbinLayout, HeaderBlobHoldsFourLinesZerosAndBinaryCounts) {
  const std::string type = Path4096()->GetFPTypeString();
  const std::string blob = Varnex::KvWriteFastFPDatabaseHeaderBlob(Params("M.smi", 10));
  ASSERT_EQ(blob.size(), 800u);
  const std::string text = "LE\nM.smi\n" + type + "\n10\n";
  EXPECT_EQ(blob.substr(0, text.size()), text);
  EXPECT_EQ(blob.find_first_not_of('\0', text.size()), 784u);
  EXPECT_EQ(WordAt(blob, 784), 64u);
  EXPECT_EQ(WordAt(blob, 792), 10u);
  // Text too long for the header is cut at the binary fields.
  const std::string cut = Varnex::KvWriteFastFPDatabaseHeaderBlob(Params(std::string(900, 'm'), 3));
  ASSERT_EQ(cut.size(), 800u);
  EXPECT_EQ(cut.substr(0, 4), "LE\nm");
  EXPECT_EQ(cut[783], 'm');
  EXPECT_EQ(WordAt(cut, 784), 64u);
  EXPECT_EQ(WordAt(cut, 792), 3u);
}

// A record and the words of its fingerprint: index, bit count, then the
// fingerprint's bytes as they are stored, whole 64-bit words only.
TEST(FpbinLayout, RecordAndWordsOfWorkedExample) {
  const KvFingerPrint fp = MakeFP(Path4096(), 4096, {0, 63, 64, 100, 4095});
  const std::string record = Varnex::KvWriteFastFingerPrintBlob(7, fp);
  ASSERT_EQ(record.size(), 528u);
  EXPECT_EQ(record.substr(0, 16), std::string("\x07\0\0\0\0\0\0\0\x05\0\0\0\0\0\0\0", 16));
  EXPECT_EQ(record.substr(16), std::string(reinterpret_cast<const char*>(fp.GetBytes()), 512));
  EXPECT_EQ(static_cast<unsigned char>(record[16]), 0x01u);       // bit 0
  EXPECT_EQ(static_cast<unsigned char>(record[16 + 12]), 0x10u);  // bit 100 = bit 4 of byte 12
  EXPECT_EQ(static_cast<unsigned char>(record[527]), 0x80u);      // bit 4095
  std::vector<std::uint64_t> words{42};
  EXPECT_EQ(Varnex::KvFingerPrintToWords(fp, words), 5u);
  ASSERT_EQ(words.size(), 64u);
  EXPECT_EQ(words[0], 0x8000000000000001ull);  // bits 0 and 63
  for (std::size_t w = 0; w < words.size(); ++w) EXPECT_EQ(WordAt(record, 16 + 8 * w), words[w]);
  // 192 bits are three words; 160 or 4000 are refused (the warnings are
  // walked by the message table).
  EXPECT_EQ(Varnex::KvWriteFastFingerPrintBlob(2, MakeFP(Path4096(), 192, {191})).size(), 16u + 24u);
  EXPECT_EQ(Varnex::KvFingerPrintToWords(MakeFP(Path4096(), 192, {3, 191}), words), 2u);
  EXPECT_EQ(words.size(), 3u);
  CaptureSink quiet;
  EXPECT_EQ(Varnex::KvWriteFastFingerPrintBlob(0, MakeFP(Path4096(), 160, {1})), "");
  EXPECT_EQ(Varnex::KvFingerPrintToWords(MakeFP(Path4096(), 4000, {3}), words), 0u);
  EXPECT_TRUE(words.empty());
}

// The writer's file, and the variants the reader accepts: a big-endian
// marker and an empty molecule file name.
TEST(FpbinHeader, ReadsWhatTheWriterWrote) {
  TempDir dir;
  const std::string type = Path4096()->GetFPTypeString();
  const struct {
    const char* name;
    std::string bytes;
    bool little;
    std::string molName;
  } cases[] = {
      {"as written", WellFormedFile(3), true, "mols.smi"},
      {"big-endian marker", Replace(WellFormedFile(3), "LE\n", "BE\n"), false, "mols.smi"},
      {"no molecule file name",
       Replace(WellFormedFile(3), "LE\nmols.smi\n" + type + "\n3\n", "LE\n\n" + type + "\n3\n" + std::string(8, '\0')),
       true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File("db.fpbin", c.bytes);
    CaptureSink sink;
    const KvFastFPDatabaseParams params(path);
    EXPECT_TRUE(params.IsValid());
    EXPECT_EQ(params.IsInLittleEndian(), c.little);
    EXPECT_EQ(params.GetMolDatabaseFilename(), c.molName);
    EXPECT_EQ(params.GetFPTypeBase(), Path4096());
    EXPECT_EQ(params.NumFingerPrints(), 3u);  // the size and W: the layout check
    EXPECT_TRUE(Varnex::KvCheckFastFPDatabaseLayout(params, path, "Test()"));
    EXPECT_EQ(sink.Count(), 0u) << sink.Texts().front();
  }
}

std::string WithWord(std::string bytes, std::size_t offset, std::uint64_t value) {
  FastDbTest::SetWordAt(bytes, offset, value);
  return bytes;
}

// Each case damages one part of a good file: the header reader or the layout
// check refuses it with the fault named. (Each line of the header text that
// is missing or unreadable is refused by the message table's triggers.)
TEST(FpbinHeader, DamagedFilesAreRefusedWithTheirWarning) {
  TempDir dir;
  const struct {
    const char* name;
    std::string (*damage)(std::string bytes);
    const char* warning;  // part of the warning, with %s for the path
  } cases[] = {
      {"100 bytes", [](std::string b) { return b.substr(0, 100); }, "invalid fingerprint database file %s"},
      {"marker X", [](std::string b) { return Replace(b, "LE\n", "X \n"); }, "invalid endianess ' X' in %s header"},
      {"binary count", [](std::string b) { return WithWord(b, 792, 4); },
       "inconsistent number of fingerprints in %s header"},
      {"one record short", [](std::string b) { return b.substr(0, b.size() - 528); },
       "Test() : size of %s (1856 bytes) does not match 3 fingerprints of 4096 bits!"},
      {"one byte long", [](std::string b) { return b + "x"; }, "does not match 3 fingerprints of 4096 bits!"},
      {"W of another type", [](std::string b) { return WithWord(b, 784, 32); },
       "does not match its type of 4096 bits!"},
      {"W not a multiple of 4", [](std::string b) { return WithWord(b, 784, 63); },
       "is not a positive multiple of 4!"},
      {"W zero", [](std::string b) { return WithWord(b, 784, 0); }, "is not a positive multiple of 4!"},
      // Header counts of 2^62 in text and binary: the expected size wraps.
      {"count that wraps",
       [](std::string b) {
         return Varnex::KvWriteFastFPDatabaseHeaderBlob(Params("mols.smi", 1ull << 62)) + b.substr(800);
       },
       "does not match 4611686018427387904 fingerprints"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File("bad.fpbin", c.damage(WellFormedFile(3)));
    CaptureSink sink;
    EXPECT_FALSE(Varnex::KvCheckFastFPDatabaseLayout(KvFastFPDatabaseParams(path), path, "Test()"));
    char expected[512];
    std::snprintf(expected, sizeof expected, c.warning, path.c_str());
    EXPECT_TRUE(FastDbTest::Mentions(sink.Texts(), expected)) << ::testing::PrintToString(sink.Texts());
  }
  // A folder (no file: the message table's row).
  CaptureSink sink;
  EXPECT_FALSE(KvFastFPDatabaseParams(dir.Path("")).IsValid());
  EXPECT_EQ(sink.Count(), 1u);
}

// A mapped output and a mapped input of one file see the same bytes; a
// mapping that fails is an error and leaves no view.
TEST(FpbinMappedFiles, OutputThenInputSeeTheSameBytesAndFaultsLeaveNoView) {
  TempDir dir;
  const std::string path = dir.Path("mapped.fpbin");
  Varnex::MMapOutputFile out;
  ASSERT_TRUE(out.Open(path, 4096 + 3));
  EXPECT_EQ(out.GetLength(), 4099u);
  static_cast<char*>(out.GetPtr())[4098] = 'z';
  ASSERT_TRUE(Varnex::KvWriteFastFPDatabaseParams(out, Params("m", 0)));
  Varnex::MMapOutputFile moved(std::move(out));
  EXPECT_EQ(out.GetPtr(), nullptr);
  moved.Close();
  moved.Close();
  EXPECT_EQ(moved.GetPtr(), nullptr);
  EXPECT_EQ(moved.GetLength(), 0u);
  Varnex::MMapInputFile in;
  ASSERT_TRUE(in.Open(path, 4099));
  ASSERT_EQ(in.Bytes().size(), 4099u);
  EXPECT_EQ(in.Bytes()[4098], 'z');
  EXPECT_EQ(VarnexTest::ReadFile(path).substr(0, 800), Varnex::KvWriteFastFPDatabaseHeaderBlob(Params("m", 0)));

  CaptureSink sink;
  Varnex::MMapInputFile bad;
  EXPECT_FALSE(bad.Open(path, 4100));  // past the end of the file
  EXPECT_FALSE(bad.Open(path, 0));
  EXPECT_EQ(bad.GetPtr(), nullptr);
  EXPECT_EQ(bad.GetLength(), 0u);
  Varnex::MMapOutputFile none;
  EXPECT_FALSE(none.Open(dir.Path("zero.fpbin"), 0));
  EXPECT_EQ(none.GetPtr(), nullptr);
  EXPECT_FALSE(Varnex::KvWriteFastFPDatabaseParams(none, Params("m", 0)));
  ASSERT_TRUE(none.Open(dir.Path("ok.fpbin"), 800));
  EXPECT_FALSE(Varnex::KvWriteFastFPDatabaseParams(none, KvFastFPDatabaseParams()));  // no type
  EXPECT_EQ(sink.Count(), 3u);
  for (const auto& m : sink.Messages()) EXPECT_EQ(m.level, KvSystem::KvErrorLevel::Error);
}

}  // namespace
