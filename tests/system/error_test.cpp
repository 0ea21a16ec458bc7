#include <gtest/gtest.h>

#include <string>

#include "capture_sink.h"
#include "kvsystem/error.h"

namespace {

using KvSystem::KvErrorLevel;
using KvSystem::KvThrow;

// Every fixed text is formatted word for word in tests/messages (whose rows
// also nest sinks, so a sink that is not restored fails there); here the
// escaped percent sign, a text longer than any buffer, and the levels.
// Reports from many threads at once: WorkerPool.ThreadMessages*.
TEST(ErrorHandler, FormatsPrintfStyleAtAnyLengthReportsTheLevelAndCatchesTheSink) {
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
  // A sink that throws does not let the exception out.
  auto original = KvSystem::KvSetErrorSink([](KvErrorLevel, const std::string&) { throw 42; });
  EXPECT_NO_THROW(KvThrow()->Warning("boom"));
  KvSystem::KvSetErrorSink(std::move(original));
}

}  // namespace
