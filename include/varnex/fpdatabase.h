// The in-memory fingerprint database.
//
// KvFPDatabase keeps copies of fingerprints of one type, in the order they
// were added, and scores a query (a fingerprint of the same type pointer, or a
// molecule made into one) against them: every score within a cutoff in index
// order (GetScores), or the best scores best first through a bounded hit list
// (GetSortedScores). Bit-vector kinds (MACCS166, Path, Circular, Tree) use the
// database's measure functor; Lingo databases score a prepared Lingo comparer
// of the query; unhashed databases (UHPath, UHCircular, UHTree) compare sorted
// lists of token identifiers interned in a dictionary of the database.
//
// Cutoffs: the unsorted scan keeps scores >= cutoff (descending) or <= cutoff
// (ascending); the sorted search keeps only scores strictly better than the
// cutoff and, without a cutoff in descending order, only scores above 0.0.
//
// Ownership: the database owns its implementation and its fingerprint copies;
// it is neither copied nor assigned. Every query returns a heap iterator that
// the caller owns and deletes; an empty result is an empty iterator, never
// null. Failures warn and return 0xFFFFFFFF or an empty iterator.
// Thread safety: none. Even queries of an unhashed database write (they intern
// the query's tokens), and AddFP invalidates GetFingerPrints() iterators.
#pragma once

#include <memory>

#include "kvchem/mol.h"
#include "kvsystem/iterator.h"
#include "varnex/dboptions.h"
#include "varnex/fingerprint.h"
#include "varnex/fptypes.h"
#include "varnex/simfunc.h"

namespace Varnex {

class KvFPDatabaseImplBase;

class KvFPDatabase {
 public:
  // The default type of a kind (KvFPType), at the kind's current version:
  // Path 4096 bits, bonds 0-5, atoms 191, bonds 3; Tree 4096, 0-4, 63, 1;
  // Circular 4096, radius 0-5, 4239, 1; MACCS166 and Lingo their only type;
  // unhashed path 0-5, 191, 3; unhashed circular 0-5, 4239, 1; unhashed tree
  // 0-4, 63, 1. Another kind reports the error "KvFPDatabase::KvFPDatabase()
  // unknown fingerprint type" and leaves a database without implementation,
  // whose every operation returns its failure value without a message.
  explicit KvFPDatabase(unsigned int kind);
  // A database of `type` (not owned; registry types live until unload).
  // Unknown kinds and a null type fail as above.
  explicit KvFPDatabase(const KvFPTypeBase* type);
  ~KvFPDatabase();
  KvFPDatabase(const KvFPDatabase&) = delete;
  KvFPDatabase& operator=(const KvFPDatabase&) = delete;

  // Copies `fp` in and returns its index, or 0xFFFFFFFF when its type pointer
  // is not the database's (identity, not equal type strings) or the database
  // already holds 4294967295 fingerprints.
  unsigned int AddFP(const KvFingerPrint& fp);
  // Adds the fingerprint of the database's type made from `mol` (KvMakeFP);
  // 0xFFFFFFFF when it cannot be made.
  unsigned int AddFP(const KvChem::KvMolBase& mol);

  unsigned int NumFingerPrints() const;
  // The stored fingerprints in index order, read in place: valid until the
  // next AddFP or the database's end. Unhashed databases hold one empty
  // placeholder per entry. The caller owns the iterator.
  KvSystem::KvIterBase<const KvFingerPrint>* GetFingerPrints() const;
  const KvFPTypeBase* GetFPTypeBase() const;

  float GetCutoff() const;
  // Stores the cutoff and puts it in force.
  void SetCutoff(float cutoff);
  bool HasCutoff() const;
  // Takes the cutoff out of force; the stored value stays.
  void ClearCutoff();
  bool GetDescendingOrder() const;
  void SetDescendingOrder(bool descending);

  // Sets the order, then replaces the measure. Bit-vector databases take a
  // copy of any functor. Lingo databases turn KvTanimotoSim into Lingo
  // Tanimoto and KvTverskySim into Lingo Tversky 0.95 / 1.0f - 0.95f; any
  // other class warns "KvFPDatabase::SetSimFunc() user defined similarity
  // measure not allowed with Lingo database" and uses Tanimoto. Unhashed
  // databases only know Tanimoto; another class warns "... not allowed with
  // unhashed database".
  void SetSimFunc(const KvSimFuncBase& measure, bool descending);
  // The same with a KvSimMeasure code (Tversky 0.95 / 1.0f - 0.95f). An
  // unknown code, and in unhashed databases any code but Tanimoto, warns
  // "KvFPDatabase::SetSimFunc() unknown similarity measure" and uses Tanimoto.
  void SetSimFunc(unsigned int measure, bool descending);

  // Scores of entries begin to min(end, count) - 1 in index order, within the
  // database's cutoff (inclusive) and order; end 0 means all entries.
  KvSystem::KvIterBase<KvSimScore>* GetScores(const KvFingerPrint& query, unsigned int begin = 0,
                                              unsigned int end = 0);
  // Scores of all entries with the options' cutoff and order (the limit is not
  // used). Bit-vector databases take the options' measure, Lingo databases
  // keep their own; unhashed databases warn "KvFPDatabase::GetScores() has not
  // been implemented yet!" and return nothing.
  KvSystem::KvIterBase<KvSimScore>* GetScores(const KvFingerPrint& query, const KvFPDatabaseOptions& options);
  // The best `limit` scores of entries begin to min(end, count) - 1, best
  // first, with the database's measure, cutoff and order; limit 0 and end 0
  // each mean the number of fingerprints.
  KvSystem::KvIterBase<KvSimScore>* GetSortedScores(const KvFingerPrint& query, unsigned int limit = 0,
                                                    unsigned int begin = 0, unsigned int end = 0);
  // The best scores of all entries under the options (limit 0: all); measure
  // as for GetScores(query, options); unhashed databases warn
  // "KvFPDatabase::GetSortedScores() has not been implemented yet!".
  KvSystem::KvIterBase<KvSimScore>* GetSortedScores(const KvFingerPrint& query, const KvFPDatabaseOptions& options);

  // The molecule forms make the query fingerprint of the database's type with
  // KvMakeFP; when that fails the result is the empty iterator.
  KvSystem::KvIterBase<KvSimScore>* GetScores(const KvChem::KvMolBase& query, unsigned int begin = 0,
                                              unsigned int end = 0);
  KvSystem::KvIterBase<KvSimScore>* GetScores(const KvChem::KvMolBase& query, const KvFPDatabaseOptions& options);
  KvSystem::KvIterBase<KvSimScore>* GetSortedScores(const KvChem::KvMolBase& query, unsigned int limit = 0,
                                                    unsigned int begin = 0, unsigned int end = 0);
  KvSystem::KvIterBase<KvSimScore>* GetSortedScores(const KvChem::KvMolBase& query,
                                                    const KvFPDatabaseOptions& options);

 private:
  // The query fingerprint of `mol`; false when it cannot be made.
  [[nodiscard]] bool MakeQuery(const KvChem::KvMolBase& mol, KvFingerPrint& fp) const;

  std::unique_ptr<KvFPDatabaseImplBase> impl_;
};

}  // namespace Varnex
