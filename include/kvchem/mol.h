// Molecules, atoms and bonds of the chemistry layer.
//
// A KvMolBase owns its graph (held by an RDKit molecule behind a pimpl) and
// one KvAtomBase / KvBondBase object per atom and bond. Atom and bond objects
// are owned by their molecule and stay valid until the molecule is destroyed
// or an edit (DeleteAtom) renumbers it; indices are dense, 0 .. count - 1.
//
// Every atom, bond and molecule carries attached data (KvSystem::KvBase);
// copying a molecule copies the data of the molecule, its atoms and bonds.
//
// Perception state: the molecule records which perceptions have run (the
// KvPerception flags) and forgets them on every edit, so that preparation of
// an already prepared molecule costs almost nothing.
//
// Thread safety: const operations may run concurrently on one molecule as long
// as no thread edits it or runs perception on it. Distinct molecules are
// independent.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "kvsystem/base.h"
#include "kvsystem/functional.h"
#include "kvsystem/iterator.h"

namespace KvChem {

class KvMolBase;
class KvAtomBase;
class KvBondBase;
struct KvMolImpl;  // internal: the RDKit molecule and the wrapper tables

using KvAtomPredicate = KvSystem::KvUnaryPredicate<KvAtomBase>;

// Perception flags answered by KvMolBase::HasPerceived.
namespace KvPerception {
constexpr unsigned Rings = 1;           // ring atoms and bonds found
constexpr unsigned Aromaticity = 2;     // aromatic flags assigned
constexpr unsigned Hybridization = 4;   // hybridisation assigned
constexpr unsigned Chirality = 8;       // tetrahedral and double-bond stereo perceived
constexpr unsigned Symmetry = 16;       // symmetry classes perceived
constexpr unsigned StereoSymmetry = 32; // ... with stereo telling classes apart
// What a molecule read from text or a file has perceived.
constexpr unsigned Read = Rings | Aromaticity | Hybridization | Chirality;
}  // namespace KvPerception

// The name of the tag under which a molecule records its aromaticity model as
// KvBaseDataT<unsigned>.
inline constexpr const char* kKvAromaticityModelTag = "KvAromaticityModel";

// Hybridisation values, in SMARTS ^n numbering.
namespace KvHybridization {
constexpr unsigned Unknown = 0, Sp = 1, Sp2 = 2, Sp3 = 3, Sp3d = 4, Sp3d2 = 5;
}

// An atom. Owned by its molecule; handed out by pointer.
class KvAtomBase : public KvSystem::KvBase {
 public:
  KvAtomBase(const KvAtomBase&) = delete;
  KvAtomBase& operator=(const KvAtomBase&) = delete;

  unsigned GetIdx() const { return idx_; }
  KvMolBase* GetParent() const { return parent_; }

  unsigned GetAtomicNum() const;
  int GetFormalCharge() const;
  // Hydrogens carried by the atom itself (not as hydrogen atoms): RDKit's
  // implicit plus explicit hydrogen count.
  unsigned GetImplicitHCount() const;
  // Sets the hydrogens carried by the atom; an edit (clears perception state).
  void SetImplicitHCount(unsigned count);
  // Carried hydrogens plus neighbouring hydrogen atoms.
  unsigned GetTotalHCount() const;
  // Number of neighbour atoms, hydrogen atoms included.
  unsigned GetDegree() const;
  // Number of neighbour atoms that are not hydrogen.
  unsigned GetHeavyDegree() const;
  // Sum of bond orders plus all hydrogens (RDKit's total valence).
  unsigned GetValence() const;
  // Sum of the orders of the bonds to non-hydrogen neighbours, aromatic bonds
  // counted in a Kekulé form (a benzene CH has 3, a pyrrole NH 2, a
  // naphthalene fusion carbon 4). The Kekulé form is computed once per
  // molecule on first use (thread-safe); when none exists, each aromatic bond
  // counts 1.5 and the sum is rounded half up.
  unsigned GetHeavyValence() const;
  // KvHybridization value; 0 until hybridisation is assigned.
  unsigned GetHybridization() const;
  bool IsAromatic() const;
  bool IsInRing() const;
  // A tetrahedral stereocentre with a specified configuration (parsing and
  // KvPerceiveChiral drop marks on atoms that are not stereocentres).
  bool IsChiral() const;
  bool IsHydrogen() const { return GetAtomicNum() == 1; }
  bool IsHalogen() const;  // F, Cl, Br, I, At
  bool IsCarbon() const { return GetAtomicNum() == 6; }
  bool IsNitrogen() const { return GetAtomicNum() == 7; }
  bool IsSulfur() const { return GetAtomicNum() == 16; }
  // 1 + canonical rank without tie breaking; 0 until symmetry is perceived.
  unsigned GetSymmetryClass() const;

