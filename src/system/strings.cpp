#include "kvsystem/strings.h"

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

}  // namespace KvSystem
