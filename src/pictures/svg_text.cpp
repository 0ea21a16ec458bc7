// Text for SVG and HTML documents: escaping, UTF-8 cleaning, numbers.

#include "pictures/svg_text.h"

#include <cstdint>
#include <cstdio>

#include "kvsystem/strings.h"
#include "varnex/pictures.h"

namespace Varnex {
namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

std::string KvXmlText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    const std::size_t length = KvSystem::KvUtf8SequenceLength(text, i);
    if (length == 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    if (length > 1) {
      out.append(text, i, length);
      i += length;
      continue;
    }
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      case '\t':
      case '\n':
      case '\r': out += c; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20)
          out += kReplacement;
        else
          out += c;
    }
    ++i;
  }
  return out;
}

namespace Pictures {

std::string Num(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof(buffer), "%.1f", value);
  return buffer;
}

std::string CutToChars(const std::string& text, std::size_t maxChars) {
  if (maxChars == 0) return {};
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;  // continuation byte
    if (++chars > maxChars) {
      // Back to the start of the previous character, which the ellipsis takes.
      std::size_t cut = i;
      do --cut;
      while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80);
      return text.substr(0, cut) + "\xE2\x80\xA6";  // U+2026
    }
  }
  return text;
}

}  // namespace Pictures
}  // namespace Varnex
