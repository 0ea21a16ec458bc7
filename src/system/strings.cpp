#include "kvsystem/strings.h"

#include <algorithm>
#include <cstdint>

#include <charconv>
#include <limits>

#include "kvsystem/error.h"

namespace KvSystem {
namespace {

template <typename Container>
std::size_t Tokenize(Container& tokens, const std::string& text, const std::string& delimiters, bool keepEmpty) {
  tokens.clear();
  if (text.empty()) return 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find_first_of(delimiters, start);
    const std::size_t stop = end == std::string::npos ? text.size() : end;
    if (keepEmpty || stop > start) tokens.emplace_back(text, start, stop - start);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return tokens.size();
}

template <typename T>
bool ParseNumber(const std::string& text, T& value, unsigned base) {
  if (base < 2 || base > 36 || text.empty()) return false;
  // from_chars accepts neither spaces nor "+", but it does accept "-" for
  // signed types and we parse only unsigned ones, which reject it.
  T parsed{};
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, parsed, static_cast<int>(base));
  if (error != std::errc() || end != last) return false;
  value = parsed;
  return true;
}

}  // namespace

std::size_t KvStringTokenize(std::list<std::string>& tokens, const std::string& text, const std::string& delimiters,
                             bool keepEmpty) {
  return Tokenize(tokens, text, delimiters, keepEmpty);
}

std::size_t KvStringTokenize(std::vector<std::string>& tokens, const std::string& text,
                             const std::string& delimiters, bool keepEmpty) {
  return Tokenize(tokens, text, delimiters, keepEmpty);
}

bool KvStringToNumber(const std::string& text, unsigned& value, unsigned base) {
  return ParseNumber(text, value, base);
}

bool KvStringToNumber(const std::string& text, std::uint64_t& value, unsigned base) {
  return ParseNumber(text, value, base);
}

std::string KvNumberToString(unsigned value, unsigned base) {
  if (base < 2 || base > 36) {
    KvThrow()->Warning("KvNumberToString() invalid base %u", base);
    return std::string();
  }
  char digits[std::numeric_limits<unsigned>::digits + 1];
  const auto result = std::to_chars(digits, digits + sizeof digits, value, static_cast<int>(base));
  return std::string(digits, result.ptr);
}

std::string KvFileExtension(const std::string& path, const std::string& defaultExtension) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || dot <= nameStart || dot + 1 == path.size()) return defaultExtension;
  std::string extension = path.substr(dot + 1);
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return extension;
}

std::string KvQuoteInput(std::string_view text, std::size_t limit) {
  std::size_t cut = std::min(text.size(), limit);
  while (cut < text.size() && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  std::string out(text.substr(0, cut));
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  if (cut < text.size()) out += "... (" + std::to_string(text.size()) + " bytes)";
  return out;
}

std::size_t KvUtf8SequenceLength(std::string_view text, std::size_t i) {
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

std::string KvValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = KvUtf8SequenceLength(text, i);
    if (length == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD
      ++i;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

}  // namespace KvSystem
