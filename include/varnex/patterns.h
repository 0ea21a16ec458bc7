// Fingerprint patterns, coverage and overlap: the substructures behind the
// features of the path, tree and circular fingerprints (and, for coverage and
// overlap, of the MACCS keys).
//
// Results are heap-allocated iterators that the caller owns and deletes (or
// hands to KvSystem::KvCollect); failures give an empty iterator. The atoms
// and bonds in the results belong to the caller's molecules, never to the
// working copies on which the fingerprint machinery runs.
//
// Thread safety: during a call the caller's molecules carry temporary
// attached data (tag "__oriptr", removed before the call returns), so two
// calls must not use the same molecule at the same time, although the
// molecules are passed as constant references. Calls on distinct molecules
// may run concurrently.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "kvchem/mol.h"
#include "kvchem/substruct.h"
#include "kvsystem/iterator.h"
#include "varnex/feature_records.h"
#include "varnex/fptypes.h"

namespace Varnex {

// One feature of a fingerprint: its atoms and bonds in the caller's molecule,
// its text identifier ("SMARTS"), numeric identifier and the bit it sets
// (numeric identifier mod the bit modulus of the fingerprint size). A value.
class KvFPPattern : public KvChem::KvAtomBondSet {
 public:
  KvFPPattern() = default;
  KvFPPattern(std::vector<const KvChem::KvAtomBase*> atoms, std::vector<const KvChem::KvBondBase*> bonds,
              std::string smarts, std::uint32_t unhashed, std::uint32_t bit)
      : KvAtomBondSet(std::move(atoms), std::move(bonds)),
        smarts_(std::move(smarts)),
        unhashed_(unhashed),
        bit_(bit) {}
  // The same from iterators, which the pattern takes over and drains (null
  // iterators give no atoms or bonds).
  KvFPPattern(KvSystem::KvIterBase<const KvChem::KvAtomBase*>* atoms,
              KvSystem::KvIterBase<const KvChem::KvBondBase*>* bonds, std::string smarts, std::uint32_t unhashed,
              std::uint32_t bit)
      : KvFPPattern(KvSystem::KvCollect(atoms), KvSystem::KvCollect(bonds), std::move(smarts), unhashed, bit) {}
  KvFPPattern(const KvFPPattern&) = default;
  KvFPPattern& operator=(const KvFPPattern&) = default;
  ~KvFPPattern() override = default;

  std::string GetSmarts() const { return smarts_; }
  std::uint32_t GetUnhashed() const { return unhashed_; }
  std::uint32_t GetBit() const { return bit_; }

 private:
  KvFPPattern* CreateCopy() const override { return new KvFPPattern(*this); }

  std::string smarts_;
  std::uint32_t unhashed_ = 0;
  std::uint32_t bit_ = 0;
};

// General entry points: dispatch on the type's kind (path, tree, circular;
// MACCS for coverage and overlap). A null, Lingo or unknown type (unhashed
// kinds included) gives a warning and an empty iterator; an invalid molecule
// an empty iterator without a message.
//
// Coverage: the atom-bond sets of the molecule's features, identical sets
// once; with `unique`, only the first feature of each distinct identifier.
KvSystem::KvIterBase<KvChem::KvAtomBondSet>* KvGetFPCoverage(const KvChem::KvMolBase& mol,
                                                             const KvFPTypeBase* type, bool unique);
// Overlap: one match per pair of equal features of A and B, pairing their
// atoms and bonds in set order (A on the query side, B on the target side).
KvSystem::KvIterBase<KvChem::KvMatchBase>* KvGetFPOverlap(const KvChem::KvMolBase& molA,
                                                          const KvChem::KvMolBase& molB, const KvFPTypeBase* type);
// Patterns: one per emitted identifier, in emission order.
KvSystem::KvIterBase<KvFPPattern>* KvGetFPPatterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type);

// Per-kind members: the type must be of the member's kind, else an empty
// iterator without a message.
KvSystem::KvIterBase<KvChem::KvAtomBondSet>* KvGetPathFPCoverage(const KvChem::KvMolBase& mol,
                                                                 const KvFPTypeBase* type, bool unique);
KvSystem::KvIterBase<KvChem::KvMatchBase>* KvGetPathFPOverlap(const KvChem::KvMolBase& molA,
                                                              const KvChem::KvMolBase& molB, const KvFPTypeBase* type);
KvSystem::KvIterBase<KvFPPattern>* KvGetPathFPPatterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type);

KvSystem::KvIterBase<KvChem::KvAtomBondSet>* KvGetTreeFPCoverage(const KvChem::KvMolBase& mol,
                                                                 const KvFPTypeBase* type, bool unique);
KvSystem::KvIterBase<KvChem::KvMatchBase>* KvGetTreeFPOverlap(const KvChem::KvMolBase& molA,
                                                              const KvChem::KvMolBase& molB, const KvFPTypeBase* type);
KvSystem::KvIterBase<KvFPPattern>* KvGetTreeFPPatterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type);

KvSystem::KvIterBase<KvChem::KvAtomBondSet>* KvGetCircularFPCoverage(const KvChem::KvMolBase& mol,
                                                                     const KvFPTypeBase* type, bool unique);
KvSystem::KvIterBase<KvChem::KvMatchBase>* KvGetCircularFPOverlap(const KvChem::KvMolBase& molA,
                                                                  const KvChem::KvMolBase& molB,
                                                                  const KvFPTypeBase* type);
KvSystem::KvIterBase<KvFPPattern>* KvGetCircularFPPatterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type);

// MACCS: element keys give one-atom sets, SMARTS keys their unique matches.
// Patterns: one per key match, in key order: for each atom with an element
// key, each unique match of a SMARTS key (and of its count key when there are
// two or more), each component (key 166) and each aromatic ring system (keys
// 162 and 125) when the key is set. The text is the key's pattern
// (KvGetMACCSKeyPattern), the identifier the key number, the bit key - 1: the
// bits of the patterns are exactly the bits the fingerprint sets.
KvSystem::KvIterBase<KvFPPattern>* KvGetMACCSFPPatterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type);
KvSystem::KvIterBase<KvChem::KvAtomBondSet>* KvGetMACCSFPCoverage(const KvChem::KvMolBase& mol,
                                                                  const KvFPTypeBase* type, bool unique);
KvSystem::KvIterBase<KvChem::KvMatchBase>* KvGetMACCSFPOverlap(const KvChem::KvMolBase& molA,
                                                               const KvChem::KvMolBase& molB,
                                                               const KvFPTypeBase* type);

// Lingo (kind 103): one pattern per substring of 4 characters of the Lingo
// text, in text order: the substring, the atoms whose characters it covers
// and the bonds between them; identifier and bit 0 (Lingo has no bits).
KvSystem::KvIterBase<KvFPPattern>* KvGetLingoFPPatterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type);

}  // namespace Varnex
