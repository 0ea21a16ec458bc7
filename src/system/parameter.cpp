// KvParameter: one typed command-line parameter kept as text.

#include <algorithm>

#include "kvsystem/parameters.h"
#include "kvsystem/strings.h"
#include "system/parameter_values.h"

namespace KvSystem {

std::uint64_t KvGetParameterTypeId(const std::string& valueType) {
  if (valueType == "int") return KvParameterTypeId::Int;
  if (valueType == "float") return KvParameterTypeId::Float;
  if (valueType == "bool") return KvParameterTypeId::Bool;
  if (valueType == "string") return KvParameterTypeId::String;
  return 0;
}

KvParameter::KvParameter(const std::string& valueType)
    : valueType_(valueType), typeId_(KvGetParameterTypeId(valueType)) {}

bool KvParameter::IsNamed(const std::string& name) const {
  return name == name_ || std::find(aliases_.begin(), aliases_.end(), name) != aliases_.end();
}

void KvParameter::SetLegalRange(const std::string& low, const std::string& high) {
  low_ = low;
  high_ = high;
  hasRange_ = true;
}

void KvParameter::SetDefault(const std::string& text) {
  default_ = text;
  hasDefault_ = true;
}
void KvParameter::SetDefault(int value) { SetDefault(std::to_string(value)); }
void KvParameter::SetDefault(float value) { SetDefault(ParameterText::FromFloat(value)); }
void KvParameter::SetDefault(bool value) { SetDefault(std::string(value ? "true" : "false")); }

bool KvParameter::SetValue(const std::string& text, std::string* problem) {
  if (!ParameterText::Reads(typeId_, text)) {
    if (problem != nullptr) *problem = "value \"" + KvQuoteInput(text) + "\" of parameter " + name_ + " is not a valid " + valueType_;
    return false;
  }
  value_ = text;
  isSet_ = true;
  return true;
}

const std::string& KvParameter::GetText() const {
  static const std::string empty;
  if (isSet_) return value_;
  return hasDefault_ ? default_ : empty;
}

bool KvParameter::Read(int& value) const {
  return HasValue() && typeId_ == KvParameterTypeId::Int && ParameterText::ToInt(GetText(), value);
}
bool KvParameter::Read(float& value) const {
  return HasValue() && typeId_ == KvParameterTypeId::Float && ParameterText::ToFloat(GetText(), value);
}
bool KvParameter::Read(bool& value) const {
  return HasValue() && typeId_ == KvParameterTypeId::Bool && ParameterText::ToBool(GetText(), value);
}
bool KvParameter::Read(std::string& value) const {
  if (!HasValue() || typeId_ != KvParameterTypeId::String) return false;
  value = GetText();
  return true;
}

namespace {

std::string JoinLegalValues(const std::vector<std::string>& values) {
  std::string joined;
  for (const auto& v : values) joined += (joined.empty() ? "" : ", ") + v;
  return joined;
}

// Compares a value against one bound of the legal range; a bound that does
// not read as the type is ignored.
bool BelowBound(std::uint64_t typeId, const std::string& text, const std::string& bound, bool lower) {
  if (typeId == KvParameterTypeId::Int) {
    int v = 0, b = 0;
    if (!ParameterText::ToInt(text, v) || !ParameterText::ToInt(bound, b)) return false;
    return lower ? v < b : v > b;
  }
  if (typeId == KvParameterTypeId::Float) {
    float v = 0, b = 0;
    if (!ParameterText::ToFloat(text, v) || !ParameterText::ToFloat(bound, b)) return false;
    return lower ? v < b : v > b;
  }
  return false;
}

}  // namespace

bool KvParameter::Validate(std::string& problem) const {
  if (!HasValue()) {
    if (!required_) return true;
    problem = "parameter " + name_ + " is required but has no value";
    return false;
  }
  const std::string& text = GetText();
  if (!ParameterText::Reads(typeId_, text)) {
    problem = "value \"" + KvQuoteInput(text) + "\" of parameter " + name_ + " is not a valid " + valueType_;
    return false;
  }
  if (hasRange_ && BelowBound(typeId_, text, low_, true)) {
    problem = "value " + KvQuoteInput(text) + " of parameter " + name_ + " is below the legal minimum " + low_;
    return false;
  }
  if (hasRange_ && BelowBound(typeId_, text, high_, false)) {
    problem = "value " + KvQuoteInput(text) + " of parameter " + name_ + " is above the legal maximum " + high_;
    return false;
  }
  if (!legalValues_.empty() && std::find(legalValues_.begin(), legalValues_.end(), text) == legalValues_.end()) {
    problem = "value \"" + KvQuoteInput(text) + "\" of parameter " + name_ + " is not one of the legal values: " +
              JoinLegalValues(legalValues_);
    return false;
  }
  return true;
}

}  // namespace KvSystem
