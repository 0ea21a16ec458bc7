// The VSEPR type tables: names, and every property derived from them at
// compile time.
//
// A name reads: element symbol, "H" and a hydrogen count of 1 to 5 (absent
// for none), charge signs, ":", degree word, geometry word, and in the stereo
// space ":R" or ":S". The element, hydrogen count, charge, heavy degree and
// aromatic flag are read off the name. For non-aromatic types the geometry
// word gives the steric number, so that
//   lone pairs    = steric number - heavy degree - hydrogens
//   heavy valence = valence electrons - charge - 2 * lone pairs - hydrogens.
// Aromatic names carry no steric number; their heavy valence and lone pairs
// are listed. Everything here is constexpr: the tables are complete before
// main() and are read-only, so any thread may read them.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace Varnex::VseprDetail {

inline constexpr unsigned kNumAroTypes = 165;
inline constexpr unsigned kNumStereoTypes = 201;
inline constexpr unsigned kFirstAromatic = 147;
inline constexpr unsigned kNumAromatic = 18;

inline constexpr std::array<std::string_view, kNumStereoTypes> kNames = {
    "CH2-:PrimarySp3", "CH1-:PrimarySp2", "C-:PrimarySp1", "CH1-:SecondarySp3", "C-:SecondarySp2",
    "C-:TertiarySp3", "CH3:PrimarySp3", "CH2:PrimarySp2", "CH1:PrimarySp1", "CH2:SecondarySp3",
    "CH1:SecondarySp2", "C:SecondarySp1", "CH1:TertiarySp3", "C:TertiarySp2", "C:QuatenarySp3",
    "NH1-:PrimarySp3", "N-:PrimarySp2", "N-:SecondarySp3", "NH2:PrimarySp3", "NH1:PrimarySp2",
    "N:PrimarySp1", "NH1:SecondarySp3", "N:SecondarySp2", "N:TertiarySp3", "NH3+:PrimarySp3",
    "NH2+:PrimarySp2", "NH1+:PrimarySp1", "NH2+:SecondarySp3", "NH1+:SecondarySp2", "N+:SecondarySp1",
    "NH1+:TertiarySp3", "N+:TertiarySp2", "N+:QuatenarySp3", "PH2:PrimarySp3", "PH4:PrimarySp3d",
    "PH1:PrimarySp2", "PH3:PrimarySp3", "P:PrimarySp1", "PH2:PrimarySp2", "PH1:SecondarySp3",
    "PH3:SecondarySp3d", "P:SecondarySp2", "PH2:SecondarySp3", "PH1:SecondarySp2", "P:SecondarySp1",
    "P:TertiarySp3", "PH2:TertiarySp3d", "PH1:TertiarySp3", "P:TertiarySp2", "PH1:QuatenarySp3d",
    "P:QuatenarySp3", "P:HvyDegree5Sp3d", "PH3+:PrimarySp3", "PH2+:PrimarySp2", "PH1+:PrimarySp1",
    "PH2+:SecondarySp3", "PH1+:SecondarySp2", "P+:SecondarySp1", "PH1+:TertiarySp3", "P+:TertiarySp2",
    "P+:QuatenarySp3", "O-:PrimarySp3", "OH1:PrimarySp3", "O:PrimarySp2", "O:SecondarySp3",
    "S-:PrimarySp3", "SH2-:PrimarySp3d", "SH4-:PrimarySp3d2", "SH1-:PrimarySp3", "SH3-:PrimarySp3d",
    "S-:PrimarySp2", "SH2-:PrimarySp3", "SH1-:SecondarySp3d", "SH3-:SecondarySp3d2", "S-:SecondarySp3",
    "SH2-:SecondarySp3d", "SH1-:SecondarySp3", "S-:SecondarySp2", "S-:TertiarySp3d", "SH2-:TertiarySp3d2",
    "SH1-:TertiarySp3d", "S-:TertiarySp3", "SH1-:QuatenarySp3d2", "S-:QuatenarySp3d", "S-:HvyDegree5Sp3d2",
    "SH1:PrimarySp3", "SH3:PrimarySp3d", "SH5:PrimarySp3d2", "S:PrimarySp2", "SH2:PrimarySp3",
    "SH4:PrimarySp3d", "SH1:PrimarySp2", "SH3:PrimarySp3", "S:SecondarySp3", "SH2:SecondarySp3d",
    "SH4:SecondarySp3d2", "SH1:SecondarySp3", "SH3:SecondarySp3d", "S:SecondarySp2", "SH2:SecondarySp3",
    "SH1:SecondarySp2", "S:SecondarySp1", "SH1:TertiarySp3d", "SH3:TertiarySp3d2", "S:TertiarySp3",
    "SH2:TertiarySp3d", "SH1:TertiarySp3", "S:TertiarySp2", "S:QuatenarySp3d", "SH2:QuatenarySp3d2",
    "SH1:QuatenarySp3d", "S:QuatenarySp3", "SH1:HvyDegree5Sp3d2", "S:HvyDegree5Sp3d", "S:HvyDegree6Sp3d2",
    "SH2+:PrimarySp3", "SH4+:PrimarySp3d", "SH1+:PrimarySp2", "SH3+:PrimarySp3", "S+:PrimarySp1",
    "SH2+:PrimarySp2", "SH1+:SecondarySp3", "SH3+:SecondarySp3d", "S+:SecondarySp2", "SH2+:SecondarySp3",
    "SH1+:SecondarySp2", "S+:SecondarySp1", "S+:TertiarySp3", "SH2+:TertiarySp3d", "SH1+:TertiarySp3",
    "S+:TertiarySp2", "SH1+:QuatenarySp3d", "S+:QuatenarySp3", "S+:HvyDegree5Sp3d", "SH3++:PrimarySp3",
    "SH2++:PrimarySp2", "SH1++:PrimarySp1", "SH2++:SecondarySp3", "SH1++:SecondarySp2", "S++:SecondarySp1",
    "SH1++:TertiarySp3", "S++:TertiarySp2", "S++:QuatenarySp3", "F:PrimarySp3", "Cl:PrimarySp3",
    "Br:PrimarySp3", "I:PrimarySp3", "CH1-:SecondaryAro", "C-:SecondaryAro", "C-:TertiaryAro",
    "CH1:SecondaryAro", "C:TertiaryAro", "N-:SecondaryAro", "NH1:SecondaryAro", "N:SecondaryAro",
    "N:TertiaryAro", "NH1+:SecondaryAro", "N+:TertiaryAro", "O:SecondaryAro", "S:SecondaryAro",
    "SH1+:SecondaryAro", "S+:SecondaryAro", "S+:TertiaryAro", "SH1++:SecondaryAro", "S++:TertiaryAro",
    // Stereo space only: ":R" / ":S" variants of 18 stereo-capable types.
    "CH1:TertiarySp3:R", "CH1:TertiarySp3:S", "C:QuatenarySp3:R", "C:QuatenarySp3:S",
    "NH1+:TertiarySp3:R", "NH1+:TertiarySp3:S", "N+:QuatenarySp3:R", "N+:QuatenarySp3:S",
    "PH1:TertiarySp3:R", "PH1:TertiarySp3:S", "P:QuatenarySp3:R", "P:QuatenarySp3:S",
    "PH1+:TertiarySp3:R", "PH1+:TertiarySp3:S", "P+:QuatenarySp3:R", "P+:QuatenarySp3:S",
    "SH1-:TertiarySp3d:R", "SH1-:TertiarySp3d:S", "S-:QuatenarySp3d:R", "S-:QuatenarySp3d:S",
    "SH1:TertiarySp3d:R", "SH1:TertiarySp3d:S", "SH1:TertiarySp3:R", "SH1:TertiarySp3:S",
    "S:QuatenarySp3d:R", "S:QuatenarySp3d:S", "S:QuatenarySp3:R", "S:QuatenarySp3:S",
    "SH1+:TertiarySp3:R", "SH1+:TertiarySp3:S", "S+:QuatenarySp3:R", "S+:QuatenarySp3:S",
    "SH1++:TertiarySp3:R", "SH1++:TertiarySp3:S", "S++:QuatenarySp3:R", "S++:QuatenarySp3:S",
};

