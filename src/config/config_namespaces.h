// Name tables of the configuration parameters: fingerprint kinds, similarity
// measures and fast database memory types. Built once, read-only.
#pragma once

#include "kvsystem/namespace.h"

namespace Varnex::Config {

// "KvFPType": "Path" 102, "Circular" 104, "Tree" 105.
const KvSystem::KvNamespaceInterface& FPTypeNamespace();
// "KvSimMeasure": "Tanimoto" 1 ... "Manhattan" 6, an enumeration.
const KvSystem::KvNamespaceInterface& SimMeasureNamespace();
// "KvFastFPDatabaseMemoryType": "memory-mapped" 1, "in-memory" 2, "CUDA" 3.
const KvSystem::KvNamespaceInterface& MemoryTypeNamespace();

}  // namespace Varnex::Config
