// Fuzz target: arbitrary text as the text form of a fingerprint field
// (JSONToBytes of "Chem.FingerPrint"); what it yields must decode again.
#include <cstdlib>

#include "fuzz_util.h"
#include "varnex/fpio.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  VarnexFuzz::SilenceMessages();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using Single = KvDataFlow::KvFieldType<Varnex::KvFingerPrint>;
  const KvDataFlow::KvBytes bytes = Single().JSONToBytes(VarnexFuzz::ToString(data, size));
  if (!bytes.empty()) {
    Varnex::KvFingerPrint fp;
    if (!Single::FromBytes(fp, bytes) || !fp) std::abort();
    if (Single().JSONToBytes(Single::ToText(fp)) != bytes) std::abort();
  }
  return 0;
}
