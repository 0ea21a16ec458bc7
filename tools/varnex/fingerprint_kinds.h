// The fingerprint kinds of the command line: every kind of the library and
// the VSEPR count fingerprints, each with its own parameters and defaults.
#pragma once

#include <string>

#include "kvchem/mol.h"
#include "kvsystem/parameters.h"
#include "varnex/fingerprint.h"
#include "varnex/fptypes.h"
#include "varnex/vsepr_fingerprint.h"

namespace VarnexCli {

// The kind chosen by the fingerprint parameters: a library type, or (for
// VSEPRAroType and VSEPRAroStereoType) the options of a VSEPR fingerprint.
struct FingerPrintKind {
  const Varnex::KvFPTypeBase* type = nullptr;  // null for a VSEPR kind
  Varnex::KvVseprOptions vsepr;
  std::string name;  // the -fptype value

  bool IsVsepr() const { return type == nullptr; }
  // The type string, or for VSEPR the kind name and its options.
  std::string Describe() const;
};

// A molecule's fingerprint of a FingerPrintKind: bits or path counts.
struct KindFingerPrint {
  Varnex::KvFingerPrint bits;
  Varnex::KvVseprFingerprint counts;
};

// Declares the group "fingerprint options": "-fptype" (every kind, default
// Path), "-numbits", "-mindistance", "-maxdistance", "-atomtype", "-bondtype"
// (graph kinds) and "-maxpathlength", "-minpathlength", "-forcepathsout",
// "-weightbylength" (VSEPR kinds), and "-maxatoms". A parameter left out
// takes the default of the chosen kind.
void AddFingerPrintParameters(KvSystem::KvInterface& itf);
// Reads the kind; false after one message on stderr when a parameter does
// not apply to the kind or a value is not valid for it.
bool ReadFingerPrintKind(const KvSystem::KvInterface& itf, FingerPrintKind& kind);

// Makes the fingerprint of `mol`; false when the library could not (it has
// said why).
bool MakeFingerPrint(const FingerPrintKind& kind, const KvChem::KvMolBase& mol, KindFingerPrint& fp);

}  // namespace VarnexCli
