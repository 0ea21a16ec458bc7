// Unhashed path, tree and circular fingerprints: the stored text byte by
// byte. Typed forms and their errors and ties of the canonical string under
// another atom order are the generator driver test's; the exact strings of
// real molecules, symmetric atoms among them, the golden-bits test's.

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "core/fptext.h"
#include "varnex/fingerprint.h"

namespace {

using namespace Varnex;

std::vector<unsigned char> StoredBytes(const KvFingerPrint& fp) {
  return {fp.GetBytes(), fp.GetBytes() + fp.NumBytes()};
}

// The stored text up to its first zero byte.
std::string StoredText(const KvFingerPrint& fp) {
  const char* text = reinterpret_cast<const char*>(fp.GetBytes());
  return std::string(text, strnlen(text, fp.NumBytes()));
}

TEST(UnhashedText, LayoutByteByByte) {
  const std::set<std::string> ids = {"BC", "A"};
  KvFingerPrint fp;
  SetUnhashedText(fp, ids, false);
  EXPECT_EQ(fp.GetSize(), 64u);
  EXPECT_EQ(StoredBytes(fp), (std::vector<unsigned char>{'A', ' ', 'B', 'C', ' ', ' ', ' ', 0}));  // up to three spaces
  SetUnhashedText(fp, ids, true);
  EXPECT_EQ(fp.GetSize(), 72u);
  EXPECT_EQ(StoredBytes(fp), (std::vector<unsigned char>{'A', ' ', 'B', 'C', ' ', ' ', ' ', 0, 0}));
  // A text that fills whole words needs no padding: its last space becomes 0.
  SetUnhashedText(fp, {"ABC"}, false);
  EXPECT_EQ(StoredBytes(fp), (std::vector<unsigned char>{'A', 'B', 'C', 0}));
  // Byte-wise order: a prefix sorts first, upper case before lower case.
  SetUnhashedText(fp, {"b", "a", "B", "ab"}, false);
  EXPECT_EQ(StoredText(fp), "B a ab b   ");
  // No identifiers: one word of zero bytes, plus the path kind's extra zero.
  SetUnhashedText(fp, {}, false);
  EXPECT_EQ(StoredBytes(fp), (std::vector<unsigned char>{0, 0, 0, 0}));
  SetUnhashedText(fp, {}, true);
  EXPECT_EQ(StoredBytes(fp), (std::vector<unsigned char>{0, 0, 0, 0, 0}));
}

}  // namespace
