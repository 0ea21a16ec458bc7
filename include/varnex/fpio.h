// Fingerprints in binary records (KvB) and in data-flow record fields.
//
// Binary record (tag "KvFingerPrint", see kvsystem/kvb.h for the record
// frame). Payload, integers little-endian:
//
//   kind            4 bytes  the type's kind code (KvFPType)
//   version         2 bytes  kinds 101-105 only
//   parameter word  8 bytes  kinds 102, 104, 105 (and legacy 2)
//   bit count       4 bytes
//   bit data        4 x ceil(bits / 32) bytes, the bit vector's storage
//
// Legacy kinds 1, 2, 3 (MACCS166, Path, Lingo) have no version field; they
// read with version 0 and a warning. An attached fingerprint is the record
// "KvBaseKvFingerPrint": the item's tag name, then a "KvFingerPrint" record.
// The readers and writers of both records are registered with the KvB
// registry when the library loads.
//
// Data-flow fields: "Chem.FingerPrint" holds one fingerprint and
// "Chem.FingerPrintVec" a list of optional fingerprints. Byte form of one
// fingerprint (items of KvDataFlow::KvWriteBuffer): bool false, kind
// (uint32), version (int32), type block (blob: the parameter word for path,
// circular and tree types, empty otherwise), bit count (uint32), bit words
// (blob of 4 x ceil(bits / 32) bytes). An untyped fingerprint has no bytes.
// An older form, two strings (type string, hexadecimal bits), is still read.
// A list is a uint64 count, then per entry a blob (present) or a none-blob.
// Text form (inside JSON): type string, line feed, hexadecimal bits; an
// untyped fingerprint is the line feed alone. Both handlers are registered
// with the handler registry when the library loads.
//
// Bad input: every reader here takes arbitrary bytes; it never reads out of
// bounds and never allocates more than its input justifies.
//
// Thread safety: every function and object here is stateless and may be used
// from any thread; the type registries they use are locked.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kvsystem/dataflow.h"
#include "kvsystem/kvb.h"
#include "kvsystem/streams.h"
#include "varnex/fingerprint.h"

namespace Varnex {

// ---- Type blocks of the binary forms.
// Writers put the type's parameter block into `out`: the 8-byte parameter
// word for path, tree and circular types, nothing for MACCS166 and Lingo.
// True, except for a graph writer handed a fingerprint without a graph type
// (nothing written, false).
[[nodiscard]] bool KvWritePathFingerPrintType(KvSystem::kvostream& out, const KvFingerPrint& fp);
[[nodiscard]] bool KvWriteTreeFingerPrintType(KvSystem::kvostream& out, const KvFingerPrint& fp);
[[nodiscard]] bool KvWriteCircularFingerPrintType(KvSystem::kvostream& out, const KvFingerPrint& fp);
[[nodiscard]] bool KvWriteMACCSFingerPrintType(KvSystem::kvostream& out, const KvFingerPrint& fp);
[[nodiscard]] bool KvWriteLingoFingerPrintType(KvSystem::kvostream& out, const KvFingerPrint& fp);
// Readers set fp's type to the registry type of `version` and the block read
// from `in`. The graph readers read the 8-byte word; when fewer bytes remain
// they return false and leave fp untouched. MACCS166 and Lingo read nothing
// and return true.
[[nodiscard]] bool KvReadPathFingerPrintType(KvSystem::kvistream& in, unsigned short version, KvFingerPrint& fp);
[[nodiscard]] bool KvReadTreeFingerPrintType(KvSystem::kvistream& in, unsigned short version, KvFingerPrint& fp);
[[nodiscard]] bool KvReadCircularFingerPrintType(KvSystem::kvistream& in, unsigned short version, KvFingerPrint& fp);
[[nodiscard]] bool KvReadMACCSFingerPrintType(KvSystem::kvistream& in, unsigned short version, KvFingerPrint& fp);
[[nodiscard]] bool KvReadLingoFingerPrintType(KvSystem::kvistream& in, unsigned short version, KvFingerPrint& fp);

// Writes a fingerprint as one "KvFingerPrint" record. Types of other kinds
// than 101-105 (legacy and unhashed kinds, untyped fingerprints) are
// reported at error level and nothing is written (NotHandled).
class KvFingerPrintWriteFxn final : public KvSystem::KvWriteFxn<KvFingerPrint> {
 public:
  std::string GetTypeName() const override;  // "KvFingerPrint"
  std::unique_ptr<KvSystem::KvWriteFxnBase> CreateNew() const override;
  KvSystem::KvBStatus Write(KvSystem::kvostream& out, const KvFingerPrint& fp) const override;
};

// Reads the payload of a "KvFingerPrint" record. A truncated or inconsistent
// payload gives Failure and leaves fp untouched; an unknown kind is reported
// at error level, clears fp's type and gives Failure; a length of 0 succeeds
// without reading.
class KvFingerPrintReadFxn final : public KvSystem::KvReadFxn<KvFingerPrint> {
 public:
  std::string GetTypeName() const override;  // "KvFingerPrint"
  std::unique_ptr<KvSystem::KvReadFxnBase> CreateNew() const override;
  KvSystem::KvBStatus Read(KvSystem::kvistream& in, KvFingerPrint& fp, std::uint64_t length) const override;
};

// The tag of the attached-fingerprint record.
inline constexpr const char* KvBaseKvFingerPrintName = "KvBaseKvFingerPrint";

}  // namespace Varnex

