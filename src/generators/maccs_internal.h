// Internal pieces of the MACCS 166-key fingerprint: the key texts, the
// element table, the compiled key list with its screens, and the generator
// core with a switch for the screens (tests compare both ways).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "generators/maccs_screen.h"
#include "kvchem/mol.h"
#include "varnex/maccs.h"

namespace Varnex::Maccs {

// One SMARTS key as written in the key list.
struct KeyText {
  const char* smarts;
  unsigned key;
  unsigned countKey;  // 0 when the key has no count key
};

inline constexpr std::size_t kNumSmartsKeys = 135;
inline constexpr unsigned kMaxTabledAtomicNum = 116;

// The SMARTS keys in list order.
extern const std::array<KeyText, kNumSmartsKeys> kKeyTexts;
// Element keys by atomic number 0 .. 116; 0 means no key.
extern const std::array<std::uint8_t, kMaxTabledAtomicNum + 1> kElementKeys;

// Keys decided by whole-molecule properties.
inline constexpr unsigned kSeveralComponentsKey = KvMACCSSeveralComponentsKey;
inline constexpr unsigned kAromaticRingSystemKey = KvMACCSAromaticRingSystemKey;
inline constexpr unsigned kSeveralAromaticRingSystemsKey = KvMACCSSeveralAromaticRingSystemsKey;

// The process-wide compiled key list: the public records plus, per record,
// the screen that tells when its pattern cannot occur in a molecule.
struct CompiledKeys {
  std::vector<MACCSKey> records;
  std::vector<PatternScreen> screens;  // parallel to records
};
const CompiledKeys& GetCompiledKeys();

// Sets the key bits of `mol`, which must be prepared for fingerprinting, into
// `fp` (already 166 clear bits). With `screen` false every pattern is matched,
// the reference for the screened run.
void SetKeyBits(KvFingerPrint& fp, const KvChem::KvMolBase& mol, bool screen);

}  // namespace Varnex::Maccs
