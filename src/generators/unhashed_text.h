// Writing the stored text of the unhashed fingerprints (layout in
// include/varnex/unhashedfp.h).
#pragma once

#include <set>
#include <string>

#include "varnex/fingerprint.h"

namespace Varnex {

// Replaces fp's bits with the stored text of `ids` (ascending, distinct);
// `extraZero` appends the further zero byte of the unhashed path kind. The
// type is not touched.
void KvSetUnhashedText(KvFingerPrint& fp, const std::set<std::string>& ids, bool extraZero);

}  // namespace Varnex
