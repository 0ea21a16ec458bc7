// The type block of the binary fingerprint forms, for any kind: the
// parameter word of the hashed graph kinds, nothing for MACCS166 and Lingo.
// The unhashed kinds have no binary form.
#pragma once

#include "kvsystem/streams.h"
#include "varnex/fingerprint.h"

namespace Varnex {

// Writes the type block of fp's kind. False, nothing written, for an untyped
// fingerprint or a kind without a binary form.
[[nodiscard]] bool WriteFPTypeBlock(KvSystem::kvostream& out, const KvFingerPrint& fp);

// Reads the type block of the (current) kind `code` and gives fp the registry
// type of `version` and the block. False, fp untouched, for a kind without a
// binary form or a block shorter than the kind's.
[[nodiscard]] bool ReadFPTypeBlock(KvSystem::kvistream& in, unsigned code, unsigned short version, KvFingerPrint& fp);

}  // namespace Varnex
