#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "capture_sink.h"
#include "kvsystem/namespace.h"

namespace {

using KvSystem::KvNamespaceInterface;
namespace Kind = KvSystem::KvNamespaceKind;

// A flag set shaped like the atom-type flags: a gap at 8, a multi-bit entry.
KvNamespaceInterface MakeFlags() {
  KvNamespaceInterface ns(Kind::Flags, "TestFlags");
  ns.AddPrimitive("One", 1);
  ns.AddPrimitive("Two", 2, "the second flag");
  ns.AddPrimitive("Four", 4);
  ns.AddPrimitive("Sixteen", 16);
  return ns;
}

KvNamespaceInterface MakeEnum() {
  KvNamespaceInterface ns(Kind::Enumeration, "TestEnum");
  ns.AddPrimitive("Tanimoto", 1);
  ns.AddPrimitive("Cosine", 2);
  ns.AddPrimitive("Dice", 3);
  return ns;
}

TEST(Namespace, FlagNamesJoinSetFlagsInRegistrationOrder) {
  const KvNamespaceInterface ns = MakeFlags();
  EXPECT_EQ(ns.GetName(1, "none"), "One");
  EXPECT_EQ(ns.GetName(2 | 16 | 1, "none"), "One|Two|Sixteen");
  EXPECT_EQ(ns.GetName(0, "none"), "none");
  EXPECT_EQ(ns.GetName(8, "none"), "none") << "no registered flag in the value";
  EXPECT_EQ(ns.GetName(8 | 4, "none"), "Four") << "unregistered bits are ignored";
  EXPECT_EQ(ns.GetName(0xFFFFFFFFu, "none"), "One|Two|Four|Sixteen");
}

TEST(Namespace, ExactValueWinsOverDecomposition) {
  KvNamespaceInterface ns = MakeFlags();
  ns.AddPrimitive("Three", 3);
  ns.AddPrimitive("Nothing", 0);
  EXPECT_EQ(ns.GetName(3, "none"), "Three");
  EXPECT_EQ(ns.GetName(0, "none"), "Nothing");
  EXPECT_EQ(ns.GetName(7, "none"), "One|Two|Four|Three") << "a multi-bit entry counts when wholly contained";
}

TEST(Namespace, ValuesOfNamesAndCombinations) {
  const KvNamespaceInterface ns = MakeFlags();
  EXPECT_EQ(ns.GetValue("Two", 99), 2u);
  EXPECT_EQ(ns.GetValue("Sixteen|One", 99), 17u);
  EXPECT_EQ(ns.GetValue("One|One", 99), 1u);
  for (const char* bad : {"", "two", "One|", "|One", "One||Two", "One|Bogus", "One |Two", "Bogus"}) {
    EXPECT_EQ(ns.GetValue(bad, 99), 99u) << bad;
    EXPECT_FALSE(ns.IsValid(bad)) << bad;
  }
  EXPECT_TRUE(ns.IsValid("Four|Two"));
  // Names round-trip through values.
  for (std::uint32_t value = 1; value < 32; ++value) {
    if (value & 8) continue;
    EXPECT_EQ(ns.GetValue(ns.GetName(value, ""), 99), value) << value;
  }
}

TEST(Namespace, EnumerationHasNoCombinations) {
  const KvNamespaceInterface ns = MakeEnum();
  EXPECT_TRUE(ns.IsEnumeration());
  EXPECT_EQ(ns.GetName(3, "invalid"), "Dice");
  EXPECT_EQ(ns.GetName(7, "invalid"), "invalid");
  EXPECT_EQ(ns.GetValue("Cosine", 0), 2u);
  EXPECT_EQ(ns.GetValue("Tanimoto|Cosine", 0), 0u);
  EXPECT_FALSE(ns.IsValid("Tanimoto|Cosine"));
}

TEST(Namespace, PrimitivesAndBadRegistrations) {
  VarnexTest::CaptureSink sink;
  KvNamespaceInterface ns = MakeFlags();
  EXPECT_FALSE(ns.AddPrimitive("One", 64));
  EXPECT_FALSE(ns.AddPrimitive("A|B", 64));
  EXPECT_FALSE(ns.AddPrimitive("", 64));
  EXPECT_EQ(sink.Count(), 3u);
  EXPECT_TRUE(sink.Contains("KvNamespaceInterface::AddPrimitive() duplicate name \"One\" in namespace TestFlags"));
  ASSERT_EQ(ns.GetPrimitives().size(), 4u);
  EXPECT_EQ(ns.GetPrimitives()[1].GetName(), "Two");
  EXPECT_EQ(ns.GetPrimitives()[1].GetValue(), 2u);
  EXPECT_EQ(ns.GetPrimitives()[1].GetDetail(), "the second flag");
  EXPECT_EQ(ns.GetPrimitives()[0].GetDetail(), "");
  EXPECT_EQ(ns.GetKind(), Kind::Flags);
  EXPECT_EQ(ns.GetNamespaceName(), "TestFlags");
}

TEST(Namespace, ConcurrentReadersAgree) {
  const KvNamespaceInterface ns = MakeFlags();
  std::vector<std::thread> threads;
  std::vector<int> failures(8, 0);
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      for (std::uint32_t value = 0; value < 2000; ++value) {
        const std::uint32_t flags = value & 23u;
        if (flags != 0 && ns.GetValue(ns.GetName(flags, ""), 99) != flags) ++failures[t];
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(8, 0));
}

}  // namespace
