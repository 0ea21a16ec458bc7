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

void Set(KvInterface& itf, const std::string& name, const std::string& value) {
  KvSystem::KvParameter* p = itf.GetParameter(name);
  ASSERT_NE(p, nullptr) << name;
  ASSERT_TRUE(p->SetValue(value)) << name;
}

TEST(ConfigureFingerPrintTest, TreeTypeGivesDefaultsInTableOrder) {
  KvInterface itf;
  const KvFPTypeBase* tree = KvGetTreeFPType(4096, 0, 4, KvFPAtomType::DefaultTreeAtom, KvFPBondType::DefaultTreeBond);
  ASSERT_TRUE(KvConfigureFingerPrint(itf, tree));
  ASSERT_EQ(itf.GetInterfaces().size(), 1u);
  const KvInterface& group = *itf.GetInterfaces()[0];
  EXPECT_EQ(group.GetName(), "fingerprint options");
  std::vector<std::string> names, aliases, defaults;
  for (const auto& p : group.GetParameters()) {
    names.push_back(p->GetName());
    aliases.push_back(p->GetAliases().at(0));
    defaults.push_back(p->GetDefault());
    EXPECT_EQ(p->GetVisibility(), 0u);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"-fptype", "-numbits", "-mindistance", "-maxdistance", "-atomtype",
                                             "-bondtype"}));
  EXPECT_EQ(aliases, (std::vector<std::string>{"-fpt", "-size", "-mind", "-maxd", "-a", "-b"}));
  EXPECT_EQ(defaults, (std::vector<std::string>{"Tree", "4096", "0", "4", "AtmNum|Arom|Chiral|FCharge|HvyDeg|Hyb",
                                                "Order"}));
  EXPECT_EQ(itf.GetParameter("-fpt")->GetLegalValues(), (std::vector<std::string>{"Path", "Circular", "Tree"}));
  EXPECT_EQ(itf.GetParameter("-numbits")->GetLegalLow(), "64");
  EXPECT_EQ(itf.GetParameter("-numbits")->GetLegalHigh(), "65535");
  EXPECT_EQ(itf.GetParameter("-maxd")->GetLegalHigh(), "10");
  // The typing parameters list every flag name in their details.
  EXPECT_NE(itf.GetParameter("-bondtype")->GetDetails().at(1).find("\tInRing      \n"), std::string::npos);
  EXPECT_NE(itf.GetParameter("-atomtype")->GetDetails().at(1).find("\tEqHalo       - halogen atoms are equal\n"),
            std::string::npos);
}

TEST(ConfigureFingerPrintTest, RefusesNullMaccsAndLingoButKeepsTheChildInterface) {
  CaptureSink sink;
  KvInterface itf;
  EXPECT_FALSE(KvConfigureFingerPrint(itf, nullptr));
  EXPECT_FALSE(KvConfigureFingerPrint(itf, KvGetFPType(KvFPType::MACCS166)));
  EXPECT_FALSE(KvConfigureFingerPrint(itf, KvGetFPType(KvFPType::Lingo)));
  EXPECT_EQ(sink.Count(), 3u);  // the texts: tests/messages
  ASSERT_EQ(itf.GetInterfaces().size(), 3u);
  for (const auto& child : itf.GetInterfaces()) EXPECT_TRUE(child->GetParameters().empty());
}

TEST(SetupFingerPrintTest, DefaultsOfEachKind) {
  CaptureSink sink;
  KvInterface empty;
  EXPECT_EQ(KvSetupFingerPrint(empty), KvGetTreeFPType(KvGetFingerPrintVersion(105), 4096, 0, 4, 63, 1));

  KvInterface path;
  path.AddParameter("string")->SetName("-fptype");
  Set(path, "-fptype", "Path");
  EXPECT_EQ(KvSetupFingerPrint(path), KvGetPathFPType(KvGetFingerPrintVersion(102), 4096, 0, 5, 191, 3));
  Set(path, "-fptype", "Circular");
  EXPECT_EQ(KvSetupFingerPrint(path), KvGetCircularFPType(KvGetFingerPrintVersion(104), 4096, 0, 5, 4239, 1));
  EXPECT_EQ(sink.Count(), 0u);

  Set(path, "-fptype", "MACCS166");
  EXPECT_EQ(KvSetupFingerPrint(path), nullptr);
  Set(path, "-fptype", "path");  // names are case-sensitive
  EXPECT_EQ(KvSetupFingerPrint(path), nullptr);
  EXPECT_EQ(sink.Count(), 2u);
}

TEST(SetupFingerPrintTest, RoundTripsConfiguredTypeAndOverrides) {
  KvInterface itf;
  const KvFPTypeBase* circular = KvGetCircularFPType(2048, 1, 3, KvFPAtomType::DefaultCircularAtom, 1);
  ASSERT_TRUE(KvConfigureFingerPrint(itf, circular));
  EXPECT_EQ(KvSetupFingerPrint(itf), circular);
  ASSERT_TRUE(itf.ParseCommandLine({"-fpt", "Path", "-size", "1024", "-a", "AtmNum|InRing", "-b", "Order"}));
  EXPECT_EQ(KvSetupFingerPrint(itf), KvGetPathFPType(1024, 1, 3, 1 | 64, 1));
}

TEST(SetupFingerPrintTest, MinAboveMaxIsRepairedAndEmptyTypingRefused) {
  CaptureSink sink;
  KvInterface itf;
  ASSERT_TRUE(KvConfigureFingerPrint(itf, KvGetFPType(KvFPType::Path)));
  Set(itf, "-mindistance", "6");
  Set(itf, "-maxdistance", "3");
  EXPECT_EQ(KvSetupFingerPrint(itf), KvGetPathFPType(4096, 3, 3, 191, 3));
  EXPECT_EQ(sink.Texts(),
            (std::vector<std::string>{"KvSetupFingerPrint Invalid min distance (6) > max distance (3)"}));

  Set(itf, "-atomtype", "Nonsense");
  EXPECT_EQ(KvSetupFingerPrint(itf), nullptr);
  EXPECT_TRUE(sink.Contains("KvSetupFingerPrint Invalid fingerprint atom or bond typing"));
}

TEST(SetupFingerPrintTest, ParameterOfAnotherValueTypeCountsAsAbsent) {
  CaptureSink sink;
  KvInterface itf;
  KvSystem::KvParameter* bits = itf.AddParameter("string");
  bits->SetName("-numbits");
  bits->SetDefault("1024");
  EXPECT_EQ(KvSetupFingerPrint(itf), KvGetTreeFPType(4096, 0, 4, 63, 1));
  EXPECT_EQ(sink.Count(), 0u);
}

}  // namespace