// Heavy valence and lone pairs of the aromatic types 147 .. 164, in id order.
struct AromaticElectrons {
  std::uint8_t heavyValence;
  std::uint8_t lonePairs;
};
inline constexpr std::array<AromaticElectrons, kNumAromatic> kAromaticElectrons = {{
    {2, 1}, {3, 1}, {3, 1}, {3, 0}, {4, 0},          // CH1-, C-, C-, CH1, C
    {2, 2}, {2, 1}, {3, 1}, {3, 1}, {3, 0}, {4, 0},  // N-, NH1, N, N, NH1+, N+
    {2, 2},                                          // O
    {2, 2}, {2, 1}, {3, 1}, {3, 1}, {3, 0}, {4, 0},  // S, SH1+, S+, S+, SH1++, S++
}};

// One type's properties.
struct Row {
  std::uint8_t atomicNum = 0;
  std::int8_t charge = 0;
  std::uint8_t heavyDegree = 0;
  std::uint8_t hydrogens = 0;
  std::uint8_t heavyValence = 0;
  std::uint8_t lonePairs = 0;
  std::uint8_t valenceElectrons = 0;
  bool aromatic = false;
  std::uint8_t stereo = 0;  // 0, 2 (":R") or 3 (":S")
};

// A malformed name stops compilation: the throw is never reached at run time
// because every table below is evaluated in a constant expression.
constexpr void Require(bool ok) {
  if (!ok) throw std::logic_error("malformed VSEPR type name");
}

