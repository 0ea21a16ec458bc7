// VSEPR path-count fingerprints.
//
// A KvVseprFingerprint counts, for every path of heavy atoms (at most eight
// atoms) that starts at an atom, at either atom of a bond, or at every heavy
// atom of a molecule, how often each sequence of VSEPR atom types occurs (see
// vsepr_types.h). A path is keyed by a 64-bit word that holds the type id of
// its i-th atom in byte i (the start atom in the lowest byte); the
// fingerprint is the list of (key, count) pairs in increasing key order and
// their total, the volume. Hydrogen atoms never extend a path.
//
// Fingerprints compare with a min/max Tanimoto and a Tversky index over the
// counts, combine with +, & and |, and can be attached to atoms, bonds and
// molecules (KvPrepVsepr) to be compared later (KvGetVseprTanimoto).
//
// Thread safety: a fingerprint is a value; const operations on one object
// may run concurrently, writes need external synchronisation. Setting up
// reads the molecule only (const operations of the chemistry layer).
// KvPrepVsepr writes to the object it is given.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "kvchem/mol.h"
#include "kvsystem/base.h"
#include "kvsystem/functional.h"

namespace Varnex {

// Settings of a VSEPR fingerprint. Setters store the value as passed and
// return *this for chaining; values are repaired only when a fingerprint is
// set up.
class KvVseprOptions {
 public:
  // Paths are walked while their bond count is below this (so they have at
  // most this many atoms). Values above 8 are clamped to 8 with a warning.
  unsigned GetMaxPathLength() const { return maxPathLength_; }
  // Paths are counted only when their bond count is at least this. When it
  // exceeds the maximum, the two are swapped.
  unsigned GetMinPathLength() const { return minPathLength_; }
  // Walk only paths that move one bond further from the start atom at every
  // step (so a ring is never walked back towards the start).
  bool GetForcePathsOut() const { return forcePathsOut_; }
  // Count a path of d bonds as exp((8 - d) / 2) instead of 1.
  bool GetWeightByLength() const { return weightByLength_; }
  // Type atoms with VSEPRAroStereoType instead of VSEPRAroType.
  bool GetStereoAware() const { return stereoAware_; }

  KvVseprOptions& SetMaxPathLength(unsigned value) {
    maxPathLength_ = value;
    return *this;
  }
  KvVseprOptions& SetMinPathLength(unsigned value) {
    minPathLength_ = value;
    return *this;
  }
  KvVseprOptions& SetForcePathsOut(bool value) {
    forcePathsOut_ = value;
    return *this;
  }
  KvVseprOptions& SetWeightByLength(bool value) {
    weightByLength_ = value;
    return *this;
  }
  KvVseprOptions& SetStereoAware(bool value) {
    stereoAware_ = value;
    return *this;
  }

  bool operator==(const KvVseprOptions&) const = default;

 private:
  unsigned maxPathLength_ = 8;
  unsigned minPathLength_ = 0;
  bool forcePathsOut_ = true;
  bool weightByLength_ = false;
  bool stereoAware_ = true;
};

// A count fingerprint of VSEPR type paths. Owns its data (copies are deep).
class KvVseprFingerprint {
 public:
  // Empty: no pairs, volume 0, default options.
  KvVseprFingerprint();
  // The default constructor followed by the matching Setup.
  KvVseprFingerprint(const KvChem::KvAtomBase& atom, KvVseprOptions options);
  KvVseprFingerprint(const KvChem::KvBondBase& bond, KvVseprOptions options);
  KvVseprFingerprint(const KvChem::KvMolBase& mol, KvVseprOptions options);
  KvVseprFingerprint(const KvVseprFingerprint& other);
  KvVseprFingerprint& operator=(const KvVseprFingerprint& other);
  ~KvVseprFingerprint();
  // Exchanges the contents of two fingerprints; never allocates.
  void swap(KvVseprFingerprint& other) noexcept { impl_.swap(other.impl_); }

  // Replace the contents by the paths that start at the atom (which may be a
  // hydrogen), at the bond's begin and then its end atom, or at every heavy
  // atom of the molecule. The options are kept as passed.
  void Setup(const KvChem::KvAtomBase& atom, KvVseprOptions options);
  void Setup(const KvChem::KvBondBase& bond, KvVseprOptions options);
  void Setup(const KvChem::KvMolBase& mol, KvVseprOptions options);

