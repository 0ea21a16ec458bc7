// Tagged binary records (KvB).
//
// A KvB stream is a sequence of records. Byte layout of one record:
//
//   tag      4 bytes  unsigned n, little-endian; 1 <= n <= KvBMaxTagLength
//            n bytes  the tag name (no terminator)
//   length   8 bytes  unsigned L, little-endian: the payload length
//   payload  L bytes  owned by the reader registered for the tag
//
// Every integer the helpers below write (KvBWriteUInt16/32/64) is
// little-endian whatever the host. Bit vectors go out as their storage bytes
// (bit i is bit i % 8 of byte i / 8), which is host independent as well.
//
// Readers and writers are objects registered in one process-wide registry:
// readers by the tag they read, writers by the type they write (and, for
// attached-data writers, the type of the attached value). Libraries fill the
// registry through initialisers handed to KvRegisterKvBInitializer from a
// static initialiser; the registry runs them before its next lookup.
//
// Attached data (see base.h): a record of an attached item carries, in its
// payload, the tag name of the item followed by a complete record of the
// item's value. KvBWriteAttachedData and KvBReadAttachedData move all attached
// items of an object through a stream; records nobody can read are kept on
// the object as KvUnknownKvBData items and written back unchanged.
//
// Bad input: every reader takes arbitrary bytes. A record whose length runs
// past the end of the data gives KvBStatus::Failure; no reader allocates more
// than the data it actually received.
//
// Thread safety: the registry is thread-safe; registered readers and writers
// keep no state. A stream belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "kvsystem/base.h"
#include "kvsystem/streams.h"

