// Repair of out-of-range graph fingerprint parameters, shared by the path,
// tree and circular generators: each out-of-range value is reported with the
// generator's own message and replaced by its default.
#pragma once

namespace Varnex {

// The parameters of one generation call, repaired in place.
struct KvGraphParams {
  unsigned bits;
  unsigned min;
  unsigned max;
  unsigned atomFlags;
  unsigned bondFlags;
};

// What a generator accepts and falls back to.
struct KvGraphParamDefaults {
  unsigned bits;
  unsigned min;
  unsigned max;
  unsigned maxDistance;  // largest accepted min or max
  unsigned atomFlags;
  unsigned bondFlags;
};

// The generator's printf formats; each takes the generator's name first.
// bits, min and max take (name, value, default); minAboveMax (name, min, max).
struct KvGraphParamMessages {
  const char* bits;
  const char* min;
  const char* max;
  const char* minAboveMax;
};

// Sizes from 16 to 65535 bits are accepted. Reports through KvThrow().
void KvRepairGraphParams(const char* name, KvGraphParams& params, const KvGraphParamDefaults& defaults,
                         const KvGraphParamMessages& messages);

}  // namespace Varnex
