// Screens that tell, before any substructure search, that a MACCS key pattern
// cannot occur in a molecule.
//
// A molecule is summarised once into a MolProfile: which atom kinds occur
// (element class and hydrogen count) and how often, and which element classes
// are bonded to which through which bond kinds (order and ring membership). A
// pattern is summarised once into a PatternScreen: for each query atom an
// upper bound of the atom kinds it can match, and for each query bond an upper
// bound of the bond kinds. A pattern may match only when every query atom and
// every query bond finds a partner in the profile and the molecule has enough
// atoms of each kind that some query atoms demand exclusively. Ring patterns
// are screened by the cycles of the molecule: a pattern that is one simple
// cycle of k atoms needs a k-cycle (through a hetero atom when the pattern
// demands one), and a connected pattern of ring bonds only needs a ring system
// of at least as many atoms.
//
// The bounds are conservative: a primitive the screen does not model counts
// as "matches anything", and a pattern text it cannot read gets a screen that
// lets every molecule through. So screening never changes a result; it only
// saves searches.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "kvchem/mol.h"

namespace Varnex::Maccs {

// Element classes: one per element the key patterns name, one for the rest.
namespace ElementClass {
inline constexpr unsigned Other = 0, H = 1, C = 2, N = 3, O = 4, F = 5, Si = 6, S = 7, Cl = 8, Br = 9, I = 10;
inline constexpr unsigned Count = 11;
}  // namespace ElementClass

// Atom kind = element class * 5 + hydrogen bucket (0, 1, 2, 3, 4 or more).
inline constexpr unsigned kNumHBuckets = 5;
inline constexpr unsigned kNumAtomKinds = ElementClass::Count * kNumHBuckets;  // 55, fits 64 bits
// Bond kind = order index * 2 + ring (order index: single, double, triple,
// aromatic, other).
inline constexpr unsigned kNumBondKinds = 10;

using AtomKindMask = std::uint64_t;
using ClassMask = std::uint16_t;
using BondKindMask = std::uint16_t;

// The element class of an atomic number.
unsigned ElementClassOf(unsigned atomicNum);

// Cycle lengths the ring screens look at: 3 to this many atoms.
inline constexpr unsigned kMaxCycleAtoms = 8;

// What the screens need to know about one molecule. Plain data, built on the
// caller's stack.
struct MolProfile {
  unsigned numAtoms = 0;
  bool hasRingBond = false;
  bool hasAromaticBond = false;
  // Bit k: the molecule has a simple cycle of k atoms (k = 3 .. 8); the
  // hetero form counts only cycles through an atom that is neither C nor H.
  std::uint16_t cycleLengths = 0;
  std::uint16_t heteroCycleLengths = 0;
  // Distinct simple cycles of each length, counted no further than 2.
  std::array<std::uint8_t, kMaxCycleAtoms + 1> cycleCount{};
  // Atoms of the largest set joined by ring bonds.
  unsigned largestRingSystem = 0;
  AtomKindMask atomKinds = 0;
  std::array<std::uint32_t, kNumAtomKinds> kindCount{};
  std::array<std::uint32_t, ElementClass::Count> classCount{};
  // neighbours[bond kind][class] = classes bonded to `class` by that kind.
  std::array<std::array<ClassMask, ElementClass::Count>, kNumBondKinds> neighbours{};
};

// Fills `profile` from a prepared molecule (one pass over atoms and bonds).
void BuildProfile(const KvChem::KvMolBase& mol, MolProfile& profile);

class PatternScreen {
 public:
  // Reads a SMARTS text. Text outside the subset the screen models gives an
  // inactive screen, which lets every molecule through.
  explicit PatternScreen(std::string_view smarts);

  // False only when the pattern certainly has no match in the profiled molecule.
  bool MayMatch(const MolProfile& profile) const;
  // False only when the pattern certainly has fewer than two unique matches
  // (atom sets); modelled for single-atom and simple-cycle patterns.
  bool MayMatchTwice(const MolProfile& profile) const;
  // Whether the pattern text was understood (else MayMatch is always true).
  bool IsActive() const { return active_; }

 private:
  struct Edge {
    ClassMask classesA = 0;
    ClassMask classesB = 0;
    BondKindMask bondKinds = 0;
  };
  struct Need {
    unsigned index = 0;  // atom kind or element class
    unsigned count = 0;
  };

  bool Analyse(std::string_view smarts);
  void AnalyseShape(const std::vector<AtomKindMask>& atoms, const std::vector<std::pair<unsigned, unsigned>>& ends);

  bool active_ = false;
  bool needsCycle_ = false;
  unsigned numAtoms_ = 0;
  unsigned cycleAtoms_ = 0;     // k when the pattern is one simple cycle of k atoms, else 0
  bool heteroCycle_ = false;    // that cycle has an atom that cannot be C or H
  bool ringBondsOnly_ = false;  // connected, and every bond can match ring bonds only
  AtomKindMask singleAtom_ = 0;  // the bound of a one-atom pattern, else 0
  std::vector<AtomKindMask> atomMasks_;  // one per distinct query atom bound
  std::vector<Edge> edges_;
  std::vector<Need> kindNeeds_;   // query atoms bound to one atom kind
  std::vector<Need> classNeeds_;  // query atoms bound to one element class
};

}  // namespace Varnex::Maccs