namespace KvSystem {

// The outcome of reading or writing a record.
enum class KvBStatus {
  Success = 0,
  Failure,      // truncated or malformed data, or a failed stream
  NotHandled,   // no reader or writer for this tag or type (the record was skipped)
  EndOfStream,  // no record left: the stream ended cleanly before a tag
};

// The longest tag name a reader accepts.
inline constexpr std::uint32_t KvBMaxTagLength = 1024;

// ---- Primitives of the record layout.
// Writes a tag (length and name); false when the stream failed or the name is
// empty or longer than KvBMaxTagLength (reported).
bool KvBWriteTag(kvostream& out, std::string_view tag);
// Reads a tag. EndOfStream when the stream is already exhausted, Failure on a
// truncated tag or a length of 0 or above KvBMaxTagLength.
KvBStatus KvBReadTag(kvistream& in, std::string& tag);
bool KvBWriteDataLength(kvostream& out, std::uint64_t length);
KvBStatus KvBReadDataLength(kvistream& in, std::uint64_t& length);
// Reads exactly `length` payload bytes into `payload` (replacing its
// contents); Failure when the stream ends first. Memory grows with the bytes
// actually read, so an absurd length costs nothing.
KvBStatus KvBReadPayload(kvistream& in, std::uint64_t length, std::string& payload);
// Skips `length` bytes; Failure when the stream ends first.
KvBStatus KvBSkipPayload(kvistream& in, std::uint64_t length);
// Writes one whole record.
bool KvBWriteRecord(kvostream& out, std::string_view tag, std::string_view payload);

// Little-endian integers. The readers return false (value untouched) when the
// stream ends first.
bool KvBWriteUInt16(kvostream& out, std::uint16_t value);
bool KvBWriteUInt32(kvostream& out, std::uint32_t value);
bool KvBWriteUInt64(kvostream& out, std::uint64_t value);
bool KvBReadUInt16(kvistream& in, std::uint16_t& value);
bool KvBReadUInt32(kvistream& in, std::uint32_t& value);
bool KvBReadUInt64(kvistream& in, std::uint64_t& value);

// ---- Reader and writer objects.

// Writes objects of one type as records. Registered writers are owned by the
// registry and must be stateless.
class KvWriteFxnBase {
 public:
  virtual ~KvWriteFxnBase() = default;
  // The tag of the records written.
  virtual std::string GetTypeName() const = 0;
  // The type identifier (KvTypeIdOf) of the objects written.
  virtual std::uint64_t GetTypeId() const = 0;
  // A new writer of the same class; the caller owns it.
  virtual std::unique_ptr<KvWriteFxnBase> CreateNew() const = 0;
  // Writes one complete record of `object`.
  // REQUIRES: `object` points at an object of type GetTypeId().
  virtual KvBStatus WriteObject(kvostream& out, const void* object) const = 0;
  // For writers of attached items: the type identifier of the attached value
  // they handle; 0 for writers of plain objects.
  virtual std::uint64_t GetDataTypeId() const { return 0; }
};

// Reads the payload of records of one tag into objects of one type.
class KvReadFxnBase {
 public:
  virtual ~KvReadFxnBase() = default;
  // The tag read.
  virtual std::string GetTypeName() const = 0;
  // The type identifier of the objects read into.
  virtual std::uint64_t GetTypeId() const = 0;
  // A new reader of the same class; the caller owns it.
  virtual std::unique_ptr<KvReadFxnBase> CreateNew() const = 0;
  // Reads a payload of `length` bytes (the tag and length are already read)
  // into `object`. A reader consumes exactly `length` bytes or, when the
  // stream ends first, everything and returns Failure.
  // REQUIRES: `object` points at an object of type GetTypeId().
  virtual KvBStatus ReadObject(kvistream& in, void* object, std::uint64_t length) const = 0;
};

// Typed bases: implement Write / Read for T.
template <typename T>
class KvWriteFxn : public KvWriteFxnBase {
 public:
  std::uint64_t GetTypeId() const override { return KvTypeIdOf<T>(); }
  virtual KvBStatus Write(kvostream& out, const T& object) const = 0;
  KvBStatus WriteObject(kvostream& out, const void* object) const final {
    return Write(out, *static_cast<const T*>(object));
  }
};

template <typename T>
class KvReadFxn : public KvReadFxnBase {
 public:
  std::uint64_t GetTypeId() const override { return KvTypeIdOf<T>(); }
  virtual KvBStatus Read(kvistream& in, T& object, std::uint64_t length) const = 0;
  KvBStatus ReadObject(kvistream& in, void* object, std::uint64_t length) const final {
    return Read(in, *static_cast<T*>(object), length);
  }
};

// ---- Registry.
using KvBInitializer = void (*)();
// Keeps `initializer`; the registry calls it once, before its next lookup.
// Returns true so that a static initialiser can hold the result.
bool KvRegisterKvBInitializer(KvBInitializer initializer);
// Takes `writer`. False (and the writer is dropped) when a writer of the same
// type and data type is already registered.
bool KvBRegisterWriter(std::unique_ptr<KvWriteFxnBase> writer);
// Takes `reader`. False (and the reader is dropped) when its tag is taken.
bool KvBRegisterReader(std::unique_ptr<KvReadFxnBase> reader);
// The registered writer of a type (and attached value type), or null. The
// registry keeps ownership; writers live until the process ends.
const KvWriteFxnBase* KvBFindWriter(std::uint64_t typeId, std::uint64_t dataTypeId = 0);
// The registered reader of a tag, or null.
const KvReadFxnBase* KvBFindReader(const std::string& tag);

// ---- Reading and writing objects.
// Writes `object` as a record through the writer registered for T.
// NotHandled with a warning when there is none.
KvBStatus KvBWriteObject(kvostream& out, std::uint64_t typeId, const void* object);
template <typename T>
KvBStatus KvBWrite(kvostream& out, const T& object) {
  return KvBWriteObject(out, KvTypeIdOf<T>(), &object);
}
// Reads the next record into `object`. A record whose tag has no reader for
// T is skipped with NotHandled; EndOfStream when no record is left.
KvBStatus KvBReadObject(kvistream& in, std::uint64_t typeId, void* object);
template <typename T>
KvBStatus KvBRead(kvistream& in, T& object) {
  return KvBReadObject(in, KvTypeIdOf<T>(), &object);
}

// ---- Attached data.

// A record that no reader could take, kept so that it can be written back
// unchanged. Attached under the tag "KvUnknownKvBData".
class KvUnknownKvBData {
 public:
  KvUnknownKvBData() = default;
  KvUnknownKvBData(std::string tag, std::string payload) : tag_(std::move(tag)), payload_(std::move(payload)) {}
  const std::string& GetTag() const { return tag_; }
  const std::string& GetPayload() const { return payload_; }
  bool operator==(const KvUnknownKvBData&) const = default;

