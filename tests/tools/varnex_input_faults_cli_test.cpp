// End-to-end tests of the varnex program on bad and partly bad input: a
// failed or interrupted creation never touches the output, partly bad input
// exits 3 with every readable record done and the rest counted, and values
// the declared ranges cannot catch are refused.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <set>
#include <thread>

#include "run_program.h"
#include "temp_dir.h"

using VarnexTest::ReadFile;
using VarnexTest::RunVarnex;

namespace {

const std::string kNci5K = "/usr/share/RDKit/Data/NCI/first_5K.smi";

class VarnexInputFaultsCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Write("mols.smi", "c1ccccc1C(=O)O benzoic\nCC(=O)Oc1ccccc1C(=O)O aspirin\nCCO ethanol\nc1ccccc1O phenol\n");
    const auto r = RunVarnex("create -in '" + Path("mols.smi") + "' -out '" + Path("mols.fpbin") + "' -q");
    ASSERT_EQ(r.status, 0) << r.err;
  }
  std::string Path(const std::string& name) const { return dir_.Path(name); }
  std::string Write(const std::string& name, const std::string& text) const { return dir_.File(name, text); }
  std::set<std::string> Files() const { return dir_.Files(); }

  VarnexTest::TempDir dir_;
};

// SIGTERM, SIGHUP or SIGINT in the middle of a creation: the process ends by
// the signal, the old output is untouched and the temporary file is gone.
// The program starts with the default dispositions, whatever this test
// inherited (a background job ignores SIGINT).
TEST_F(VarnexInputFaultsCliTest, InterruptedCreationLeavesTheOldFileAsItWas) {
  std::string many;
  const std::string nci = ReadFile(kNci5K);
  for (int i = 0; i < 8; ++i) many += nci;
  Write("many.smi", many);
  const std::string old = ReadFile(Path("mols.fpbin"));
  const std::set<std::string> files = Files();
  const std::string in = Path("many.smi"), out = Path("mols.fpbin");
  const char* argv[] = {VARNEX_CLI_PATH, "create", "-in", in.c_str(), "-out", out.c_str(), "-threads", "1", "-q", nullptr};
  for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(signal);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int s : {SIGTERM, SIGHUP, SIGINT}) sigaddset(&defaults, s);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, VARNEX_CLI_PATH, nullptr, &attributes, const_cast<char* const*>(argv), environ), 0);
    posix_spawnattr_destroy(&attributes);
    // Once the temporary file exists the records are being written.
    bool writing = false;
    for (int polls = 0; polls < 600000 && !writing; ++polls) {
      for (const auto& name : Files()) writing = writing || name.find(".tmp-") != std::string::npos;
      if (!writing) std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    ASSERT_TRUE(writing);
    ASSERT_EQ(::kill(pid, signal), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_TRUE(ReadFile(out) == old);
    EXPECT_EQ(Files(), files);
  }
}

