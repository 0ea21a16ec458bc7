#include "kvsystem/call_context.h"

namespace KvSystem {
namespace {
thread_local KvCallContext* tContext = nullptr;
}  // namespace

KvCallContext* KvCurrentCallContext() { return tContext; }

bool KvCancelRequested() { return tContext != nullptr && tContext->IsCancelled(); }

KvScopedCallContext::KvScopedCallContext(KvCallContext* context) : previous_(tContext) { tContext = context; }
KvScopedCallContext::~KvScopedCallContext() { tContext = previous_; }

}  // namespace KvSystem
