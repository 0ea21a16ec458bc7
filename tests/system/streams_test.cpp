#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "kvsystem/streams.h"
#include "temp_dir.h"

namespace {

using KvSystem::kvifstream;
using KvSystem::kvisstream;
using KvSystem::kvistream;
using KvSystem::kvofstream;
using KvSystem::kvosstream;

// All pieces getline hands out with a buffer of `capacity` bytes.
std::vector<std::string> Lines(kvistream& in, size_t capacity) {
  std::vector<char> buffer(capacity);
  std::vector<std::string> lines;
  std::ptrdiff_t n;
  while ((n = in.getline(buffer.data(), capacity)) >= 0) {
    EXPECT_EQ(buffer[static_cast<size_t>(n)], '\0');
    lines.emplace_back(buffer.data(), static_cast<size_t>(n));
  }
  return lines;
}

std::vector<std::string> Lines(const std::string& text, size_t capacity = 256) {
  kvisstream in(text);
  return Lines(in, capacity);
}

using Strings = std::vector<std::string>;

// Lines with and without a final newline, and long lines in pieces without
// phantom empty lines.
TEST(StreamGetline, LinesThePiecesOfLongLinesAndTokens) {
  EXPECT_EQ(Lines("a\nbb\nccc\n"), (Strings{"a", "bb", "ccc"}));
  EXPECT_EQ(Lines("a\nbb\nccc"), (Strings{"a", "bb", "ccc"}));
  EXPECT_EQ(Lines(""), Strings{});
  EXPECT_EQ(Lines("a\n\n\nb"), (Strings{"a", "", "", "b"}));
  EXPECT_EQ(Lines("dos\r\nline\r\n"), (Strings{"dos", "line"}));
  EXPECT_EQ(Lines("lone\rcr\n"), Strings{"lone\rcr"});
  EXPECT_EQ(Lines("end\r"), Strings{"end\r"});
  EXPECT_EQ(Lines(std::string("nul\0byte\n", 9)), Strings{std::string("nul\0byte", 8)});
  // Capacity 4 holds 3 bytes per piece.
  EXPECT_EQ(Lines("abcdefgh\nxy\n", 4), (Strings{"abc", "def", "gh", "xy"}));
  EXPECT_EQ(Lines("abcdef\nxy\n", 4), (Strings{"abc", "def", "xy"})) << "a piece that ends the line takes the newline";
  EXPECT_EQ(Lines("abc\r\n\r\nz", 4), (Strings{"abc", "", "z"}));
  EXPECT_EQ(Lines("ab\r\ncd", 3), (Strings{"ab", "cd"}));
  // A line far longer than the internal read buffer, in pieces of 999 bytes.
  const std::string big(200000, 'q');
  const Strings pieces = Lines(big + "\n", 1000);
  ASSERT_EQ(pieces.size(), 201u);
  EXPECT_EQ(pieces.back().size(), 200u);
  // And the whole-line form joins them.
  kvisstream in(big + "\r\ntail");
  std::string line;
  ASSERT_TRUE(in.getline(line));
  EXPECT_EQ(line, big);
  ASSERT_TRUE(in.getline(line));
  EXPECT_EQ(line, "tail");
  EXPECT_FALSE(in.getline(line));
  // A buffer too small for one byte is refused, and nothing is consumed.
  VarnexTest::CaptureSink sink;
  kvisstream shortLine("abc\n");
  char buffer[1];
  EXPECT_EQ(shortLine.getline(buffer, 1), -1);
  EXPECT_EQ(shortLine.getline(nullptr, 10), -1);
  EXPECT_EQ(sink.Count(), 2u);
  EXPECT_TRUE(sink.Contains("kvistream::getline() needs a buffer of at least 2 bytes, got 1"));
  char ok[8];
  EXPECT_EQ(shortLine.getline(ok, sizeof ok), 3) << "nothing was consumed by the refused calls";
  // Tokens split at white space, which stays after a token for getline.
  kvisstream tokenText("  c1ccccc1\tbenzene\r\n\nCCO  ethanol  ");
  char word[64];
  Strings tokens;
  std::ptrdiff_t n;
  while ((n = tokenText.gettoken(word, sizeof word)) >= 0) tokens.emplace_back(word, static_cast<size_t>(n));
  EXPECT_EQ(tokens, (Strings{"c1ccccc1", "benzene", "CCO", "ethanol"}));

  // The white space after a token stays: getline then reads the rest of the line.
  kvisstream mixed("name rest of line\nnext");
  EXPECT_EQ(mixed.gettoken(word, sizeof word), 4);
  EXPECT_EQ(Lines(mixed, 64), (Strings{" rest of line", "next"}));
}

// Reads, skips and the end, from a string and from a file written in two
// pieces: reads larger than the internal buffer, skips past buffered bytes.
TEST(StreamFile, BinaryReadsOfAFileEqualThoseOfTheString) {
  std::string data(300000, '\0');
  std::mt19937 rng(3);
  for (char& c : data) c = static_cast<char>(rng());
  VarnexTest::TempDir dir;
  const std::string path = dir.Path("data.bin");
  {
    kvofstream out(path);
    ASSERT_TRUE(out.good());
    EXPECT_TRUE(out.write(data.data(), 1000));
    EXPECT_TRUE(out.write(std::string_view(data).substr(1000)));
    EXPECT_EQ(out.size(), data.size());
  }  // closed by the destructor
  kvisstream text(data);
  kvifstream file(path);
  for (kvistream* in : {static_cast<kvistream*>(&text), static_cast<kvistream*>(&file)}) {
    SCOPED_TRACE(in == &text ? "string" : "file");
    ASSERT_TRUE(in->good());
    EXPECT_EQ(in->size(), data.size());
    std::string chunk(10, '\0');
    ASSERT_EQ(in->read(chunk.data(), 10), 10u);
    EXPECT_EQ(chunk, data.substr(0, 10));
    EXPECT_EQ(in->peek(), static_cast<unsigned char>(data[10]));
    EXPECT_EQ(in->skip(65536 + 90), 65626u);
    EXPECT_EQ(in->tell(), 65636u);
    EXPECT_EQ(in->get(), static_cast<unsigned char>(data[65636]));
    std::string big(200000, '\0');
    ASSERT_EQ(in->read(big.data(), big.size()), big.size());
    EXPECT_EQ(big, data.substr(65637, big.size()));
    EXPECT_TRUE(in->good());
    // Past the end: short counts, eof, nothing invented.
    EXPECT_EQ(in->skip(1000000), data.size() - 265637);
    EXPECT_TRUE(in->eof());
    EXPECT_FALSE(in->good());
    EXPECT_EQ(in->read(chunk.data(), 10), 0u);
    EXPECT_EQ(in->get(), -1);
    EXPECT_EQ(in->tell(), data.size());
  }
  file.close();
  file.close();
  EXPECT_EQ(file.get(), -1);
}

TEST(StreamFile, MissingFileIsReportedAndReadsNothing) {
  VarnexTest::CaptureSink sink;
  kvifstream in("/nonexistent/dir/mols.smi");
  EXPECT_FALSE(in.good());
  EXPECT_TRUE(in.fail());
  EXPECT_FALSE(in.is_open());
  ASSERT_EQ(sink.Count(), 1u);
  EXPECT_EQ(sink.Texts()[0].rfind("kvifstream() cannot open /nonexistent/dir/mols.smi", 0), 0u) << sink.Texts()[0];
  char buffer[16];
  EXPECT_EQ(in.getline(buffer, sizeof buffer), -1);
  EXPECT_EQ(in.read(buffer, sizeof buffer), 0u);
  EXPECT_EQ(in.size(), 0u);

  kvofstream out("/nonexistent/dir/out.bin");
  EXPECT_FALSE(out.good());
  EXPECT_FALSE(out.write("x", 1));
  EXPECT_EQ(sink.Count(), 2u);
}

TEST(StreamString, OutputStopsAfterClose) {
  kvosstream out;
  EXPECT_TRUE(out.put('\0'));
  EXPECT_TRUE(out.close());
  EXPECT_FALSE(out.write("e", 1));
  EXPECT_EQ(out.str(), std::string(1, '\0'));
}

}  // namespace
