// Name tables of the configuration parameters.

#include "config/config_namespaces.h"

#include "varnex/measures.h"

namespace Varnex::Config {

using KvSystem::KvNamespaceInterface;
using KvSystem::KvNamespaceKind::Enumeration;

const KvNamespaceInterface& FPTypeNamespace() {
  static const KvNamespaceInterface names = [] {
    KvNamespaceInterface ns(Enumeration, "KvFPType");
    ns.AddPrimitive("Path", 102);
    ns.AddPrimitive("Circular", 104);
    ns.AddPrimitive("Tree", 105);
    return ns;
  }();
  return names;
}

const KvNamespaceInterface& SimMeasureNamespace() {
  static const KvNamespaceInterface names = [] {
    KvNamespaceInterface ns(Enumeration, "KvSimMeasure");
    // In the order of the codes, 1 to 6.
    for (unsigned code = 1; const KvSimMeasureInfo* measure = KvFindSimMeasure(code); ++code)
      ns.AddPrimitive(measure->name, code);
    return ns;
  }();
  return names;
}

// The codes equal KvFastFPDatabaseMemoryType of the fast database front.
const KvNamespaceInterface& MemoryTypeNamespace() {
  static const KvNamespaceInterface names = [] {
    KvNamespaceInterface ns(Enumeration, "KvFastFPDatabaseMemoryType");
    ns.AddPrimitive("memory-mapped", 1);
    ns.AddPrimitive("in-memory", 2);
    ns.AddPrimitive("CUDA", 3);
    return ns;
  }();
  return names;
}

}  // namespace Varnex::Config
