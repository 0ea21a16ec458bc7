// varnex create/append/verify on collections, and search, matrix and
// histogram taking a catalog as -db: the answers (indices, ids, scores) and
// pages of a collection grown by appends equal those of one .fpbin file of
// the same molecules named and drawn through -mols.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "run_program.h"
#include "temp_dir.h"

namespace {

using VarnexTest::Lines;
using VarnexTest::RunOk;
using VarnexTest::RunVarnex;

std::string NciLines(std::size_t from, std::size_t to) {
  std::ifstream in("/usr/share/RDKit/Data/NCI/first_5K.smi");
  std::string text, line;
  for (std::size_t i = 0; i < to && std::getline(in, line); ++i)
    if (i >= from) text += line + "\n";
  return text;
}

class VarnexCollectionCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    head_ = dir_.File("head.smi", NciLines(0, 90));
    tail_ = dir_.File("tail.smi", NciLines(90, 130));
    all_ = dir_.File("all.smi", NciLines(0, 130));
    catalog_ = dir_.Path("lib.vxc");
    const std::string kind = " -fptype Path -numbits 1024 -q";
    ASSERT_EQ(RunVarnex("create -in " + head_ + " -out " + catalog_ + " -shards 3" + kind).status, 0);
    ASSERT_EQ(RunVarnex("append -db " + catalog_ + " -in " + tail_ + " -shards 2 -q").status, 0);
    ASSERT_EQ(RunVarnex("create -in " + all_ + " -out " + dir_.Path("one.fpbin") + kind).status, 0);
  }

  // A shard file of the collection.
  std::string FirstShard() {
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path("")))
      if (entry.path().filename().string().starts_with("lib.") && entry.path().extension() == ".fpbin")
        return entry.path().string();
    return "";
  }

  VarnexTest::TempDir dir_;
  std::string head_, tail_, all_, catalog_;
};

TEST_F(VarnexCollectionCliTest, GrownCollectionAnswersAsOneFileWithNames) {
  struct Case {
    const char* name;
    std::string command;  // the -db part appended; PAGE: the page written
  };
  const Case cases[] = {
      {"one query, top 5", "search -query 'c1ccccc1C(=O)O' -limit 5"},
      {"neighbours of a molecule on the last shard", "matrix -record 120 -limit 4"},
      {"every pair above a cutoff", "matrix -cutoff 0.8"},
      {"histogram", "histogram -bins 10"},
      {"page of one query", "search -query 'c1ccccc1C(=O)O' -limit 4 -format html -out PAGE"},
      {"page of a molecule on the last shard", "matrix -record 120 -limit 4 -format html -out PAGE"},
  };
  // What a command answers with the -db part `source`: its output, or the page it writes,
  // whose subtitle names the database `db` (the rest must be the same).
  const auto answer = [&](const std::string& command, const std::string& source, const std::string& db) {
    const std::size_t at = command.find("PAGE");
    const std::string page = dir_.Path("page.html");
    const std::string out = RunOk((at == std::string::npos ? command : std::string(command).replace(at, 4, page)) + source);
    if (at == std::string::npos) return out;
    std::string text = VarnexTest::ReadFile(page);
    if (const std::size_t name = text.find(db + ": "); name != std::string::npos) text.replace(name, db.size(), "DB");
    return text;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string got = answer(c.command, " -db " + catalog_, catalog_);
    EXPECT_GT(Lines(got).size(), 1u);
    EXPECT_EQ(got, answer(c.command, " -db " + dir_.Path("one.fpbin") + " -mols " + all_, dir_.Path("one.fpbin")));
  }
}

TEST_F(VarnexCollectionCliTest, VerifyNamesWhatIsWrongAndRefusalsLeaveTheCollection) {
  EXPECT_EQ(RunVarnex("verify -db " + catalog_).status, 0);
  const auto info = RunVarnex("info -db " + catalog_);
  EXPECT_NE(info.out.find("molecules\t130\nshards\t5\n"), std::string::npos) << info.out;
  // A collection takes no -mols; another create of the same name is refused.
  const auto mols = RunVarnex("search -db " + catalog_ + " -mols " + all_ + " -query CCO");
  EXPECT_EQ(mols.status, 2);
  EXPECT_NE(mols.err.find("-mols is not used with a collection"), std::string::npos) << mols.err;
  // A shard of a sharded .fpbin is no collection: -record there is refused, not answered with nothing.
  ASSERT_EQ(RunVarnex("create -in " + all_ + " -out " + dir_.Path("split.fpbin") + " -shards 2 -q").status, 0);
  const auto ofShard = RunVarnex("matrix -db " + dir_.Path("split-1.fpbin") + " -record 3");
  EXPECT_EQ(ofShard.status, 2);
  EXPECT_NE(ofShard.err.find("record 3 holds molecule 68: the file is one shard of a collection"), std::string::npos)
      << ofShard.err;
  // No picture is written over a shard of the collection.
  for (const std::string command : {"search -query CCO -format html", "matrix -record 3 -format html",
                                    "histogram -format svg"}) {
    const auto overShard = RunVarnex(command + " -db " + catalog_ + " -out " + FirstShard());
    EXPECT_EQ(overShard.status, 1) << command;
    EXPECT_NE(overShard.err.find("is a shard of the collection"), std::string::npos) << overShard.err;
  }
  const auto again = RunVarnex("create -in " + head_ + " -out " + catalog_ + " -q");
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("exists already; add molecules with append"), std::string::npos) << again.err;
  EXPECT_EQ(RunVarnex("verify -db " + catalog_).status, 0);
  // One byte of the header's padding changed, which only the checksum tells: verify
  // names the shard and what is wrong (each finding of verify is CollectionTest's).
  const std::string shard = FirstShard();
  ASSERT_FALSE(shard.empty());
  std::string bytes = VarnexTest::ReadFile(shard);
  bytes[700] ^= 0x01;
  std::ofstream(shard, std::ios::binary) << bytes;
  const auto bad = RunVarnex("verify -db " + catalog_);
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find(std::filesystem::path(shard).filename().string() + ": checksum differs from the catalog's"),
            std::string::npos)
      << bad.err;
}

}  // namespace
