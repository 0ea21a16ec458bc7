// The table of fingerprint kinds.
//
// One entry per kind says everything the library needs to know about the
// kind apart from its generator: its code, type string prefix and current
// version, which parameters its types carry and how they are packed into the
// parameter word, its default and VS parameters, and its size. Type strings,
// default types, binary type blocks, configuration and the databases all read
// this table instead of switching over kind codes.
//
// Thread safety: the table is a constant; every function here is
// thread-safe.
#pragma once

#include <cstdint>
#include <span>

#include "varnex/fptypes.h"

namespace Varnex {

// The generation parameters of a graph type (see KvMakeFPParameterWord).
struct KvFPGraphParams {
  unsigned bits = 0;  // always 0 for the unhashed kinds
  unsigned minimum = 0;
  unsigned maximum = 0;
  unsigned atomTypes = 0;
  unsigned bondTypes = 0;
};

// What the types of a kind carry besides their version.
enum class KvFPParamLayout {
  VersionOnly,  // MACCS166, Lingo: nothing
  Hashed,       // Path, Tree, Circular: size, distance range, atom and bond types
  Unhashed,     // the unhashed kinds: distance range, atom and bond types
};

// One kind. Fields not given in the table are 0, null or false.
struct KvFPKind {
  unsigned code = 0;             // the KvFPType code
  unsigned legacyCode = 0;       // the older code of the kind (KvFPType::Legacy...), or 0
  const char* prefix = nullptr;  // first entry of the type string
  unsigned short version = 0;    // current version
  KvFPParamLayout layout = KvFPParamLayout::VersionOnly;
  const char* distanceKey = nullptr;  // key of the distance range ("bonds", "radius")
  // Parameter word bits the fields may use (bits 40-43 and 60-63 never, the
  // size field only for hashed kinds); other bits are reported with
  // `strayMessage`.
  std::uint64_t wordMask = 0;
  const char* strayMessage = nullptr;
  // The size of every fingerprint of the kind when it is fixed (MACCS166:
  // 166); 0 when the type has a size parameter or the size varies with the
  // molecule (Lingo and unhashed kinds store text).
  unsigned fixedBits = 0;
  KvFPGraphParams defaults = {};  // parameters of the default type (graph kinds)
  bool hasVS = false;             // Path, Tree, Circular have VS types
  KvFPGraphParams vs[2] = {};     // parameters of the VS types of VS versions 1 and 2
  // The registry type of the kind for a version and parameters; VersionOnly
  // kinds ignore the parameters, unhashed kinds the size.
  const KvFPTypeBase* (*intern)(unsigned short version, const KvFPGraphParams& params) = nullptr;

  bool IsGraph() const { return layout != KvFPParamLayout::VersionOnly; }
  // The kind's default type at its current version.
  const KvFPTypeBase* DefaultType() const { return intern(version, defaults); }
};

// Every kind, in the order in which type strings are matched against the
// prefixes: MACCS166, Lingo, Path, Circular, Tree, UHPath, UHCircular, UHTree.
std::span<const KvFPKind> KvGetFPKinds();

// The kind of a (current) code; null for legacy and unknown codes.
const KvFPKind* KvFindFPKind(unsigned code);

// Reports the kind's stray-bit message when `type`'s parameter word has bits
// outside the kind's fields. True when it had such bits.
bool KvReportStrayParameterBits(const KvFPGraphTypeBase& type);

}  // namespace Varnex
