// Command-line parameters: a tree of named interfaces (KvInterface), each
// holding typed parameters (KvParameter) with aliases, briefs, details, legal
// ranges or values and defaults, read from a "-name value" command line.
//
// Values are kept as text and converted on each typed read. Four value types
// exist: "int", "float", "bool" and "string"; typed lookups recognise them by
// the identifiers of KvParameterTypeId.
//
// Ownership: an interface owns its parameters and child interfaces; pointers
// handed out stay valid as long as the interface lives.
// Thread safety: build and parse on one thread; afterwards concurrent const
// reads are fine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace KvSystem {

// Identifiers of the parameter value types.
namespace KvParameterTypeId {
inline constexpr std::uint64_t Int = 0x387BF5262A67C24CULL;
inline constexpr std::uint64_t String = 0x2447CF9BE2CDC01EULL;
inline constexpr std::uint64_t Float = 0x5F975D76D21EC83DULL;
inline constexpr std::uint64_t Bool = 0x22F2F78C9F426605ULL;
}  // namespace KvParameterTypeId

// The identifier of a C++ value type (int, float, bool, std::string).
template <typename T>
struct KvParameterTypeOf;
template <>
struct KvParameterTypeOf<int> {
  static constexpr std::uint64_t id = KvParameterTypeId::Int;
};
template <>
struct KvParameterTypeOf<float> {
  static constexpr std::uint64_t id = KvParameterTypeId::Float;
};
template <>
struct KvParameterTypeOf<bool> {
  static constexpr std::uint64_t id = KvParameterTypeId::Bool;
};
template <>
struct KvParameterTypeOf<std::string> {
  static constexpr std::uint64_t id = KvParameterTypeId::String;
};

// The identifier of a value type name ("int", "float", "bool", "string"), 0
// for any other name.
std::uint64_t KvGetParameterTypeId(const std::string& valueType);

// One parameter. Values and defaults are texts; typed reads convert them.
class KvParameter {
 public:
  // REQUIRES: `valueType` is one of "int", "float", "bool", "string".
  explicit KvParameter(const std::string& valueType);

  const std::string& GetValueType() const { return valueType_; }
  std::uint64_t GetTypeId() const { return typeId_; }

  void SetName(const std::string& name) { name_ = name; }
  const std::string& GetName() const { return name_; }
  void AddAlias(const std::string& alias) { aliases_.push_back(alias); }
  const std::vector<std::string>& GetAliases() const { return aliases_; }
  // Whether `name` is the name or one of the aliases.
  bool IsNamed(const std::string& name) const;

  // 0 is an ordinary parameter; larger numbers are for experts and shown
  // only by a help text asked for that level.
  void SetVisibility(unsigned visibility) { visibility_ = visibility; }
  unsigned GetVisibility() const { return visibility_; }

  void SetBrief(const std::string& brief) { brief_ = brief; }
  const std::string& GetBrief() const { return brief_; }
  void AddDetail(const std::string& detail) { details_.push_back(detail); }
  const std::vector<std::string>& GetDetails() const { return details_; }

  // A required parameter must end up with a value (given or default).
  // Parameters are required unless marked otherwise.
  void SetRequired(bool required) { required_ = required; }
  bool IsRequired() const { return required_; }

  // Inclusive bounds, as texts of the value type (int and float only).
  void SetLegalRange(const std::string& low, const std::string& high);
  bool HasLegalRange() const { return hasRange_; }
  const std::string& GetLegalLow() const { return low_; }
  const std::string& GetLegalHigh() const { return high_; }
  // The texts a value must equal, case-sensitively, when any are given.
  void AddLegalValue(const std::string& value) { legalValues_.push_back(value); }
  const std::vector<std::string>& GetLegalValues() const { return legalValues_; }

  // The default, kept as given (a text that does not read as the value type
  // is only found out on the typed read).
  void SetDefault(const std::string& text);
  void SetDefault(const char* text) { SetDefault(std::string(text)); }
  void SetDefault(int value);
  void SetDefault(float value);
  void SetDefault(bool value);
  bool HasDefault() const { return hasDefault_; }
  const std::string& GetDefault() const { return default_; }

  // Sets the value from command-line text. False (and the value unchanged)
  // when the text does not read as the value type; `problem` then says why.
  bool SetValue(const std::string& text, std::string* problem = nullptr);
  bool IsSet() const { return isSet_; }
  void ClearValue() {
    isSet_ = false;
    value_.clear();
  }
  // Set, or else defaulted.
  bool HasValue() const { return isSet_ || hasDefault_; }
  // The value text, else the default text, else "".
  const std::string& GetText() const;

