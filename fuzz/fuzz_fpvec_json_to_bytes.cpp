// Fuzz target: arbitrary text as the JSON form of a fingerprint list field
// (JSONToBytes of "Chem.FingerPrintVec"): malformed JSON, invalid UTF-8, deep
// nesting, odd element types. Its bytes must decode and print again.
#include <cstdlib>

#include "fuzz_util.h"
#include "varnex/fpio.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  VarnexFuzz::SilenceMessages();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using List = KvDataFlow::KvVectorFieldType<Varnex::KvFingerPrint>;
  const KvDataFlow::KvBytes bytes = List().JSONToBytes(VarnexFuzz::ToString(data, size));
  if (!bytes.empty()) {
    KvDataFlow::KvOptionalFPVec list;
    if (!List::FromBytes(list, bytes)) std::abort();
    const std::string json = List().BytesToJSON(bytes);
    if (List().JSONToBytes("{\"value\":" + json + "}") != bytes) std::abort();
  }
  return 0;
}