  // The options of the last Setup, unchanged, or the defaults.
  KvVseprOptions GetOptions() const;
  // The sum of all counts.
  double GetVolume() const;
  // A copy of the (path key, count) pairs in increasing key order.
  std::vector<std::pair<std::uint64_t, double>> GetPathCounts() const;
  // The number of pairs.
  std::size_t NumPaths() const;

  // Sum over common keys of the smaller count, divided by the sum over all
  // keys of the larger count (a key in one list only counts there); 0.0 when
  // either fingerprint is empty. The volumes are not used.
  double GetTanimoto(const KvVseprFingerprint& other) const;

  // Union of keys with summed counts and default options; when one operand is
  // empty, a copy of the other (options included).
  KvVseprFingerprint operator+(const KvVseprFingerprint& other) const;
  // Common keys with the smaller count; default options.
  KvVseprFingerprint operator&(const KvVseprFingerprint& other) const;
  // Union of keys with the larger count; default options.
  KvVseprFingerprint operator|(const KvVseprFingerprint& other) const;
  // A copy with every count and the volume multiplied by `factor`.
  KvVseprFingerprint Scale(double factor) const;

  // A strict order: by volume; with equal volumes an empty fingerprint is
  // not below anything and is above every non-empty one; otherwise the pair
  // lists compare lexicographically (keys, then counts differing by more than
  // 1e-11), a proper prefix being above the longer list.
  bool operator<(const KvVseprFingerprint& other) const;

 private:
  struct Impl;
  // The part of Setup common to the three overloads: walks from `starts`, or
  // from every heavy atom of `mol` when `allHeavyAtoms`. A null `mol` gives
  // an empty fingerprint.
  void Build(const KvChem::KvMolBase* mol, std::span<const std::uint32_t> starts, bool allHeavyAtoms,
             const KvVseprOptions& options);

  std::unique_ptr<Impl> impl_;
};

// a.GetTanimoto(b).
double KvGetTanimoto(const KvVseprFingerprint& a, const KvVseprFingerprint& b);

// c / ((|a| - c) * alpha + (|b| - c) * beta + c) with c the volume of a & b
// and |x| a volume. When the denominator is exactly zero (two empty
// fingerprints, or disjoint ones with alpha = beta = 0) the index is
// undefined and 0.0 is returned, as Tanimoto does for empty fingerprints.
double KvGetTversky(const KvVseprFingerprint& a, const KvVseprFingerprint& b, double alpha, double beta);

// Builds the object's fingerprint and attaches a copy under the tag
// "KvVseprFingerprint", replacing an earlier one. An item of another type
// under that tag is replaced only when KvSystem::KvCheckTypeMismatch allows it.
// Not thread-safe on one object (it writes the object's attached data).
void KvPrepVsepr(KvChem::KvAtomBase& atom, KvVseprOptions options);
void KvPrepVsepr(KvChem::KvBondBase& bond, KvVseprOptions options);
void KvPrepVsepr(KvChem::KvMolBase& mol, KvVseprOptions options);

// The fingerprint attached by KvPrepVsepr, or a shared empty fingerprint when
// there is none. The reference lives as long as the item (or the process).
const KvVseprFingerprint& KvGetVseprFingerprint(const KvSystem::KvBase& object);

// The Tanimoto of the two attached fingerprints; `defaultValue` when either
// object has none, or when they were set up with different max or min path
// lengths or force-paths-out settings. Reports nothing.
double KvGetVseprTanimoto(const KvChem::KvAtomBase& x, const KvChem::KvAtomBase& y, double defaultValue);
double KvGetVseprTanimoto(const KvChem::KvBondBase& x, const KvChem::KvBondBase& y, double defaultValue);
double KvGetVseprTanimoto(const KvChem::KvMolBase& x, const KvChem::KvMolBase& y, double defaultValue);

// KvGetTanimoto as a function object; stateless.
class KvGetVseprTanimotoFxn final
    : public KvSystem::KvBinaryFunction<KvVseprFingerprint, KvVseprFingerprint, double> {
 public:
  double operator()(const KvVseprFingerprint& a, const KvVseprFingerprint& b) const override;
  // A heap copy owned by the caller.
  KvGetVseprTanimotoFxn* CreateCopy() const override;
};

}  // namespace Varnex

// Attached fingerprints carry a fixed type identifier, so that data written
// by one build is recognised by another.
namespace KvSystem {
template <>
struct KvTypeIdTraits<Varnex::KvVseprFingerprint> {
  static constexpr std::uint64_t Value() { return 0x5AECBC2CC86F596EULL; }
};
}  // namespace KvSystem
