// Text output helpers.

#include "output.h"

#include <cstdio>

#include "kvsystem/strings.h"

namespace VarnexCli {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : KvSystem::KvValidUtf8(text)) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char buffer[8];
          std::snprintf(buffer, sizeof(buffer), "\\u%04x", c);
          out += buffer;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string FormatScore(double score) {
  char buffer[32];
  std::snprintf(buffer, sizeof(buffer), "%.6f", score);
  return buffer;
}

std::string TsvField(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c == '\t' || c == '\n' || c == '\r') {
      out += ' ';
    } else if (c == '\\') {
      out += "\\\\";  // a backslash always starts an escape
    } else if (c < 0x20 || c == 0x7f) {
      // Escape sequences never reach a terminal.
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
      out += buffer;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace VarnexCli
