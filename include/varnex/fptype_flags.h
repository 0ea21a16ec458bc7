// Atom and bond type flags of the graph fingerprints and their names.
//
// A graph fingerprint type carries one atom and one bond flag set; the flags
// decide which properties of atoms and bonds the type numbers distinguish
// (see typing.h). Type strings write a flag set as the names of its flags
// joined by "|" ("AtmNum|Arom|Chiral", "Order|Chiral").
//
// Thread safety: the name functions are thread-safe (their tables are built
// once, on first use, and are read-only afterwards).
#pragma once

#include <string>

#include "kvsystem/namespace.h"

namespace Varnex {

// Atom type flags (an unsigned bit set).
namespace KvFPAtomType {
constexpr unsigned None = 0;
constexpr unsigned AtmNum = 1;     // element
constexpr unsigned Arom = 2;       // aromaticity
constexpr unsigned Chiral = 4;     // specified tetrahedral stereocentre
constexpr unsigned FCharge = 8;    // formal charge
constexpr unsigned HvyDeg = 16;    // heavy-atom degree
constexpr unsigned Hyb = 32;       // hybridisation
constexpr unsigned InRing = 64;    // ring membership
constexpr unsigned EqHalo = 128;   // halogen atoms are equal
constexpr unsigned EqArom = 256;   // aromatic atoms are equal
constexpr unsigned EqHBAcc = 512;  // hydrogen bond acceptor atoms are equal
constexpr unsigned EqHBDon = 1024; // hydrogen bond donor atoms are equal
constexpr unsigned HCount = 4096;  // total hydrogen count
// Named combinations.
constexpr unsigned DefaultPathAtom = AtmNum | Arom | Chiral | FCharge | HvyDeg | Hyb | EqHalo;  // 191
constexpr unsigned DefaultAtom = DefaultPathAtom;
constexpr unsigned DefaultTreeAtom = AtmNum | Arom | Chiral | FCharge | HvyDeg | Hyb;  // 63
constexpr unsigned DefaultCircularAtom = AtmNum | Arom | Chiral | FCharge | EqHalo | HCount;  // 4239
}  // namespace KvFPAtomType

// Bond type flags (an unsigned bit set).
namespace KvFPBondType {
constexpr unsigned None = 0;
constexpr unsigned Order = 1;   // bond order (aromatic bonds as one kind)
constexpr unsigned Chiral = 2;  // double bond with specified E/Z
constexpr unsigned InRing = 4;  // ring membership
// Named combinations.
constexpr unsigned DefaultPathBond = Order | Chiral;  // 3
constexpr unsigned DefaultBond = DefaultPathBond;
constexpr unsigned DefaultTreeBond = Order;      // 1
constexpr unsigned DefaultCircularBond = Order;  // 1
}  // namespace KvFPBondType

// The name of an atom type value: "None" for 0, the names of the set flags
// joined by "|" ("AtmNum|Arom|..."), "invalid" when no known flag is set.
std::string KvGetFPAtomType(unsigned atomType);
// The value of an atom type name: a named combination ("DefaultPathAtom",
// "None", ...) or a flag name or "|"-joined flag names; 0 when unknown.
unsigned KvGetFPAtomType(const std::string& name);
// Whether `name` is a named combination or a valid atom type name.
bool KvIsValidFPAtomType(const std::string& name);

// The bond equivalents of the three functions above.
std::string KvGetFPBondType(unsigned bondType);
unsigned KvGetFPBondType(const std::string& name);
bool KvIsValidFPBondType(const std::string& name);

// The flag namespaces behind the names above ("KvFPAtomType", "KvFPBondType"):
// process-wide, built on first use, read-only.
const KvSystem::KvNamespaceInterface& KvGetFPAtomTypeNamespace();
const KvSystem::KvNamespaceInterface& KvGetFPBondTypeNamespace();

}  // namespace Varnex
