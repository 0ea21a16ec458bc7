// Byte forms of the "Chem.FingerPrint" and "Chem.FingerPrintVec" data-flow
// field types.
#include <string_view>

#include "io/type_block.h"
#include "kvsystem/streams.h"
#include "varnex/fpio.h"

namespace KvDataFlow {
namespace {

using Varnex::KvFingerPrint;
using Varnex::KvFPTypeBase;
using SingleType = KvFieldType<KvFingerPrint>;

// The type block: what the kind's type writer puts into a memory stream
// (nothing for kinds without one).
KvBytes TypeBlock(const KvFingerPrint& fp) {
  KvSystem::kvosstream out;
  if (!Varnex::WriteFPTypeBlock(out, fp)) return {};
  return KvBytes(out.str().begin(), out.str().end());
}

// Calls the type reader of `kind` over the type block. False, fp untouched,
// for other kinds and a short block.
bool ReadTypeBlock(unsigned kind, unsigned short version, const KvBytes& block, KvFingerPrint& fp) {
  KvSystem::kvisstream in(std::string(block.begin(), block.end()));
  return Varnex::ReadFPTypeBlock(in, kind, version, fp);
}

// Older form: the type string and the hexadecimal bits as two strings.
void FromTextStrings(KvFingerPrint& fp, KvReadBuffer& in) {
  std::string typeString;
  std::string hex;
  fp = KvFingerPrint();
  if (!in.ReadString(typeString) || !in.ReadString(hex)) return;
  fp = SingleType::FromText(typeString + '\n' + hex);
}

void FromBinary(KvFingerPrint& fp, KvReadBuffer& in) {
  bool textForm = true;
  std::uint32_t kind = 0;
  std::int32_t version = 0;
  KvBytes block;
  std::uint32_t bits = 0;
  KvBytes words;
  fp = KvFingerPrint();
  if (!in.ReadBool(textForm) || !in.ReadInt(kind) || !in.ReadInt(version) || !in.ReadBlob(block) || !in.ReadInt(bits) ||
      !in.ReadBlob(words))
    return;
  // The words must be exactly the storage of `bits` bits; anything else
  // would either read past them or blow a few bytes up into a huge vector.
  const std::uint64_t wordBytes = (static_cast<std::uint64_t>(bits) + 31) / 32 * 4;
  if (bits != 0 && words.size() != wordBytes) return;
  // A kind without a type block keeps its bits and stays untyped.
  ReadTypeBlock(kind, static_cast<unsigned short>(version), block, fp);
  if (bits != 0) fp.SetData(words.data(), bits);
}

// "[n fingerprints]", singular for one.
std::string FormatCount(std::size_t count) {
  std::string text = "[";
  text.append(std::to_string(count));
  text.append(count == 1 ? " fingerprint]" : " fingerprints]");
  return text;
}

}  // namespace

// ---------------------------------------------------------------- single

KvBytes SingleType::ToBytes(const KvFingerPrint& fp) {
  const KvFPTypeBase* type = fp.GetFPTypeBase();
  if (type == nullptr) return {};
  KvWriteBuffer out;
  out.WriteBool(false);
  out.WriteInt(static_cast<std::uint32_t>(type->GetFPType()));
  out.WriteInt(static_cast<std::int32_t>(type->GetFPVersion()));
  out.WriteBlob(TypeBlock(fp));
  out.WriteInt(static_cast<std::uint32_t>(fp.GetSize()));
  out.WriteBlob(std::span<const std::uint8_t>(fp.GetBytes(), fp.NumWords() * sizeof(std::uint32_t)));
  return out.Release();
}

std::optional<KvBytes> SingleType::ToBytes(const std::optional<KvFingerPrint>& fp) {
  if (!fp) return std::nullopt;
  return ToBytes(*fp);
}

bool SingleType::FromBytes(KvFingerPrint& fp, const KvBytes& bytes) {
  if (bytes.empty()) return false;
  KvReadBuffer in(bytes);
  if (bytes[0] != 0)
    FromTextStrings(fp, in);
  else
    FromBinary(fp, in);
  return true;
}

std::string SingleType::Format(const KvFingerPrint& /*fp*/) { return "<KvFingerPrint>"; }

std::string SingleType::ToText(const KvFingerPrint& fp) {
  const KvFPTypeBase* type = fp.GetFPTypeBase();
  if (type == nullptr) return "\n";
  return type->GetFPTypeString() + '\n' + fp.ToHexString();
}

KvFingerPrint SingleType::FromText(const std::string& text) {
  KvFingerPrint fp;
  const std::size_t split = text.find('\n');
  if (split == std::string::npos || split == 0) return fp;
  const KvFPTypeBase* type = Varnex::KvGetFPType(text.substr(0, split));
  // A type string whose values overflow their fields (a size above 65535)
  // gives a type that prints as another one; such text is unusable.
  if (type == nullptr || Varnex::KvGetFPType(type->GetFPTypeString()) != type) return KvFingerPrint();
  if (!fp.FromHexString(text.substr(split + 1))) return KvFingerPrint();
  fp.SetFPTypeBase(type);
  return fp;
}

// ---------------------------------------------------------------- list

using VectorType = KvVectorFieldType<KvFingerPrint>;

KvBytes VectorType::ToBytes(const KvOptionalFPVec& fps) {
  KvWriteBuffer out;
  out.WriteInt(static_cast<std::uint64_t>(fps.size()));
  for (const auto& fp : fps) {
    if (fp)
      out.WriteBlob(SingleType::ToBytes(*fp));
    else
      out.WriteNoneBlob();
  }
  return out.Release();
}

KvBytes VectorType::ToBytes(const std::vector<KvFingerPrint>& fps) {
  KvWriteBuffer out;
  out.WriteInt(static_cast<std::uint64_t>(fps.size()));
  for (const auto& fp : fps) out.WriteBlob(SingleType::ToBytes(fp));
  return out.Release();
}

bool VectorType::FromBytes(KvOptionalFPVec& fps, const KvBytes& bytes) {
  if (bytes.empty()) return false;
  KvReadBuffer in(bytes);
  std::uint64_t count = 0;
  if (!in.ReadInt(count)) return false;
  // Every entry takes at least one byte, so the loop ends with the input
  // however large the count claims to be.
  KvOptionalFPVec decoded;
  KvBytes entry;
  for (std::uint64_t i = 0; i < count; ++i) {
    bool none = false;
    if (!in.ReadBlob(entry, none)) return false;
    if (none) {
      decoded.emplace_back();
    } else {
      KvFingerPrint fp;
      if (!SingleType::FromBytes(fp, entry)) fp = KvFingerPrint();  // an empty entry: untyped
      decoded.emplace_back(std::move(fp));
    }
  }
  fps.insert(fps.end(), std::make_move_iterator(decoded.begin()), std::make_move_iterator(decoded.end()));
  return true;
}

bool VectorType::FromBytes(std::vector<KvFingerPrint>& fps, const KvBytes& bytes) {
  KvOptionalFPVec entries;
  if (!FromBytes(entries, bytes)) return false;
  for (auto& fp : entries)
    if (fp) fps.push_back(std::move(*fp));
  return true;
}

std::string VectorType::Format(const KvOptionalFPVec& fps) { return FormatCount(fps.size()); }

std::string VectorType::Format(const std::vector<KvFingerPrint>& fps) { return FormatCount(fps.size()); }

std::shared_ptr<KvOptionalFPVec> VectorType::GetCopyForCache(const KvOptionalFPVec& fps) {
  return std::make_shared<KvOptionalFPVec>(fps);
}

std::shared_ptr<KvOptionalFPVec> VectorType::GetCopyForCache(const std::vector<KvFingerPrint>& fps) {
  return std::make_shared<KvOptionalFPVec>(fps.begin(), fps.end());
}

}  // namespace KvDataFlow
