// The JSON side of the fingerprint field handlers, the cache entry point
// KvSetFingerPrintValue and the registration of both handlers at load.
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "varnex/fpio.h"

namespace KvDataFlow {
namespace {

using Varnex::KvFingerPrint;
using SingleType = KvFieldType<KvFingerPrint>;
using VectorType = KvVectorFieldType<KvFingerPrint>;

[[maybe_unused]] const bool kSingleRegistered =
    KvFieldTypeHandlerRegistry::GetInstance().RegisterHandler(KvInitFPFieldHandler(), 0);
[[maybe_unused]] const bool kVectorRegistered =
    KvFieldTypeHandlerRegistry::GetInstance().RegisterHandler(KvInitFPVecFieldHandler(), 0);

}  // namespace

KvFieldTypeHandler* KvInitFPFieldHandler() { return new SingleType(); }
KvFieldTypeHandler* KvInitFPVecFieldHandler() { return new VectorType(); }

// ---------------------------------------------------------------- single

std::string SingleType::BytesToJSON(const KvBytes& bytes) const {
  KvFingerPrint fp;
  if (!FromBytes(fp, bytes)) return "null";
  return KvJSONString(ToText(fp));
}

KvBytes SingleType::JSONToBytes(const std::string& text) const { return ToBytes(FromText(text)); }

KvBytes SingleType::PtrToBytes(const void* value) const { return ToBytes(*static_cast<const KvFingerPrint*>(value)); }

// ---------------------------------------------------------------- list

std::string VectorType::BytesToJSON(const KvBytes& bytes) const {
  KvOptionalFPVec fps;
  if (!FromBytes(fps, bytes)) return "null";
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  writer.StartArray();
  for (const auto& fp : fps) {
    if (!fp) {
      writer.Null();
      continue;
    }
    const std::string text = SingleType::ToText(*fp);
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
  }
  writer.EndArray();
  return std::string(buffer.GetString(), buffer.GetSize());
}

KvBytes VectorType::JSONToBytes(const std::string& json) const {
  rapidjson::Document document;
  if (!JSONParseHelper(json, document)) return {};
  const rapidjson::Value* array = GetJSONArrayAttr(document, "value", true);
  if (array == nullptr) return {};
  KvOptionalFPVec fps;
  for (const auto& element : array->GetArray()) {
    if (element.IsNull()) {
      fps.emplace_back();
    } else if (element.IsString()) {
      fps.emplace_back(SingleType::FromText(std::string(element.GetString(), element.GetStringLength())));
    } else {
      fps.emplace_back(KvFingerPrint());
    }
  }
  return ToBytes(fps);
}

KvBytes VectorType::PtrToBytes(const void* value) const { return ToBytes(*static_cast<const KvOptionalFPVec*>(value)); }

// ---------------------------------------------------------------- records

bool KvSetFingerPrintValue(KvRecord& record, const KvField<KvFingerPrint>& field, const KvFingerPrint& fp) {
  if (record.CheckField(field, false) == KvFieldState::OtherType) record.DeleteField(field);
  if (std::shared_ptr<KvFingerPrint> cached = record.CheckCache(field, false)) {
    *cached = fp;
    record.MarkCacheDirty(field, true);
  } else {
    record.AddToCache(field, std::make_shared<KvFingerPrint>(fp));
  }
  return true;
}

}  // namespace KvDataFlow
