// The driver shared by the path, tree and circular generators.
//
// Each of the three makes its fingerprint the same way: check the molecule,
// repair out-of-range parameters with its own messages, choose the working
// molecule (WorkingMol), type its atoms and bonds, let the kind enumerate
// its features and set bit (identifier mod the bit modulus) for each, and
// finally give the fingerprint the registry type of the repaired parameters.
// Only the messages and the feature enumeration differ. The frame of the
// explicit-typed identifier generators (emptying the outputs, checking the
// molecule and type arrays, reporting escaped exceptions) is shared here too.
//
// Thread safety: re-entrant; the caller's molecule is only read.
#pragma once

#include <cstdint>
#include <exception>
#include <vector>

#include "generators/feature_records.h"
#include "generators/modulus.h"
#include "generators/working_mol.h"
#include "kvchem/mol.h"
#include "kvchem/size_limits.h"
#include "kvsystem/error.h"
#include "varnex/feature_records.h"
#include "varnex/fingerprint.h"
#include "varnex/fpkinds.h"

namespace Varnex {

// The generator's printf formats of the repair warnings; each takes the
// generator's name first. bits, min and max take (name, value, default);
// minAboveMax (name, min, max).
struct GraphParamMessages {
  const char* bits;
  const char* min;
  const char* max;
  const char* minAboveMax;
};

// What distinguishes one graph generator. Its default parameters are those of
// its kind in the kinds table.
struct GraphGenerator {
  unsigned kind;                // KvFPType code
  const char* name;             // "KvMakePathFP()": the first argument of every message
  unsigned maxDistance;         // the largest accepted minimum or maximum
  GraphParamMessages messages;
  const char* typeMessage;  // reported when the typed entry gets a type of another kind
  bool typeMessageIsError;  // at error level rather than warning level
};

// The three graph generators (defined beside their enumerations).
extern const GraphGenerator kPathGenerator;
extern const GraphGenerator kTreeGenerator;
extern const GraphGenerator kCircularGenerator;

// Brings `mol` (the caller's own) into the state in which the generator of
// `type`'s kind reads it without a private copy; nothing for types of other
// kinds, out-of-range parameters or molecules above the size limit (their
// generators work on a copy as always).
void ReadyGraphMol(KvChem::KvMolBase& mol, const KvFPTypeBase* type);

// Repairs `params` in place: sizes outside 16-65535 bits, distances above the
// generator's limit, a minimum above the maximum and atom and bond flags both
// 0 are reported with the generator's messages and replaced by defaults.
void RepairGraphParams(const GraphGenerator& generator, KvFPGraphParams& params);

// The parameters of a type of the generator's kind, its stray parameter bits
// reported; false when `type` is null or of another kind (the caller reports).
[[nodiscard]] bool GraphParamsOf(const KvFPTypeBase* type, unsigned kind, KvFPGraphParams& params);
// The same for a generator's typed entry, reporting the generator's type
// message when `type` is null or of another kind.
[[nodiscard]] bool GraphParamsOf(const GraphGenerator& generator, const KvFPTypeBase* type,
                                   KvFPGraphParams& params);

// Makes the fingerprint. `enumerate(work, atomTypes, bondTypes, params,
// setBit)` walks the features of the working molecule and calls setBit(id)
// for each identifier; it returns false when it cannot (the fingerprint then
// keeps no type). An invalid molecule gives false and a null type.
template <typename Enumerate>
[[nodiscard]] bool MakeGraphFP(const GraphGenerator& generator, KvFingerPrint& fp, const KvChem::KvMolBase& mol,
                                 KvFPGraphParams params, Enumerate&& enumerate) {
  try {
    if (!mol.IsValid() || !KvChem::KvIsWithinSizeLimit(mol, generator.name)) {
      fp.SetFPTypeBase(nullptr);
      return false;
    }
    RepairGraphParams(generator, params);
    fp.SetSize(params.bits);
    fp.ClearBits();
    const WorkingMol work(mol, generator.kind, params.atomTypes, params.bondTypes);
    if (work.Get().NumAtoms() > 0) {
      thread_local std::vector<unsigned> atomTypes;
      thread_local std::vector<unsigned> bondTypes;
      work.Type(atomTypes, bondTypes);
      const FastModulus modulus(GetBitModulus(params.bits));
      std::uint8_t* out = fp.GetBytesMutable();
      auto setBit = [out, modulus](std::uint32_t id) {
        const std::uint32_t bit = modulus(id);
        out[bit >> 3] |= static_cast<std::uint8_t>(1u << (bit & 7));
      };
      if (!enumerate(work.Get(), atomTypes, bondTypes, params, setBit)) return false;
    }
    const KvFPKind& kind = *KvFindFPKind(generator.kind);
    fp.SetFPTypeBase(kind.intern(kind.version, params));
    return true;
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("%s : %s", generator.name, e.what());
    return false;
  }
}

// True when the caller's type arrays cover every atom and bond index of
// `mol`; otherwise warns under `name`.
template <typename TypeVector>
[[nodiscard]] bool TypesCoverMol(const char* name, const KvChem::KvMolBase& mol, const TypeVector& atomTypes,
                                   const TypeVector& bondTypes) {
  if (atomTypes.size() >= mol.GetMaxAtomIdx() && bondTypes.size() >= mol.GetMaxBondIdx()) return true;
  KvSystem::KvThrow()->Warning("%s : atom or bond type array does not cover the molecule!", name);
  return false;
}

// The frame of an identifier generator: empties `ids` and `records`, gives 0
// for an invalid molecule, runs `generate()` and reports an escaped exception
// as a warning under `name`. Returns the number of identifiers in `ids`.
template <typename Id, typename Generate>
unsigned RunIdGeneratorFrame(const char* name, std::vector<Id>& ids, KvFPFeatureRecords* records,
                          const KvChem::KvMolBase& mol, Generate&& generate) {
  try {
    ids.clear();
    if (records != nullptr) records->clear();
    if (!mol.IsValid()) return 0;
    generate();
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("%s : %s", name, e.what());
  }
  return static_cast<unsigned>(ids.size());
}

// Runs `generate(sink)`, whose sink(id, atoms, k) appends each numeric
// identifier to `ids` and, when `records` is not null, its feature record.
template <typename Generate>
void CollectNumericIds(std::vector<unsigned>& ids, KvFPFeatureRecords* records, const KvChem::KvMolBase& mol,
                         Generate&& generate) {
  if (records == nullptr) {
    generate([&ids](std::uint32_t id, const unsigned*, unsigned) { ids.push_back(id); });
  } else {
    generate([&](std::uint32_t id, const unsigned* atoms, unsigned k) {
      ids.push_back(id);
      AppendFeatureRecord(*records, mol, atoms, k, id);
    });
  }
}

}  // namespace Varnex
