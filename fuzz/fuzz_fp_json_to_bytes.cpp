// Fuzz target: arbitrary text as the text form of a fingerprint field
// (JSONToBytes of "Chem.FingerPrint"); what it yields must decode again.
#include "fuzz_util.h"
#include "varnex/fpio.h"

VARNEX_FUZZ_TARGET(fp_json_to_bytes) {
  using Single = KvDataFlow::KvFieldType<Varnex::KvFingerPrint>;
  const KvDataFlow::KvBytes bytes = Single().JSONToBytes(VarnexFuzz::ToString(data, size));
  if (!bytes.empty()) {
    Varnex::KvFingerPrint fp;
    VarnexFuzz::Check(Single::FromBytes(fp, bytes) && fp, "bytes of a text form decode");
    VarnexFuzz::Check(Single().JSONToBytes(Single::ToText(fp)) == bytes, "text form round trip");
  }
  return 0;
}
