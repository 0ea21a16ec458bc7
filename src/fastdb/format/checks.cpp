// Checks shared by creation, the compatibility test and the readers of a
// fast database: which types a file may hold and whether a header's counts
// fit the file's size.

#include "kvsystem/error.h"
#include "varnex/fpbin.h"
#include "system/messages.h"

namespace Varnex {

bool KvIsAdmissibleFastFPType(const KvFPTypeBase* type, const char* caller) {
  KvSystem::KvErrorHandler* report = KvSystem::KvThrow();
  if (type == nullptr) {
    report->Warning(Msg::kCheckPointer, caller);
    return false;
  }
  // KvFPTypeParams reads kinds 101-105 only; an unhashed type's string is
  // still a valid type string, and such a type is refused for its kind below.
  const std::string typeString = type->GetFPTypeString();
  if (!KvFPTypeParams(typeString).IsValid() && !KvIsValidFPTypeString(typeString)) {
    report->Warning(Msg::kCheckType, caller);
    return false;
  }
  const unsigned kind = type->GetFPType();
  if (kind != KvFPType::Path && kind != KvFPType::Circular && kind != KvFPType::Tree) {
    report->Warning(Msg::kCheckKind, caller);
    return false;
  }
  // The scan kernels take four 64-bit words per step.
  const unsigned bits = KvGetFingerPrintSize(type);
  if (bits == 0 || bits % KvFastFPSizeGranularity != 0) {
    report->Warning(Msg::kCheckSize, caller,
                    static_cast<int>(KvFastFPSizeGranularity));
    return false;
  }
  return true;
}

bool KvCheckFastFPDatabaseLayout(const KvFastFPDatabaseParams& params, const std::string& path, const char* caller) {
  KvSystem::KvErrorHandler* report = KvSystem::KvThrow();
  if (!params.IsValid()) {
    report->Warning("%s : invalid fingerprint database header in %s!", caller, path.c_str());
    return false;
  }
  const std::uint64_t words = params.GetFingerPrintSizeIn64();
  if (words == 0 || words % 4 != 0) {
    report->Warning("%s : fingerprint size of %llu words in %s header is not a positive multiple of 4!", caller,
                    static_cast<unsigned long long>(words), path.c_str());
    return false;
  }
  const unsigned typeBits = KvGetFingerPrintSize(params.GetFPTypeBase());
  if (words != typeBits / 64 || typeBits % 64 != 0) {
    report->Warning("%s : fingerprint size of %llu bits in %s header does not match its type of %u bits!", caller,
                    static_cast<unsigned long long>(64 * words), path.c_str(), typeBits);
    return false;
  }
  // n x (W + 2) x 8 + 800 must not wrap before it is compared.
  const std::uint64_t n = params.NumFingerPrints();
  const std::uint64_t recordBytes = (words + KvFastFPRecordExtraWords) * 8;
  const bool fits = n <= (UINT64_MAX - KvFastFPHeaderSize) / recordBytes;
  if (!fits || params.GetFileSize() != KvFastFPRecordOffset(n, words)) {
    report->Warning("%s : size of %s (%llu bytes) does not match %llu fingerprints of %llu bits!", caller, path.c_str(),
                    static_cast<unsigned long long>(params.GetFileSize()), static_cast<unsigned long long>(n),
                    static_cast<unsigned long long>(64 * words));
    return false;
  }
  return true;
}

}  // namespace Varnex