 private:
  std::string tag_;
  std::string payload_;
};

template <>
struct KvTypeIdTraits<KvUnknownKvBData> {
  static constexpr std::uint64_t Value() { return KvHashTypeName("KvUnknownKvBData"); }
};

// The type identifier of KvBase, the target of attached-data readers, and of
// KvBaseData, the source of attached-data writers.
template <>
struct KvTypeIdTraits<KvBase> {
  static constexpr std::uint64_t Value() { return KvHashTypeName("KvBase"); }
};
template <>
struct KvTypeIdTraits<KvBaseData> {
  static constexpr std::uint64_t Value() { return KvHashTypeName("KvBaseData"); }
};

// Appends a copy of `value` to `target` under `tag`.
template <typename T>
void KvAttachData(KvBase& target, KvTag tag, T value) {
  target.AddData(new KvBaseDataT<T>(tag, std::move(value)));
}

// Writes attached items holding a T: record tag `name`, payload = the item's
// tag name (KvBWriteTag form) followed by the value's record written by the
// writer registered for T. Items of another type are declined (NotHandled).
template <typename T>
class KvBaseKvBWriteFxn final : public KvWriteFxnBase {
 public:
  explicit KvBaseKvBWriteFxn(std::string name) : name_(std::move(name)) {}
  std::string GetTypeName() const override { return name_; }
  std::uint64_t GetTypeId() const override { return KvTypeIdOf<KvBaseData>(); }
  std::uint64_t GetDataTypeId() const override { return KvTypeIdOf<T>(); }
  std::unique_ptr<KvWriteFxnBase> CreateNew() const override { return std::make_unique<KvBaseKvBWriteFxn>(name_); }
  KvBStatus WriteObject(kvostream& out, const void* object) const override {
    const auto& item = *static_cast<const KvBaseData*>(object);
    if (item.GetTypeId() != KvTypeIdOf<T>()) return KvBStatus::NotHandled;
    kvosstream inner;
    if (!KvBWriteTag(inner, KvGetTag(item.GetTag()))) return KvBStatus::Failure;
    const KvBStatus status = KvBWrite(inner, static_cast<const KvBaseDataT<T>&>(item).GetData());
    if (status != KvBStatus::Success) return status;
    return KvBWriteRecord(out, name_, inner.str()) ? KvBStatus::Success : KvBStatus::Failure;
  }

 private:
  std::string name_;
};

// Reads the records of KvBaseKvBWriteFxn<T> and attaches the value to the
// target KvBase under the tag of the stored name. Nothing is attached unless
// the whole record reads.
template <typename T>
class KvBaseKvBReadFxn final : public KvReadFxnBase {
 public:
  explicit KvBaseKvBReadFxn(std::string name) : name_(std::move(name)) {}
  std::string GetTypeName() const override { return name_; }
  std::uint64_t GetTypeId() const override { return KvTypeIdOf<KvBase>(); }
  std::unique_ptr<KvReadFxnBase> CreateNew() const override { return std::make_unique<KvBaseKvBReadFxn>(name_); }
  KvBStatus ReadObject(kvistream& in, void* object, std::uint64_t length) const override {
    std::string payload;
    if (KvBReadPayload(in, length, payload) != KvBStatus::Success) return KvBStatus::Failure;
    kvisstream inner(std::move(payload));
    std::string tagName;
    if (KvBReadTag(inner, tagName) != KvBStatus::Success) return KvBStatus::Failure;
    T value{};
    if (KvBRead(inner, value) != KvBStatus::Success) return KvBStatus::Failure;
    KvAttachData(*static_cast<KvBase*>(object), KvGetTag(tagName), std::move(value));
    return KvBStatus::Success;
  }

 private:
  std::string name_;
};

// Writes every item of `source` that has a registered attached-data writer,
// in order; KvUnknownKvBData items are written back as they were read. Items
// nobody can write are skipped. Failure when the stream fails.
KvBStatus KvBWriteAttachedData(kvostream& out, const KvBase& source);
// Reads records to the end of `in`: records of attached-data readers attach
// their values to `target`; any other record is attached as a
// KvUnknownKvBData item. Success at the end of the stream; Failure on a
// truncated or malformed record (what was read before stays attached).
KvBStatus KvBReadAttachedData(kvistream& in, KvBase& target);

}  // namespace KvSystem
