// End-to-end tests of the database commands of the varnex program: create,
// search, matrix and histogram, and their pictures: the HTML page of search
// and matrix, the histogram chart (bad files and queries are in
// varnex_input_faults_cli_test.cpp).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "run_program.h"
#include "temp_dir.h"
#include "xml_tree.h"

using VarnexTest::Fields;
using VarnexTest::Lines;
using VarnexTest::ParseXml;
using VarnexTest::ReadFile;
using VarnexTest::RunOk;
using VarnexTest::RunVarnex;

namespace {

class VarnexDatabaseCliTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new VarnexTest::TempDir;
    std::ofstream(Path("mols.smi")) << "c1ccccc1C(=O)O benzoic\nCC(=O)Oc1ccccc1C(=O)O aspirin\nCCO ethanol\n"
                                       "c1ccccc1O phenol\nCc1ccccc1 toluene\n";
    const auto r = RunVarnex("create -in '" + Path("mols.smi") + "' -out '" + Path("mols.fpbin") + "' -numbits 1024");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_NE(r.err.find("wrote 5 fingerprints (Path,ver=2.0.0,size=1024,"), std::string::npos) << r.err;
  }
  static void TearDownTestSuite() { delete dir_; }
  static std::string Path(const std::string& name) { return dir_->Path(name); }
  static std::string Db() { return "-db '" + Path("mols.fpbin") + "'"; }

  static inline VarnexTest::TempDir* dir_ = nullptr;
};

// The tab-separated lines of search are the partly bad input's test.
TEST_F(VarnexDatabaseCliTest, SearchAnswersInJson) {
  EXPECT_EQ(RunOk("search " + Db() + " -query 'CCO q' -limit 1 -format json"),
            "[\n{\"query\": 0, \"query_name\": \"q\", \"hits\": [\n"
            "  {\"rank\": 1, \"index\": 2, \"name\": \"\", \"score\": 1.000000}]}\n]\n");
}

TEST_F(VarnexDatabaseCliTest, MatrixCutoffWithoutALimitKeepsEveryPairAboveIt) {
  // -cutoff alone, or with -limit 0: every pair at or above it, as the
  // neighbour lists of all five records cut there give them.
  const std::string all = RunOk("matrix " + Db() + " -limit 5 -cutoff 0.2");
  EXPECT_GT(Lines(all).size(), 6u);
  for (const char* form : {" -cutoff 0.2", " -cutoff 0.2 -limit 0"}) {
    const auto r = RunVarnex("matrix " + Db() + form);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, all) << form;
    EXPECT_EQ(r.err, "") << form;
  }
}

// The page passes -highlight through and captions each hit as its line. Rank 1
// is the query itself: its common part with the query (mcs) and its shared
// features (bits, drawn on the query and on the hit) are all of aspirin's 13
// atoms, one ellipse each. Which atoms light up is the pictures library's to test.
TEST_F(VarnexDatabaseCliTest, SearchPageShowsEveryHitAsItsLineWithTheHighlightAskedFor) {
  const std::string search =
      "search " + Db() + " -mols '" + Path("mols.smi") + "' -query 'CC(=O)Oc1ccccc1C(=O)O' -limit 3";
  const auto lines = Lines(RunOk(search));
  ASSERT_EQ(lines.size(), 4u);
  for (const std::string highlight : {"mcs", "bits", "none"}) {
    const auto page = Path(highlight + ".html");
    EXPECT_EQ(RunOk(search + " -format html -highlight " + highlight + " -out '" + page + "'"), "");
    const std::string html = ReadFile(page);
    EXPECT_EQ(html.rfind("<!DOCTYPE html>\n", 0), 0u);
    const auto doc = ParseXml(html);
    ASSERT_TRUE(doc) << "the page is well-formed";
    // Self-contained: no script, nothing fetched.
    EXPECT_TRUE(doc->FindAll("script").empty());
    EXPECT_EQ(html.find(" src="), std::string::npos);
    EXPECT_EQ(html.find(" href="), std::string::npos);
    const auto hits = doc->FindAll("figure", "hit");
    ASSERT_EQ(hits.size(), 3u);
    for (std::size_t rank = 0; rank < hits.size(); ++rank) {
      const auto fields = Fields(lines[rank + 1]);
      char score[16];
      std::snprintf(score, sizeof(score), "%.3f", std::stod(fields[5]));
      std::vector<std::string> caption;
      for (const char* cls : {"rank", "name", "index", "score"})
        caption.push_back(hits[rank]->FindAll("div", cls).at(0)->AllText());
      EXPECT_EQ(caption, (std::vector<std::string>{"rank " + fields[2], fields[4], "index " + fields[3],
                                                   std::string("score ") + score}));
      EXPECT_EQ(hits[rank]->FindAll("svg").size(), highlight == "bits" ? 2u : 1u);
    }
    EXPECT_EQ(hits[0]->FindAll("ellipse").size(), highlight == "none" ? 0u : highlight == "mcs" ? 13u : 26u);
  }
}

