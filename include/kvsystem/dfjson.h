// JSON helpers of the data-flow layer, on RapidJSON (Debian rapidjson-dev).
//
// Thread safety: all functions are reentrant.
#pragma once

#include <rapidjson/fwd.h>

#include <string>
#include <string_view>

namespace KvDataFlow {

// Parses `text` into `document`: strict JSON, valid UTF-8 only, nesting of
// any depth without recursion. On malformed text reports the warning
// "JSONParseHelper() <reason> at offset <n>" and returns false.
bool JSONParseHelper(const std::string& text, rapidjson::Document& document);

// The array member `name` of `object`, or null when `object` is not an
// object or the member is missing or not an array; when `required`, that is
// reported as the warning "GetJSONArrayAttr() missing array attribute '<name>'".
// The pointer refers into `object`.
const rapidjson::Value* GetJSONArrayAttr(const rapidjson::Value& object, const char* name, bool required);

// `text` as a JSON string: in double quotes, `"` and `\` escaped by a
// backslash, characters 8, 9, 10, 12 and 13 as \b \t \n \f \r and every other
// character below 32 as \u00XX with upper-case hexadecimal digits.
std::string KvJSONString(std::string_view text);

}  // namespace KvDataFlow
