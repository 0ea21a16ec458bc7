#include <gtest/gtest.h>

#include <string>

#include "capture_sink.h"
#include "kvsystem/namespace.h"

namespace {

using KvSystem::KvNamespaceInterface;
namespace Kind = KvSystem::KvNamespaceKind;

// Shaped like the atom-type flags: a gap at 8.
KvNamespaceInterface MakeFlags() {
  KvNamespaceInterface ns(Kind::Flags, "TestFlags");
  ns.AddPrimitive("One", 1);
  ns.AddPrimitive("Two", 2, "the second flag");
  ns.AddPrimitive("Four", 4);
  ns.AddPrimitive("Sixteen", 16);
  return ns;
}

TEST(Namespace, FlagNamesAndValuesRoundTripAndBadNamesAreRefused) {
  KvNamespaceInterface ns = MakeFlags();
  EXPECT_EQ(ns.GetName(2 | 16 | 1, "none"), "One|Two|Sixteen") << "registration order";
  EXPECT_EQ(ns.GetName(0, "none"), "none");
  EXPECT_EQ(ns.GetName(8, "none"), "none") << "no registered flag in the value";
  EXPECT_EQ(ns.GetName(8 | 4, "none"), "Four") << "unregistered bits are ignored";
  EXPECT_EQ(ns.GetValue("Sixteen|One", 99), 17u);
  for (const char* bad : {"", "two", "One|", "|One", "One||Two", "One|Bogus", "One |Two"}) {
    EXPECT_EQ(ns.GetValue(bad, 99), 99u) << bad;
    EXPECT_FALSE(ns.IsValid(bad)) << bad;
  }
  for (std::uint32_t value = 1; value < 32; ++value)
    if ((value & 8) == 0) {
      EXPECT_EQ(ns.GetValue(ns.GetName(value, ""), 99), value) << value;
    }
  // Bad registrations are refused: a taken name, a separator, no name.
  VarnexTest::CaptureSink sink;
  EXPECT_FALSE(ns.AddPrimitive("One", 64));
  EXPECT_FALSE(ns.AddPrimitive("A|B", 64));
  EXPECT_FALSE(ns.AddPrimitive("", 64));
  EXPECT_EQ(sink.Count(), 3u);
  EXPECT_TRUE(sink.Contains("KvNamespaceInterface::AddPrimitive() duplicate name \"One\" in namespace TestFlags"));
  ASSERT_EQ(ns.GetPrimitives().size(), 4u);
  ns.AddPrimitive("Three", 3);
  EXPECT_EQ(ns.GetName(3, "none"), "Three") << "an exact value wins";
  EXPECT_EQ(ns.GetName(7, "none"), "One|Two|Four|Three");

  KvNamespaceInterface e(Kind::Enumeration, "TestEnum");
  e.AddPrimitive("Tanimoto", 1);
  e.AddPrimitive("Dice", 3);
  EXPECT_EQ(e.GetName(3, "invalid"), "Dice");
  EXPECT_EQ(e.GetName(7, "invalid"), "invalid");
  EXPECT_FALSE(e.IsValid("Tanimoto|Dice")) << "an enumeration has no combinations";
}

}  // namespace
