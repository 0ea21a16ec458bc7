// Conversions between parameter texts and values, shared by the parameter
// sources. Strict: the whole text must read as the type.
#pragma once

#include <cstdint>
#include <string>

namespace KvSystem::ParameterText {

bool ToInt(const std::string& text, int& value);
bool ToFloat(const std::string& text, float& value);
bool ToBool(const std::string& text, bool& value);
std::string FromFloat(float value);
// Whether `text` reads as the value type named by `typeId`.
bool Reads(std::uint64_t typeId, const std::string& text);

}  // namespace KvSystem::ParameterText
