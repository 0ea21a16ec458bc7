// Molecule files: indexing, names, damaged records and files, gzip, threads.

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "capture_sink.h"
#include "kvchem/kvchem.h"

using namespace KvChem;
namespace fs = std::filesystem;

namespace {

const std::string kSmiles5K = std::string(VARNEX_RDKIT_DATA_DIR) + "/NCI/first_5K.smi";
const std::string kSdf200 = std::string(VARNEX_RDKIT_DATA_DIR) + "/NCI/first_200.props.sdf";

class TempDir {
 public:
  TempDir() {
    path_ = fs::temp_directory_path() / ("kvchem_moldb_" + std::to_string(::getpid()) + "_" +
                                         std::to_string(counter_++));
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string File(const std::string& name, const std::string& text) const {
    const std::string p = (path_ / name).string();
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

std::string GzipFile(const std::string& path, const std::string& text) {
  gzFile f = gzopen(path.c_str(), "wb");
  gzwrite(f, text.data(), static_cast<unsigned>(text.size()));
  gzclose(f);
  return path;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(KvMolDatabaseSmiles, ConcurrentRandomAccessEqualsSequentialRead) {
  KvMolDatabase db;
  ASSERT_TRUE(db.Open(kSmiles5K));
  ASSERT_EQ(db.GetMaxMolIdx(), 4999u);
  EXPECT_EQ(db.GetMolName(0), "1");
  EXPECT_EQ(db.GetMolName(4998), "5065");

  VarnexTest::CaptureSink sink;  // a few NCI records may not sanitise
  std::vector<std::string> sequential(db.GetMaxMolIdx());
  for (unsigned i = 0; i < db.GetMaxMolIdx(); ++i) {
    KvMol mol;
    if (db.GetMolecule(mol, i)) sequential[i] = KvMolToSmiles(mol) + " " + mol.GetTitle();
  }
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
        if (db.GetMolecule(mol, order[k])) threaded[order[k]] = KvMolToSmiles(mol) + " " + mol.GetTitle();
      }
    });
  for (auto& w : workers) w.join();
  EXPECT_EQ(sequential, threaded);
  EXPECT_EQ(sequential[0], "CC1=CC(=O)C=CC1=O 1");
}

TEST(KvMolDatabaseSmiles, BrokenRecordsBlankLinesAndComments) {
  TempDir dir;
  const std::string path = dir.File("mixed.smi", "# header comment\nCCO ethanol\n\nC1CC( broken\n  c1ccccc1   benzene ring \nN\n");
  KvMolDatabase db;
  ASSERT_TRUE(db.Open(path));
  ASSERT_EQ(db.GetMaxMolIdx(), 4u);
  EXPECT_EQ(db.GetMolName(0), "ethanol");
  EXPECT_EQ(db.GetMolName(2), "benzene ring");
  EXPECT_EQ(db.GetMolName(3), "");

  VarnexTest::CaptureSink sink;
  KvMol mol;
  EXPECT_FALSE(db.GetMolecule(mol, 1));
  EXPECT_FALSE(mol.IsValid());
  ASSERT_EQ(sink.Count(), 1u);
  EXPECT_EQ(sink.Texts()[0].rfind("KvMolDatabase::GetMolecule(): cannot parse record 1 of " + path, 0), 0u)
      << sink.Texts()[0];
  ASSERT_TRUE(db.GetMolecule(mol, 2));
  EXPECT_EQ(KvMolToSmiles(mol), "c1ccccc1");
  EXPECT_EQ(mol.GetTitle(), "benzene ring");
  EXPECT_TRUE(db.GetMolecule(mol, 3));
  sink.Clear();
  EXPECT_FALSE(db.GetMolecule(mol, 4));
  EXPECT_EQ(sink.Count(), 1u);
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
}

TEST(KvMolDatabaseFiles, GzipRoundTripAndTruncation) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 3000; ++i) text += (i % 2 ? "c1ccccc1O phenol_" : "CCN amine_") + std::to_string(i) + "\n";
  const std::string gz = GzipFile(dir.Path("mols.smi.gz"), text);
  KvMolDatabase db;
  ASSERT_TRUE(db.Open(gz));
  ASSERT_EQ(db.GetMaxMolIdx(), 3000u);
  KvMol mol;
  ASSERT_TRUE(db.GetMolecule(mol, 2999));
  EXPECT_EQ(KvMolToSmiles(mol), "Oc1ccccc1");
  EXPECT_EQ(mol.GetTitle(), "phenol_2999");

  // Cut the compressed file in half: the records before the cut survive.
  const std::string bytes = ReadAll(gz);
  const std::string cut = dir.File("cut.smi.gz", bytes.substr(0, bytes.size() / 2));
  VarnexTest::CaptureSink sink;
  ASSERT_TRUE(db.Open(cut));
  EXPECT_EQ(sink.Count(), 1u);
  const unsigned kept = db.GetMaxMolIdx();
  EXPECT_GT(kept, 0u);
  EXPECT_LT(kept, 3000u);
  for (unsigned i = 0; i < kept; ++i) EXPECT_EQ(db.GetMolName(i), (i % 2 ? "phenol_" : "amine_") + std::to_string(i));
  EXPECT_TRUE(db.GetMolecule(mol, kept - 1));
}

TEST(KvMolDatabaseSd, RecordsNamesAndGzip) {
  KvMolDatabase db;
  ASSERT_TRUE(db.Open(kSdf200));
  ASSERT_EQ(db.GetMaxMolIdx(), 200u);
  KvMol mol;
  ASSERT_TRUE(db.GetMolecule(mol, 0));
  EXPECT_EQ(mol.NumAtoms(), 9u);
  EXPECT_EQ(db.GetMolName(0), "");  // this file has empty title lines
  ASSERT_TRUE(db.GetMolecule(mol, 199));

  // Titles, a last record without "$$$$", and the same file gzipped.
  const std::string block = ReadAll(kSdf200);
  const size_t firstEnd = block.find("M  END");
  const std::string body = block.substr(block.find('\n'), firstEnd + 7 - block.find('\n'));
  const std::string sdf = "first" + body + "$$$$\nsecond" + body + "> <X>\n1\n\n$$$$\nthird" + body;
  TempDir dir;
  for (const std::string& path : {dir.File("named.sdf", sdf), GzipFile(dir.Path("named.sd.gz"), sdf)}) {
    ASSERT_TRUE(db.Open(path)) << path;
    ASSERT_EQ(db.GetMaxMolIdx(), 3u);
    EXPECT_EQ(db.GetMolName(1), "second");
    ASSERT_TRUE(db.GetMolecule(mol, 2));
    EXPECT_EQ(mol.GetTitle(), "third");
    EXPECT_EQ(KvMolToSmiles(mol), "CC1=CC(=O)C=CC1=O");
  }
}