constexpr bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

constexpr Row ParseName(std::string_view name, unsigned id) {
  Row row;
  struct Element {
    std::string_view symbol;
    std::uint8_t atomicNum, valenceElectrons;
  };
  // Two-letter symbols first so that "Cl" is not read as "C".
  constexpr Element kElements[] = {{"Cl", 17, 7}, {"Br", 35, 7}, {"C", 6, 4}, {"N", 7, 5}, {"O", 8, 6},
                                   {"F", 9, 7},   {"P", 15, 5},  {"S", 16, 6}, {"I", 53, 7}};
  bool found = false;
  for (const Element& e : kElements) {
    if (StartsWith(name, e.symbol)) {
      row.atomicNum = e.atomicNum;
      row.valenceElectrons = e.valenceElectrons;
      name.remove_prefix(e.symbol.size());
      found = true;
      break;
    }
  }
  Require(found);
  if (!name.empty() && name.front() == 'H') {
    Require(name.size() > 1 && name[1] >= '1' && name[1] <= '5');
    row.hydrogens = static_cast<std::uint8_t>(name[1] - '0');
    name.remove_prefix(2);
  }
  int charge = 0;
  while (!name.empty() && (name.front() == '+' || name.front() == '-')) {
    charge += name.front() == '+' ? 1 : -1;
    name.remove_prefix(1);
  }
  Require(charge >= -1 && charge <= 2);
  row.charge = static_cast<std::int8_t>(charge);
  Require(!name.empty() && name.front() == ':');
  name.remove_prefix(1);

  struct Word {
    std::string_view text;
    std::uint8_t value;
  };
  constexpr Word kDegrees[] = {{"Primary", 1},    {"Secondary", 2},  {"Tertiary", 3},
                               {"Quatenary", 4},  {"HvyDegree5", 5}, {"HvyDegree6", 6}};
  found = false;
  for (const Word& w : kDegrees) {
    if (StartsWith(name, w.text)) {
      row.heavyDegree = w.value;
      name.remove_prefix(w.text.size());
      found = true;
      break;
    }
  }
  Require(found);
  // Longest geometry words first: "Sp3d2" before "Sp3d" before "Sp3".
  constexpr Word kGeometries[] = {{"Sp3d2", 6}, {"Sp3d", 5}, {"Sp3", 4}, {"Sp2", 3}, {"Sp1", 2}, {"Aro", 0}};
  int steric = -1;
  for (const Word& w : kGeometries) {
    if (StartsWith(name, w.text)) {
      steric = w.value;
      name.remove_prefix(w.text.size());
      break;
    }
  }
  Require(steric >= 0);
  if (name == ":R") {
    row.stereo = 2;
  } else if (name == ":S") {
    row.stereo = 3;
  } else {
    Require(name.empty());
  }
  Require((row.stereo != 0) == (id >= kNumAroTypes));

  if (steric == 0) {  // aromatic: the electrons are listed
    Require(id >= kFirstAromatic && id < kFirstAromatic + kNumAromatic);
    row.aromatic = true;
    row.heavyValence = kAromaticElectrons[id - kFirstAromatic].heavyValence;
    row.lonePairs = kAromaticElectrons[id - kFirstAromatic].lonePairs;
  } else {
    Require(id < kFirstAromatic || id >= kNumAroTypes);
    const int lonePairs = steric - row.heavyDegree - row.hydrogens;
    Require(lonePairs >= 0);
    const int heavyValence = row.valenceElectrons - charge - 2 * lonePairs - row.hydrogens;
    Require(heavyValence >= 0);
    row.lonePairs = static_cast<std::uint8_t>(lonePairs);
    row.heavyValence = static_cast<std::uint8_t>(heavyValence);
  }
  return row;
}

