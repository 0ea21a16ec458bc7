// Atom and bond typing of the graph fingerprints.
//
// The path, tree and circular fingerprints hash the type numbers of atoms and
// bonds rather than the atoms and bonds themselves. A set of flags decides
// which properties count (element, aromaticity, charge, ring membership, ...)
// and which atoms are made equal (halogens, aromatic atoms, hydrogen-bond
// donors and acceptors). This header holds the flag values, the conversion
// between flag values and the names used in fingerprint type strings, and the
// per-molecule computation of type numbers and SMARTS-like type strings.
//
// Thread safety: the name functions are thread-safe (their tables are built
// once, on first use, and are read-only afterwards). The typing functions
// change only the molecule and the arrays they are given.
#pragma once

#include <string>
#include <vector>

#include "kvchem/mol.h"
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

// Computes the type number of every atom and bond of `mol` under the given
// flags: atomTypes[atom index], bondTypes[bond index], resized to the
// molecule's index bounds. May run perception (hybridisation, chirality) on
// `mol`; pass a private, prepared copy (see KvPrepareForFingerprinting).
void KvGetFingerprintAtomTypes(std::vector<unsigned>& atomTypes, std::vector<unsigned>& bondTypes,
                               KvChem::KvMolBase& mol, unsigned atomFlags, unsigned bondFlags);
// The same as SMARTS-like atom and bond expressions ("[#7;R]", "c", "-!@").
void KvGetFingerprintAtomTypes(std::vector<std::string>& atomTypes, std::vector<std::string>& bondTypes,
                               KvChem::KvMolBase& mol, unsigned atomFlags, unsigned bondFlags);

}  // namespace Varnex