// Answers that used to be silently wrong: each now reads as written, or ends
// with its fault named.
TEST_F(VarnexInputFaultsCliTest, WrongAnswersBecomeNamedFaults) {
  const std::string db = "-db '" + Path("mols.fpbin") + "'";
  Write("cr.smi", "CCO a\rc1ccccc1 b\rCCN c\r");
  Write("crlf.smi", "CCO a\r\nc1ccccc1 b\r\nCCN c\r\n");
  // Records 1 and 2 swapped: record 0 still matches.
  Write("swapped.smi", "c1ccccc1C(=O)O benzoic\nCCO ethanol\nCC(=O)Oc1ccccc1C(=O)O aspirin\nc1ccccc1O phenol\n");
  Write("odd.smi", "CCO \xff\xfe bad\nCCN \x1b[31mred\n");
  ASSERT_EQ(RunVarnex("create -in '" + Path("odd.smi") + "' -out '" + Path("odd.fpbin") + "' -q").status, 0);
  // A creation killed before it could clean up left this; its process is gone.
  const pid_t dead = fork();
  if (dead == 0) _exit(0);
  ::waitpid(dead, nullptr, 0);
  const std::string stale = "mols.fpbin.tmp-" + std::to_string(dead) + "-0";
  Write(stale, "partial");
  const std::string odd = "search -db '" + Path("odd.fpbin") + "' -mols '" + Path("odd.smi") + "' -query CCO";
  const struct {
    const char* name;
    std::string arguments;
    int status;
    std::string err;  // on stderr
    std::string out;  // on stdout
  } cases[] = {
      {"CR line ends", "create -in '" + Path("cr.smi") + "' -out '" + Path("cr.fpbin") + "' -q", 0, "wrote 3 fingerprints", ""},
      {"CRLF line ends", "create -in '" + Path("crlf.smi") + "' -out '" + Path("cr.fpbin") + "' -q", 0,
       "wrote 3 fingerprints", ""},
      {"molecule file reordered", "search " + db + " -mols '" + Path("swapped.smi") + "' -query CCO", 1,
       "does not match molecule 2 of", ""},
      {"invalid UTF-8 in JSON", odd + " -format json", 0, "", "\"name\": \"\xEF\xBF\xBD\xEF\xBF\xBD bad\""},
      {"escape sequence in TSV", odd + " -limit 2", 0, "", "\t\\x1b[31mred\t"},
      {"dead creation's temporary", "create -in '" + Path("mols.smi") + "' -out '" + Path("mols.fpbin") + "' -q", 0, "",
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = RunVarnex(c.arguments);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("inf"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  }
  EXPECT_EQ(Files().count(stale), 0u);
}

// Partly bad input: every readable record is done, the others are named and
// counted, and the exit status is 3 for each command.
TEST_F(VarnexInputFaultsCliTest, PartlyBadInputExitsThreeWithEveryGoodRecordDone) {
  const std::string ring = "C1" + std::string(4998, 'C') + "C1";
  // Records 1 and 4 cannot be parsed, record 2 is above the atom limit (a NUL
  // byte and other faults of a record are the molecule reader's to test).
  Write("bad.smi", "CCO ethanol\nC1CC( broken\n" + ring + " huge\nc1ccccc1O phenol\nN1CC( broken\n");
  auto r = RunVarnex("create -in '" + Path("bad.smi") + "' -out '" + Path("bad.fpbin") + "' -q");
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_NE(r.err.find("wrote 5 fingerprints"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("3 molecules failed (3 unreadable, 0 without fingerprint) and have empty records"),
            std::string::npos)
      << r.err;
  // An unreadable record is named by its index (why each fails is the molecule reader's to test).
  EXPECT_NE(r.err.find("cannot parse record 1 of " + Path("bad.smi") + "\n"), std::string::npos);
  // Records 1, 2 and 4 are empty; searching the database works.
  r = RunVarnex("search -db '" + Path("bad.fpbin") + "' -mols '" + Path("bad.smi") + "' -query 'c1ccccc1O' -limit 1");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\t3\tphenol\t1.000000"), std::string::npos) << r.out;

  r = RunVarnex("fp -in '" + Path("bad.smi") + "' -numbits 64");
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("3 of 5 molecules could not be read"), std::string::npos) << r.err;

  // Every readable query is answered under its own index.
  r = RunVarnex("search -db '" + Path("mols.fpbin") + "' -query '" + Path("bad.smi") + "' -limit 1");
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("3 queries could not be read"), std::string::npos) << r.err;
  EXPECT_EQ(VarnexTest::Lines(r.out), (std::vector<std::string>{"query\tquery_name\trank\tindex\tname\tscore",
                                                                "0\tethanol\t1\t2\t\t1.000000",
                                                                "3\tphenol\t1\t3\t\t1.000000"}));

  // A gzip file whose checksum is damaged: every record kept, still status 3.
  gzFile gz = gzopen(Path("mols.smi.gz").c_str(), "wb");
  gzputs(gz, ReadFile(Path("mols.smi")).c_str());
  gzclose(gz);
  std::string packed = ReadFile(Path("mols.smi.gz"));
  packed[packed.size() - 8] ^= 1;
  Write("mols.smi.gz", packed);
  r = RunVarnex("fp -in '" + Path("mols.smi.gz") + "' -numbits 64");
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 5) << r.out;  // header and four molecules
  EXPECT_NE(r.err.find("incorrect data check"), std::string::npos) << r.err;
}

