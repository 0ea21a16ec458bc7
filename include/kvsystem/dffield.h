// Data-flow field types: the handlers that turn field values into bytes and
// JSON, their process-wide registry, and typed field descriptors.
//
// A field value type is known by name ("Chem.FingerPrint"). Its handler, a
// stateless KvFieldTypeHandler registered once per process, converts between
// the value's bytes (built with KvWriteBuffer), its JSON text and an
// in-memory value (for records that cache values, see dfrecord.h).
//
// Thread safety: the registry is thread-safe; handlers are stateless and may
// be used from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kvsystem/dfbuffer.h"

namespace KvDataFlow {

// Converts the values of one field type. Implementations are stateless.
class KvFieldTypeHandler {
 public:
  virtual ~KvFieldTypeHandler() = default;
  // The JSON text of a value's bytes ("null" for no value).
  virtual std::string BytesToJSON(const KvBytes& bytes) const = 0;
  // The bytes of a value given as JSON text; empty when unusable.
  virtual KvBytes JSONToBytes(const std::string& json) const = 0;
  // The bytes of the in-memory value at `value`.
  // REQUIRES: `value` points at a value of this handler's C++ type.
  virtual KvBytes PtrToBytes(const void* value) const = 0;
  // The field type name.
  virtual std::string GetName() const = 0;
  // Whether records may keep the in-memory value and produce the bytes only
  // when needed. The base answer: false.
  virtual bool IsCacheable() const { return false; }
  // Whether the bytes are a plain copy of the value's memory. The base
  // answer: false.
  virtual bool IsPOD() const { return false; }
};

// Handlers of field value types; specialised by the libraries that add types.
template <typename T>
class KvFieldType;
template <typename T>
class KvVectorFieldType;

// The field type name of a C++ type: specialise with
//   static const char* Get() { return "Chem.FingerPrint"; }
template <typename T>
struct KvFieldTypeName;

// RegisterHandler option: replace a handler already registered under the name.
inline constexpr unsigned KvReplaceHandler = 1;

// The process-wide handler registry.
class KvFieldTypeHandlerRegistry {
 public:
  static KvFieldTypeHandlerRegistry& GetInstance();

  // Takes `handler`. With options 0 a name already registered keeps its
  // handler and the new one is deleted (false); with KvReplaceHandler the new
  // one takes the name (the old one stays alive, as others may hold it).
  // A null handler gives false.
  bool RegisterHandler(KvFieldTypeHandler* handler, unsigned options);
  // The handler of a type name, or null. Handlers live until the process ends.
  const KvFieldTypeHandler* GetHandler(const std::string& name) const;
  // The registered names, sorted.
  std::vector<std::string> GetNames() const;

 private:
  KvFieldTypeHandlerRegistry();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A field of a record: its name and value type name.
class KvFieldBase {
 public:
  KvFieldBase(std::string name, std::string typeName) : name_(std::move(name)), typeName_(std::move(typeName)) {}
  const std::string& GetName() const { return name_; }
  const std::string& GetTypeName() const { return typeName_; }

 private:
  std::string name_;
  std::string typeName_;
};

// A field holding values of type T (T needs a KvFieldTypeName).
template <typename T>
class KvField : public KvFieldBase {
 public:
  explicit KvField(std::string name) : KvFieldBase(std::move(name), KvFieldTypeName<T>::Get()) {}
};

}  // namespace KvDataFlow
