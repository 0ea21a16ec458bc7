// Unhashed path, tree and circular fingerprints: the stored text byte by
// byte, typed forms and their errors. Ties of the canonical string under
// another atom order are the generator driver test's; the exact strings of
// real molecules, symmetric atoms among them, the golden-bits test's.

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "core/fptext.h"
#include "graph_fp_test_util.h"
#include "varnex/circularfp.h"
#include "varnex/generation.h"
#include "varnex/treefp.h"
#include "varnex/typing.h"
#include "varnex/unhashedfp.h"

namespace {

using namespace Varnex;
using KvChem::KvMol;
using VarnexTest::CaptureSink;
using VarnexTest::Mol;

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
  EXPECT_EQ(StoredBytes(fp), (std::vector<unsigned char>{'A', ' ', 'B', 'C', ' ', ' ', ' ', 0}));
  EXPECT_EQ(StoredText(fp), "A BC   ");  // up to three trailing spaces
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

TEST(UnhashedFP, TypedFormsCheckTheKind) {
  const KvMol mol = Mol("CC(=O)Nc1ccc(O)cc1");
  KvFingerPrint fp;
  ASSERT_TRUE(KvMakeUnhashedPathFP(fp, mol, KvGetUnhashedPathFPType(KvGraphFPVersion, 1, 3, 191, 3)));

  // A kind of another generator: one error (its text is the message table's),
  // the fingerprint left as it was.
  using MakeFn = bool (*)(KvFingerPrint&, const KvChem::KvMolBase&, const KvFPTypeBase*);
  const std::pair<MakeFn, const KvFPTypeBase*> cases[] = {
      {&KvMakeUnhashedPathFP, KvGetFPType(KvFPType::UnhashedCircular)},
      {&KvMakeUnhashedCircularFP, KvGetFPType(KvFPType::Circular)},
      {&KvMakeUnhashedTreeFP, nullptr},
  };
  for (const auto& [make, wrong] : cases) {
    CaptureSink sink;
    KvFingerPrint untouched = fp;
    EXPECT_FALSE(make(untouched, mol, wrong));
    ASSERT_EQ(sink.Count(), 1u);
    EXPECT_EQ(sink.Messages()[0].level, KvSystem::KvErrorLevel::Error);
    EXPECT_TRUE(untouched == fp);
  }
  // Stray bits above the four fields: warned, known fields used.
  CaptureSink sink;
  const KvFPTypeBase* treeType = KvGetUnhashedTreeFPType(KvGraphFPVersion, 0, 3, 63, 1);
  KvFPUnhashedTreeType stray(KvGraphFPVersion,
                             static_cast<const KvFPGraphTypeBase*>(treeType)->GetParameterWord() | (UINT64_C(1) << 50));
  ASSERT_TRUE(KvMakeUnhashedTreeFP(fp, mol, &stray));
  EXPECT_EQ(sink.Texts(), std::vector<std::string>{"Unrecognised data!"});
  EXPECT_EQ(fp.GetFPTypeBase(), treeType);
}

}  // namespace
