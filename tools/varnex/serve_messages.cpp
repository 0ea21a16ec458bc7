// The library's messages during one request of the search service.

#include "serve_messages.h"

#include <cstdio>

#include "kvsystem/error.h"

namespace VarnexCli {
namespace {

thread_local MessageCapture* tCapture = nullptr;

}  // namespace

void RouteMessage(const std::string& message) {
  MessageCapture* capture = tCapture;
  capture->text_ += (capture->text_.empty() ? "" : "; ") + message;
}

MessageCapture::MessageCapture() : previous_(tCapture) { tCapture = this; }

MessageCapture::~MessageCapture() { tCapture = previous_; }

std::string MessageCapture::Take(const std::string& fallback) {
  std::string text = text_.empty() ? fallback : std::move(text_);
  text_.clear();
  return text;
}

void InstallMessageRouter() {
  KvSystem::KvSetErrorSink([](KvSystem::KvErrorLevel level, const std::string& message) {
    if (tCapture != nullptr)
      RouteMessage(message);
    else
      std::fprintf(stderr, "%s%s\n", KvSystem::KvErrorLevelPrefix(level), message.c_str());
  });
}

}  // namespace VarnexCli
