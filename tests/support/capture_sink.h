// Test helper: captures every message reported through KvThrow() while alive.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "kvsystem/error.h"

namespace VarnexTest {

class CaptureSink {
 public:
  struct Message {
    KvSystem::KvErrorLevel level;
    std::string text;
  };

  CaptureSink()
      : previous_(KvSystem::KvSetErrorSink([this](KvSystem::KvErrorLevel level, const std::string& text) {
          std::lock_guard<std::mutex> lock(mutex_);
          messages_.push_back({level, text});
        })) {}
  ~CaptureSink() { KvSystem::KvSetErrorSink(std::move(previous_)); }
  CaptureSink(const CaptureSink&) = delete;
  CaptureSink& operator=(const CaptureSink&) = delete;

  std::vector<Message> Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }
  // The texts of all messages, in order.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& m : Messages()) texts.push_back(m.text);
    return texts;
  }
  size_t Count() const { return Messages().size(); }
  bool Contains(const std::string& text) const {
    for (const auto& m : Messages())
      if (m.text == text) return true;
    return false;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Message> messages_;
  KvSystem::KvErrorSink previous_;
};

}  // namespace VarnexTest
