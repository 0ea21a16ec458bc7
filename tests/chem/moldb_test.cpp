// Molecule files: indexing, names, damaged records and files, gzip, threads.

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <fstream>
#include <random>
#include <thread>

#include "capture_sink.h"
#include "kvchem/kvchem.h"
#include "temp_dir.h"

using namespace KvChem;

namespace {

const std::string kSmiles5K = std::string(VARNEX_RDKIT_DATA_DIR) + "/NCI/first_5K.smi";
const std::string kSdf200 = std::string(VARNEX_RDKIT_DATA_DIR) + "/NCI/first_200.props.sdf";

using VarnexTest::TempDir;

// A gzip stream of `text` in two deflate blocks, the second starting on a
// byte boundary at `blockStart` and holding text from `split` on.
std::string GzipTwoBlocks(const std::string& text, size_t split, size_t& blockStart) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(compressBound(static_cast<uLong>(text.size())) + 64, '\0');
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(split);
  deflate(&z, Z_FULL_FLUSH);
  blockStart = z.total_out;
  z.avail_in = static_cast<uInt>(text.size() - split);
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string Gzip(const std::string& text) {
  size_t end = 0;
  return GzipTwoBlocks(text, text.size(), end);
}


// What a reader made of every record: canonical SMILES and name, or "!"
// for a record that failed.
std::vector<std::string> ReadEveryRecord(const KvMolDatabase& db) {
  std::vector<std::string> out;
  KvMol mol;
  for (unsigned i = 0; i < db.GetMaxMolIdx(); ++i)
    out.push_back(db.GetMolecule(mol, i) ? KvMolToSmiles(mol) + " " + mol.GetTitle() : "!");
  return out;
}

}  // namespace

TEST(KvMolDatabaseSmiles, ConcurrentRandomAccessEqualsSequentialRead) {
  KvMolDatabase db;
  ASSERT_TRUE(db.Open(kSmiles5K));
  ASSERT_EQ(db.GetMaxMolIdx(), 4999u);
  EXPECT_EQ(db.GetMolName(0), "1");
  EXPECT_EQ(db.GetMolName(4998), "5065");

  VarnexTest::CaptureSink sink;  // a few NCI records may not sanitise
  const std::vector<std::string> sequential = ReadEveryRecord(db);
  // One shuffled order, dealt out to four threads.
  std::vector<unsigned> order(db.GetMaxMolIdx());
  for (unsigned i = 0; i < order.size(); ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937(42));
  std::vector<std::string> threaded(db.GetMaxMolIdx());
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < 4; ++t)
    workers.emplace_back([&, t] {
      for (unsigned k = t; k < order.size(); k += 4) {
        KvMol mol;
        threaded[order[k]] = db.GetMolecule(mol, order[k]) ? KvMolToSmiles(mol) + " " + mol.GetTitle() : "!";
      }
    });
  for (auto& w : workers) w.join();
  EXPECT_EQ(sequential, threaded);
  EXPECT_EQ(sequential[0], "CC1=CC(=O)C=CC1=O 1");
}

TEST(KvMolDatabaseFiles, EmptyMissingAndUnknownFiles) {
  TempDir dir;
  KvMolDatabase db;
  EXPECT_TRUE(db.Open(dir.File("empty.smi", "")));
  EXPECT_EQ(db.GetMaxMolIdx(), 0u);
  EXPECT_TRUE(db.Open(dir.File("empty.sdf", "\n\n")));
  EXPECT_EQ(db.GetMaxMolIdx(), 0u);

  VarnexTest::CaptureSink sink;
  EXPECT_FALSE(db.Open(dir.Path("missing.smi")));
  EXPECT_FALSE(db.IsOpen());
  EXPECT_EQ(db.GetMaxMolIdx(), 0u);
  EXPECT_FALSE(db.Open(dir.Path("missing.smi.gz")));
  EXPECT_FALSE(db.Open(dir.File("molecules.xyz", "CCO\n")));
  EXPECT_EQ(sink.Count(), 3u);
  // An empty gzip file lacks even the header gzip writes for empty input.
  sink.Clear();
  EXPECT_TRUE(db.Open(dir.File("empty.smi.gz", "")));
  EXPECT_EQ(db.GetMaxMolIdx(), 0u);
  EXPECT_TRUE(db.IsDamaged());
  EXPECT_EQ(sink.Count(), 1u);  // the report's form is the gzip damage test's
}