TEST_F(VarnexDatabaseCliTest, PictureOptionsOutsideTheirRangeAreRefused) {
  const std::string search = "search " + Db() + " -mols '" + Path("mols.smi") + "' -query CCO -format html -out '" +
                             Path("never.html") + "'";
  for (const std::string panel : {"10x200", "200", "200x", "x200", "200x3000", "200x160x3", "-200x160", "2e2x160"}) {
    const auto r = RunVarnex(search + " -panel " + panel);
    EXPECT_EQ(r.status, 2) << panel;
    EXPECT_EQ(r.err, "varnex search: -panel must be WIDTHxHEIGHT in pixels, each from 40 to 2000: " + panel + "\n");
  }
  for (const std::string bad : {" -columns 0", " -highlight atoms", " -mcstime 0"}) {
    const auto r = RunVarnex(search + bad);
    EXPECT_EQ(r.status, 2) << bad << ": " << r.err;
  }
  EXPECT_FALSE(std::ifstream(Path("never.html")).good());
}

TEST_F(VarnexDatabaseCliTest, MatrixOfOneRecordIsItsRowOfTheWholeMatrix) {
  const std::string matrix = "matrix " + Db() + " -mols '" + Path("mols.smi") + "' -limit 3";
  std::vector<std::string> row{"index_a\tname_a\tindex_b\tname_b\tscore"};
  for (const std::string& line : Lines(RunOk(matrix)))
    if (line.rfind("1\t", 0) == 0) row.push_back(line);
  ASSERT_EQ(row.size(), 4u);
  EXPECT_EQ(Lines(RunOk(matrix + " -record 1")), row);

  RunOk(matrix + " -record 1 -format html -out '" + Path("row.html") + "'");
  const auto doc = ParseXml(ReadFile(Path("row.html")));
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->FindAll("h2").at(0)->AllText(), "record 1: aspirin");
  EXPECT_EQ(doc->FindAll("figure", "hit").size(), 3u);

  auto r = RunVarnex(matrix + " -record 5");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "varnex matrix: -record 5 is beyond the last record of the database (5 records)\n");
  r = RunVarnex(matrix + " -format html -out '" + Path("all.html") + "'");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "varnex matrix: -format html shows the neighbours of one record: give -record N\n");
}

