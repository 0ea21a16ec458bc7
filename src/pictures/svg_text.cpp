// Text for SVG and HTML documents: escaping, UTF-8 cleaning, numbers.

#include "pictures/svg_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

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

std::vector<std::string> WrapToChars(const std::string& text, std::size_t maxChars) {
  maxChars = std::max<std::size_t>(maxChars, 1);
  std::vector<std::string> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    // Walk up to maxChars characters, remembering the last good break.
    std::size_t at = begin, chars = 0, lastBreak = 0;
    while (at < text.size() && chars < maxChars) {
      const char c = text[at];
      do ++at;
      while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80);  // continuation bytes
      ++chars;
      if (c != '\0' && std::strchr(" ,)]-=|.", c) != nullptr) lastBreak = at;
    }
    const std::size_t end = at < text.size() && lastBreak > begin ? lastBreak : at;
    lines.push_back(text.substr(begin, end - begin));
    begin = end;
  }
  return lines;
}

std::size_t NumChars(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string FormatCount(double count, bool exact) {
  char buffer[48];
  if (exact || count < 10000) {
    std::snprintf(buffer, sizeof(buffer), "%.0f", count);
    std::string digits = buffer, out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
      if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
      out += digits[i];
    }
    return out;
  }
  static constexpr std::pair<double, const char*> kUnits[] = {{1e15, "P"}, {1e12, "T"}, {1e9, "G"}, {1e6, "M"}, {1e3, "k"}};
  double scaled = count;
  const char* unit = "";
  for (const auto& [size, name] : kUnits)
    if (count >= size) {
      scaled = count / size;
      unit = name;
      break;
    }
  std::snprintf(buffer, sizeof(buffer), scaled >= 100 ? "%.0f" : scaled >= 10 ? "%.1f" : "%.2f", scaled);
  std::string text = buffer;
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text + unit;
}

std::string HexColour(const KvChem::KvColour& colour) {
  // Truncated, as the drawings write their highlight colours.
  const auto channel = [](float value) { return static_cast<unsigned>(std::clamp(value, 0.0f, 1.0f) * 255); };
  char buffer[8];
  std::snprintf(buffer, sizeof(buffer), "#%02X%02X%02X", channel(colour.red), channel(colour.green), channel(colour.blue));
  return buffer;
}

}  // namespace Pictures
}  // namespace Varnex
