// Size limits on molecules: the atom and line limits and their checks.

#include "kvchem/size_limits.h"

#include <algorithm>

#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "kvchem/mol.h"
#include "kvsystem/error.h"

namespace KvChem {
namespace {

std::atomic<unsigned> gMaxAtoms{KvDefaultMaxAtoms};
std::atomic<std::size_t> gMaxLineLength{KvDefaultMaxLineLength};

std::string Format(const char* format, std::size_t a, std::size_t b) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

bool CheckAtoms(std::size_t atoms, std::string& reason) {
  const unsigned limit = KvGetMaxAtoms();
  if (atoms <= limit) return true;
  reason = Format("%zu atoms, more than the limit of %zu", atoms, limit);
  return false;
}

bool CheckLine(std::size_t length, std::string& reason) {
  const std::size_t limit = KvGetMaxLineLength();
  if (length <= limit) return true;
  reason = Format("a line of %zu bytes, longer than the limit of %zu", length, limit);
  return false;
}

bool CheckNoNul(std::string_view text, std::string& reason) {
  if (text.find('\0') == std::string_view::npos) return true;
  reason = "a NUL byte in the text";
  return false;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The atoms a SMILES names: bracket atoms, organic-subset symbols (the
// second letter of Cl and Br is not one), aromatic symbols and '*'.
std::size_t CountSmilesAtoms(std::string_view smiles) {
  std::size_t atoms = 0;
  for (std::size_t i = 0; i < smiles.size(); ++i) {
    const char c = smiles[i];
    if (IsSpace(c)) break;
    if (c == '[') {
      ++atoms;
      const std::size_t close = smiles.find(']', i);
      if (close == std::string_view::npos) break;
      i = close;
    } else if ((c >= 'A' && c <= 'Z') || c == '*' || std::strchr("bcnops", c) != nullptr) {
      ++atoms;
    }
  }
  return atoms;
}

// The first unsigned number in `text` after leading blanks; 0 when none.
std::size_t LeadingNumber(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  std::size_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

}  // namespace

unsigned KvGetMaxAtoms() { return gMaxAtoms.load(std::memory_order_relaxed); }
void KvSetMaxAtoms(unsigned atoms) {
  gMaxAtoms.store(atoms == 0 ? KvDefaultMaxAtoms : std::min(atoms, KvLargestMaxAtoms));
}
std::size_t KvGetMaxLineLength() { return gMaxLineLength.load(std::memory_order_relaxed); }
void KvSetMaxLineLength(std::size_t bytes) { gMaxLineLength.store(bytes == 0 ? KvDefaultMaxLineLength : bytes); }

bool KvCheckSmilesText(std::string_view smiles, std::string& reason) {
  return CheckNoNul(smiles, reason) && CheckLine(smiles.size(), reason) &&
         CheckAtoms(CountSmilesAtoms(smiles), reason);
}

bool KvCheckAtomCount(std::size_t atoms, std::string& reason) { return CheckAtoms(atoms, reason); }

bool KvCheckMolBlockText(std::string_view molBlock, std::string& reason) {
  if (!CheckNoNul(molBlock, reason)) return false;
  std::size_t atoms = 0;
  std::size_t lineNumber = 0;
  for (std::size_t pos = 0; pos < molBlock.size(); ++lineNumber) {
    std::size_t end = molBlock.find('\n', pos);
    if (end == std::string_view::npos) end = molBlock.size();
    const std::string_view line = molBlock.substr(pos, end - pos);
    if (!CheckLine(line.size(), reason)) return false;
    if (lineNumber == 3 && line.find("V3000") == std::string_view::npos)
      atoms = LeadingNumber(line.substr(0, 3));
    else if (line.starts_with("M  V30 COUNTS"))
      atoms = LeadingNumber(line.substr(13));
    pos = end + 1;
  }
  return CheckAtoms(atoms, reason);
}

bool KvIsWithinSizeLimit(const KvMolBase& mol, const char* caller) {
  const unsigned atoms = mol.NumAtoms();
  const unsigned limit = KvGetMaxAtoms();
  if (atoms <= limit) return true;
  KvSystem::KvThrow()->Warning("%s : molecule has %u atoms, more than the limit of %u!", caller, atoms, limit);
  return false;
}

}  // namespace KvChem
