// Type strings of atoms and bonds: SMARTS-like expressions that describe what
// the type numbers distinguish, used to show the patterns behind bits.

#include <cstdlib>
#include <string>

#include "generators/typing_internal.h"
#include "kvchem/perception.h"
#include "varnex/typing.h"

namespace Varnex {
namespace {

using KvChem::KvAtomBase;
using KvChem::KvBondBase;

std::string AtomString(const KvAtomBase& atom, unsigned flags) {
  using namespace KvFPAtomType;
  const unsigned z = atom.GetAtomicNum();
  std::string e;
  std::string q;
  bool donorClass = false;
  if (!(flags & AtmNum)) {
    e.append((flags & Arom) ? (atom.IsAromatic() ? "a" : "A") : "*");
  } else if ((flags & EqHalo) && (z == 9 || z == 17 || z == 35 || z == 53)) {
    e.append("F,Cl,Br,I");
  } else if ((flags & EqArom) && atom.IsAromatic() && (z == 6 || z == 7 || z == 16)) {
    e.append("c,n,s");
  } else {
    bool acc = false;
    bool don = false;
    if ((flags & (EqHBAcc | EqHBDon)) && z != 6) {
      acc = (flags & EqHBAcc) && Typing::IsHBondAcceptor(atom);
      don = (flags & EqHBDon) && Typing::IsHBondDonor(atom);
    }
    if (acc || don) {
      e.append("#7,#8,#16");
      if (acc && don) {
        q.append(";!h0,!$([o,s,nX3,#7v5,#16v4,*+1])");
      } else if (acc) {
        q.append(";!$([o,s,nX3,#7v5,#16v4,*+1])");
      } else {
        q.append(";!h0");
      }
      donorClass = don;
    } else if (flags & Arom) {
      e = KvChem::KvGetAtomicSymbol(z);
      if (atom.IsAromatic() && !e.empty() && e[0] >= 'A' && e[0] <= 'Z') e[0] = static_cast<char>(e[0] - 'A' + 'a');
    } else {
      e.append("#").append(std::to_string(z));
    }
  }
  if (flags & FCharge) {
    const int charge = atom.GetFormalCharge();
    if (charge != 0) {
      q += charge > 0 ? '+' : '-';
      if (std::abs(charge) > 1) q += std::to_string(std::abs(charge));
    }
  }
  if (flags & InRing) q += atom.IsInRing() ? ";R" : ";R0";
  if (flags & HvyDeg) q += ";D" + std::to_string(atom.GetHeavyDegree());
  if (flags & Hyb) {
    const unsigned h = atom.GetHybridization();
    if (h >= 1 && h <= 5) q += ";^" + std::to_string(h);
  }
  if ((flags & HCount) && !donorClass) {
    const unsigned h = atom.GetTotalHCount();
    if (h <= 4) q += ";h" + std::to_string(h);
  }
  if (e.size() < 2 && q.empty()) return e;
  std::string bracketed;
  bracketed.reserve(e.size() + q.size() + 2);
  bracketed.append("[").append(e).append(q).append("]");
  return bracketed;
}

std::string BondString(const KvBondBase& bond, unsigned flags) {
  using namespace KvFPBondType;
  const char* order = "";
  if (!(flags & Order)) {
    order = "~";
  } else if (bond.IsAromatic()) {
    order = ":";
  } else {
    switch (bond.GetOrder()) {
      case 1: order = "-"; break;
      case 2: order = "="; break;
      case 3: order = "#"; break;
      case 4: order = "$"; break;
      default: break;
    }
  }
  std::string s(order);
  if (flags & InRing) s.append(bond.IsInRing() ? "@" : "!@");
  return s;
}

}  // namespace

void Typing::TypeStrings(std::vector<std::string>& atomTypes, std::vector<std::string>& bondTypes,
                         const KvChem::KvMolBase& mol, unsigned atomFlags, unsigned bondFlags) {
  atomTypes.assign(mol.GetMaxAtomIdx(), std::string());
  bondTypes.assign(mol.GetMaxBondIdx(), std::string());
  for (const KvAtomBase* atom : mol.Atoms()) atomTypes[atom->GetIdx()] = AtomString(*atom, atomFlags);
  for (const KvBondBase* bond : mol.Bonds()) bondTypes[bond->GetIdx()] = BondString(*bond, bondFlags);
}

void KvGetFingerprintAtomTypes(std::vector<std::string>& atomTypes, std::vector<std::string>& bondTypes,
                               KvChem::KvMolBase& mol, unsigned atomFlags, unsigned bondFlags) {
  Typing::PerceiveForTyping(mol, atomFlags, bondFlags);
  Typing::TypeStrings(atomTypes, bondTypes, mol, atomFlags, bondFlags);
}

}  // namespace Varnex