// Usage faults exit 2, bad molecules and files 1, each with its message and
// nothing on stdout; values the declared ranges cannot catch are refused too.
// No command leaves a file behind, and a failed creation leaves the old
// database as it was.
TEST_F(VarnexInputFaultsCliTest, ValuesOutsideTheirMeaningAreRefused) {
  const std::string db = "-db '" + Path("mols.fpbin") + "'";
  const std::string create = "create -out '" + Path("mols.fpbin") + "' -q -in ";
  const std::string mols = "'" + Path("mols.smi") + "'";
  Write("reversed.smi", "c1ccccc1O phenol\nCCO ethanol\nCC(=O)Oc1ccccc1C(=O)O aspirin\nc1ccccc1C(=O)O benzoic\n");
  Write("corrupt.fpbin", "not a database at all");
  Write("two.smi", "CCO a\nCCC b\n");
  Write("empty.smi", "");
  Write("damaged.smi.gz", std::string("\x1f\x8b\x08\x00garbage", 11));
  const std::string old = ReadFile(Path("mols.fpbin"));
  const std::set<std::string> files = Files();
  const struct {
    const char* name;
    std::string arguments;
    int status;
    std::string message;  // on stderr
  } cases[] = {
      {"creation of a bad size", create + mols + " -numbits 1000", 2, "-numbits 1000 is not allowed"},
      {"creation from a missing file", create + "'" + Path("absent.smi") + "'", 1, "cannot read molecule file"},
      {"creation from an empty file", create + "'" + Path("empty.smi") + "'", 1, "empty molecule database!"},
      {"creation from damaged gzip", create + "'" + Path("damaged.smi.gz") + "'", 1, "is damaged or truncated"},
      {"creation of a text kind", create + mols + " -fptype Lingo", 1,
       "invalid fingerprint type (only path, circular or tree allowed)"},
      {"creation of a count kind", create + mols + " -fptype VSEPRAroType", 2,
       "varnex create: VSEPRAroType fingerprints count paths; a fast database holds Path, Circular or Tree bits\n"},
      {"no command", "", 2, "usage: varnex <command>"},
      {"unknown command", "frobnicate", 2, "varnex: unknown command 'frobnicate'; see 'varnex help' for the commands\n"},
      {"hint to the command's help", "compare -a C -b CC -numbits 20", 2, "see 'varnex compare -help'"},
      {"required parameter missing", "compare -a C", 2, "parameter -b is required but has no value"},
      {"unknown measure", "search " + db + " -query CCO -simfunc tanimoto", 2,
       "is not one of the legal values: Tanimoto, Cosine, Dice, Euclid, Tversky, Manhattan"},
      {"page without molecules", "search " + db + " -query CCO -format html -out '" + Path("x.html") + "'", 2,
       "varnex search: -format html draws the hits from their molecule file: give -mols FILE\n"},
      {"page without a file", "search " + db + " -mols '" + Path("mols.smi") + "' -query CCO -format html", 2,
       "varnex search: -format html writes a file: give -out FILE\n"},
      {"file for text", "search " + db + " -query CCO -out '" + Path("x.html") + "'", 2,
       "varnex search: -out is for the picture format; tsv goes to stdout\n"},
      {"bad SMILES", "compare -a 'c1ccccc1O' -b 'C1CC('", 1, "molecule -b is not a valid SMILES: C1CC("},
      {"bad query", "search " + db + " -query 'C1CC('", 1, "the query is not a valid SMILES: C1CC("},
      {"bad molecule to explain", "explain -smiles 'not a smiles'", 1, "molecule -smiles is not a valid SMILES"},
      {"missing molecule file", "fp -in /nonexistent/mols.smi", 1, "cannot read molecule file /nonexistent/mols.smi"},
      {"missing database", "search -db '" + Path("missing.fpbin") + "' -query CCO", 1, "cannot read fingerprint database"},
      {"corrupt database", "histogram -db '" + Path("corrupt.fpbin") + "'", 1, "is not a valid fingerprint database"},
      {"molecule file too short", "search " + db + " -mols '" + Path("two.smi") + "' -query CCO", 1,
       "has 2 records but the database has 4 fingerprints"},
      {"cutoff above 1", "search " + db + " -query CCO -cutoff 2", 2, "-cutoff 2 is outside the range of Tanimoto scores, 0 to 1"},
      {"negative cutoff", "matrix " + db + " -cutoff -1 -simfunc Dice", 2, "-cutoff -1 is outside the range of Dice scores"},
      {"cutoff nan", "search " + db + " -query CCO -cutoff nan", 2, "not a valid float"},
      {"empty SMILES", "compare -a '' -b ''", 1, "molecule -a is an empty SMILES"},
      {"blank query", "search " + db + " -query ' '", 1, "the query is an empty SMILES"},
      {"empty molecule", "fp -smiles ''", 1, "the molecule is an empty SMILES"},
      {"reordered molecule file", "search " + db + " -mols '" + Path("reversed.smi") + "' -query CCO", 1,
       "is not the one the database " + Path("mols.fpbin") + " was made from"},
      {"oversize molecule", "fp -smiles 'C1" + std::string(3000, 'C') + "1'", 1, "3001 atoms, more than the limit of 1000"},
      {"overlong SMILES", "compare -a CCO -b 'C1" + std::string(69999, 'C') + "1'", 1,
       "a line of 70002 bytes, longer than the limit of 65536"},
      {"limit above the records", "matrix " + db + " -limit 7", 0,
       "varnex matrix: -limit 7 is above the 4 records of the database; using 4"},
      {"raised atom limit", "fp -smiles 'C1" + std::string(3000, 'C') + "1' -maxatoms 3001 -numbits 64", 0, ""},
      {"atom limit beyond the stack", "fp -smiles CCO -maxatoms 1000000", 2,
       "value 1000000 of parameter -maxatoms is above the legal maximum 10000"},
      {"parameter twice", "search " + db + " -query CCO -limit 3 -l 4", 2, "parameter -l is given twice (also as -limit)"},
      {"bit beyond the size", "explain -smiles CCO -fptype Path -numbits 1024 -bit 5000", 2,
       "-bit 5000 is beyond the last bit of a 1024-bit fingerprint"},
      {"page over its molecule file",
       "search " + db + " -query CCO -mols '" + Path("mols.smi") + "' -format html -out '" + Path("mols.smi") + "'", 2,
       "is the -mols input"},
      {"chart over its database", "histogram " + db + " -format svg -out '" + Path("mols.fpbin") + "'", 2,
       "is the -db input"},
      {"unparsable long SMILES", "compare -a CCO -b 'C1(" + std::string(70000, 'C') + "'", 1, "is not a valid SMILES"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = RunVarnex(c.arguments);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    // One line per message, quoting at most 80 bytes of any input.
    for (const std::string& line : VarnexTest::Lines(r.err)) EXPECT_LT(line.size(), 240u) << line.substr(0, 240);
    EXPECT_EQ(r.out.empty(), c.status != 0);
    EXPECT_TRUE(ReadFile(Path("mols.fpbin")) == old);
    EXPECT_EQ(Files(), files);
  }
  // The clamped matrix holds every pair: a header and 4 x 4 lines.
  const auto r = RunVarnex("matrix " + db + " -limit 7");
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 17) << r.out;
}

}  // namespace