constexpr std::array<Row, kNumStereoTypes> BuildRows() {
  std::array<Row, kNumStereoTypes> rows{};
  for (unsigned id = 0; id < kNumStereoTypes; ++id) rows[id] = ParseName(kNames[id], id);
  return rows;
}

inline constexpr std::array<Row, kNumStereoTypes> kRows = BuildRows();

// kRVariant[base] is the id of the ":R" variant of a stereo-capable type (the
// ":S" variant follows it), 0 for a type without variants.
constexpr std::array<std::uint8_t, kNumAroTypes> BuildVariants() {
  std::array<std::uint8_t, kNumAroTypes> variants{};
  for (unsigned id = kNumAroTypes; id < kNumStereoTypes; id += 2) {
    const std::string_view base = kNames[id].substr(0, kNames[id].size() - 2);
    Require(kNames[id].ends_with(":R") && kNames[id + 1].ends_with(":S") &&
            kNames[id + 1].substr(0, kNames[id + 1].size() - 2) == base);
    bool found = false;
    for (unsigned b = 0; b < kNumAroTypes; ++b) {
      if (kNames[b] == base) {
        Require(variants[b] == 0);
        variants[b] = static_cast<std::uint8_t>(id);
        found = true;
      }
    }
    Require(found);
  }
  return variants;
}

inline constexpr std::array<std::uint8_t, kNumAroTypes> kRVariant = BuildVariants();

// ---------------------------------------------------------------------------
// The atom-to-type index used by GetType(atom).
//
// For the five elements with more than one type, the type is found by one
// load from a dense array addressed by (aromatic, charge, heavy degree,
// hydrogens, heavy valence), after range tests that reject anything no type
// can have. The array is filled here from the rows, so it cannot disagree
// with the names; the halogens are tested directly.
inline constexpr int kMinCharge = -1, kMaxCharge = 2;
inline constexpr unsigned kMaxHeavyDegree = 6, kMaxHydrogens = 5, kMaxHeavyValence = 7;
inline constexpr unsigned kCellsPerElement =
    2 * (kMaxCharge - kMinCharge + 1) * kMaxHeavyDegree * (kMaxHydrogens + 1) * (kMaxHeavyValence + 1);

// Element slots of the index: C, N, O, P, S.
constexpr int IndexSlot(unsigned atomicNum) {
  switch (atomicNum) {
    case 6: return 0;
    case 7: return 1;
    case 8: return 2;
    case 15: return 3;
    case 16: return 4;
    default: return -1;
  }
}
inline constexpr unsigned kIndexSlots = 5;

// REQUIRES: the values are within the ranges above and heavyDegree >= 1.
constexpr unsigned IndexCell(bool aromatic, int charge, unsigned heavyDegree, unsigned hydrogens,
                             unsigned heavyValence) {
  unsigned cell = aromatic ? 1u : 0u;
  cell = cell * (kMaxCharge - kMinCharge + 1) + static_cast<unsigned>(charge - kMinCharge);
  cell = cell * kMaxHeavyDegree + (heavyDegree - 1);
  cell = cell * (kMaxHydrogens + 1) + hydrogens;
  cell = cell * (kMaxHeavyValence + 1) + heavyValence;
  return cell;
}

using TypeIndex = std::array<std::array<std::uint8_t, kCellsPerElement>, kIndexSlots>;

