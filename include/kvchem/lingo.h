// Lingo text of a molecule and Lingo comparison.
//
// Lingo text: RDKit canonical SMILES without stereo marks or isotopes, every
// ring-closure label outside brackets (a digit, %nn or %(n)) replaced by '0',
// "Cl" by 'L' and "Br" by 'R' wherever they occur, inside brackets too
// ("[Cl-]" becomes "[L-]"); digits inside brackets stay. Comparison counts the
// multisets of all substrings of length 4.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "kvchem/mol.h"

namespace KvChem {

// Stateless; one instance may be shared by all threads.
class KvLingoMap {
 public:
  // Writes the Lingo text of `mol` into `text`; false (text empty) for an
  // invalid molecule.
  bool CreateString(std::string& text, const KvMolBase& mol) const;
  // The same, and for each character of the text the index of the atom it
  // writes (every character of a bracket atom, the letter of a "Cl" or "Br"),
  // or -1 for bonds, branches and ring closures.
  bool CreateString(std::string& text, std::vector<int>& atoms, const KvMolBase& mol) const;

 private:
  bool Create(std::string& text, std::vector<int>* atoms, const KvMolBase& mol) const;
};

// A comparer built from one Lingo text. Immutable after construction: Terms
// may run on many threads at once.
class KvLingoSim {
 public:
  // `option` is accepted for interface compatibility (the library passes 1).
  // A text shorter than 4 characters gives an invalid comparer.
  KvLingoSim(const std::string& text, unsigned option);
  bool IsValid() const { return valid_; }
  // Counts over the substrings of length 4: only in this text (a), only in
  // `other` (b), and shared, c = sum of min(count here, count there).
  // Returns false (counts untouched) when the comparer is invalid.
  bool GetTerms(const std::string& other, std::uint32_t* a, std::uint32_t* b, std::uint32_t* c) const;

 private:
  bool valid_ = false;
  std::uint32_t total_ = 0;
  std::unordered_map<std::uint32_t, std::uint32_t> counts_;  // 4 bytes packed into one word
};

}  // namespace KvChem