  // Typed reads of GetText(); false when there is no value, the type differs
  // or the text does not read as the type. `value` is unchanged then.
  bool Read(int& value) const;
  bool Read(float& value) const;
  bool Read(bool& value) const;
  bool Read(std::string& value) const;

  // Whether the current value (set or default) obeys the legal range and
  // values and the required flag. False with the reason in `problem`.
  bool Validate(std::string& problem) const;

 private:
  std::string valueType_;
  std::uint64_t typeId_;
  std::string name_;
  std::vector<std::string> aliases_;
  unsigned visibility_ = 0;
  std::string brief_;
  std::vector<std::string> details_;
  bool required_ = true;
  bool hasRange_ = false;
  std::string low_, high_;
  std::vector<std::string> legalValues_;
  bool hasDefault_ = false;
  std::string default_;
  bool isSet_ = false;
  std::string value_;
};

// A named group of parameters with child groups. Lookups search the group
// itself first, then its children in the order they were added.
class KvInterface {
 public:
  KvInterface() = default;
  explicit KvInterface(const std::string& name) : name_(name) {}
  KvInterface(const KvInterface&) = delete;
  KvInterface& operator=(const KvInterface&) = delete;

  void SetName(const std::string& name) { name_ = name; }
  const std::string& GetName() const { return name_; }

  // A new, empty child interface owned by this one. Never null here; callers
  // still test the pointer, as interfaces of other origin may refuse.
  KvInterface* AddInterface();
  const std::vector<std::unique_ptr<KvInterface>>& GetInterfaces() const { return children_; }

  // A new parameter of `valueType` ("int", "float", "bool", "string") owned by
  // this interface; null with a warning for any other type name.
  KvParameter* AddParameter(const std::string& valueType);
  const std::vector<std::unique_ptr<KvParameter>>& GetParameters() const { return parameters_; }

  // The parameter named (or aliased) `name` here or in a child; null when absent.
  KvParameter* GetParameter(const std::string& name);
  const KvParameter* GetParameter(const std::string& name) const;
  // As GetParameter, but only a parameter of the type T; null otherwise.
  template <typename T>
  KvParameter* GetTypedParameter(const std::string& name) {
    KvParameter* p = GetParameter(name);
    return p != nullptr && p->GetTypeId() == KvParameterTypeOf<T>::id ? p : nullptr;
  }
  template <typename T>
  const KvParameter* GetTypedParameter(const std::string& name) const {
    const KvParameter* p = GetParameter(name);
    return p != nullptr && p->GetTypeId() == KvParameterTypeOf<T>::id ? p : nullptr;
  }
  // Whether a parameter of type T named `name` exists and has a set or
  // default value. No message.
  template <typename T>
  bool HasValue(const std::string& name) const {
    const KvParameter* p = GetTypedParameter<T>(name);
    return p != nullptr && p->HasValue();
  }

  // The typed value of `name` (T is int, float, bool or std::string). On a
  // problem warns one of
  //   "KvInterface::Get, requesting value of non-existent parameter %s"
  //   "KvInterface::Get, requesting value of unset parameter %s"
  //   "KvInterface::Get, requested parameter %s is not of requested type"
  //   "KvInterface::Get, parameter %s is not set" (value that does not read)
  // and returns 0, false or "".
  template <typename T>
  T Get(const std::string& name) const;

  // Reads "-name value" pairs (names or aliases) of argv[first..argc). A bool
  // parameter may stand alone (true) or take "true"/"false"/"1"/"0"/"yes"/
  // "no"/"on"/"off". Unknown names, missing values, unreadable values and
  // values outside legal ranges or values are each reported as a warning;
  // the result is false then. "-help", "-h" and "--help" set the help flag.
  bool ParseCommandLine(int argc, const char* const* argv, int first = 1);
  bool ParseCommandLine(const std::vector<std::string>& args);
  bool IsHelpRequested() const { return helpRequested_; }

  // Checks every parameter of the tree (legal range and values, required
  // values). Reports each problem as a warning; false when any.
  bool Validate() const;

  // Every parameter up to `maxVisibility`, grouped by interface: names and
  // aliases, value type, brief, details, default, legal range and values.
  std::string GetHelpText(unsigned maxVisibility = 0xFFFFFFFFu) const;

 private:
  void AppendHelp(std::string& text, unsigned maxVisibility) const;
  bool ValidateInto(bool& ok) const;

  std::string name_;
  std::vector<std::unique_ptr<KvParameter>> parameters_;
  std::vector<std::unique_ptr<KvInterface>> children_;
  bool helpRequested_ = false;
};

}  // namespace KvSystem
