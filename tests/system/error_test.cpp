#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "capture_sink.h"
#include "kvsystem/error.h"

namespace {

using KvSystem::KvErrorLevel;
using KvSystem::KvThrow;

TEST(ErrorHandler, FormatsPrintfStyleAndReportsTheLevel) {
  VarnexTest::CaptureSink sink;
  KvThrow()->Warning("%s : fingerprint index out of range!", "KvFastFPDatabase::GetFingerPrint()");
  KvThrow()->Info("KvMakeFP: (%d) (deprecated)", 102);
  KvThrow()->Error("%u%%", 7u);
  const auto messages = sink.Messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].level, KvErrorLevel::Warning);
  EXPECT_EQ(messages[0].text, "KvFastFPDatabase::GetFingerPrint() : fingerprint index out of range!");
  EXPECT_EQ(messages[1].level, KvErrorLevel::Info);
  EXPECT_EQ(messages[1].text, "KvMakeFP: (102) (deprecated)");
  EXPECT_EQ(messages[2].level, KvErrorLevel::Error);
  EXPECT_EQ(messages[2].text, "7%");
  // Long messages are not truncated.
  sink.Clear();
  const std::string longText(5000, 'x');
  KvThrow()->Warning("<%s>", longText.c_str());
  EXPECT_EQ(sink.Texts(), std::vector<std::string>{"<" + longText + ">"});
}

TEST(ErrorHandler, SetSinkReturnsThePreviousAndRestores) {
  std::vector<std::string> outer;
  auto original = KvSystem::KvSetErrorSink([&](KvErrorLevel, const std::string& m) { outer.push_back(m); });
  {
    VarnexTest::CaptureSink inner;
    KvThrow()->Warning("inner");
    EXPECT_EQ(inner.Count(), 1u);
  }
  KvThrow()->Warning("outer");
  KvSystem::KvSetErrorSink(std::move(original));
  EXPECT_EQ(outer, std::vector<std::string>{"outer"});
}

TEST(ErrorHandler, ThrowingSinkDoesNotLetTheExceptionOut) {
  auto original = KvSystem::KvSetErrorSink([](KvErrorLevel, const std::string&) { throw 42; });
  EXPECT_NO_THROW(KvThrow()->Warning("boom"));
  KvSystem::KvSetErrorSink(std::move(original));
}

TEST(ErrorHandler, ReportsFromManyThreadsAreAllDelivered) {
  VarnexTest::CaptureSink sink;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 250; ++i) KvThrow()->Warning("thread %d message %d", t, i);
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(sink.Count(), 2000u);
}

}  // namespace