  // Bonds and neighbours in the molecule's neighbour-list order.
  std::span<KvBondBase* const> GetBonds() const { return bonds_; }
  std::span<KvAtomBase* const> GetNeighbors() const { return neighbors_; }
  // Neighbours matching `pred`. The caller owns the iterator.
  KvSystem::KvIterBase<KvAtomBase*>* GetNeighbors(const KvAtomPredicate& pred) const;
  // The bond to `other`, or null.
  KvBondBase* GetBond(const KvAtomBase* other) const;

  // Stereo query. With kind 57: 0 when the atom is not a specified
  // tetrahedral stereocentre or `neighbors` is not a permutation of all its
  // neighbour atoms; otherwise 2 or 3, the two opposite parities of the
  // configuration seen in that neighbour order. Convention: take the given
  // neighbours in order, with the implicit hydrogen (or lone pair) of a
  // three-connected centre appended last; looking from the first toward the
  // centre, 2 means the rest run counter-clockwise (SMILES '@'), 3 clockwise
  // ('@@'). So "N[C@@H](C)C(=O)O" with the order N, CH3, COOH answers 3;
  // swapping two neighbours flips 2 and 3; the mirror image answers the other
  // value. Other kinds answer 0.
  unsigned GetStereo(std::span<const KvAtomBase* const> neighbors, unsigned kind) const;

 private:
  friend struct KvMolImpl;
  KvAtomBase(KvMolBase* parent, unsigned idx) : parent_(parent), idx_(idx) {}
  KvMolBase* parent_;
  unsigned idx_;
  // Views into the molecule's flat neighbour tables.
  std::span<KvBondBase* const> bonds_;
  std::span<KvAtomBase* const> neighbors_;
};

// A bond. Owned by its molecule; handed out by pointer.
class KvBondBase : public KvSystem::KvBase {
 public:
  KvBondBase(const KvBondBase&) = delete;
  KvBondBase& operator=(const KvBondBase&) = delete;

  unsigned GetIdx() const { return idx_; }
  KvMolBase* GetParent() const { return parent_; }
  // 1, 2, 3 or 4 for single to quadruple; aromatic bonds answer their order
  // in one Kekulé form of the molecule (1 or 2) when one exists, else 1; 0
  // for other bond kinds (dative, zero-order, unspecified).
  unsigned GetOrder() const;
  bool IsAromatic() const;
  // False until rings are perceived (after parsing they are).
  bool IsInRing() const;
  // A double bond with specified E/Z.
  bool IsChiral() const;
  KvAtomBase* GetBeginAtom() const { return begin_; }
  KvAtomBase* GetEndAtom() const { return end_; }
  // The atom across the bond from `atom`, or null when `atom` is not on it.
  KvAtomBase* GetNbr(const KvAtomBase* atom) const {
    return atom == begin_ ? end_ : atom == end_ ? begin_ : nullptr;
  }

 private:
  friend struct KvMolImpl;
  KvBondBase(KvMolBase* parent, unsigned idx) : parent_(parent), idx_(idx) {}
  KvMolBase* parent_;
  unsigned idx_;
  KvAtomBase* begin_ = nullptr;
  KvAtomBase* end_ = nullptr;
};

// A molecule. A default-constructed molecule is valid and empty; a molecule
// whose parse failed is invalid.
class KvMolBase : public KvSystem::KvBase {
 public:
  KvMolBase();
  KvMolBase(const KvMolBase& other);
  KvMolBase& operator=(const KvMolBase& other);
  KvMolBase(KvMolBase&& other) noexcept;
  KvMolBase& operator=(KvMolBase&& other) noexcept;
  ~KvMolBase() override;