// Clean against damaged gzip streams: every record inflated before the
// damage reads exactly as in the clean file, at the same index, and a last
// record the damage cut into fails instead of parsing as a shorter molecule.
TEST(KvMolDatabaseFiles, GzipDamageKeepsEveryRecordBeforeIt) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 3000; ++i) text += (i % 2 ? "c1ccccc1OCCCCCC phenol_" : "CCN amine_") + std::to_string(i) + "\n";
  const std::string clean = Gzip(text);
  KvMolDatabase db;
  VarnexTest::CaptureSink sink;
  ASSERT_TRUE(db.Open(dir.File("clean.smi.gz", clean)));
  const std::vector<std::string> reference = ReadEveryRecord(db);
  ASSERT_EQ(reference.size(), 3000u);  // a clean stream is read whole and quietly: the intact rows' check

  auto flip = [&](size_t at) {
    std::string bytes = clean;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x55);
    return bytes;
  };
  // A second block of the reserved type 3, starting inside record 1500.
  size_t second = 0;
  std::string badBlock = GzipTwoBlocks(text, text.find("phenol_1501") + 3, second);
  badBlock[second] = static_cast<char>(badBlock[second] | 0x06);
  struct Case {
    const char* name;
    std::string bytes;
    const char* damage;  // "" for none
    bool allKept;        // every record survives
  };
  const Case cases[] = {
      {"two members", clean + clean, "", false},
      {"zero padding", clean + std::string(512, '\0'), "", false},
      {"bad checksum", flip(clean.size() - 8), "incorrect data check", true},
      {"bad length", flip(clean.size() - 1), "incorrect length check", true},
      {"cut in half", clean.substr(0, clean.size() / 2), "unexpected end of file", false},
      {"cut before the trailer", clean.substr(0, clean.size() - 8), "unexpected end of file", true},
      {"invalid block", badBlock, "invalid block type", false},
      {"plain text named .gz", text, "not in gzip format, read as plain text", true},
      {"trailing bytes", clean + "\x1f junk", "data after the compressed stream", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sink.Clear();
    ASSERT_TRUE(db.Open(dir.File("damaged.smi.gz", c.bytes)));
    const std::vector<std::string> got = ReadEveryRecord(db);
    if (c.damage[0] == '\0') {  // intact: one or two copies of the records
      ASSERT_TRUE(got.size() == 3000u || got.size() == 6000u) << got.size();
      EXPECT_TRUE(std::equal(reference.begin(), reference.end(), got.end() - 3000));
      EXPECT_EQ(sink.Count(), 0u);
      EXPECT_FALSE(db.IsDamaged());
      continue;
    }
    EXPECT_TRUE(db.IsDamaged());
    ASSERT_FALSE(sink.Texts().empty());
    const std::string report = sink.Texts()[0];
    EXPECT_EQ(report.rfind("KvMolDatabase::Open(): " + dir.Path("damaged.smi.gz") + " is damaged or truncated (", 0), 0u)
        << report;
    EXPECT_NE(report.find(c.damage), std::string::npos) << report;
    EXPECT_NE(report.find("keeping the " + std::to_string(got.size()) + " records before the damage"), std::string::npos)
        << report;
    if (c.allKept) {
      EXPECT_EQ(got, reference);
      continue;
    }
    ASSERT_GT(got.size(), 1000u);
    ASSERT_LT(got.size(), 3000u);
    for (size_t i = 0; i + 1 < got.size(); ++i) ASSERT_EQ(got[i], reference[i]) << i;
    // The last line was cut: it is refused, named, and counted.
    EXPECT_EQ(got.back(), "!");
    EXPECT_EQ(db.NumFailedRecords(), 1u);
    EXPECT_TRUE(sink.Contains("KvMolDatabase::GetMolecule(): cannot parse record " + std::to_string(got.size() - 1) +
                              " of " + dir.Path("damaged.smi.gz") + ": the record is cut short"));
  }
}

