// Fuzz target: arbitrary bytes as the byte form of a fingerprint field and of
// a fingerprint list field (FromBytes and BytesToJSON of both handlers). A
// typed result must survive ToBytes / FromBytes unchanged.
#include <cstdlib>

#include "fuzz_util.h"
#include "varnex/fpio.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  VarnexFuzz::SilenceMessages();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using Single = KvDataFlow::KvFieldType<Varnex::KvFingerPrint>;
  using List = KvDataFlow::KvVectorFieldType<Varnex::KvFingerPrint>;
  const KvDataFlow::KvBytes bytes(data, data + size);

  Varnex::KvFingerPrint fp;
  Single::FromBytes(fp, bytes);
  if (fp) {
    Varnex::KvFingerPrint back;
    if (!Single::FromBytes(back, Single::ToBytes(fp)) || back != fp) std::abort();
  }
  Single().BytesToJSON(bytes);

  KvDataFlow::KvOptionalFPVec list;
  if (List::FromBytes(list, bytes)) {
    KvDataFlow::KvOptionalFPVec back;
    if (!List::FromBytes(back, List::ToBytes(list)) || back.size() != list.size()) std::abort();
  }
  List().BytesToJSON(bytes);
  return 0;
}
