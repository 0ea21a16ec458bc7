#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "capture_sink.h"
#include "kvsystem/error.h"

namespace {

using KvSystem::KvErrorLevel;
using KvSystem::KvThrow;

// Every fixed text is formatted word for word in tests/messages; here the
// escaped percent sign, a text longer than any buffer, and the levels.
TEST(ErrorHandler, FormatsPrintfStyleAtAnyLengthAndReportsTheLevel) {
  VarnexTest::CaptureSink sink;
  KvThrow()->Info("KvMakeFP: (%d) %u%%", 102, 7u);
  const std::string longText(5000, 'x');
  KvThrow()->Error("<%s>", longText.c_str());
  KvThrow()->Warning("%s", "w");
  const auto messages = sink.Messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].level, KvErrorLevel::Info);
  EXPECT_EQ(messages[0].text, "KvMakeFP: (102) 7%");
  EXPECT_EQ(messages[1].level, KvErrorLevel::Error);
  EXPECT_EQ(messages[1].text, "<" + longText + ">");
  EXPECT_EQ(messages[2].level, KvErrorLevel::Warning);
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
