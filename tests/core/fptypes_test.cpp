// Fingerprint types: interning, default and VS types, written type strings,
// names, sizes and KvFPTypeParams.

#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "capture_sink.h"
#include "varnex/fptypes.h"

namespace {

using namespace Varnex;
using VarnexTest::CaptureSink;

TEST(FPTypeRegistry, SameParametersGiveOnePointerAndAnyDifferenceAnother) {
  const KvFPTypeBase* path = KvGetPathFPType(0x2000, 2048, 1, 6, 63, 1);
  EXPECT_EQ(path, KvGetPathFPType(2048, 1, 6, 63, 1));  // current version is 2.0.0
  for (const KvFPTypeBase* other :
       {KvGetPathFPType(0x2001, 2048, 1, 6, 63, 1), KvGetPathFPType(1024, 1, 6, 63, 1),
        KvGetPathFPType(2048, 0, 6, 63, 1), KvGetPathFPType(2048, 1, 5, 63, 1), KvGetPathFPType(2048, 1, 6, 62, 1),
        KvGetPathFPType(2048, 1, 6, 63, 3), KvGetTreeFPType(2048, 1, 6, 63, 1)})  // each kind its own registry
    EXPECT_NE(path, other);
  EXPECT_NE(KvGetMACCS166FPType(0x2000), KvGetLingoFPType(0x2000));

  const auto* graph = dynamic_cast<const KvFPGraphTypeBase*>(path);
  ASSERT_NE(graph, nullptr);
  EXPECT_EQ(graph->GetParameterWord(), (2048ull << 44) + (63ull << 24) + (1ull << 16) + (1ull << 8) + 6ull);
  EXPECT_EQ(std::make_tuple(graph->GetNumBits(), graph->GetMinDistance(), graph->GetMaxDistance(),
                            graph->GetAtomTypes(), graph->GetBondTypes()),
            std::make_tuple(2048u, 1u, 6u, 63u, 1u));
}

TEST(FPTypeRegistry, ConcurrentRequestsForNewParametersShareOnePointer) {
  constexpr int kThreads = 16;
  constexpr unsigned kCombinations = 64;  // parameters no other test asks for
  std::vector<std::vector<const KvFPTypeBase*>> seen(kThreads);
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      seen[t].resize(kCombinations * 3);
      start.arrive_and_wait();
      for (unsigned i = 0; i < kCombinations; ++i) {
        const unsigned c = (i + static_cast<unsigned>(t)) % kCombinations;  // different orders per thread
        seen[t][c] = KvGetPathFPType(0x2000, 512 + c, 2, 7, 1, 1);
        seen[t][kCombinations + c] = KvGetUnhashedTreeFPType(0x2000, 3, 100 + c, 1, 1);
        seen[t][2 * kCombinations + c] = KvGetLingoFPType(static_cast<unsigned short>(0x3000 + c));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 1; t < kThreads; ++t) EXPECT_EQ(seen[t], seen[0]) << "thread " << t;
  for (unsigned i = 1; i < kCombinations; ++i) EXPECT_NE(seen[0][i], seen[0][i - 1]);
}

// The default type of every kind: its string (whose bytes the golden bits
// hold) reads back as the very same object, with the name and size the type
// itself gives; unhashed kinds have neither.
TEST(FPTypeDefaults, DefaultTypesOfEveryKindRoundTripWithTheirNamesAndSizes) {
  const std::tuple<unsigned, std::string, unsigned> cases[] = {
      {101, "MACCS166", 166}, {102, "Path", 4096},   {103, "Lingo", 0},     {104, "Circular", 4096},
      {105, "Tree", 4096},    {9000, "UNKNOWN", 0}, {9001, "UNKNOWN", 0}, {9002, "UNKNOWN", 0}};
  CaptureSink sink;
  for (const auto& [kind, name, size] : cases) {
    const KvFPTypeBase* type = KvGetFPType(kind, false, 0);
    ASSERT_NE(type, nullptr) << kind;
    EXPECT_EQ(type->GetFPType(), kind);
    const std::string text = type->GetFPTypeString();
    EXPECT_EQ(type->GetFPVersion(), kind == 101 ? 0x2020 : 0x2000);
    EXPECT_EQ(KvGetFPType(text), type) << text;
    EXPECT_TRUE(KvIsValidFPTypeString(text));
    EXPECT_EQ(KvGetFingerPrintName(type), name);
    EXPECT_EQ(KvGetFingerPrintSize(type), size);
    EXPECT_EQ(type->GetNumBits(), size) << kind;
  }
  EXPECT_EQ(sink.Count(), 0u);
}

TEST(FPTypeDefaults, VSTypesTheirVersionsAndUnknownKinds) {
  CaptureSink sink;
  // The one VS type the golden bits leave out (version 0 is version 2).
  EXPECT_EQ(KvGetVSFPType(105, 1)->GetFPTypeString(),
            "Tree,ver=2.0.0,size=4096,bonds=0-4,atype=AtmNum|Arom|Chiral|HvyDeg,btype=Order");
  EXPECT_EQ(KvGetVSFPType(102, 0), KvGetVSFPType(102, 2));
  EXPECT_EQ(KvGetFPType(104, true, 0), KvGetVSFPType(104, 2));
  EXPECT_EQ(KvGetFPType(104, true, 1), KvGetVSFPType(104, 1));
  EXPECT_EQ(KvGetFPType(101, true, 2), KvGetFPType(101, false, 0));  // MACCS166 ignores vs
  EXPECT_EQ(sink.Count(), 0u);

  // Unknown VS versions, and a kind without VS types (the texts: tests/messages).
  EXPECT_EQ(KvGetFPType(102, true, 3), nullptr);
  EXPECT_EQ(KvGetVSFPType(102, 3), nullptr);
  EXPECT_EQ(KvGetVSFPType(101, 1), nullptr);
  EXPECT_EQ(sink.Count(), 3u);
  // With vs off, a VS version is not looked at.
  EXPECT_NE(KvGetFPType(102, false, 7), nullptr);
  // Unknown and legacy kinds: no type.
  for (unsigned kind : {0u, 1u, 2u, 3u, 100u, 106u, 8999u, 9003u}) {
    CaptureSink unknown;
    EXPECT_EQ(KvGetFPType(kind, false, 0), nullptr) << kind;
    EXPECT_TRUE(unknown.Contains("KvGetFPType() unknown fingerprint type")) << kind;
  }
}

TEST(FPTypeStrings, NonDefaultParametersAndVersionsRoundTripStrayBitsAreLeftOut) {
  CaptureSink sink;
  const KvFPTypeBase* types[] = {
      KvGetPathFPType(1024, 1, 7, 0, 4),
      KvGetTreeFPType(65535, 255, 255, 0x17FF, 7),  // every atom flag
      KvGetCircularFPType(32, 2, 3, 1, 0),
      KvGetUnhashedPathFPType(0x2000, 0, 9, 64 | 512 | 1024, 0),
      KvGetUnhashedCircularFPType(0x2000, 1, 2, 256, 4),
      KvGetUnhashedTreeFPType(0x2000, 0, 0, 1, 1),
      KvGetLingoFPType(0x2000),
  };
  for (const KvFPTypeBase* type : types) {
    const std::string text = type->GetFPTypeString();
    EXPECT_EQ(KvGetFPType(text), type) << text;
  }
  EXPECT_EQ(types[0]->GetFPTypeString(), "Path,ver=2.0.0,size=1024,bonds=1-7,atype=None,btype=InRing");
  EXPECT_EQ(types[2]->GetFPTypeString(), "Circular,ver=2.0.0,size=32,radius=2-3,atype=AtmNum,btype=None");

  // An old version is written as it is, and its string still has a name and size.
  EXPECT_EQ(KvGetMACCS166FPType(0)->GetFPTypeString(), "MACCS166,ver=0.0.0");
  EXPECT_EQ(KvGetFingerPrintName(KvGetPathFPType(0x1000, 512, 0, 5, 1, 1)), "Path");
  EXPECT_EQ(KvGetFingerPrintSize(KvGetPathFPType(0x1000, 512, 0, 5, 1, 1)), 512u);
  EXPECT_EQ(KvGetFingerPrintName(nullptr), "UNKNOWN");
  EXPECT_EQ(sink.Count(), 0u);
  // A type whose string does not parse (size 0: the parser says so) has none.
  EXPECT_EQ(KvGetFingerPrintName(KvGetPathFPType(0, 0, 5, 1, 1)), "UNKNOWN");
  // Stray bits of a parameter word are reported (the texts: tests/messages)
  // and left out of the written string.
  const std::pair<const KvFPTypeBase*, std::string> strays[] = {
      {KvGetPathFPType(0x10000 + 64, 0, 5, 1, 1), "Path,ver=2.0.0,size=64,bonds=0-5,atype=AtmNum,btype=Order"},
      {KvGetTreeFPType(64, 0, 4, 0x10001, 1), "Tree,ver=2.0.0,size=64,bonds=0-4,atype=AtmNum,btype=Order"},
      {KvGetCircularFPType(0x20040, 0, 2, 1, 1), "Circular,ver=2.0.0,size=64,radius=0-2,atype=AtmNum,btype=Order"},
      {KvGetUnhashedPathFPType(0x2000, 0, 5, 0x10001, 1), "UHPath,ver=2.0.0,bonds=0-5,atype=AtmNum,btype=Order"},
      {KvGetUnhashedCircularFPType(0x2000, 0, 5, 0x80001, 1),
       "UHCircular,ver=2.0.0,radius=0-5,atype=AtmNum,btype=Order"},
  };
  for (const auto& [type, text] : strays) {
    CaptureSink stray;
    EXPECT_EQ(type->GetFPTypeString(), text);
    EXPECT_EQ(stray.Count(), 1u) << text;
  }
}

// valid, kind, version, bits, minimum, maximum, atom types, bond types
std::vector<unsigned> Fields(const KvFPTypeParams& p) {
  return {p.IsValid(),         p.GetFPType(),        p.GetVersion(),    p.GetNumBits(),
          p.GetMinDistance(), p.GetMaxDistance(), p.GetAtomTypes(), p.GetBondTypes()};
}

TEST(FPTypeParams, ValuesFromTypesAndStrings) {
  using V = std::vector<unsigned>;
  CaptureSink sink;
  EXPECT_EQ(Fields(KvFPTypeParams(KvGetFPType(102, false, 0))), (V{1, 102, 0x2000, 4096, 0, 5, 191, 3}));
  EXPECT_EQ(Fields(KvFPTypeParams(std::string("MACCS166,ver=2.2.0"))), (V{1, 101, 0x2020, 166, 0, 0, 0, 0}));
  EXPECT_EQ(Fields(KvFPTypeParams(std::string("Lingo"))), (V{1, 103, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Fields(KvFPTypeParams(static_cast<const KvFPTypeBase*>(nullptr))), (V{0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Fields(KvFPTypeParams(KvGetFPType(9001, false, 0))), (V{0, 9001, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Fields(KvFPTypeParams(std::string("Hash,ver=2.0.0"))), (V{0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(sink.Count(), 0u);
  // A failed parse keeps what the parser wrote: unset fields are all ones.
  EXPECT_EQ(Fields(KvFPTypeParams(std::string("Tree,ver=2.0.0,bonds=1-4"))),
            (V{0, 105, 0x2000, 0xFFFFFFFF, 1, 4, 0xFFFFFFFF, 0xFFFFFFFF}));
  EXPECT_EQ(sink.Texts(), std::vector<std::string>{"Size cannot be initialized for `Tree` type!"});
}

}  // namespace
