// JSON helpers of the data-flow layer.
#include "kvsystem/dfjson.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "kvsystem/error.h"

namespace KvDataFlow {

bool JSONParseHelper(const std::string& text, rapidjson::Document& document) {
  // Iterative parsing: deeply nested input cannot exhaust the stack.
  constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag;
  document.Parse<kFlags>(text.data(), text.size());
  if (document.HasParseError()) {
    KvSystem::KvThrow()->Warning("JSONParseHelper() %s at offset %zu",
                                 rapidjson::GetParseError_En(document.GetParseError()), document.GetErrorOffset());
    return false;
  }
  return true;
}

const rapidjson::Value* GetJSONArrayAttr(const rapidjson::Value& object, const char* name, bool required) {
  if (object.IsObject()) {
    const auto found = object.FindMember(name);
    if (found != object.MemberEnd() && found->value.IsArray()) return &found->value;
  }
  if (required) KvSystem::KvThrow()->Warning("GetJSONArrayAttr() missing array attribute '%s'", name);
  return nullptr;
}

std::string KvJSONString(std::string_view text) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
  return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace KvDataFlow
