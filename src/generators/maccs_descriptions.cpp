// What each MACCS key means, in words a chemist reads, and the pattern that
// decides it (read from the key list and the element table, so that the two
// can never disagree).

#include <string>

#include "generators/maccs_internal.h"

namespace Varnex {
namespace {

// Indexed by key number; [0] is unused. Written from the key patterns as
// they stand (a few keep the oddities of the published key set).
constexpr const char* kDescriptions[KvMACCS166NumBits + 1] = {
    "",
    "an atom with an isotope label",                                                 // 1
    "an element of atomic number 104 to 112 (Rf to Cn)",                              // 2
    "Ge, As, Se, Sn, Sb, Te, Pb, Bi or Po",                                           // 3
    "an actinide after actinium (Th to Lr)",                                          // 4
    "Sc, Ti, Y, Zr, La, Hf or Ac",                                                    // 5
    "a lanthanide after lanthanum (Ce to Lu)",                                        // 6
    "V, Cr, Mn, Nb, Mo, Tc, Ta, W or Re",                                             // 7
    "a 4-membered ring with a heteroatom",                                            // 8
    "Fe, Co, Ni, Ru, Rh, Pd, Os, Ir or Pt",                                           // 9
    "an alkaline earth metal (Be, Mg, Ca, Sr, Ba, Ra)",                               // 10
    "a 4-membered ring",                                                              // 11
    "Cu, Zn, Ag, Cd, Au or Hg",                                                       // 12
    "an oxygen on a nitrogen that has two carbons (N-oxide, hydroxylamine)",          // 13
    "a disulfide (S-S single bond)",                                                  // 14
    "a carbon with three oxygens (carbonate, orthoester)",                            // 15
    "a 3-membered ring with a heteroatom (epoxide, aziridine)",                       // 16
    "a carbon-carbon triple bond",                                                    // 17
    "B, Al, Ga, In or Tl",                                                            // 18
    "a 7-membered ring",                                                              // 19
    "silicon",                                                                        // 20
    "a C=C whose carbon carries two heteroatoms",                                     // 21
    "a 3-membered ring",                                                              // 22
    "a carbon with a nitrogen and two oxygens (carbamate, carbamic acid)",            // 23
    "an N-O single bond",                                                             // 24
    "a carbon with three nitrogens (guanidine)",                                      // 25
    "a ring C=C whose carbon has two more ring bonds (ring fusion)",                  // 26
    "iodine",                                                                         // 27
    "a CH2 between a heteroatom and any other atom",                                  // 28
    "phosphorus",                                                                     // 29
    "a heteroatom with three carbon neighbours and one more neighbour",               // 30
    "a halogen on a heteroatom",                                                      // 31
    "a sulfur between a carbon and a nitrogen (C-S-N)",                               // 32
    "a nitrogen-sulfur bond",                                                         // 33
    "a terminal =CH2",                                                                // 34
    "an explicit hydrogen atom or an alkali metal (Li, Na, K, Rb, Cs, Fr)",           // 35
    "sulfur in a ring",                                                               // 36
    "a carbon with two nitrogens and an oxygen (urea)",                               // 37
    "a carbon with two nitrogens and a carbon (amidine)",                             // 38
    "a sulfur with three oxygens (sulfonic acid, sulfate)",                           // 39
    "an S-O single bond",                                                             // 40
    "a nitrile (C#N)",                                                                // 41
    "fluorine",                                                                       // 42
    "two heteroatoms bearing hydrogen on one atom (X-A-X)",                           // 43
    "unused: this key is never set",                                                  // 44
    "a C=C next to a nitrogen (enamine)",                                             // 45
    "bromine",                                                                        // 46
    "sulfur and nitrogen on one atom (S-A-N)",                                        // 47
    "a heteroatom with three oxygens (nitrate, sulfonate, phosphate)",                // 48
    "a charged atom",                                                                 // 49
    "a C=C whose carbon carries two more carbons",                                    // 50
    "a sulfur between a carbon and an oxygen (C-S-O)",                                // 51
    "a nitrogen-nitrogen bond",                                                       // 52
    "two heteroatoms bearing hydrogen, four bonds apart",                             // 53
    "two heteroatoms bearing hydrogen, three bonds apart",                            // 54
    "a sulfur with two oxygens (sulfone, sulfonamide)",                               // 55
    "a nitro group on carbon",                                                        // 56
    "oxygen in a ring",                                                               // 57
    "a sulfur between two heteroatoms",                                               // 58
    "sulfur on an aromatic ring, outside it",                                         // 59
    "an S=O double bond",                                                             // 60
    "a sulfur with three connections",                                                // 61
    "a chain bond between two ring atoms (linked rings)",                             // 62
    "an N=O double bond (nitroso, nitro)",                                            // 63
    "sulfur on a ring atom, outside the ring",                                        // 64
    "an aromatic carbon-nitrogen bond (pyridine-like)",                               // 65
    "a carbon with three carbon neighbours and one more neighbour",                   // 66
    "sulfur bonded to a heteroatom",                                                  // 67
    "two bonded heteroatoms, both bearing hydrogen",                                  // 68
    "a heteroatom bonded to a heteroatom that bears hydrogen",                        // 69
    "a nitrogen between two heteroatoms",                                             // 70
    "a nitrogen-oxygen bond",                                                         // 71
    "two oxygens on neighbouring atoms (O-A-A-O)",                                    // 72
    "a double-bonded sulfur",                                                         // 73
    "two methyls on one atom (gem-dimethyl, isopropyl, tert-butyl)",                  // 74
    "a ring nitrogen with a substituent outside the ring",                            // 75
    "a C=C whose carbon carries two more atoms",                                      // 76
    "two nitrogens on one atom (N-A-N)",                                              // 77
    "a C=N double bond (imine)",                                                      // 78
    "two nitrogens on neighbouring atoms (N-A-A-N)",                                  // 79
    "two nitrogens four bonds apart",                                                 // 80
    "sulfur on a branching atom",                                                     // 81
    "a CH2 bonded to a heteroatom that bears hydrogen",                               // 82
    "a 5-membered ring with a heteroatom",                                            // 83
    "an NH2 group",                                                                   // 84
    "a nitrogen with three carbons (tertiary amine)",                                 // 85
    "a heteroatom between two CH2 groups",                                            // 86
    "N, Cl, Br or I on a ring atom, outside the ring",                                // 87
    "sulfur",                                                                         // 88
    "two oxygens four bonds apart",                                                   // 89
    "a CH2 three bonds from a heteroatom that bears hydrogen",                        // 90
    "a CH2 four bonds from a heteroatom that bears hydrogen",                         // 91
    "a carbon with an oxygen, a nitrogen and a carbon (amide)",                       // 92
    "a methyl on a heteroatom (N-methyl, methoxy)",                                   // 93
    "a nitrogen bonded to a heteroatom",                                              // 94
    "nitrogen and oxygen on neighbouring atoms (N-A-A-O)",                            // 95
    "a 5-membered ring",                                                              // 96
    "nitrogen and oxygen four bonds apart",                                           // 97
    "a 6-membered ring with a heteroatom",                                            // 98
    "a C=C double bond",                                                              // 99
    "a CH2 on a nitrogen",                                                            // 100
    "a path of 8 ring atoms (fused or large rings)",                                  // 101
    "an oxygen bonded to a heteroatom",                                               // 102
    "chlorine",                                                                       // 103
    "a CH2 two bonds from a heteroatom that bears hydrogen",                          // 104
    "a ring atom with three ring bonds (ring fusion)",                                // 105
    "an atom with three heteroatom neighbours",                                       // 106
    "a halogen on a branching atom",                                                  // 107
    "a methyl four bonds from a CH2",                                                 // 108
    "a CH2 on an oxygen",                                                             // 109
    "a carbon between a nitrogen and an oxygen (N-C-O)",                              // 110
    "a CH2 two bonds from a nitrogen",                                                // 111
    "an atom with four connections",                                                  // 112
    "oxygen on an aromatic ring, outside it",                                         // 113
    "an ethyl group (CH3-CH2)",                                                       // 114
    "a methyl two bonds from a CH2",                                                  // 115
    "a methyl three bonds from a CH2",                                                // 116
    "nitrogen and oxygen on one atom (N-A-O)",                                        // 117
    "two or more CH2-A-CH2 fragments",                                                // 118
    "a double-bonded nitrogen",                                                       // 119
    "two or more ring bonds of N, O, Si or S",                                        // 120
    "nitrogen in a ring",                                                             // 121
    "a nitrogen with three connections",                                              // 122
    "a carbon with two oxygens (acid, ester, acetal)",                                // 123
    "two bonded heteroatoms",                                                         // 124
    "more than one aromatic ring system",                                             // 125
    "an oxygen with two ring bonds (ring ether)",                                     // 126
    "two or more oxygens on ring atoms, outside the rings",                           // 127
    "two CH2 groups four bonds apart",                                                // 128
    "two CH2 groups three bonds apart",                                               // 129
    "two or more bonds between heteroatoms",                                          // 130
    "at least two heteroatoms that bear hydrogen",                                    // 131
    "a CH2 two bonds from an oxygen",                                                 // 132
    "nitrogen on a ring atom, outside the ring",                                      // 133
    "a halogen (F, Cl, Br, I)",                                                       // 134
    "nitrogen on an aromatic ring, outside it",                                       // 135
    "a double-bonded oxygen (carbonyl, oxo)",                                         // 136
    "a ring bond of N, O, Si or S",                                                   // 137
    "two or more CH2 groups on heteroatoms",                                          // 138
    "an OH group",                                                                    // 139
    "at least four oxygens",                                                          // 140
    "at least three methyl groups",                                                   // 141
    "at least two nitrogens",                                                         // 142
    "oxygen on a ring atom, outside the ring",                                        // 143
    "substituents on both atoms of an aromatic bond",                                 // 144
    "two or more 6-membered rings",                                                   // 145
    "at least two oxygens",                                                           // 146
    "a CH2-A-CH2 fragment",                                                           // 147
    "a heteroatom with three connections",                                            // 148
    "two or more methyl groups",                                                      // 149
    "chain substituents on both atoms of a ring bond",                                // 150
    "an NH group",                                                                    // 151
    "an oxygen with three carbons",                                                   // 152
    "a CH2 on a heteroatom",                                                          // 153
    "a carbonyl (C=O)",                                                               // 154
    "a CH2 with two chain bonds",                                                     // 155
    "a nitrogen with three connections",                                              // 156
    "a C-O single bond",                                                              // 157
    "a C-N single bond",                                                              // 158
    "at least two oxygens",                                                           // 159
    "a methyl group",                                                                 // 160
    "nitrogen",                                                                       // 161
    "an aromatic ring system",                                                        // 162
    "a 6-membered ring",                                                              // 163
    "oxygen",                                                                         // 164
    "a ring atom",                                                                    // 165
    "more than one fragment (a salt or mixture)",                                     // 166
};

}  // namespace

std::string KvGetMACCSKeyDescription(unsigned key) {
  return key >= 1 && key <= KvMACCS166NumBits ? kDescriptions[key] : "";
}

std::string KvGetMACCSKeyPattern(unsigned key) {
  if (key < 1 || key > KvMACCS166NumBits) return "";
  switch (key) {
    case Maccs::kSeveralComponentsKey: return "(*).(*): the whole molecule";
    case Maccs::kAromaticRingSystemKey: return "aromatic ring systems: 1 or more";
    case Maccs::kSeveralAromaticRingSystemsKey: return "aromatic ring systems: 2 or more";
    default: break;
  }
  for (const Maccs::KeyText& text : Maccs::kKeyTexts) {
    if (text.key == key) return text.smarts;
    if (text.countKey == key) return std::string(text.smarts) + " (2 or more)";
  }
  // An element key: its atomic numbers as one SMARTS atom.
  std::string elements;
  for (unsigned z = 0; z < Maccs::kElementKeys.size(); ++z)
    if (Maccs::kElementKeys[z] == key) elements += (elements.empty() ? "[#" : ",#") + std::to_string(z);
  return elements.empty() ? "" : elements + "]";
}

}  // namespace Varnex
