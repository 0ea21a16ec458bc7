// Patterns, coverage and overlap of the path, tree and circular kinds.
//
// One family: each member copies the molecule (with back-pointers), prepares
// and types the copy as its fingerprint does, runs its identifier generators
// with feature records and translates the records back to the caller's
// molecule. The members differ only in their generators and kind.

#include <algorithm>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "generators/modulus.h"
#include "kvsystem/error.h"
#include "patterns/feature_key.h"
#include "patterns/origin_tag.h"
#include "varnex/circularfp.h"
#include "varnex/fpkinds.h"
#include "varnex/pathfp.h"
#include "varnex/patterns.h"
#include "varnex/preparation.h"
#include "varnex/treefp.h"
#include "varnex/typing.h"

namespace Varnex {
namespace {

using KvSystem::KvIterBase;

// A caller's molecule readied for one kind: back-pointers attached, a
// prepared working copy and its type codes. The tag goes when this does.
struct Working {
  Working(const KvChem::KvMolBase& mol, const KvFPGraphTypeBase& type, unsigned kind)
      : tag(mol), copy(mol), kind(kind) {
    minDistance = type.GetMinDistance();
    maxDistance = type.GetMaxDistance();
    atomFlags = type.GetAtomTypes();
    bondFlags = type.GetBondTypes();
    bits = type.GetNumBits();
    if (bits < 16 || bits > 65535) bits = KvFindFPKind(kind)->defaults.bits;
    KvPrepareForFingerprinting(copy, kind);
  }

  void TypeNumeric() { KvGetFingerprintAtomTypes(atomTypes, bondTypes, copy, atomFlags, bondFlags); }
  void TypeText() { KvGetFingerprintAtomTypes(atomTexts, bondTexts, copy, atomFlags, bondFlags); }

  void Generate(std::vector<unsigned>& ids, KvFPFeatureRecords& records) {
    TypeNumeric();
    switch (kind) {
      case KvFPType::Path:
        KvPathIdGeneratorStack(ids, copy, atomTypes, bondTypes, minDistance, maxDistance, &records);
        break;
      case KvFPType::Tree:
        KvTreeIdGenerator(ids, copy, atomTypes, bondTypes, minDistance, maxDistance, atomFlags, bondFlags, &records);
        break;
      default:
        KvCircularIdGenerator(ids, copy, atomTypes, bondTypes, minDistance, maxDistance, atomFlags, bondFlags,
                              &records);
    }
  }
  void Generate(std::vector<std::string>& ids, KvFPFeatureRecords& records) {
    TypeText();
    switch (kind) {
      case KvFPType::Path:
        KvPathIdGeneratorStack(ids, copy, atomTexts, bondTexts, minDistance, maxDistance, &records);
        break;
      case KvFPType::Tree:
        KvTreeIdGenerator(ids, copy, atomTexts, bondTexts, minDistance, maxDistance, atomFlags, bondFlags, &records);
        break;
      default:
        KvCircularIdGenerator(ids, copy, atomTexts, bondTexts, minDistance, maxDistance, atomFlags, bondFlags,
                              &records);
    }
  }

