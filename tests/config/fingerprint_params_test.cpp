// Fingerprint parameters: defaults from a type, the MACCS/Lingo refusal, the
// setup defaults of each kind, repaired distances and invalid typings.

#include <gtest/gtest.h>

#include "capture_sink.h"
#include "kvsystem/parameters.h"
#include "varnex/config.h"
#include "varnex/typing.h"

using KvSystem::KvInterface;
using VarnexTest::CaptureSink;
using namespace Varnex;

namespace {

TEST(ConfigureFingerPrintTest, TreeTypeGivesDefaultsInTableOrderOtherKindsAreRefused) {
  KvInterface itf;
  const KvFPTypeBase* tree = KvGetTreeFPType(4096, 0, 4, KvFPAtomType::DefaultTreeAtom, KvFPBondType::DefaultTreeBond);
  ASSERT_TRUE(KvConfigureFingerPrint(itf, tree));
  ASSERT_EQ(itf.GetInterfaces().size(), 1u);
  const KvInterface& group = *itf.GetInterfaces()[0];
  EXPECT_EQ(group.GetName(), "fingerprint options");
  std::vector<std::string> names, aliases;
  for (const auto& p : group.GetParameters()) {
    names.push_back(p->GetName());
    aliases.push_back(p->GetAliases().at(0));
    EXPECT_EQ(p->GetVisibility(), 0u);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"-fptype", "-numbits", "-mindistance", "-maxdistance", "-atomtype",
                                             "-bondtype"}));
  EXPECT_EQ(aliases, (std::vector<std::string>{"-fpt", "-size", "-mind", "-maxd", "-a", "-b"}));
  EXPECT_EQ(itf.GetParameter("-fpt")->GetLegalValues(), (std::vector<std::string>{"Path", "Circular", "Tree"}));
  EXPECT_EQ(itf.GetParameter("-numbits")->GetLegalLow(), "64");
  EXPECT_EQ(itf.GetParameter("-numbits")->GetLegalHigh(), "65535");
  EXPECT_EQ(itf.GetParameter("-maxd")->GetLegalHigh(), "10");
  // The typing parameters list every flag name in their details.
  EXPECT_NE(itf.GetParameter("-bondtype")->GetDetails().at(1).find("\tInRing      \n"), std::string::npos);
  EXPECT_NE(itf.GetParameter("-atomtype")->GetDetails().at(1).find("\tEqHalo       - halogen atoms are equal\n"),
            std::string::npos);

  // Null, MACCS166 and Lingo types are refused, each leaving an empty group.
  CaptureSink sink;
  KvInterface refused;
  EXPECT_FALSE(KvConfigureFingerPrint(refused, nullptr));
  EXPECT_FALSE(KvConfigureFingerPrint(refused, KvGetFPType(KvFPType::MACCS166)));
  EXPECT_FALSE(KvConfigureFingerPrint(refused, KvGetFPType(KvFPType::Lingo)));
  EXPECT_EQ(sink.Count(), 3u);  // the texts: tests/messages
  ASSERT_EQ(refused.GetInterfaces().size(), 3u);
  for (const auto& child : refused.GetInterfaces()) EXPECT_TRUE(child->GetParameters().empty());
}

// Set-up from a group holding only the given parameters (distances as int,
// the rest as string): each kind's defaults, a repaired and refused values.
TEST(SetupFingerPrintTest, GivenParametersOverTheKindsOrTheConfiguredDefaults) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> values;
    const KvFPTypeBase* expected;
    std::size_t messages;  // the texts: tests/messages
  };
  const Case cases[] = {
      {{}, KvGetTreeFPType(4096, 0, 4, 63, 1), 0},
      {{{"-fptype", "Path"}}, KvGetPathFPType(4096, 0, 5, 191, 3), 0},
      {{{"-fptype", "Circular"}}, KvGetCircularFPType(4096, 0, 5, 4239, 1), 0},
      {{{"-fptype", "MACCS166"}}, nullptr, 1},
      {{{"-fptype", "Path"}, {"-mindistance", "6"}, {"-maxdistance", "3"}}, KvGetPathFPType(4096, 3, 3, 191, 3), 1},
      {{{"-atomtype", "Nonsense"}}, nullptr, 1},
      {{{"-numbits", "1024"}}, KvGetTreeFPType(4096, 0, 4, 63, 1), 0},  // not an int: absent
  };
  for (const Case& c : cases) {
    KvInterface itf;
    std::string given;
    for (const auto& [name, value] : c.values) {
      KvSystem::KvParameter* p = itf.AddParameter(name.find("distance") != std::string::npos ? "int" : "string");
      p->SetName(name);
      ASSERT_TRUE(p->SetValue(value)) << name;
      given += name + " " + value + " ";
    }
    CaptureSink sink;
    EXPECT_EQ(KvSetupFingerPrint(itf), c.expected) << given;
    EXPECT_EQ(sink.Count(), c.messages) << given;
  }
  // A configured type comes back, and parsed values override it.
  KvInterface configured;
  const KvFPTypeBase* circular = KvGetCircularFPType(2048, 1, 3, KvFPAtomType::DefaultCircularAtom, 1);
  ASSERT_TRUE(KvConfigureFingerPrint(configured, circular));
  EXPECT_EQ(KvSetupFingerPrint(configured), circular);
  ASSERT_TRUE(configured.ParseCommandLine({"-fpt", "Path", "-size", "1024", "-a", "AtmNum|InRing", "-b", "Order"}));
  EXPECT_EQ(KvSetupFingerPrint(configured), KvGetPathFPType(1024, 1, 3, 1 | 64, 1));
}

}  // namespace
