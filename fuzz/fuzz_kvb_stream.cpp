// Fuzz target: a KvB stream of arbitrary bytes, read as attached data (any
// record kind, unknown ones kept) and as a run of fingerprint records; what
// was read is written back and must read and write again unchanged.
#include <cstdlib>

#include "fuzz_util.h"
#include "kvsystem/kvb.h"
#include "varnex/fpio.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  VarnexFuzz::SilenceMessages();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes = VarnexFuzz::ToString(data, size);
  {
    KvSystem::kvisstream in(bytes);
    KvSystem::KvBase target;
    KvSystem::KvBReadAttachedData(in, target);
    KvSystem::kvosstream out;
    if (KvSystem::KvBWriteAttachedData(out, target) != KvSystem::KvBStatus::Success) std::abort();
    // Items that cannot be written (an untyped fingerprint from a zero-length
    // record) drop out, so the check is that writing is a fixed point.
    KvSystem::kvisstream again(out.str());
    KvSystem::KvBase copy;
    if (KvSystem::KvBReadAttachedData(again, copy) != KvSystem::KvBStatus::Success) std::abort();
    KvSystem::kvosstream rewritten;
    KvSystem::KvBWriteAttachedData(rewritten, copy);
    if (rewritten.str() != out.str()) std::abort();
  }
  {
    KvSystem::kvisstream in(bytes);
    Varnex::KvFingerPrint fp;
    for (int records = 0; records < 1000; ++records) {
      const KvSystem::KvBStatus status = KvSystem::KvBRead(in, fp);
      if (status == KvSystem::KvBStatus::EndOfStream || status == KvSystem::KvBStatus::Failure) break;
      if (status == KvSystem::KvBStatus::Success && fp) {
        KvSystem::kvosstream out;
        if (KvSystem::KvBWrite(out, fp) == KvSystem::KvBStatus::Success) {
          KvSystem::kvisstream again(out.str());
          Varnex::KvFingerPrint back;
          if (KvSystem::KvBRead(again, back) != KvSystem::KvBStatus::Success || back != fp) std::abort();
        }
      }
    }
  }
  return 0;
}