namespace KvDataFlow {

using KvOptionalFPVec = std::vector<std::optional<Varnex::KvFingerPrint>>;

template <>
struct KvFieldTypeName<Varnex::KvFingerPrint> {
  static const char* Get() { return "Chem.FingerPrint"; }
};
template <>
struct KvFieldTypeName<KvOptionalFPVec> {
  static const char* Get() { return "Chem.FingerPrintVec"; }
};

// Handler of "Chem.FingerPrint" fields. Stateless.
template <>
class KvFieldType<Varnex::KvFingerPrint> final : public KvFieldTypeHandler {
 public:
  // "null" for no bytes, else the JSON string of the text form.
  std::string BytesToJSON(const KvBytes& bytes) const override;
  // `text` is the text form itself (not JSON): type string, line feed,
  // hexadecimal bits. Unusable text gives no bytes.
  KvBytes JSONToBytes(const std::string& text) const override;
  // REQUIRES: `value` points at a Varnex::KvFingerPrint.
  KvBytes PtrToBytes(const void* value) const override;
  std::string GetName() const override { return "Chem.FingerPrint"; }
  bool IsCacheable() const override { return true; }

  // The byte form; an untyped fingerprint gives no bytes.
  static KvBytes ToBytes(const Varnex::KvFingerPrint& fp);
  // No value for no fingerprint.
  static std::optional<KvBytes> ToBytes(const std::optional<Varnex::KvFingerPrint>& fp);
  // Decodes either byte form into fp. False only for empty bytes; bytes that
  // cannot be decoded give true and an untyped fingerprint of size 0.
  [[nodiscard]] static bool FromBytes(Varnex::KvFingerPrint& fp, const KvBytes& bytes);
  // "<KvFingerPrint>".
  static std::string Format(const Varnex::KvFingerPrint& fp);
  // The text form: type string, line feed, hexadecimal bits ("\n" untyped).
  static std::string ToText(const Varnex::KvFingerPrint& fp);
  // The fingerprint of a text form; untyped when the text is unusable.
  static Varnex::KvFingerPrint FromText(const std::string& text);
};

// Handler of "Chem.FingerPrintVec" fields: lists of optional fingerprints.
template <>
class KvVectorFieldType<Varnex::KvFingerPrint> final : public KvFieldTypeHandler {
 public:
  // "null" for no bytes or undecodable bytes, else a JSON array of null
  // (absent entry) and text-form strings.
  std::string BytesToJSON(const KvBytes& bytes) const override;
  // Parses JSON {"value": [...]}: null elements are absent entries, strings
  // text forms, anything else an untyped entry. No bytes when the text is not
  // JSON or has no "value" array.
  KvBytes JSONToBytes(const std::string& json) const override;
  // REQUIRES: `value` points at a KvOptionalFPVec.
  KvBytes PtrToBytes(const void* value) const override;
  std::string GetName() const override { return "Chem.FingerPrintVec"; }

  static KvBytes ToBytes(const KvOptionalFPVec& fps);
  static KvBytes ToBytes(const std::vector<Varnex::KvFingerPrint>& fps);
  // Appends the decoded entries to `fps`. False for empty bytes and for bytes
  // that do not decode (then `fps` is unchanged).
  [[nodiscard]] static bool FromBytes(KvOptionalFPVec& fps, const KvBytes& bytes);
  // The same, skipping absent entries.
  [[nodiscard]] static bool FromBytes(std::vector<Varnex::KvFingerPrint>& fps, const KvBytes& bytes);
  // "[n fingerprints]" ("[1 fingerprint]" for one entry).
  static std::string Format(const KvOptionalFPVec& fps);
  static std::string Format(const std::vector<Varnex::KvFingerPrint>& fps);
  // A shared copy for a record's cache.
  static std::shared_ptr<KvOptionalFPVec> GetCopyForCache(const KvOptionalFPVec& fps);
  static std::shared_ptr<KvOptionalFPVec> GetCopyForCache(const std::vector<Varnex::KvFingerPrint>& fps);
};

// New heap handlers; the caller owns them (the registry, when registered).
KvFieldTypeHandler* KvInitFPFieldHandler();
KvFieldTypeHandler* KvInitFPVecFieldHandler();

// Puts `fp` into `record` as the cached value of `field` (retyping a field
// that holds another type): a cached fingerprint is assigned in place and
// marked dirty, else a shared copy is cached. The bytes are made from the
// cache when the record needs them. Always true.
[[nodiscard]] bool KvSetFingerPrintValue(KvRecord& record, const KvField<Varnex::KvFingerPrint>& field,
                           const Varnex::KvFingerPrint& fp);

}  // namespace KvDataFlow