  OriginTag tag;
  KvChem::KvGraphMol copy;
  unsigned kind;
  unsigned minDistance = 0, maxDistance = 0, atomFlags = 0, bondFlags = 0, bits = 0;
  std::vector<unsigned> atomTypes, bondTypes;
  std::vector<std::string> atomTexts, bondTexts;
};

// The graph type behind `type` when it is of `kind` and `mol` is valid;
// warns about parameter bits outside the packed fields.
const KvFPGraphTypeBase* CheckType(const KvChem::KvMolBase& mol, const KvFPTypeBase* type, unsigned kind) {
  if (type == nullptr || type->GetFPType() != kind || !mol.IsValid()) return nullptr;
  const auto* graph = dynamic_cast<const KvFPGraphTypeBase*>(type);
  if (graph == nullptr) return nullptr;
  KvReportStrayParameterBits(*graph);
  return graph;
}

KvIterBase<KvFPPattern>* Patterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type, unsigned kind,
                                  const char* name) {
  try {
    const KvFPGraphTypeBase* graph = CheckType(mol, type, kind);
    if (graph == nullptr) return KvSystem::KvMakeEmptyIter<KvFPPattern>();
    Working work(mol, *graph, kind);
    std::vector<unsigned> ids;
    std::vector<std::string> texts;
    KvFPFeatureRecords records, textRecords;
    work.Generate(ids, records);
    work.Generate(texts, textRecords);
    const std::uint32_t modulus = GetBitModulus(work.bits);
    const size_t count = std::min({ids.size(), texts.size(), records.size()});
    std::vector<KvFPPattern> patterns;
    patterns.reserve(count);
    for (size_t i = 0; i < count; ++i) {
      const KvChem::KvAtomBondSet set = TranslateSet(records[i]);
      patterns.emplace_back(set.GetAtoms(), set.GetBonds(), texts[i], ids[i], ids[i] % modulus);
    }
    return KvSystem::KvMakeVectorIter(std::move(patterns));
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("%s : %s", name, e.what());
    return KvSystem::KvMakeEmptyIter<KvFPPattern>();
  }
}

KvIterBase<KvChem::KvAtomBondSet>* Coverage(const KvChem::KvMolBase& mol, const KvFPTypeBase* type, bool unique,
                                            unsigned kind, const char* name) {
  try {
    const KvFPGraphTypeBase* graph = CheckType(mol, type, kind);
    if (graph == nullptr) return KvSystem::KvMakeEmptyIter<KvChem::KvAtomBondSet>();
    Working work(mol, *graph, kind);
    std::vector<std::string> texts;
    KvFPFeatureRecords records;
    work.Generate(texts, records);
    std::set<std::string> seenIds;
    std::set<FeatureKey> seenSets;
    std::vector<KvChem::KvAtomBondSet> kept;
    for (size_t i = 0; i < records.size() && i < texts.size(); ++i) {
      if (unique && !seenIds.insert(texts[i]).second) continue;
      if (!seenSets.insert(MakeFeatureKey(records[i])).second) continue;
      kept.push_back(TranslateSet(records[i]));
    }
    return KvSystem::KvMakeVectorIter(std::move(kept));
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("%s : %s", name, e.what());
    return KvSystem::KvMakeEmptyIter<KvChem::KvAtomBondSet>();
  }
}

KvIterBase<KvChem::KvMatchBase>* Overlap(const KvChem::KvMolBase& molA, const KvChem::KvMolBase& molB,
                                         const KvFPTypeBase* type, unsigned kind, const char* name) {
  try {
    const KvFPGraphTypeBase* graphA = CheckType(molA, type, kind);
    if (graphA == nullptr || !molB.IsValid()) return KvSystem::KvMakeEmptyIter<KvChem::KvMatchBase>();
    Working workA(molA, *graphA, kind);
    Working workB(molB, *graphA, kind);
    std::vector<std::string> textsA, textsB;
    KvFPFeatureRecords recordsA, recordsB;
    workA.Generate(textsA, recordsA);
    workB.Generate(textsB, recordsB);
    // Records of B by identifier, in emission order.
    std::map<std::string, std::vector<size_t>> byId;
    for (size_t j = 0; j < recordsB.size() && j < textsB.size(); ++j) byId[textsB[j]].push_back(j);
    std::set<std::vector<unsigned>> seen;
    std::vector<KvChem::KvMatchBase> matches;
    for (size_t i = 0; i < recordsA.size() && i < textsA.size(); ++i) {
      const auto found = byId.find(textsA[i]);
      if (found == byId.end()) continue;
      const KvChem::KvAtomBondSet& a = recordsA[i];
      for (const size_t j : found->second) {
        const KvChem::KvAtomBondSet& b = recordsB[j];
        if (!seen.insert(MakePairKey(a, b)).second) continue;
        matches.push_back(PairSets(a.GetAtoms(), a.GetBonds(), b.GetAtoms(), b.GetBonds()));
      }
    }
    return KvSystem::KvMakeVectorIter(std::move(matches));
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("%s : %s", name, e.what());
    return KvSystem::KvMakeEmptyIter<KvChem::KvMatchBase>();
  }
}

}  // namespace

KvIterBase<KvFPPattern>* KvGetPathFPPatterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  return Patterns(mol, type, KvFPType::Path, "KvGetPathFPPatterns()");
}
KvIterBase<KvFPPattern>* KvGetTreeFPPatterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  return Patterns(mol, type, KvFPType::Tree, "KvGetTreeFPPatterns()");
}
KvIterBase<KvFPPattern>* KvGetCircularFPPatterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  return Patterns(mol, type, KvFPType::Circular, "KvGetCircularFPPatterns()");
}

KvIterBase<KvChem::KvAtomBondSet>* KvGetPathFPCoverage(const KvChem::KvMolBase& mol, const KvFPTypeBase* type,
                                                       bool unique) {
  return Coverage(mol, type, unique, KvFPType::Path, "KvGetPathFPCoverage()");
}
KvIterBase<KvChem::KvAtomBondSet>* KvGetTreeFPCoverage(const KvChem::KvMolBase& mol, const KvFPTypeBase* type,
                                                       bool unique) {
  return Coverage(mol, type, unique, KvFPType::Tree, "KvGetTreeFPCoverage()");
}
KvIterBase<KvChem::KvAtomBondSet>* KvGetCircularFPCoverage(const KvChem::KvMolBase& mol, const KvFPTypeBase* type,
                                                           bool unique) {
  return Coverage(mol, type, unique, KvFPType::Circular, "KvGetCircularFPCoverage()");
}

KvIterBase<KvChem::KvMatchBase>* KvGetPathFPOverlap(const KvChem::KvMolBase& molA, const KvChem::KvMolBase& molB,
                                                    const KvFPTypeBase* type) {
  return Overlap(molA, molB, type, KvFPType::Path, "KvGetPathFPOverlap()");
}
KvIterBase<KvChem::KvMatchBase>* KvGetTreeFPOverlap(const KvChem::KvMolBase& molA, const KvChem::KvMolBase& molB,
                                                    const KvFPTypeBase* type) {
  return Overlap(molA, molB, type, KvFPType::Tree, "KvGetTreeFPOverlap()");
}
KvIterBase<KvChem::KvMatchBase>* KvGetCircularFPOverlap(const KvChem::KvMolBase& molA,
                                                        const KvChem::KvMolBase& molB, const KvFPTypeBase* type) {
  return Overlap(molA, molB, type, KvFPType::Circular, "KvGetCircularFPOverlap()");
}

}  // namespace Varnex