TEST_F(VarnexDatabaseCliTest, HistogramCountsEveryPairOnceAndItsChartHasABarPerBin) {
  const auto lines = Lines(RunOk("histogram " + Db() + " -bins 4"));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "low\thigh\tcount");
  EXPECT_EQ(lines[1].substr(0, 18), "0.000000\t0.250000\t");
  EXPECT_EQ(RunOk("histogram " + Db() + " -bins 4 -format svg -out '" + Path("h.svg") + "'"), "");
  const auto chart = ParseXml(ReadFile(Path("h.svg")));
  ASSERT_TRUE(chart);
  const auto bars = chart->FindAll("rect", "bar");
  ASSERT_EQ(bars.size(), 4u);
  for (std::size_t i = 0; i < bars.size(); ++i) {
    const std::string tooltip = bars[i]->FindAll("title").at(0)->AllText();
    EXPECT_EQ(tooltip.substr(tooltip.rfind(' ') + 1), Fields(lines[i + 1]).at(2)) << tooltip;
  }
  EXPECT_EQ(chart->FindAll("text", "axis-label").at(0)->AllText(), "Tanimoto score");
  // Every unordered pair of the five records once.
  EXPECT_EQ(chart->FindAll("text", "title").back()->AllText(), "Tanimoto scores of 10 pairs");
  // -scale chooses the counts axis.
  RunOk("histogram " + Db() + " -bins 4 -scale log -format svg -out '" + Path("h.svg") + "'");
  EXPECT_EQ(ParseXml(ReadFile(Path("h.svg")))->FindAll("text", "axis-label").at(1)->AllText(),
            "pairs of records (log scale)");
}

// A picture that cannot be written: one message, status 1, nothing on
// stdout and no file or temporary file left (an existing file replaced whole is
// the explain drawing table's, which writes one file over and over).
TEST_F(VarnexDatabaseCliTest, PictureFaultsGiveOneMessageAndNoFile) {
  const std::string mols = " -mols '" + Path("mols.smi") + "'";
  const std::string missing = Path("missing/x.html"), absent = "No such file or directory";
  // A file-size limit below the picture's size (some 18 kB) makes a write
  // fail half-way; the signal it would raise is ignored, so the write fails.
  const std::string sizeLimit = "trap '' XFSZ; ulimit -f 8";
  std::filesystem::create_directory(Path("folder"));
  const struct {
    std::string command, path, reason, setup;
  } cases[] = {
      {"search " + Db() + mols + " -query CCO -format html -out", missing, absent, ""},
      {"matrix " + Db() + mols + " -record 0 -format html -out", missing, absent, ""},
      {"histogram " + Db() + " -format svg -out", missing, absent, ""},
      {"explain -smiles CCO -svg", Path("folder"), "Is a directory", ""},  // an existing folder stays as it is
      {"explain -smiles CCO -svg", Path("large.svg"), "File too large", sizeLimit},
  };
  const std::set<std::string> files = dir_->Files();
  for (const auto& [command, path, reason, setup] : cases) {
    const auto r = RunVarnex(command + " '" + path + "'", setup);
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_EQ(r.err, "varnex: cannot write " + path + ": " + reason + "\n");
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(dir_->Files(), files) << command;
  }
}

// Names from SD data fields are the fp command's test (the same reader names hits).
TEST_F(VarnexDatabaseCliTest, UnreadableHitGetsANote) {
  std::ofstream(Path("broken.smi")) << "C methane\nC1CC( nothing\n";
  // Done with one record unreadable: status 3, an empty record at its index.
  ASSERT_EQ(RunVarnex("create -q -in '" + Path("broken.smi") + "' -out '" + Path("broken.fpbin") + "'").status, 3);
  const std::string search = "search -db '" + Path("broken.fpbin") + "' -mols '" + Path("broken.smi") +
                             "' -query C -descending false -limit 2";
  const auto lines = Lines(RunOk(search));
  EXPECT_EQ(lines.at(1), "0\t\t1\t1\tnothing\t0.000000");
  EXPECT_EQ(lines.at(2), "0\t\t2\t0\tmethane\t1.000000");
  RunOk(search + " -format html -out '" + Path("broken.html") + "'");
  const auto doc = ParseXml(ReadFile(Path("broken.html")));
  ASSERT_TRUE(doc);
  const auto hits = doc->FindAll("figure", "hit");
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0]->FindAll("text", "note").at(0)->AllText(), "record 1 could not be read");
  EXPECT_EQ(hits[1]->FindAll("div", "name").at(0)->AllText(), "methane");
}

}  // namespace
