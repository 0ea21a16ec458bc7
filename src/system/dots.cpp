// Progress display on a terminal.

#include "kvsystem/dots.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace KvSystem {
namespace {

// "1234567" as "1,234,567".
std::string GroupThousands(std::uint64_t value) {
  std::string digits = std::to_string(value);
  for (std::ptrdiff_t at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
    digits.insert(static_cast<std::size_t>(at), 1, ',');
  return digits;
}

// Minutes and seconds with hundredths, hours when there are any: "0:02.17",
// "1:02:03.00".
std::string FormatElapsed(double seconds) {
  if (!(seconds >= 0.0)) seconds = 0.0;
  const auto hundredths = static_cast<std::uint64_t>(seconds * 100.0 + 0.5);
  const std::uint64_t total = hundredths / 100;
  char text[64];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu.%02llu", static_cast<unsigned long long>(total / 3600),
                  static_cast<unsigned long long>(total / 60 % 60), static_cast<unsigned long long>(total % 60),
                  static_cast<unsigned long long>(hundredths % 100));
  } else {
    std::snprintf(text, sizeof text, "%llu:%02llu.%02llu", static_cast<unsigned long long>(total / 60),
                  static_cast<unsigned long long>(total % 60), static_cast<unsigned long long>(hundredths % 100));
  }
  return text;
}

// Writes all of `text` to `fd`; progress output is best effort, errors are dropped.
void WriteAll(int fd, const std::string& text) {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    data += written;
    left -= static_cast<std::size_t>(written);
  }
}

}  // namespace

KvDots::KvDots(std::string label, std::string unit, int fd)
    : label_(std::move(label)), unit_(std::move(unit)), fd_(fd), terminal_(fd >= 0 && ::isatty(fd) == 1) {}

KvDots::KvDots(const KvDots& other) {
  std::lock_guard<std::mutex> lock(other.mutex_);
  CopyFrom(other);
}

KvDots& KvDots::operator=(const KvDots& other) {
  if (this == &other) return *this;
  std::scoped_lock lock(mutex_, other.mutex_);
  CopyFrom(other);
  return *this;
}

void KvDots::CopyFrom(const KvDots& other) {
  label_ = other.label_;
  unit_ = other.unit_;
  fd_ = other.fd_;
  display_ = other.display_;
  terminal_ = other.terminal_;
  interval_ = other.interval_;
  count_ = other.count_;
  expected_.store(other.expected_.load());
  started_ = other.started_;
  start_ = other.start_;
  lastDraw_ = other.lastDraw_;
  lastWidth_ = other.lastWidth_;
}

void KvDots::SetDisplay(Display display) {
  std::lock_guard<std::mutex> lock(mutex_);
  display_ = display;
}

void KvDots::SetInterval(std::chrono::milliseconds interval) {
  std::lock_guard<std::mutex> lock(mutex_);
  interval_ = interval < std::chrono::milliseconds::zero() ? std::chrono::milliseconds::zero() : interval;
}

void KvDots::Update(std::uint64_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  const Clock::time_point now = Clock::now();
  if (!started_) {
    started_ = true;
    start_ = now;
    lastDraw_ = now;
  }
  count_ += count;
  if (now - lastDraw_ >= interval_) {
    lastDraw_ = now;
    Draw(false);
  }
}

void KvDots::Total() {
  std::lock_guard<std::mutex> lock(mutex_);
  Draw(true);
}

void KvDots::Restart() {
  std::lock_guard<std::mutex> lock(mutex_);
  count_ = 0;
  started_ = true;
  start_ = Clock::now();
  lastDraw_ = start_;
  lastWidth_ = 0;
}

std::uint64_t KvDots::GetCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return count_;
}

double KvDots::GetElapsedSeconds() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return SecondsSinceStart(Clock::now());
}

bool KvDots::IsDisplaying() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return display_ == Display::Always || (display_ == Display::Auto && terminal_);
}

std::string KvDots::FormatLine(std::uint64_t count, double seconds) const {
  std::string line;
  if (!label_.empty()) line = label_ + " ";
  line += GroupThousands(count);
  if (!unit_.empty()) line += " " + unit_;
  char rate[48];
  std::snprintf(rate, sizeof rate, " %.1f/s ", seconds > 0.0 ? static_cast<double>(count) / seconds : 0.0);
  line += rate;
  line += FormatElapsed(seconds);
  return line;
}

double KvDots::SecondsSinceStart(Clock::time_point now) const {
  if (!started_) return 0.0;
  return std::chrono::duration<double>(now - start_).count();
}

void KvDots::Draw(bool final) {
  const bool show = display_ == Display::Always || (display_ == Display::Auto && terminal_);
  if (!show) return;
  std::string line = FormatLine(count_, SecondsSinceStart(Clock::now()));
  const std::size_t width = line.size();
  // Blank what is left of a longer previous line.
  if (width < lastWidth_) line.append(lastWidth_ - width, ' ');
  lastWidth_ = final ? 0 : width;
  WriteAll(fd_, "\r" + line + (final ? "\n" : ""));
}

}  // namespace KvSystem
