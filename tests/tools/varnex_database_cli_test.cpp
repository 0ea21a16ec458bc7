// End-to-end tests of the database commands of the varnex program: create,
// search (one SMILES and a query file), matrix and histogram, with their
// failures on missing, corrupt or mismatched files and bad queries.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "run_program.h"

using VarnexTest::RunVarnex;

namespace {

class VarnexDatabaseCliTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new std::string(::testing::TempDir() + "varnex_db_cli_" + std::to_string(::getpid()) + "/");
    ASSERT_EQ(std::system(("mkdir -p '" + *dir_ + "'").c_str()), 0);
    std::ofstream(Path("mols.smi")) << "c1ccccc1C(=O)O benzoic\nCC(=O)Oc1ccccc1C(=O)O aspirin\nCCO ethanol\n"
                                       "c1ccccc1O phenol\nCc1ccccc1 toluene\n";
    const auto r = RunVarnex("create -in '" + Path("mols.smi") + "' -out '" + Path("mols.fpbin") + "' -numbits 1024");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_NE(r.err.find("wrote 5 fingerprints (Path,ver=2.0.0,size=1024,"), std::string::npos) << r.err;
  }
  static void TearDownTestSuite() {
    std::system(("rm -rf '" + *dir_ + "'").c_str());
    delete dir_;
  }
  static std::string Path(const std::string& name) { return *dir_ + name; }
  static std::string Db() { return "-db '" + Path("mols.fpbin") + "'"; }

  static std::string* dir_;
};
std::string* VarnexDatabaseCliTest::dir_ = nullptr;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_F(VarnexDatabaseCliTest, SearchFindsTheQueryItselfFirstWithNames) {
  auto r = RunVarnex("search " + Db() + " -mols '" + Path("mols.smi") + "' -query 'CC(=O)Oc1ccccc1C(=O)O' -limit 3");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 4u) << r.out;
  EXPECT_EQ(lines[0], "query\tquery_name\trank\tindex\tname\tscore");
  EXPECT_EQ(lines[1], "0\t\t1\t1\taspirin\t1.000000");
  EXPECT_EQ(lines[2].rfind("0\t\t2\t0\tbenzoic\t", 0), 0u) << lines[2];  // the nearest relative

  r = RunVarnex("search " + Db() + " -query 'CCO q' -limit 1 -format json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "[\n{\"query\": 0, \"query_name\": \"q\", \"hits\": [\n"
            "  {\"rank\": 1, \"index\": 2, \"name\": \"\", \"score\": 1.000000}]}\n]\n");
}

TEST_F(VarnexDatabaseCliTest, QueryFileSearchesEveryReadableQuery) {
  std::ofstream(Path("queries.smi")) << "c1ccccc1O first\nC1CC( broken\nCCO third\n";
  const auto r = RunVarnex("search " + Db() + " -query '" + Path("queries.smi") + "' -limit 1");
  EXPECT_EQ(r.status, 3);  // one query could not be read
  EXPECT_NE(r.err.find("1 queries could not be read"), std::string::npos) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 3u) << r.out;
  EXPECT_EQ(lines[1], "0\tfirst\t1\t3\t\t1.000000");
  EXPECT_EQ(lines[2], "2\tthird\t1\t2\t\t1.000000");
}

TEST_F(VarnexDatabaseCliTest, MatrixAndHistogramCoverEveryRecord) {
  auto r = RunVarnex("matrix " + Db() + " -limit 1");
  ASSERT_EQ(r.status, 0) << r.err;
  auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 6u) << r.out;
  EXPECT_EQ(lines[0], "index_a\tname_a\tindex_b\tname_b\tscore");
  for (int i = 0; i < 5; ++i) EXPECT_EQ(lines[1 + i], std::to_string(i) + "\t\t" + std::to_string(i) + "\t\t1.000000");

  r = RunVarnex("histogram " + Db() + " -bins 4");
  ASSERT_EQ(r.status, 0) << r.err;
  lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 5u) << r.out;
  EXPECT_EQ(lines[0], "low\thigh\tcount");
  EXPECT_EQ(lines[1].substr(0, 18), "0.000000\t0.250000\t");
  unsigned long total = 0;
  for (std::size_t i = 1; i < lines.size(); ++i) total += std::stoul(lines[i].substr(lines[i].rfind('\t') + 1));
  EXPECT_EQ(total, 10u);  // every unordered pair of five records once
}

TEST_F(VarnexDatabaseCliTest, BadFilesAndQueriesGiveOneMessageAndNoOutput) {
  auto r = RunVarnex("search -db '" + Path("missing.fpbin") + "' -query CCO");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot read fingerprint database"), std::string::npos);
  EXPECT_TRUE(r.out.empty());

  std::ofstream(Path("corrupt.fpbin")) << "not a database at all";
  r = RunVarnex("histogram -db '" + Path("corrupt.fpbin") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("is not a valid fingerprint database"), std::string::npos);
  EXPECT_TRUE(r.out.empty());

  r = RunVarnex("search " + Db() + " -query 'C1CC('");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("the query is not a valid SMILES: C1CC("), std::string::npos);
  EXPECT_TRUE(r.out.empty());

  std::ofstream(Path("two.smi")) << "CCO a\nCCC b\n";
  r = RunVarnex("search " + Db() + " -mols '" + Path("two.smi") + "' -query CCO");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("has 2 records but the database has 5 fingerprints"), std::string::npos);

  r = RunVarnex("search " + Db() + " -query CCO -simfunc tanimoto");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("is not one of the legal values: Tanimoto, Cosine, Dice, Euclid, Tversky, Manhattan"),
            std::string::npos);
  r = RunVarnex("search " + Db() + " -query CCO -limit 100001");
  EXPECT_EQ(r.status, 2);
}

}  // namespace
