// Strict text conversions of parameter values.

#include "system/parameter_values.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "kvsystem/parameters.h"

namespace KvSystem::ParameterText {

bool ToInt(const std::string& text, int& value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return false;
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (*begin == '+') ++begin;  // from_chars takes no plus sign
  int parsed = 0;
  const auto [ptr, ec] = std::from_chars(begin, end, parsed);
  if (ec != std::errc() || ptr != end || begin == end) return false;
  value = parsed;
  return true;
}

bool ToFloat(const std::string& text, float& value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return false;
  errno = 0;
  char* end = nullptr;
  const float parsed = std::strtof(text.c_str(), &end);
  if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

bool ToBool(const std::string& text, bool& value) {
  std::string lower;
  for (char c : text) lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  if (lower == "true" || lower == "1" || lower == "yes" || lower == "on") {
    value = true;
    return true;
  }
  if (lower == "false" || lower == "0" || lower == "no" || lower == "off") {
    value = false;
    return true;
  }
  return false;
}

std::string FromFloat(float value) {
  char buffer[64];
  const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof(buffer), value);
  return ec == std::errc() ? std::string(buffer, ptr) : std::string("0");
}

bool Reads(std::uint64_t typeId, const std::string& text) {
  int i = 0;
  float f = 0.0f;
  bool b = false;
  switch (typeId) {
    case KvParameterTypeId::Int: return ToInt(text, i);
    case KvParameterTypeId::Float: return ToFloat(text, f);
    case KvParameterTypeId::Bool: return ToBool(text, b);
    case KvParameterTypeId::String: return true;
    default: return false;
  }
}

}  // namespace KvSystem::ParameterText
