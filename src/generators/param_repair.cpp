#include "generators/param_repair.h"

#include "kvsystem/error.h"

namespace Varnex {

namespace {
constexpr unsigned kMinBits = 16;
constexpr unsigned kMaxBits = 65535;
}  // namespace

void KvRepairGraphParams(const char* name, KvGraphParams& params, const KvGraphParamDefaults& defaults,
                         const KvGraphParamMessages& messages) {
  auto* err = KvSystem::KvThrow();
  if (params.bits < kMinBits || params.bits > kMaxBits) {
    err->Warning(messages.bits, name, static_cast<int>(params.bits), static_cast<int>(defaults.bits));
    params.bits = defaults.bits;
  }
  if (params.min > defaults.maxDistance) {
    err->Warning(messages.min, name, static_cast<int>(params.min), static_cast<int>(defaults.min));
    params.min = defaults.min;
  }
  if (params.max > defaults.maxDistance) {
    err->Warning(messages.max, name, static_cast<int>(params.max), static_cast<int>(defaults.max));
    params.max = defaults.max;
  }
  if (params.min > params.max) {
    err->Warning(messages.minAboveMax, name, static_cast<int>(params.min), static_cast<int>(params.max));
    params.min = params.max;
  }
  if (params.atomFlags == 0 && params.bondFlags == 0) {
    err->Warning("%s : invalid to have both atom and bond types set to be None (default types are used)!", name);
    params.atomFlags = defaults.atomFlags;
    params.bondFlags = defaults.bondFlags;
  }
}

}  // namespace Varnex
