// Type numbers of atoms and bonds for the hashed graph fingerprints.
//
// Every property that counts multiplies the atom's number by its own prime
// (or a power of it), so that different combinations of properties give
// different numbers: the element chooses a prime of its own from 179 upwards,
// charge, degree, hybridisation, ring, aromaticity, chirality and hydrogen
// count take powers of the small primes 2, 3, 5, 7, 11, 13 and 17.

#include <array>
#include <cstdint>

#include "generators/typing_internal.h"
#include "kvchem/perception.h"
#include "kvchem/predicates.h"
#include "varnex/typing.h"

namespace Varnex {
namespace {

using KvChem::KvAtomBase;
using KvChem::KvBondBase;

constexpr bool IsPrime(unsigned n) {
  if (n < 2) return false;
  for (unsigned d = 2; d * d <= n; ++d)
    if (n % d == 0) return false;
  return true;
}

// The element primes: entry z is the z-th prime from 181 upwards, leaving out
// the primes that the common elements C, N, O, F, P, S and Cl own. Atomic
// numbers above the table's end share its last entry.
constexpr unsigned kNumElementPrimes = 133;
constexpr std::array<unsigned, kNumElementPrimes> MakeElementPrimes() {
  std::array<unsigned, kNumElementPrimes> table{};
  unsigned n = 181;
  for (unsigned z = 0; z < kNumElementPrimes; ++n) {
    if (!IsPrime(n)) continue;
    if (n == 283 || n == 419 || n == 547 || n == 661 || n == 811 || n == 947) continue;
    table[z++] = n;
  }
  return table;
}
constexpr std::array<unsigned, kNumElementPrimes> kElementPrimes = MakeElementPrimes();
static_assert(kElementPrimes[0] == 181 && kElementPrimes[1] == 191 && kElementPrimes[2] == 193);
static_assert(kElementPrimes[18] == 281 && kElementPrimes[19] == 293 && kElementPrimes[132] == 1069);

constexpr unsigned ElementPrime(unsigned z) {
  switch (z) {
    case 6: return 179;
    case 7: return 283;
    case 8: return 947;
    case 9: return 419;
    case 15: return 547;
    case 16: return 811;
    case 17: return 661;
    default: return kElementPrimes[z < kNumElementPrimes ? z : kNumElementPrimes - 1];
  }
}

constexpr unsigned ChargeFactor(int charge) {
  switch (charge) {
    case -4: return 128;
    case -3: return 32;
    case -2: return 8;
    case -1: return 2;
    case 0: return 1;
    case 1: return 4;
    case 2: return 16;
    case 3: return 64;
    case 4: return 256;
    default: return 512;
  }
}

constexpr std::array<unsigned, 7> kPow3 = {1, 3, 9, 27, 81, 243, 729};
constexpr std::array<unsigned, 7> kPow5 = {1, 5, 25, 125, 625, 3125, 15625};
constexpr std::array<unsigned, 5> kPow17 = {1, 17, 289, 4913, 83521};

// Hydrogen-bond classes replacing the element prime.
constexpr unsigned kDonorOnly = 6859;   // 19^3
constexpr unsigned kAccAndDon = 19;
constexpr unsigned kAcceptorOnly = 361; // 19^2

unsigned AtomValue(const KvAtomBase& atom, unsigned flags) {
  using namespace KvFPAtomType;
  std::uint32_t v = 1;
  if (flags & AtmNum) {
    unsigned z = atom.GetAtomicNum();
    if ((flags & EqHalo) && (z == 17 || z == 35 || z == 53)) z = 9;
    if ((flags & EqArom) && atom.IsAromatic()) z = 6;
    bool hbClass = false;
    if ((flags & (EqHBAcc | EqHBDon)) && z != 6) {
      const bool acc = (flags & EqHBAcc) && Typing::IsHBondAcceptor(atom);
      const bool don = (flags & EqHBDon) && Typing::IsHBondDonor(atom);
      if (acc || don) {
        v = acc && don ? kAccAndDon : don ? kDonorOnly : kAcceptorOnly;
        hbClass = true;
      }
    }
    if (!hbClass) v = ElementPrime(z);
  }
  if (flags & FCharge) v *= ChargeFactor(atom.GetFormalCharge());
  if (flags & HvyDeg) {
    const unsigned d = atom.GetHeavyDegree();
    v *= kPow3[d < 6 ? d : 6];
  }
  if (flags & Hyb) {
    const unsigned h = atom.GetHybridization();
    v *= kPow5[h < 6 ? h : 6];
  }
  if ((flags & InRing) && atom.IsInRing()) v *= 7;
  if ((flags & Arom) && atom.IsAromatic()) v *= 11;
  if ((flags & Chiral) && atom.IsChiral()) v *= 13;
  if (flags & HCount) {
    const unsigned h = atom.GetTotalHCount();
    v *= kPow17[h < 4 ? h : 4];
  }
  return v;
}

unsigned BondValue(const KvBondBase& bond, unsigned flags) {
  using namespace KvFPBondType;
  std::uint32_t v = 1;
  if (flags & Order) {
    if (bond.IsAromatic()) {
      v = 151;
    } else {
      switch (bond.GetOrder()) {
        case 0: v = 127; break;
        case 1: v = 131; break;
        case 2: v = 137; break;
        case 3: v = 139; break;
        case 4: v = 149; break;
        default: v = 157; break;  // orders the toolkit may add later
      }
    }
  }
  if ((flags & InRing) && bond.IsInRing()) v *= 73;
  if ((flags & Chiral) && bond.IsChiral()) v *= 79;
  return v;
}

}  // namespace

namespace Typing {

bool IsHBondDonor(const KvAtomBase& atom) {
  const unsigned z = atom.GetAtomicNum();
  if (z != 7 && z != 8 && z != 16) return false;
  return atom.GetTotalHCount() > 0;
}

bool IsHBondAcceptor(const KvAtomBase& atom) {
  const unsigned z = atom.GetAtomicNum();
  if (z != 7 && z != 8 && z != 16) return false;
  bool multiple = false;
  bool aromaticBond = false;
  for (const KvBondBase* bond : atom.GetBonds()) {
    const bool aromatic = bond->IsAromatic();
    if (aromatic || bond->GetOrder() != 1) multiple = true;
    if (aromatic) aromaticBond = true;
  }
  const int charge = atom.GetFormalCharge();
  static const KvChem::KvHasAlphaBetaUnsat alphaBetaUnsat(true);
  switch (z) {
    case 7:
      if (atom.IsAromatic()) return atom.GetDegree() == 2 && charge <= 0;
      if (atom.GetValence() >= 4) return false;
      if (charge >= 0 && alphaBetaUnsat(atom)) return false;
      return true;
    case 8:
      if (charge < 0) return true;
      if (charge > 0) return false;
      return !aromaticBond && !alphaBetaUnsat(atom);
    default:  // sulfur
      return multiple && !aromaticBond && atom.GetDegree() == 1;
  }
}

void PerceiveForTyping(KvChem::KvMolBase& mol, unsigned atomFlags, unsigned bondFlags) {
  if (atomFlags & KvFPAtomType::Hyb) KvChem::KvAssignHybridization(mol);
  if ((atomFlags & KvFPAtomType::Chiral) || (bondFlags & KvFPBondType::Chiral)) KvChem::KvPerceiveChiral(mol, false);
}

void TypeNumbers(std::vector<unsigned>& atomTypes, std::vector<unsigned>& bondTypes, const KvChem::KvMolBase& mol,
                 unsigned atomFlags, unsigned bondFlags) {
  atomTypes.assign(mol.GetMaxAtomIdx(), 0);
  bondTypes.assign(mol.GetMaxBondIdx(), 0);
  for (const KvAtomBase* atom : mol.Atoms()) atomTypes[atom->GetIdx()] = AtomValue(*atom, atomFlags);
  for (const KvBondBase* bond : mol.Bonds()) bondTypes[bond->GetIdx()] = BondValue(*bond, bondFlags);
}

}  // namespace Typing

void KvGetFingerprintAtomTypes(std::vector<unsigned>& atomTypes, std::vector<unsigned>& bondTypes,
                               KvChem::KvMolBase& mol, unsigned atomFlags, unsigned bondFlags) {
  Typing::PerceiveForTyping(mol, atomFlags, bondFlags);
  Typing::TypeNumbers(atomTypes, bondTypes, mol, atomFlags, bondFlags);
}

}  // namespace Varnex
