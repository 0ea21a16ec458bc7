// Fuzz target: arbitrary bytes as the byte form of a fingerprint field and of
// a fingerprint list field (FromBytes and BytesToJSON of both handlers). A
// typed result must survive ToBytes / FromBytes unchanged.
#include "fuzz_util.h"
#include "varnex/fpio.h"

VARNEX_FUZZ_TARGET(fp_from_bytes) {
  using Single = KvDataFlow::KvFieldType<Varnex::KvFingerPrint>;
  using List = KvDataFlow::KvVectorFieldType<Varnex::KvFingerPrint>;
  const KvDataFlow::KvBytes bytes(data, data + size);

  Varnex::KvFingerPrint fp;
  if (Single::FromBytes(fp, bytes) && fp) {
    Varnex::KvFingerPrint back;
    VarnexFuzz::Check(Single::FromBytes(back, Single::ToBytes(fp)) && back == fp, "fingerprint bytes round trip");
  }
  Single().BytesToJSON(bytes);

  KvDataFlow::KvOptionalFPVec list;
  if (List::FromBytes(list, bytes)) {
    KvDataFlow::KvOptionalFPVec back;
    VarnexFuzz::Check(List::FromBytes(back, List::ToBytes(list)) && back.size() == list.size(),
                      "fingerprint list bytes round trip");
  }
  List().BytesToJSON(bytes);
  return 0;
}
