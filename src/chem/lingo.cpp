// Lingo text and Lingo comparison.

#include <GraphMol/GraphMol.h>
#include <GraphMol/SmilesParse/SmilesWrite.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "chem/mol_impl.h"
#include "kvchem/lingo.h"
#include "kvsystem/error.h"

namespace KvChem {

namespace {

// Ring-closure labels outside brackets (a digit, %nn or %(n...)) become '0';
// "Cl" and "Br" become 'L' and 'R' wherever they occur, inside brackets too
// ([Cl-] -> [L-]): the text is only compared, never parsed again. With
// `order` (the atoms in the order the SMILES writes them) and `atoms`, each
// output character gets the atom its token belongs to, -1 for bonds,
// branches and ring closures.
std::string Compress(const std::string& smiles, const std::vector<unsigned>* order = nullptr,
                     std::vector<int>* atoms = nullptr) {
  std::string out;
  out.reserve(smiles.size());
  bool inBracket = false;
  std::size_t nextAtom = 0;
  int current = -1;  // the atom of the token being written
  const auto emit = [&](char c, int atom) {
    out.push_back(c);
    if (atoms != nullptr) atoms->push_back(atom);
  };
  const auto startAtom = [&] {
    current = order != nullptr && nextAtom < order->size() ? static_cast<int>((*order)[nextAtom]) : -1;
    ++nextAtom;
    return current;
  };
  for (size_t i = 0; i < smiles.size(); ++i) {
    const char c = smiles[i];
    if (c == '[') {
      inBracket = true;
      startAtom();
    }
    const bool twoLetter = (c == 'C' && i + 1 < smiles.size() && smiles[i + 1] == 'l') ||
                           (c == 'B' && i + 1 < smiles.size() && smiles[i + 1] == 'r');
    if (inBracket) {
      emit(twoLetter ? (c == 'C' ? 'L' : 'R') : c, current);
      if (twoLetter) ++i;
      if (c == ']') inBracket = false;
    } else if (twoLetter) {
      emit(c == 'C' ? 'L' : 'R', startAtom());
      ++i;
    } else if (c == '%') {
      emit('0', -1);
      if (i + 1 < smiles.size() && smiles[i + 1] == '(') {
        const size_t close = smiles.find(')', i + 2);
        i = close == std::string::npos ? smiles.size() : close;
      } else {
        for (int k = 0; k < 2 && i + 1 < smiles.size() && std::isdigit(static_cast<unsigned char>(smiles[i + 1])); ++k)
          ++i;
      }
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      emit('0', -1);
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '*') {
      emit(c, startAtom());
    } else {
      emit(c, -1);
    }
  }
  return out;
}

inline std::uint32_t Pack(const char* p) {
  std::uint32_t word;
  std::memcpy(&word, p, 4);
  return word;
}

}  // namespace

bool KvLingoMap::CreateString(std::string& text, const KvMolBase& mol) const {
  return Create(text, nullptr, mol);
}

bool KvLingoMap::CreateString(std::string& text, std::vector<int>& atoms, const KvMolBase& mol) const {
  return Create(text, &atoms, mol);
}

bool KvLingoMap::Create(std::string& text, std::vector<int>* atoms, const KvMolBase& mol) const {
  text.clear();
  if (atoms != nullptr) atoms->clear();
  if (!mol.IsValid()) return false;
  KvMolImpl& impl = mol.Impl();
  try {
    std::string smiles;
    std::vector<unsigned> order;
    {
      std::lock_guard<std::mutex> lock(impl.toolkitMutex);
      smiles = RDKit::MolToSmiles(*impl.mol, false);
      if (atoms != nullptr) impl.mol->getProp(RDKit::common_properties::_smilesAtomOutputOrder, order);
    }
    text = Compress(smiles, atoms != nullptr ? &order : nullptr, atoms);
    return true;
  } catch (...) {
    KvSystem::KvThrow()->Warning("KvLingoMap::CreateString(): %s", DescribeCurrentException().c_str());
    text.clear();
    if (atoms != nullptr) atoms->clear();
    return false;
  }
}

KvLingoSim::KvLingoSim(const std::string& text, unsigned /*option*/) {
  if (text.size() < 4) return;
  valid_ = true;
  total_ = static_cast<std::uint32_t>(text.size() - 3);
  counts_.reserve(total_);
  for (size_t i = 0; i + 4 <= text.size(); ++i) ++counts_[Pack(text.data() + i)];
}

bool KvLingoSim::GetTerms(const std::string& other, std::uint32_t* a, std::uint32_t* b, std::uint32_t* c) const {
  if (!valid_) return false;
  std::vector<std::uint32_t> words;
  if (other.size() >= 4) {
    words.reserve(other.size() - 3);
    for (size_t i = 0; i + 4 <= other.size(); ++i) words.push_back(Pack(other.data() + i));
    std::sort(words.begin(), words.end());
  }
  std::uint32_t shared = 0;
  for (size_t i = 0; i < words.size();) {
    size_t j = i + 1;
    while (j < words.size() && words[j] == words[i]) ++j;
    auto it = counts_.find(words[i]);
    if (it != counts_.end()) shared += std::min<std::uint32_t>(it->second, static_cast<std::uint32_t>(j - i));
    i = j;
  }
  const auto otherTotal = static_cast<std::uint32_t>(words.size());
  if (a) *a = total_ - shared;
  if (b) *b = otherTotal - shared;
  if (c) *c = shared;
  return true;
}

}  // namespace KvChem
