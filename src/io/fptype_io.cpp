// Type blocks of the binary fingerprint forms: the parameter word of hashed
// graph types, nothing for MACCS166 and Lingo.
#include "io/type_block.h"
#include "kvsystem/kvb.h"
#include "varnex/fpio.h"
#include "varnex/fpkinds.h"

namespace Varnex {
namespace {

bool WriteParameterWord(KvSystem::kvostream& out, const KvFingerPrint& fp) {
  const auto* type = dynamic_cast<const KvFPGraphTypeBase*>(fp.GetFPTypeBase());
  if (type == nullptr) return false;
  return KvSystem::KvBWriteUInt64(out, type->GetParameterWord());
}

// Reads the word and interns the type of `kind` made from it. The fields are
// widened so that the registry's packing reproduces every bit of the stored
// word, also bits outside the documented fields (the type string warns about
// those).
bool ReadParameterWord(KvSystem::kvistream& in, unsigned short version, KvFingerPrint& fp, const KvFPKind& kind) {
  std::uint64_t word = 0;
  if (!KvSystem::KvBReadUInt64(in, word)) return false;
  KvFPGraphParams params;
  params.maximum = static_cast<unsigned>(word & 0xFF);
  params.minimum = static_cast<unsigned>((word >> 8) & 0xFF);
  params.bondTypes = static_cast<unsigned>((word >> 16) & 0xFF);
  params.atomTypes = static_cast<unsigned>((word >> 24) & 0xFFFFF);  // bits 24-43
  params.bits = static_cast<unsigned>(word >> 44);                   // bits 44-63
  fp.SetFPTypeBase(kind.intern(version, params));
  return true;
}

}  // namespace

bool WriteFPTypeBlock(KvSystem::kvostream& out, const KvFingerPrint& fp) {
  const KvFPKind* kind = fp.GetFPTypeBase() != nullptr ? KvFindFPKind(fp.GetFPTypeBase()->GetFPType()) : nullptr;
  if (kind == nullptr || kind->layout == KvFPParamLayout::Unhashed) return false;
  return kind->layout == KvFPParamLayout::VersionOnly || WriteParameterWord(out, fp);
}

bool ReadFPTypeBlock(KvSystem::kvistream& in, unsigned code, unsigned short version, KvFingerPrint& fp) {
  const KvFPKind* kind = KvFindFPKind(code);
  if (kind == nullptr || kind->layout == KvFPParamLayout::Unhashed) return false;
  if (kind->layout == KvFPParamLayout::Hashed) return ReadParameterWord(in, version, fp, *kind);
  fp.SetFPTypeBase(kind->intern(version, {}));
  return true;
}

bool KvWritePathFingerPrintType(KvSystem::kvostream& out, const KvFingerPrint& fp) {
  return WriteParameterWord(out, fp);
}
bool KvWriteTreeFingerPrintType(KvSystem::kvostream& out, const KvFingerPrint& fp) {
  return WriteParameterWord(out, fp);
}
bool KvWriteCircularFingerPrintType(KvSystem::kvostream& out, const KvFingerPrint& fp) {
  return WriteParameterWord(out, fp);
}
bool KvWriteMACCSFingerPrintType(KvSystem::kvostream& /*out*/, const KvFingerPrint& /*fp*/) { return true; }
bool KvWriteLingoFingerPrintType(KvSystem::kvostream& /*out*/, const KvFingerPrint& /*fp*/) { return true; }

bool KvReadPathFingerPrintType(KvSystem::kvistream& in, unsigned short version, KvFingerPrint& fp) {
  return ReadFPTypeBlock(in, KvFPType::Path, version, fp);
}
bool KvReadTreeFingerPrintType(KvSystem::kvistream& in, unsigned short version, KvFingerPrint& fp) {
  return ReadFPTypeBlock(in, KvFPType::Tree, version, fp);
}
bool KvReadCircularFingerPrintType(KvSystem::kvistream& in, unsigned short version, KvFingerPrint& fp) {
  return ReadFPTypeBlock(in, KvFPType::Circular, version, fp);
}
bool KvReadMACCSFingerPrintType(KvSystem::kvistream& in, unsigned short version, KvFingerPrint& fp) {
  return ReadFPTypeBlock(in, KvFPType::MACCS166, version, fp);
}
bool KvReadLingoFingerPrintType(KvSystem::kvistream& in, unsigned short version, KvFingerPrint& fp) {
  return ReadFPTypeBlock(in, KvFPType::Lingo, version, fp);
}

}  // namespace Varnex
