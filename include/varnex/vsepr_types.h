// VSEPR atom types.
//
// A VSEPR type is a small integer that combines an atom's element, hydrogen
// count, formal charge, number of heavy neighbours and electron-pair geometry
// (steric number: bonded neighbours plus lone pairs); aromatic atoms have
// types of their own. Two type spaces are offered as namespaces of free
// functions:
//   VSEPRAroType        165 types, ids 0 .. 164, invalid id 165;
//   VSEPRAroStereoType  the same 165 types plus ":R" and ":S" variants of 18
//                       stereo-capable types, ids 0 .. 200, invalid id 201.
// Ids 0 .. 164 have the same names and properties in both spaces. Every id,
// the invalid ones included, is below 256.
//
// Names read: element, "H<n>" (hydrogens 1 to 5, absent for none), charge
// signs ("-", "+", "++"), ":", degree word (Primary, Secondary, Tertiary,
// Quatenary, HvyDegree5, HvyDegree6), geometry word (Sp1, Sp2, Sp3, Sp3d,
// Sp3d2, or Aro for aromatic atoms) and, in the stereo space, ":R" or ":S".
// Example: "CH3:PrimarySp3" (6), "CH1:SecondaryAro" (150, a benzene carbon).
//
// Thread safety: every function is pure over constant tables and may be
// called from any thread. KvIsType objects are immutable after construction.
#pragma once

#include <memory>
#include <string>

#include "kvchem/mol.h"
#include "kvsystem/functional.h"

namespace Varnex {

namespace VSEPRAroType {

inline constexpr unsigned kNumTypes = 165;
inline constexpr unsigned kInvalidType = 165;

// The atom's type: its element (C, N, O, F, P, S, Cl, Br or I), heavy
// valence, heavy degree, total hydrogen count, formal charge and aromatic flag
// must all equal those of one type; otherwise 165. Hydrogen atoms and atoms
// without heavy neighbours have no type.
unsigned GetType(const KvChem::KvAtomBase& atom);
// The id whose name equals `name` exactly (case-sensitive), or 165.
unsigned GetType(const std::string& name);
// The name of a type; "INVALID" for an id at or above 165.
std::string GetName(unsigned type);

// Properties of a type. An id at or above 165 is reported at error level
// ("VSEPRAroType::GetCharge : Invalid VSEPRAroType <id>" and so on) and gives 0
// (false). GetDegree and GetValence report through the two accessors they add.
unsigned GetAtomicNumber(unsigned type);
int GetCharge(unsigned type);
unsigned GetHeavyDegree(unsigned type);   // non-hydrogen neighbours
unsigned GetHydrogenCount(unsigned type);
unsigned GetHeavyValence(unsigned type);  // sum of bond orders to heavy neighbours
unsigned GetLPCount(unsigned type);       // lone pairs
bool GetAromatic(unsigned type);          // true for ids 147 .. 164
unsigned GetDegree(unsigned type);        // GetHeavyDegree + GetHydrogenCount
unsigned GetValence(unsigned type);       // GetHeavyValence + GetHydrogenCount

// A new predicate that is true for atoms of the given type (the same test as
// GetType(atom) == type). The caller owns it. An invalid id is reported
// through the accessors and gives a predicate of zeros.
KvSystem::KvUnaryPredicate<KvChem::KvAtomBase>* CreatePredicate(unsigned type);

// An atom predicate for one type; holds CreatePredicate(type). Copies clone
// the inner predicate.
class KvIsType final : public KvSystem::KvUnaryPredicate<KvChem::KvAtomBase> {
 public:
  explicit KvIsType(unsigned type);
  KvIsType(const KvIsType& other);
  KvIsType& operator=(const KvIsType& other);
  KvIsType(KvIsType&& other) noexcept;
  KvIsType& operator=(KvIsType&& other) noexcept;
  ~KvIsType() override;

  // False for a moved-from predicate.
  bool operator()(const KvChem::KvAtomBase& atom) const override;
  // A heap copy owned by the caller.
  KvIsType* CreateCopy() const override;

 private:
  KvIsType() = default;
  std::unique_ptr<KvSystem::KvUnaryPredicate<KvChem::KvAtomBase>> inner_;
};

}  // namespace VSEPRAroType

namespace VSEPRAroStereoType {

inline constexpr unsigned kNumTypes = 201;
inline constexpr unsigned kInvalidType = 201;

// The VSEPRAroType of the atom, refined by its tetrahedral configuration: the
// stereo query of kind 57 is asked with the atom's neighbours (hydrogen atoms
// included) ordered by their VSEPRAroType id, ties kept in the molecule's
// neighbour order. A stereo-capable type gives its ":R" variant for answer 2
// and its ":S" variant for answer 3; any other type with a non-zero answer,
// and any atom without a VSEPRAroType, gives 201.
unsigned GetType(const KvChem::KvAtomBase& atom);
// The id whose name equals `name` exactly (case-sensitive), or 201.
unsigned GetType(const std::string& name);
// The name of a type; "INVALID" for an id at or above 201.
std::string GetName(unsigned type);

// As in VSEPRAroType, for ids 0 .. 200; an id at or above 201 is reported
// ("VSEPRAroStereoType::GetCharge : Invalid VSEPRAroStereoType <id>" ...)
// and gives 0 (false).
unsigned GetAtomicNumber(unsigned type);
int GetCharge(unsigned type);
unsigned GetHeavyDegree(unsigned type);
unsigned GetHydrogenCount(unsigned type);
unsigned GetHeavyValence(unsigned type);
unsigned GetLPCount(unsigned type);
bool GetAromatic(unsigned type);
unsigned GetDegree(unsigned type);
unsigned GetValence(unsigned type);
// 0 for ids 0 .. 164, 2 for ":R" types, 3 for ":S" types.
unsigned GetStereo(unsigned type);

// A new predicate that is true for atoms of the given type: the six values
// of the type and, when they match, the stereo answer derived as in
// GetType(atom) (so it is the same test as GetType(atom) == type). The caller
// owns it. An invalid id gives a predicate of zeros.
KvSystem::KvUnaryPredicate<KvChem::KvAtomBase>* CreatePredicate(unsigned type);

// An atom predicate for one type; holds CreatePredicate(type). Copies clone
// the inner predicate.
class KvIsType final : public KvSystem::KvUnaryPredicate<KvChem::KvAtomBase> {
 public:
  explicit KvIsType(unsigned type);
  KvIsType(const KvIsType& other);
  KvIsType& operator=(const KvIsType& other);
  KvIsType(KvIsType&& other) noexcept;
  KvIsType& operator=(KvIsType&& other) noexcept;
  ~KvIsType() override;

  // False for a moved-from predicate.
  bool operator()(const KvChem::KvAtomBase& atom) const override;
  // A heap copy owned by the caller.
  KvIsType* CreateCopy() const override;

 private:
  KvIsType() = default;
  std::unique_ptr<KvSystem::KvUnaryPredicate<KvChem::KvAtomBase>> inner_;
};

}  // namespace VSEPRAroStereoType

}  // namespace Varnex