constexpr TypeIndex BuildIndex() {
  TypeIndex index{};
  for (auto& slot : index) slot.fill(static_cast<std::uint8_t>(kNumAroTypes));
  for (unsigned id = 0; id < kNumAroTypes; ++id) {
    const Row& r = kRows[id];
    Require(r.heavyDegree >= 1 && r.heavyDegree <= kMaxHeavyDegree && r.hydrogens <= kMaxHydrogens &&
            r.heavyValence <= kMaxHeavyValence && r.charge >= kMinCharge && r.charge <= kMaxCharge);
    const int slot = IndexSlot(r.atomicNum);
    if (slot < 0) continue;  // a halogen
    std::uint8_t& cell = index[slot][IndexCell(r.aromatic, r.charge, r.heavyDegree, r.hydrogens, r.heavyValence)];
    Require(cell == kNumAroTypes);  // the six values pick one type
    cell = static_cast<std::uint8_t>(id);
  }
  return index;
}

inline constexpr TypeIndex kTypeIndex = BuildIndex();

// The six identifying values of an atom, as the chemistry layer reports them.
struct AtomKey {
  unsigned atomicNum;
  unsigned heavyValence;
  unsigned heavyDegree;
  unsigned hydrogens;
  int charge;
  bool aromatic;
};

// The VSEPRAroType id of an atom's six values, or 165. A switch on the
// element, range tests, then one indexed load: no search.
constexpr unsigned TypeOfKey(const AtomKey& k) {
  int slot;
  switch (k.atomicNum) {
    case 6: slot = 0; break;
    case 7: slot = 1; break;
    case 8: slot = 2; break;
    case 15: slot = 3; break;
    case 16: slot = 4; break;
    case 9:
    case 17:
    case 35:
    case 53:
      // Each halogen has one type: a single bond to one heavy atom.
      if (k.heavyValence == 1 && k.heavyDegree == 1 && k.hydrogens == 0 && k.charge == 0 && !k.aromatic)
        return k.atomicNum == 9 ? 143 : k.atomicNum == 17 ? 144 : k.atomicNum == 35 ? 145 : 146;
      return kNumAroTypes;
    default:
      return kNumAroTypes;
  }
  if (k.heavyValence > kMaxHeavyValence || k.heavyDegree == 0 || k.heavyDegree > kMaxHeavyDegree ||
      k.hydrogens > kMaxHydrogens || k.charge < kMinCharge || k.charge > kMaxCharge)
    return kNumAroTypes;
  return kTypeIndex[slot][IndexCell(k.aromatic, k.charge, k.heavyDegree, k.hydrogens, k.heavyValence)];
}

// Compile-time checks of the tables' own consistency. The tests repeat the
// central ones against the public API.
constexpr bool CheckTables() {
  for (unsigned id = 0; id < kNumStereoTypes; ++id) {
    const Row& r = kRows[id];
    // The lone-pair identity, aromatic types included.
    if (2 * r.lonePairs != r.valenceElectrons - r.charge - r.heavyValence - r.hydrogens) return false;
    if (id < kNumAroTypes) {
      const AtomKey key{r.atomicNum, r.heavyValence, r.heavyDegree, r.hydrogens, r.charge, r.aromatic};
      if (TypeOfKey(key) != id) return false;
    }
  }
  for (unsigned id = kNumAroTypes; id < kNumStereoTypes; ++id) {
    unsigned base = kNumAroTypes;
    for (unsigned b = 0; b < kNumAroTypes; ++b)
      if (kRVariant[b] != 0 && (kRVariant[b] == id || kRVariant[b] + 1u == id)) base = b;
    if (base >= kNumAroTypes) return false;
    Row withoutStereo = kRows[id];
    withoutStereo.stereo = 0;
    const Row& b = kRows[base];
    if (withoutStereo.atomicNum != b.atomicNum || withoutStereo.charge != b.charge ||
        withoutStereo.heavyDegree != b.heavyDegree || withoutStereo.hydrogens != b.hydrogens ||
        withoutStereo.heavyValence != b.heavyValence || withoutStereo.lonePairs != b.lonePairs ||
        withoutStereo.aromatic != b.aromatic)
      return false;
  }
  return true;
}
static_assert(CheckTables(), "VSEPR type tables are inconsistent");
static_assert(kRows[0].lonePairs == 1 && kRows[0].heavyValence == 1);    // CH2-:PrimarySp3
static_assert(kRows[87].lonePairs == 0 && kRows[87].heavyValence == 1);  // SH5:PrimarySp3d2
static_assert(kRows[2].lonePairs == 1 && kRows[2].heavyValence == 3);    // C-:PrimarySp1

}  // namespace Varnex::VseprDetail
