// Fuzz target: a KvB stream of arbitrary bytes, read as attached data (any
// record kind, unknown ones kept) and as a run of fingerprint records; what
// was read is written back and must read and write again unchanged.
#include "fuzz_util.h"
#include "kvsystem/kvb.h"
#include "varnex/fpio.h"

VARNEX_FUZZ_TARGET(kvb_stream) {
  const std::string bytes = VarnexFuzz::ToString(data, size);
  {
    KvSystem::kvisstream in(bytes);
    KvSystem::KvBase target;
    KvSystem::KvBReadAttachedData(in, target);
    KvSystem::kvosstream out;
    VarnexFuzz::Check(KvSystem::KvBWriteAttachedData(out, target) == KvSystem::KvBStatus::Success, "attached data write");
    // Items that cannot be written (an untyped fingerprint from a zero-length
    // record) drop out, so the check is that writing is a fixed point.
    KvSystem::kvisstream again(out.str());
    KvSystem::KvBase copy;
    VarnexFuzz::Check(KvSystem::KvBReadAttachedData(again, copy) == KvSystem::KvBStatus::Success, "attached data read back");
    KvSystem::kvosstream rewritten;
    KvSystem::KvBWriteAttachedData(rewritten, copy);
    VarnexFuzz::Check(rewritten.str() == out.str(), "attached data writing is a fixed point");
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
          VarnexFuzz::Check(KvSystem::KvBRead(again, back) == KvSystem::KvBStatus::Success && back == fp,
                            "fingerprint record round trip");
        }
      }
    }
  }
  return 0;
}
