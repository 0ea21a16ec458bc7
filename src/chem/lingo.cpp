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
// ([Cl-] -> [L-]): the text is only compared, never parsed again.
std::string Compress(const std::string& smiles) {
  std::string out;
  out.reserve(smiles.size());
  bool inBracket = false;
  for (size_t i = 0; i < smiles.size(); ++i) {
    const char c = smiles[i];
    if (c == '[') inBracket = true;
    if (c == ']') inBracket = false;
    if (c == 'C' && i + 1 < smiles.size() && smiles[i + 1] == 'l') {
      out.push_back('L');
      ++i;
    } else if (c == 'B' && i + 1 < smiles.size() && smiles[i + 1] == 'r') {
      out.push_back('R');
      ++i;
    } else if (!inBracket && c == '%') {
      out.push_back('0');
      if (i + 1 < smiles.size() && smiles[i + 1] == '(') {
        const size_t close = smiles.find(')', i + 2);
        i = close == std::string::npos ? smiles.size() : close;
      } else {
        for (int k = 0; k < 2 && i + 1 < smiles.size() && std::isdigit(static_cast<unsigned char>(smiles[i + 1])); ++k)
          ++i;
      }
    } else if (!inBracket && std::isdigit(static_cast<unsigned char>(c))) {
      out.push_back('0');
    } else {
      out.push_back(c);
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
  text.clear();
  if (!mol.IsValid()) return false;
  KvMolImpl& impl = mol.Impl();
  try {
    std::string smiles;
    {
      std::lock_guard<std::mutex> lock(impl.toolkitMutex);
      smiles = RDKit::MolToSmiles(*impl.mol, false);
    }
    text = Compress(smiles);
    return true;
  } catch (...) {
    KvSystem::KvThrow()->Warning("KvLingoMap::CreateString(): %s", DescribeCurrentException().c_str());
    text.clear();
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
