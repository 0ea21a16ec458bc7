// Fingerprint and search settings as command-line parameters.
//
// The configure functions add a named group of parameters to a
// KvSystem::KvInterface, with defaults taken from a fingerprint type or
// search options; the setup functions read the parameters back. Problems are
// warned through KvThrow and end in false, null or 0.
//
// Thread safety: the functions change only the interface and options given;
// the name tables they use are built once and read-only.
#pragma once

#include <string>

#include "kvsystem/parameters.h"
#include "varnex/dboptions.h"
#include "varnex/fptypes.h"

namespace Varnex {

// Adds the child group "fingerprint options" with "-fptype", "-numbits",
// "-mindistance", "-maxdistance", "-atomtype" and "-bondtype", defaults from
// `type`. Only path, circular and tree types; false with a warning otherwise.
bool KvConfigureFingerPrint(KvSystem::KvInterface& itf, const KvFPTypeBase* type);
// The path, circular or tree type the fingerprint parameters describe (tree
// by default); null with a warning for an invalid kind or typing. The type
// belongs to the library.
const KvFPTypeBase* KvSetupFingerPrint(const KvSystem::KvInterface& itf);

// Adds the child group "fingerprint database search options" with "-limit",
// "-simfunc", "-cutoff" and "-descending", defaults from `options`.
bool KvConfigureFPDatabaseOptions(KvSystem::KvInterface& itf, const KvFPDatabaseOptions& options);
// As above with fixed defaults, only the parameters selected by `mask`:
// 1 "-limit" (10), 2 "-simfunc" ("Tanimoto"), 4 "-cutoff" (no default).
bool KvConfigureFPDatabaseOptions(KvSystem::KvInterface& itf, unsigned int mask);
// Fills `options` from the search parameters that have values; always true.
bool KvSetupFPDatabaseOptions(KvFPDatabaseOptions& options, const KvSystem::KvInterface& itf);

// Adds the child group "fingerprint database options" with one string
// parameter `name` (alias `alias`) naming a fast database memory type
// ("memory-mapped" 1, "in-memory" 2, "CUDA" 3), default the name of `memoryType`.
bool KvConfigureFPDatabaseMemoryType(KvSystem::KvInterface& itf, unsigned int memoryType, const std::string& name,
                                     const std::string& alias);
// The memory type named by the string parameter `name`; 0 for an unknown name
// and, with a warning, for a missing, unset or non-string parameter.
unsigned int KvGetFPDatabaseMemoryType(KvSystem::KvInterface& itf, const std::string& name);

}  // namespace Varnex
