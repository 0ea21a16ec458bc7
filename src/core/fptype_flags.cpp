// Names of atom and bond type flags, as they appear in fingerprint type
// strings ("AtmNum|Arom|Chiral", "Order|Chiral").

#include <string>

#include "kvsystem/namespace.h"
#include "varnex/fptype_flags.h"

namespace Varnex {
namespace {

using KvSystem::KvNamespaceInterface;

const KvNamespaceInterface& AtomTypeNames() {
  static const KvNamespaceInterface names = [] {
    using namespace KvFPAtomType;
    KvNamespaceInterface ns(KvSystem::KvNamespaceKind::Flags, "KvFPAtomType");
    ns.AddPrimitive("AtmNum", AtmNum);
    ns.AddPrimitive("Arom", Arom);
    ns.AddPrimitive("Chiral", Chiral);
    ns.AddPrimitive("FCharge", FCharge);
    ns.AddPrimitive("HvyDeg", HvyDeg);
    ns.AddPrimitive("Hyb", Hyb);
    ns.AddPrimitive("InRing", InRing);
    ns.AddPrimitive("EqHalo", EqHalo, "halogen atoms are equal");
    ns.AddPrimitive("EqArom", EqArom, "aromatic atoms are equal");
    ns.AddPrimitive("EqHBAcc", EqHBAcc, "hydrogen bond acceptor atoms are equal");
    ns.AddPrimitive("EqHBDon", EqHBDon, "hydrogen bond donor atoms are equal");
    ns.AddPrimitive("HCount", HCount);
    return ns;
  }();
  return names;
}

const KvNamespaceInterface& BondTypeNames() {
  static const KvNamespaceInterface names = [] {
    using namespace KvFPBondType;
    KvNamespaceInterface ns(KvSystem::KvNamespaceKind::Flags, "KvFPBondType");
    ns.AddPrimitive("Order", Order);
    ns.AddPrimitive("Chiral", Chiral);
    ns.AddPrimitive("InRing", InRing);
    return ns;
  }();
  return names;
}

// Named combinations, looked up before the flag names.
bool AtomCombination(const std::string& name, unsigned& value) {
  using namespace KvFPAtomType;
  if (name == "None") value = None;
  else if (name == "DefaultAtom" || name == "DefaultPathAtom") value = DefaultPathAtom;
  else if (name == "DefaultTreeAtom") value = DefaultTreeAtom;
  else if (name == "DefaultCircularAtom") value = DefaultCircularAtom;
  else return false;
  return true;
}

bool BondCombination(const std::string& name, unsigned& value) {
  using namespace KvFPBondType;
  if (name == "None") value = None;
  else if (name == "DefaultBond" || name == "DefaultPathBond") value = DefaultPathBond;
  else if (name == "DefaultTreeBond" || name == "DefaultCircularBond") value = DefaultTreeBond;
  else return false;
  return true;
}

std::string NameOf(const KvNamespaceInterface& ns, unsigned value) {
  return value == 0 ? std::string("None") : ns.GetName(value, "invalid");
}

// A name's value: a named combination, else flag names; 0 when unknown.
using Combination = bool (*)(const std::string&, unsigned&);
unsigned ValueOf(Combination combination, const KvNamespaceInterface& ns, const std::string& name) {
  unsigned value = 0;
  return combination(name, value) ? value : ns.GetValue(name, 0);
}

bool IsValidName(Combination combination, const KvNamespaceInterface& ns, const std::string& name) {
  unsigned value = 0;
  return combination(name, value) || ns.IsValid(name);
}

}  // namespace

std::string KvGetFPAtomType(unsigned atomType) { return NameOf(AtomTypeNames(), atomType); }
unsigned KvGetFPAtomType(const std::string& name) { return ValueOf(AtomCombination, AtomTypeNames(), name); }
bool KvIsValidFPAtomType(const std::string& name) { return IsValidName(AtomCombination, AtomTypeNames(), name); }

std::string KvGetFPBondType(unsigned bondType) { return NameOf(BondTypeNames(), bondType); }
unsigned KvGetFPBondType(const std::string& name) { return ValueOf(BondCombination, BondTypeNames(), name); }
bool KvIsValidFPBondType(const std::string& name) { return IsValidName(BondCombination, BondTypeNames(), name); }

const KvSystem::KvNamespaceInterface& KvGetFPAtomTypeNamespace() { return AtomTypeNames(); }
const KvSystem::KvNamespaceInterface& KvGetFPBondTypeNamespace() { return BondTypeNames(); }

}  // namespace Varnex
