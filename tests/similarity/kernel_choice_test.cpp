// The one instruction-set choice: what VARNEX_KERNEL's value makes of it
// (popcount_test.cpp checks that the similarity counts follow it).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture_sink.h"
#include "similarity/kernel_choice.h"

namespace {

using namespace Varnex;

unsigned Fastest() {
  for (unsigned id = ScanKernelId::Count; id-- > 0;)
    if (KernelRunsHere(id)) return id;
  return ScanKernelId::Software;
}

TEST(KernelChoice, TheEnvironmentValueChoosesOrWarnsAndFallsBack) {
  const std::string fastest = KernelName(Fastest());
  const std::string fallback = "kernel unknown or not supported by this processor, using " + fastest + "!";
  struct Case {
    const char* forced;
    unsigned expected;  // Count: the fastest
    std::string warning;
  };
  std::vector<Case> cases = {{nullptr, ScanKernelId::Count, ""},
                             {"", ScanKernelId::Count, ""},
                             {"software", ScanKernelId::Software, ""},
                             {"sse", ScanKernelId::Count, "VARNEX_KERNEL=sse : " + fallback},
                             {"AVX2", ScanKernelId::Count, "VARNEX_KERNEL=AVX2 : " + fallback},
                             {"avx2 ", ScanKernelId::Count, "VARNEX_KERNEL=avx2  : " + fallback}};
  for (unsigned id = 0; id < ScanKernelId::Count; ++id) {
    const std::string name = KernelName(id);
    EXPECT_EQ(ParseScanKernelName(name), id);
    if (KernelRunsHere(id)) {
      cases.push_back({KernelName(id), id, ""});
    } else {
      cases.push_back({KernelName(id), ScanKernelId::Count, "VARNEX_KERNEL=" + name + " : " + fallback});
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.forced == nullptr ? "(unset)" : c.forced);
    VarnexTest::CaptureSink sink;
    EXPECT_EQ(ChooseKernel(c.forced), c.expected == ScanKernelId::Count ? Fastest() : c.expected);
    EXPECT_EQ(sink.Texts(), c.warning.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.warning});
  }
  EXPECT_STREQ(KernelName(ScanKernelId::Count), "");
  EXPECT_EQ(ParseScanKernelName(""), ScanKernelId::Count);
  EXPECT_TRUE(KernelRunsHere(ScanKernelId::Software));
  EXPECT_FALSE(KernelRunsHere(ScanKernelId::Count));
}

}  // namespace
