// Inputs found by the fuzz targets in fuzz/, kept as regression tests. Each
// file under tests/io/fuzz_regressions/ is run through the check its fuzzer
// failed.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "capture_sink.h"
#include "kvsystem/kvb.h"
#include "varnex/fpio.h"

namespace {

std::string ReadFile(const std::string& name) {
  // Not __FILE__: a compiler cache may make it relative to another folder.
  std::ifstream in(std::string(VARNEX_TEST_DATA_DIR) + "/../io/fuzz_regressions/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// An attached record whose inner fingerprint record has length 0 attaches an
// untyped fingerprint, which cannot be written: writing must still be a
// fixed point (read, write, read, write gives the same bytes).
TEST(FuzzRegression, AttachedZeroLengthFingerPrintRecord) {
  VarnexTest::CaptureSink sink;
  KvSystem::kvisstream in(ReadFile("kvb-zero-length-inner"));
  KvSystem::KvBase target;
  KvSystem::KvBReadAttachedData(in, target);
  const auto* item = target.FindDataT<Varnex::KvFingerPrint>(KvSystem::KvGetTag("fp"));
  ASSERT_NE(item, nullptr);
  EXPECT_FALSE(item->GetData());
  KvSystem::kvosstream out;
  ASSERT_EQ(KvSystem::KvBWriteAttachedData(out, target), KvSystem::KvBStatus::Success);
  KvSystem::kvisstream again(out.str());
  KvSystem::KvBase copy;
  ASSERT_EQ(KvSystem::KvBReadAttachedData(again, copy), KvSystem::KvBStatus::Success);
  KvSystem::kvosstream rewritten;
  KvSystem::KvBWriteAttachedData(rewritten, copy);
  EXPECT_EQ(rewritten.str(), out.str());
}

// A type string with size=60702034 overflows the 16-bit size field; its type
// prints as a different string, so the text is refused instead of giving a
// fingerprint whose text form differs from the input.
TEST(FuzzRegression, TextFormWithOverflowingSizeGivesNoBytes) {
  VarnexTest::CaptureSink sink;
  using Single = KvDataFlow::KvFieldType<Varnex::KvFingerPrint>;
  EXPECT_TRUE(Single().JSONToBytes(ReadFile("json-size-overflow")).empty());
  // The same text with a size that fits is fine.
  EXPECT_FALSE(
      Single().JSONToBytes("Path,ver=2.0.0,size=64,bonds=0-7,atype=AtmNum|Arom,btype=Order\n0702030405060709").empty());
}

}  // namespace
