// The "KvFingerPrint" and "KvBaseKvFingerPrint" binary records, and their
// registration with the KvB registry at library load.
#include "io/type_block.h"
#include "kvsystem/error.h"
#include "kvsystem/kvb.h"
#include "varnex/fpio.h"
#include "varnex/fpkinds.h"
#include "system/messages.h"

namespace Varnex {
namespace {

using KvSystem::KvBStatus;

constexpr const char* kRecordName = "KvFingerPrint";

// The kinds with a binary record; the version field is present for their
// current codes only.
bool IsCurrentKind(unsigned code) {
  const KvFPKind* kind = KvFindFPKind(code);
  return kind != nullptr && kind->layout != KvFPParamLayout::Unhashed;
}

// The current code of a legacy code, or 0 when `code` is none.
unsigned CurrentOfLegacy(unsigned code) {
  for (const KvFPKind& kind : KvGetFPKinds())
    if (kind.legacyCode != 0 && kind.legacyCode == code) return kind.code;
  return 0;
}

void RegisterFingerPrintRecords() {
  KvSystem::KvBRegisterWriter(std::make_unique<KvFingerPrintWriteFxn>());
  KvSystem::KvBRegisterReader(std::make_unique<KvFingerPrintReadFxn>());
  KvSystem::KvBRegisterWriter(std::make_unique<KvSystem::KvBaseKvBWriteFxn<KvFingerPrint>>(KvBaseKvFingerPrintName));
  KvSystem::KvBRegisterReader(std::make_unique<KvSystem::KvBaseKvBReadFxn<KvFingerPrint>>(KvBaseKvFingerPrintName));
}

[[maybe_unused]] const bool kRecordsRegistered = KvSystem::KvRegisterKvBInitializer(&RegisterFingerPrintRecords);

}  // namespace

std::string KvFingerPrintWriteFxn::GetTypeName() const { return kRecordName; }

std::unique_ptr<KvSystem::KvWriteFxnBase> KvFingerPrintWriteFxn::CreateNew() const {
  return std::make_unique<KvFingerPrintWriteFxn>();
}

KvBStatus KvFingerPrintWriteFxn::Write(KvSystem::kvostream& out, const KvFingerPrint& fp) const {
  const KvFPTypeBase* type = fp.GetFPTypeBase();
  const unsigned kind = type != nullptr ? type->GetFPType() : 0;
  if (CurrentOfLegacy(kind) != 0) {
    KvSystem::KvThrow()->Error(Msg::kWriteOldVersion);
    return KvBStatus::NotHandled;
  }
  if (!IsCurrentKind(kind)) {
    KvSystem::KvThrow()->Error(Msg::kWriteUnknownType);
    return KvBStatus::NotHandled;
  }
  KvSystem::kvosstream payload;
  KvSystem::KvBWriteUInt32(payload, kind);
  KvSystem::KvBWriteUInt16(payload, type->GetFPVersion());
  if (!WriteFPTypeBlock(payload, fp)) {
    KvSystem::KvThrow()->Error(Msg::kWriteUnknownType);
    return KvBStatus::NotHandled;
  }
  const auto bits = static_cast<std::uint32_t>(fp.GetSize());
  KvSystem::KvBWriteUInt32(payload, bits);
  if (bits != 0) payload.write(fp.GetBytes(), fp.NumWords() * sizeof(std::uint32_t));
  return KvSystem::KvBWriteRecord(out, kRecordName, payload.str()) ? KvBStatus::Success : KvBStatus::Failure;
}

std::string KvFingerPrintReadFxn::GetTypeName() const { return kRecordName; }

std::unique_ptr<KvSystem::KvReadFxnBase> KvFingerPrintReadFxn::CreateNew() const {
  return std::make_unique<KvFingerPrintReadFxn>();
}

KvBStatus KvFingerPrintReadFxn::Read(KvSystem::kvistream& in, KvFingerPrint& fp, std::uint64_t length) const {
  if (length == 0) return KvBStatus::Success;
  std::string bytes;
  if (KvSystem::KvBReadPayload(in, length, bytes) != KvBStatus::Success) return KvBStatus::Failure;
  KvSystem::kvisstream payload(std::move(bytes));

  std::uint32_t kind = 0;
  if (!KvSystem::KvBReadUInt32(payload, kind)) return KvBStatus::Failure;
  std::uint16_t version = 0;
  if (IsCurrentKind(kind)) {
    if (!KvSystem::KvBReadUInt16(payload, version)) return KvBStatus::Failure;
  } else if (CurrentOfLegacy(kind) != 0) {
    KvSystem::KvThrow()->Warning(Msg::kReadOldVersion);
  } else {
    KvSystem::KvThrow()->Error(Msg::kReadUnknownType);
    fp.SetFPTypeBase(nullptr);
    return KvBStatus::Failure;
  }

  // Decode into a fresh fingerprint so that a short payload changes nothing.
  KvFingerPrint decoded;
  const unsigned current = IsCurrentKind(kind) ? kind : CurrentOfLegacy(kind);
  if (!ReadFPTypeBlock(payload, current, version, decoded)) return KvBStatus::Failure;
  std::uint32_t bits = 0;
  if (!KvSystem::KvBReadUInt32(payload, bits)) return KvBStatus::Failure;
  const std::uint64_t dataBytes = (static_cast<std::uint64_t>(bits) + 31) / 32 * 4;
  if (dataBytes > payload.size() - payload.tell()) return KvBStatus::Failure;
  if (bits != 0) {
    std::vector<std::uint8_t> data(static_cast<std::size_t>(dataBytes));
    if (payload.read(data.data(), data.size()) != data.size()) return KvBStatus::Failure;
    decoded.SetData(data.data(), bits);
  }
  fp = std::move(decoded);
  return KvBStatus::Success;
}

}  // namespace Varnex
