// Size limits on molecules, checked before the chemistry toolkit sees them.
//
// The toolkit's parsing and perception grow faster than linearly with the
// size of a molecule (a plain chain of 4,000 carbons takes close to a
// minute, 70,000 ring atoms overflow the stack of its ring finder), so every
// molecule reader and every fingerprint generator refuses a molecule above
// an atom limit, and the readers refuse any input line above a length limit
// before parsing it. The default of 1000 atoms keeps every molecule within
// about a second; molecules of that size are rare in similarity search.
//
// Thread safety: the limits are process-wide atomics; every function may be
// called from any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace KvChem {

class KvMolBase;

inline constexpr unsigned KvDefaultMaxAtoms = 1000;
// The highest atom limit there is. The toolkit recurses once per atom in
// places (ring finding, SMILES writing): a 65,522-atom ring overflows the
// 8 MB stack of a thread, 50,000 do not; a fifth of that keeps every shape
// (rings, chains, nested branches) clear of the stack of any thread the
// library or its callers start.
inline constexpr unsigned KvLargestMaxAtoms = 10000;
inline constexpr std::size_t KvDefaultMaxLineLength = 65536;  // bytes

// The atom limit: molecules with more atoms are refused. A value of 0
// restores the default; one above KvLargestMaxAtoms is lowered to it.
unsigned KvGetMaxAtoms();
void KvSetMaxAtoms(unsigned atoms);
// The line limit in bytes: a SMILES text, or a line of a molfile, that is
// longer is refused. A value of 0 restores the default.
std::size_t KvGetMaxLineLength();
void KvSetMaxLineLength(std::size_t bytes);

// Text-side checks, cheap and done before parsing. True when the text is
// within the limits; otherwise false and `reason` says which limit it broke.
// A SMILES is counted up to its first white space (the name is not parsed);
// a NUL byte anywhere is refused, since the toolkit would stop reading there.
bool KvCheckSmilesText(std::string_view smiles, std::string& reason);
// A molfile's atom count is taken from its counts line (V2000) or its
// "M  V30 COUNTS" line (V3000).
bool KvCheckMolBlockText(std::string_view molBlock, std::string& reason);

// The same check on an atom count already known (a molecule read from its
// binary form, whose perception is still to come).
bool KvCheckAtomCount(std::size_t atoms, std::string& reason);

// The check of the generators: true when `mol` has at most KvGetMaxAtoms()
// atoms; otherwise the warning "%s : molecule has %u atoms, more than the
// limit of %u!" with `caller` and false.
bool KvIsWithinSizeLimit(const KvMolBase& mol, const char* caller);

}  // namespace KvChem
