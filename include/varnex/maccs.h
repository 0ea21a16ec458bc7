// The MACCS 166-key fingerprint (kind 101).
//
// Bit k - 1 is set when the molecule has structural key k of the MACCS 166
// key set. Keys come from the elements present (one table lookup per atom),
// from 135 SMARTS patterns (some of which also set a second key when they
// occur more than once), and from whole-molecule properties: key 166 for more
// than one connected component, keys 162 and 125 for at least one and more
// than one aromatic ring system. Key 44 is never set.
//
// The compiled key patterns are built once per process, on first use, under
// thread-safe one-time initialisation, and are read-only afterwards.
//
// Thread safety: every function here is re-entrant and may run on many
// threads at once, also over the same molecule. The caller's molecule is never
// changed: the generator reads it directly when it is already prepared for
// fingerprinting (see KvIsPreparedForFingerprinting), else a private copy.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "kvchem/mol.h"
#include "kvchem/substruct.h"
#include "kvsystem/iterator.h"
#include "varnex/fingerprint.h"

namespace Varnex {

// The number of bits of every MACCS fingerprint.
inline constexpr unsigned KvMACCS166NumBits = 166;

// The keys decided by whole-molecule properties.
inline constexpr unsigned KvMACCSSeveralComponentsKey = 166;
inline constexpr unsigned KvMACCSAromaticRingSystemKey = 162;
inline constexpr unsigned KvMACCSSeveralAromaticRingSystemsKey = 125;

// One SMARTS key of the MACCS key list. Records belong to the process-wide
// key list and are never changed after creation.
struct MACCSKey {
  std::string smarts;  // the pattern text
  unsigned key = 0;    // key number set when the pattern occurs
  unsigned countKey = 0;  // 0, or the key number set when it occurs more than once
  // Compiled from `smarts` when the record is made. A pattern the toolkit
  // cannot parse leaves an invalid search (warned once); its keys stay clear.
  std::unique_ptr<KvChem::KvSubSearch> search;
};

// Makes the MACCS fingerprint of `mol`: 166 bits and the registry's MACCS
// type of the current version. An invalid molecule gives false and a null
// type (bits untouched); a molecule without atoms gives 166 clear bits.
[[nodiscard]] bool KvMakeMACCS166FP(KvFingerPrint& fp, const KvChem::KvMolBase& mol);

// The 135 SMARTS key records in list order. The records live until the
// process ends.
std::span<const MACCSKey> KvGetMACCSKeyList();
// The same records through an iterator; the caller owns the iterator.
KvSystem::KvIterBase<const MACCSKey*>* KvGetMACCSKeys();

// The element key of an atomic number (0 when none, also above 116).
unsigned KvGetMACCSElementKey(unsigned atomicNum);

// What MACCS key `key` (1 to 166) stands for, in words ("a 4-membered ring
// with a heteroatom"); "" for other numbers.
std::string KvGetMACCSKeyDescription(unsigned key);
// The pattern that decides key `key`: the SMARTS of its key record (with
// "(2 or more)" for a count key), the atomic numbers of an element key as one
// SMARTS atom ("[#9]"), or the whole-molecule rule of keys 125, 162 and 166;
// "" for key 44 (never set) and other numbers.
std::string KvGetMACCSKeyPattern(unsigned key);

}  // namespace Varnex
