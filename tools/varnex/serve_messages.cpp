// The library's messages during one request of the search service.

#include "serve_messages.h"

namespace VarnexCli {

void MessageCapture::Report(KvSystem::KvErrorLevel, const KvSystem::KvStatus& status) {
  std::lock_guard<std::mutex> lock(mutex_);
  text_ += (text_.empty() ? "" : "; ") + status.Message();
}

std::string MessageCapture::Take(const std::string& fallback) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string text = text_.empty() ? fallback : std::move(text_);
  text_.clear();
  return text;
}

}  // namespace VarnexCli