// Clean against damaged SD files: a missing "$$$$" or a record cut short is
// named by index, and every other record keeps its index and molecule;
// blank lines and a missing last "$$$$" invent no record.
TEST(KvMolDatabaseSd, DamagedRecordsAreNamedAndLaterRecordsKeepTheirIndices) {
  const std::string clean = VarnexTest::ReadFile(kSdf200);
  KvMolDatabase db;
  ASSERT_TRUE(db.Open(kSdf200));
  const std::vector<std::string> reference = ReadEveryRecord(db);
  ASSERT_EQ(reference.size(), 200u);

  // The offset just past the "$$$$" line ending record `i`.
  auto endOf = [&](int i) {
    size_t pos = 0;
    for (int k = 0; k <= i; ++k) pos = clean.find("$$$$\n", pos) + 5;
    return pos;
  };
  auto replaceAll = [](std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
    return text;
  };
  std::string noDelimiter = clean;
  noDelimiter.erase(endOf(10) - 5, 5);
  std::string twoMissing = noDelimiter;
  twoMissing.erase(endOf(198) - 10, 5);  // erased before: offsets move by 5
  const std::string cut = clean.substr(0, endOf(149) + 300);
  const size_t lastEnd = endOf(150) - 5;  // the "$$$$" of record 150
  // A stream cut after "V2000" inside an atom alias of record 150: the line
  // went on, so it is no counts line starting another record.
  const size_t aliasAt = clean.find("M  END", endOf(149));
  size_t flush = 0;
  const std::string alias = clean.substr(0, aliasAt) + "A    1\nV2000 side chain\n" + clean.substr(aliasAt);
  const std::string cutAlias = GzipTwoBlocks(alias, aliasAt + 12, flush).substr(0, flush);
  TempDir dir;
  const std::string noEnd = " does not end with $$$$", cutShort = " is cut short";
  struct Case {
    std::string name, bytes;
    std::vector<std::string> reports;  // "@" stands for the file's path
    unsigned records;
    int failed;  // the record that fails (-1: none); the records after it start the file again
  };
  const Case cases[] = {
      {"two.sdf", twoMissing, {"record 10 of @" + noEnd, "record 198 of @" + noEnd}, 200, -1},
      {"cut.sdf", cut, {"record 150 of @" + cutShort}, 151, 150},
      {"cut-then-whole.sdf", cut + "\n" + clean, {"record 150 of @" + cutShort}, 351, 150},
      {"cut-in-data.sdf", clean.substr(0, lastEnd - 20), {"record 150 of @" + noEnd}, 151, -1},
      {"cut-in-delimiter.sdf", clean.substr(0, lastEnd + 2), {"record 150 of @" + noEnd}, 151, -1},
      {"blank-lines.sdf", replaceAll(replaceAll(clean, "M  END\n", "M  END\n\n"), "$$$$\n", "\n$$$$\n"), {}, 200, -1},
      {"cut-alias.sdf.gz", cutAlias,
       {"record 150 of @" + cutShort,
        "@ is damaged or truncated (unexpected end of file); keeping the 151 records before the damage"},
       151, 150},
      {"missing.sdf.gz", Gzip(noDelimiter), {"record 10 of @" + noEnd}, 200, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VarnexTest::CaptureSink sink;
    ASSERT_TRUE(db.Open(dir.File(c.name, c.bytes)));
    std::vector<std::string> expected;
    for (const std::string& r : c.reports)
      expected.push_back("KvMolDatabase::Open(): " + replaceAll(r, "@", dir.Path(c.name)));
    EXPECT_EQ(sink.Texts(), expected);
    EXPECT_EQ(db.IsDamaged(), !c.reports.empty());
    ASSERT_EQ(db.GetMaxMolIdx(), c.records);
    const std::vector<std::string> got = ReadEveryRecord(db);
    for (int i = 0; i < static_cast<int>(c.records); ++i)
      EXPECT_EQ(got[i], i == c.failed ? "!" : reference[c.failed >= 0 && i > c.failed ? i - c.failed - 1 : i]) << i;
    EXPECT_EQ(db.NumFailedRecords(), c.failed >= 0 ? 1u : 0u);
  }
}

// Comments and blank lines are no records; a record that does not parse, or
// with a NUL byte, an oversize molecule or an overlong line, fails alone with
// a warning naming it; the records around it read normally.
TEST(KvMolDatabaseSmiles, BadRecordsFailAloneAndKeepTheIndicesOfTheOthers) {
  TempDir dir;
  using namespace std::string_literals;
  const std::string text = "# header comment\nCCO ethanol\n\nC1CC( broken\n  c1ccccc1   benzene ring \nN\n"s +
                           "CC\0O x\n"s + "c1ccccc1\0garbage((((\n"s + std::string(1001, 'C') + " chain\n" + "C" +
                           std::string(70000, ' ') + "spaced\n" + "C1CCCCC1 last\n";
  const std::string path = dir.File("odd.smi", text);
  KvMolDatabase db;
  ASSERT_TRUE(db.Open(path));
  ASSERT_EQ(db.GetMaxMolIdx(), 9u);
  EXPECT_EQ(db.GetMolName(0), "ethanol");
  EXPECT_EQ(db.GetMolName(2), "benzene ring");
  EXPECT_EQ(db.GetMolName(3), "");
  VarnexTest::CaptureSink sink;
  EXPECT_EQ(ReadEveryRecord(db), (std::vector<std::string>{"CCO ethanol", "!", "c1ccccc1 benzene ring", "N ", "!", "!",
                                                           "!", "!", "C1CCCCC1 last"}));
  const std::string prefix = "KvMolDatabase::GetMolecule(): cannot parse record ";
  const std::vector<std::string> texts = sink.Texts();
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[0].rfind(prefix + "1 of " + path, 0), 0u) << texts[0];
  EXPECT_EQ(std::vector<std::string>(texts.begin() + 1, texts.end()),
            (std::vector<std::string>{
                prefix + "4 of " + path + ": a NUL byte in the text",
                prefix + "5 of " + path + ": a NUL byte in the text",
                prefix + "6 of " + path + ": 1001 atoms, more than the limit of 1000",
                prefix + "7 of " + path + ": a line of 70007 bytes, longer than the limit of 65536",
            }));
  EXPECT_EQ(db.NumFailedRecords(), 5u);
  KvMol mol;
  EXPECT_FALSE(db.GetMolecule(mol, 4));  // a second failure of the same record counts once
  EXPECT_FALSE(mol.IsValid());
  EXPECT_EQ(db.NumFailedRecords(), 5u);
  sink.Clear();
  EXPECT_FALSE(db.GetMolecule(mol, 9));
  EXPECT_EQ(sink.Texts(), std::vector<std::string>{"KvMolDatabase::GetMolecule(): record 9 out of range in " + path});
}

// Titles are names (a last record without "$$$$" is the damaged-file table's).
TEST(KvMolDatabaseSd, TitlesAreNames) {
  const std::string block = VarnexTest::ReadFile(kSdf200);
  const std::string body = block.substr(block.find('\n'), block.find("M  END") + 7 - block.find('\n'));
  TempDir dir;
  KvMolDatabase db;
  ASSERT_TRUE(db.Open(dir.File("named.sdf", "first" + body + "$$$$\nsecond" + body + "> <X>\n1\n\n$$$$\n")));
  ASSERT_EQ(db.GetMaxMolIdx(), 2u);
  EXPECT_EQ(db.GetMolName(1), "second");
  KvMol mol;
  ASSERT_TRUE(db.GetMolecule(mol, 1));
  EXPECT_EQ(mol.GetTitle(), "second");
  ASSERT_TRUE(db.Open(kSdf200));
  EXPECT_EQ(db.GetMolName(0), "");  // this file has empty title lines
}
