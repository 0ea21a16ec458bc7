// Type blocks of the binary fingerprint forms: the parameter word of graph
// types, nothing for MACCS166 and Lingo.
#include "kvsystem/kvb.h"
#include "varnex/fpio.h"

namespace Varnex {
namespace {

bool WriteParameterWord(KvSystem::kvostream& out, const KvFingerPrint& fp) {
  const auto* type = dynamic_cast<const KvFPGraphTypeBase*>(fp.GetFPTypeBase());
  if (type == nullptr) return false;
  return KvSystem::KvBWriteUInt64(out, type->GetParameterWord());
}

// Reads the word and interns the type made from it. The fields are widened
// so that the registry's packing reproduces every bit of the stored word,
// also bits outside the documented fields (the type string warns about those).
template <typename MakeType>
bool ReadParameterWord(KvSystem::kvistream& in, unsigned short version, KvFingerPrint& fp, MakeType make) {
  std::uint64_t word = 0;
  if (!KvSystem::KvBReadUInt64(in, word)) return false;
  const auto maximum = static_cast<unsigned>(word & 0xFF);
  const auto minimum = static_cast<unsigned>((word >> 8) & 0xFF);
  const auto bondType = static_cast<unsigned>((word >> 16) & 0xFF);
  const auto atomType = static_cast<unsigned>((word >> 24) & 0xFFFFF);  // bits 24-43
  const auto bits = static_cast<unsigned>(word >> 44);                  // bits 44-63
  fp.SetFPTypeBase(make(version, bits, minimum, maximum, atomType, bondType));
  return true;
}

using MakeGraphType = const KvFPTypeBase* (*)(unsigned short, unsigned, unsigned, unsigned, unsigned, unsigned);

}  // namespace

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
  return ReadParameterWord(in, version, fp, static_cast<MakeGraphType>(&KvGetPathFPType));
}
bool KvReadTreeFingerPrintType(KvSystem::kvistream& in, unsigned short version, KvFingerPrint& fp) {
  return ReadParameterWord(in, version, fp, static_cast<MakeGraphType>(&KvGetTreeFPType));
}
bool KvReadCircularFingerPrintType(KvSystem::kvistream& in, unsigned short version, KvFingerPrint& fp) {
  return ReadParameterWord(in, version, fp, static_cast<MakeGraphType>(&KvGetCircularFPType));
}
bool KvReadMACCSFingerPrintType(KvSystem::kvistream& /*in*/, unsigned short version, KvFingerPrint& fp) {
  fp.SetFPTypeBase(KvGetMACCS166FPType(version));
  return true;
}
bool KvReadLingoFingerPrintType(KvSystem::kvistream& /*in*/, unsigned short version, KvFingerPrint& fp) {
  fp.SetFPTypeBase(KvGetLingoFPType(version));
  return true;
}

}  // namespace Varnex
