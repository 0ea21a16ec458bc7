// Text for SVG and HTML documents: escaping, UTF-8 cleaning, numbers.

#include "pictures/svg_text.h"

#include <cstdint>
#include <cstdio>

#include "varnex/pictures.h"

namespace Varnex {
namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the valid UTF-8 sequence at text[i], or 0 when the bytes there
// do not form one (overlong forms, surrogates and values above U+10FFFF
// included).
std::size_t Utf8SequenceLength(const std::string& text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length;
  std::uint32_t value;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(i + k) & 0x3F);
  }
  const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
  const bool outside = (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF || value == 0xFFFE || value == 0xFFFF;
  return overlong || outside ? 0 : length;
}

}  // namespace

std::string KvXmlText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    const std::size_t length = Utf8SequenceLength(text, i);
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
