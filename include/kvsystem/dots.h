// KvDots: a progress display for long jobs over counted items.
//
// On a terminal it keeps one status line up to date, "<label> <count> <unit>
// <rate>/s <elapsed>", redrawn at most once per interval (default 250 ms), and
// Total() ends it with the final count, rate and time. When the output is not
// a terminal (a file, a pipe, a test) it writes nothing unless forced to.
// The clock starts with the first Update() (or Restart()), so an object may
// be made, configured and copied long before the job begins.
//
// Thread safety: Update(), Total() and the readers may be called from any
// number of threads at once (one internal mutex). Copies are independent
// objects with the source's settings and counts.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace KvSystem {

class KvDots {
 public:
  // When to draw: on a terminal only (Auto), always, or never.
  enum class Display { Auto, Always, Never };
  using Clock = std::chrono::steady_clock;

  // `label` opens the line ("Creating"); `unit` names the items ("molecules").
  // Output goes to file descriptor `fd` (2, stderr, by default).
  explicit KvDots(std::string label = "", std::string unit = "items", int fd = 2);
  KvDots(const KvDots& other);
  KvDots& operator=(const KvDots& other);
  ~KvDots() = default;

  void SetDisplay(Display display);
  // The least time between two redraws; zero redraws on every Update.
  void SetInterval(std::chrono::milliseconds interval);

  // Adds `count` items; redraws when the interval has passed.
  void Update(std::uint64_t count = 1);
  // Draws the final line, ended by a line feed, for the items so far.
  void Total();
  // Sets the count to 0 and restarts the clock.
  void Restart();

  std::uint64_t GetCount() const;
  // The number of items the work will have once known (0: not known), for a
  // progress bar with an end.
  void SetExpected(std::uint64_t count) { expected_.store(count); }
  std::uint64_t GetExpected() const { return expected_.load(); }
  // Seconds since the first Update (0 before it).
  double GetElapsedSeconds() const;
  // Whether this object writes anything (Display, and for Auto whether the
  // descriptor is a terminal).
  bool IsDisplaying() const;

  // The status line for `count` items after `seconds`, without "\r" or line
  // feed: "label 1,234 molecules 567.8/s 0:02.17" (no label: no leading blank).
  std::string FormatLine(std::uint64_t count, double seconds) const;

 private:
  void Draw(bool final);  // REQUIRES: mutex_ held
  // Every field but the mutex. REQUIRES: other.mutex_ held (and mutex_ when
  // this object is shared already).
  void CopyFrom(const KvDots& other);
  double SecondsSinceStart(Clock::time_point now) const;

  mutable std::mutex mutex_;
  std::string label_;
  std::string unit_;
  int fd_ = 2;
  Display display_ = Display::Auto;
  bool terminal_ = false;
  std::chrono::milliseconds interval_{250};
  std::uint64_t count_ = 0;
  std::atomic<std::uint64_t> expected_{0};
  bool started_ = false;
  Clock::time_point start_{};
  Clock::time_point lastDraw_{};
  std::size_t lastWidth_ = 0;  // characters of the last drawn line, to blank leftovers
};

}  // namespace KvSystem