  bool IsValid() const;
  // Makes the molecule empty and invalid (a failed parse).
  void SetInvalid();
  // Makes the molecule empty and valid, without title or attached data.
  void Clear();

  unsigned NumAtoms() const;
  unsigned NumBonds() const;
  // Bounds of the atom and bond indices (every index is below them).
  unsigned GetMaxAtomIdx() const { return NumAtoms(); }
  unsigned GetMaxBondIdx() const { return NumBonds(); }
  KvAtomBase* GetAtom(unsigned idx) const;  // null when out of range
  KvBondBase* GetBond(unsigned idx) const;  // null when out of range
  // All atoms and bonds in index order.
  std::span<KvAtomBase* const> Atoms() const;
  std::span<KvBondBase* const> Bonds() const;
  // Iterator forms; the caller owns the iterator.
  KvSystem::KvIterBase<KvAtomBase*>* GetAtoms() const;
  KvSystem::KvIterBase<KvAtomBase*>* GetAtoms(const KvAtomPredicate& pred) const;
  KvSystem::KvIterBase<KvBondBase*>* GetBonds() const;

  // Deletes an atom of this molecule with its bonds; later atoms and bonds are
  // renumbered and their objects rebuilt, so earlier atom and bond pointers
  // must not be used afterwards (their attached data moves with them). An edit.
  bool DeleteAtom(KvAtomBase* atom);

  // Whether the perception of `flag` (a KvPerception value) is current.
  bool HasPerceived(unsigned flag) const;
  // The aromaticity model recorded under kKvAromaticityModelTag, 0 when none.
  unsigned GetAromaticityModel() const;

  // Bracket a series of edits: between them, DeleteAtom only marks atoms, so
  // indices and atom pointers stay as they were; EndModify removes the marked
  // atoms and renumbers once. Brackets nest; an EndModify without edits costs
  // nothing.
  void BeginModify();
  void EndModify();

  const std::string& GetTitle() const;
  void SetTitle(const std::string& title);

  // Internal: the implementation, for the chemistry layer only.
  KvMolImpl& Impl() const { return *impl_; }

 private:
  std::unique_ptr<KvMolImpl> impl_;
};

// A scratch molecule owned by the caller.
class KvMol : public KvMolBase {
 public:
  KvMol() = default;
  explicit KvMol(const KvMolBase& other) : KvMolBase(other) {}
};

// A private working copy of any molecule, for fingerprint generation.
class KvGraphMol : public KvMolBase {
 public:
  KvGraphMol() = default;
  explicit KvGraphMol(const KvMolBase& other) : KvMolBase(other) {}
};

// Molecules from and to text. Parse failures give false with one warning
// naming the problem; the molecule is then invalid. No exception escapes.
// A parsed molecule is sanitised by RDKit and keeps explicit hydrogen atoms
// ("C([H])O" has three atoms); its rings, model-2 aromaticity and stereo are
// recorded as perceived. KvSmilesToMol takes the text after the SMILES and
// whitespace as the title; KvMolBlockToMol the molfile's first line.
bool KvSmilesToMol(const std::string& smiles, KvMolBase& mol);
bool KvMolBlockToMol(const std::string& molBlock, KvMolBase& mol);  // MDL V2000 or V3000
// A molecule from RDKit's binary pickle (what Python's Chem.Mol.ToBinary()
// returns), so that a toolkit molecule crosses without a trip through text.
// The copy is sanitised like a parsed SMILES (aromaticity, rings, stereo);
// the molecule's name property, when pickled, becomes the title. A pickle
// that RDKit refuses, or a molecule that does not sanitise, gives false with
// one warning and an invalid molecule. REQUIRES: bytes written by RDKit's
// pickler (the reader trusts the counts inside a well-formed pickle).
bool KvBinaryToMol(const std::string& pickle, KvMolBase& mol);
// RDKit's canonical isomeric SMILES; "" for an invalid molecule. Safe to call
// from several threads on one molecule.
std::string KvMolToSmiles(const KvMolBase& mol);

}  // namespace KvChem
