// The names of fast database files: the extension, and the molecule file
// name as the header can hold it.
#pragma once

#include <cstdint>
#include <string>

#include "varnex/fptypes.h"

namespace Varnex {

// Whether `path` ends in ".fpbin" exactly (case-sensitive).
bool HasFastDatabaseExtension(const std::string& path);

// The molecule file name as a header of `count` records of `type` can hold
// it: the path unchanged when it has no line break and fits the header text;
// otherwise its base name with line breaks as '?', cut (at a UTF-8 character
// boundary) to what fits.
std::string HeaderSafeMolFilename(const std::string& molPath, const KvFPTypeBase* type, std::uint64_t count);

}  // namespace Varnex
