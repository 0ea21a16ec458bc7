// Fuzz target: arbitrary text as the JSON form of a fingerprint list field
// (JSONToBytes of "Chem.FingerPrintVec"): malformed JSON, invalid UTF-8, deep
// nesting, odd element types. Its bytes must decode and print again.
#include "fuzz_util.h"
#include "varnex/fpio.h"

VARNEX_FUZZ_TARGET(fpvec_json_to_bytes) {
  using List = KvDataFlow::KvVectorFieldType<Varnex::KvFingerPrint>;
  const KvDataFlow::KvBytes bytes = List().JSONToBytes(VarnexFuzz::ToString(data, size));
  if (!bytes.empty()) {
    KvDataFlow::KvOptionalFPVec list;
    VarnexFuzz::Check(List::FromBytes(list, bytes), "bytes of a JSON list decode");
    const std::string json = List().BytesToJSON(bytes);
    VarnexFuzz::Check(List().JSONToBytes("{\"value\":" + json + "}") == bytes, "JSON list round trip");
  }
  return 0;
}
