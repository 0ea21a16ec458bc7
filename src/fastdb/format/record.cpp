// Records of the fast database file and the fingerprint words they hold.

#include <algorithm>

#include "fastdb/format/bytes.h"
#include "kvsystem/error.h"
#include "similarity/popcount.h"
#include "varnex/fpbin.h"
#include "system/messages.h"

namespace Varnex {
namespace {

// The bytes of a bit vector's storage that a record holds: its byte length
// rounded up to whole 32-bit words.
std::size_t StoredBytes(const KvSystem::KvBitVector& bits) { return (bits.GetSize() + 31) / 32 * 4; }

}  // namespace

std::string KvWriteFastFingerPrintBlob(std::uint64_t index, const KvFingerPrint& fp) {
  constexpr const char* kWriter = "KvWriteFastFingerPrintBlob()";
  if (!fp) {
    KvSystem::KvThrow()->Warning(Msg::kBlobUntyped, kWriter);
    return {};
  }
  if (fp.NumWords() == 0 || fp.GetWords() == nullptr) {
    KvSystem::KvThrow()->Warning(Msg::kBlobNoData, kWriter);
    return {};
  }
  const std::size_t bytes = StoredBytes(fp);
  if (bytes % 8 != 0) {
    KvSystem::KvThrow()->Warning(Msg::kBlobSize, kWriter);
    return {};
  }
  std::string blob(16 + bytes, '\0');
  auto* out = reinterpret_cast<std::uint8_t*>(blob.data());
  StoreLE64(out, index);
  StoreLE64(out + 8, fp.CountBits());
  std::memcpy(out + 16, fp.GetBytes(), bytes);
  return blob;
}

std::uint64_t KvGetFPDatabaseFileSize(std::uint64_t n, const KvFPTypeBase* type) {
  const std::uint64_t words = type != nullptr ? type->GetNumBits() / 64 : 0;
  return KvFastFPRecordOffset(n, words);
}

std::uint64_t KvFingerPrintToWords(const KvFingerPrint& fp, std::vector<std::uint64_t>& words) {
  const std::size_t bytes = StoredBytes(fp);
  if (bytes % 8 != 0 || fp.NumWords() * 4 < bytes) {
    words.clear();
    return 0;
  }
  words.resize(bytes / 8);
  const std::uint8_t* storage = fp.GetBytes();
  for (std::size_t w = 0; w < words.size(); ++w) words[w] = LoadLE64(storage + 8 * w);
  const PopCountKernel count = GetPopCountKernel(PopCountMethod::Instruction);
  return count(words.data(), words.size());
}

}  // namespace Varnex
