// End-to-end tests of varnex explain: one line per pattern, the bit filter
// and JSON output.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "run_program.h"

using VarnexTest::RunVarnex;

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(VarnexExplainCliTest, OneLinePerPatternAndBitFilter) {
  auto r = RunVarnex("explain -smiles CCO -fptype Path -numbits 1024");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "bit\tidentifier\tpattern\tatoms");
  // The first pattern: the path of the first atom alone.
  std::istringstream first(lines[1]);
  std::string bit, id, pattern, atoms;
  ASSERT_TRUE(std::getline(first, bit, '\t') && std::getline(first, id, '\t') && std::getline(first, pattern, '\t') &&
              std::getline(first, atoms));
  EXPECT_EQ(atoms, "0");
  // The identifier modulo the prime below 1024 (1021) is the bit.
  EXPECT_EQ(std::stoul(id) % 1021, std::stoul(bit));

  auto filtered = RunVarnex("explain -smiles CCO -fptype Path -numbits 1024 -bit " + bit);
  ASSERT_EQ(filtered.status, 0);
  const std::vector<std::string> kept = Lines(filtered.out);
  ASSERT_GE(kept.size(), 2u);
  for (size_t i = 1; i < kept.size(); ++i) EXPECT_EQ(kept[i].substr(0, bit.size() + 1), bit + "\t");
  EXPECT_LT(kept.size(), lines.size());
}

TEST(VarnexExplainCliTest, JsonAndFaults) {
  auto r = RunVarnex("explain -smiles C -fptype Circular -format json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.front(), '[');
  EXPECT_NE(r.out.find("\"atoms\": [0]"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"identifier\": "), std::string::npos);
  // A bit no pattern sets: the header only, an empty JSON array.
  EXPECT_EQ(RunVarnex("explain -smiles C -fptype Circular -format json -bit 0").out, "[]\n");
  EXPECT_NE(RunVarnex("explain -smiles 'not a smiles' -fptype Circular").status, 0);
  EXPECT_EQ(RunVarnex("explain -fptype Circular").status, 2);
}

}  // namespace
