// KvDots: the status line's text, silence off a terminal, forced drawing into
// a pipe, thread-safe counting and independent copies.

#include "kvsystem/dots.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

using KvSystem::KvDots;

// A pipe (small writes never block it) whose read end is drained after the
// writer is done.
struct Pipe {
  int fds[2] = {-1, -1};
  Pipe() { EXPECT_EQ(::pipe2(fds, O_NONBLOCK), 0); }
  ~Pipe() {
    ::close(fds[0]);
    ::close(fds[1]);
  }
  std::string Drain() const {
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = ::read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, got);
    return text;
  }
};

TEST(Dots, LineTextAndQuietOffATerminalUnlessForced) {
  // The line: count, rate and elapsed time.
  const KvDots line("Creating", "molecules");
  EXPECT_EQ(line.FormatLine(1234567, 2.0), "Creating 1,234,567 molecules 617283.5/s 0:02.00");
  EXPECT_EQ(line.FormatLine(0, 0.0), "Creating 0 molecules 0.0/s 0:00.00");
  EXPECT_EQ(line.FormatLine(999, 3723.5), "Creating 999 molecules 0.3/s 1:02:03.50");
  EXPECT_EQ(KvDots("", "").FormatLine(12, 61.25), "12 0.2/s 1:01.25");

  Pipe pipe;
  KvDots automatic("Counting", "items", pipe.fds[1]);
  EXPECT_FALSE(automatic.IsDisplaying());  // a pipe is not a terminal
  automatic.SetInterval(std::chrono::milliseconds(0));
  automatic.Update(5);
  automatic.Total();
  EXPECT_EQ(pipe.Drain(), "");
  EXPECT_EQ(automatic.GetCount(), 5u);

  KvDots forced("Counting", "items", pipe.fds[1]);
  forced.SetDisplay(KvDots::Display::Always);
  forced.SetInterval(std::chrono::milliseconds(0));
  forced.Update(1);
  forced.Update(1);
  forced.Total();
  const std::string text = pipe.Drain();
  EXPECT_EQ(text.rfind("\rCounting 1 items ", 0), 0u) << text;
  EXPECT_NE(text.find("\rCounting 2 items "), std::string::npos);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 3);

  KvDots never("x", "y", pipe.fds[1]);
  never.SetDisplay(KvDots::Display::Never);
  never.Update(1);
  never.Total();
  EXPECT_EQ(pipe.Drain(), "");

  // At most one redraw per interval, and the total at the end.
  KvDots slow("", "items", pipe.fds[1]);
  slow.SetDisplay(KvDots::Display::Always);
  slow.SetInterval(std::chrono::hours(1));
  for (int i = 0; i < 1000; ++i) slow.Update(1);
  EXPECT_EQ(pipe.Drain(), "");
  slow.Total();
  const std::string total = pipe.Drain();
  EXPECT_EQ(total.rfind("\r1,000 items ", 0), 0u) << total;
}

TEST(Dots, ConcurrentUpdatesAreAllCounted) {
  KvDots dots;
  dots.SetDisplay(KvDots::Display::Never);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&dots] {
      for (int i = 0; i < 20000; ++i) dots.Update(1);
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(dots.GetCount(), 80000u);
}

}  // namespace
