#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "varnex/varnex.h"

namespace {

TEST(VersionInfo, ReleaseAndBuildNumberAreThoseOfThisRelease) {
  EXPECT_STREQ(Varnex::VarnexGetRelease(), "2.7.1.0");
  EXPECT_EQ(Varnex::VarnexGetVersion(), 20260727u);
  EXPECT_FALSE(Varnex::VarnexIsGPUReady());
}

TEST(VersionInfo, RecordCarriesToolkitComponentAndReleaseAndIsRegisteredOnceAtLoad) {
  const KvSystem::KvVersion version = Varnex::VarnexVersion();
  EXPECT_EQ(version.GetToolkit(), "kvtoolkit");
  EXPECT_EQ(version.GetComponent(), "Varnex");
  EXPECT_EQ(version.GetRelease(), Varnex::VarnexGetRelease());
  const auto versions = KvSystem::KvGetRegisteredVersions();
  EXPECT_EQ(std::count(versions.begin(), versions.end(), version), 1);
}

TEST(VersionInfo, BuildTextsDescribeThisBuildInLowerCaseDashedForm) {
  const std::string arch = Varnex::VarnexGetArch();
  const std::string platform = Varnex::VarnexGetPlatform();
  EXPECT_EQ(arch, "linux-x86_64");
  // The compiler sits between the system and the processor.
  ASSERT_EQ(platform.rfind("linux-", 0), 0u);
  EXPECT_EQ(platform.substr(platform.size() - std::strlen("-x86_64")), "-x86_64");
  EXPECT_TRUE(platform.find("-gcc") != std::string::npos || platform.find("-clang") != std::string::npos) << platform;
  for (char c : platform) EXPECT_FALSE(std::isupper(static_cast<unsigned char>(c))) << platform;
  const std::string configure = Varnex::VarnexGetConfigureArgs();
  EXPECT_FALSE(configure.empty());
  for (char c : configure) EXPECT_FALSE(std::islower(static_cast<unsigned char>(c))) << configure;
}

}  // namespace
