// Fingerprints of Python molecules, one at a time or in batches on the
// library's threads with the interpreter lock released.
#pragma once

#include <pybind11/pybind11.h>

#include "objects.h"

namespace VarnexPy {

// The fingerprint of one molecule; ValueError (the library's message) when it
// cannot be read or fingerprinted, TypeError for a non-molecule.
Fingerprint MakeFingerprint(const FPType& type, pybind11::handle mol);
// The fingerprints of an iterable of molecules, in batches: the lock is taken
// between batches to read the next molecules and to check for signals
// (KeyboardInterrupt). Failed molecules keep a row without bits.
FingerprintArray MakeFingerprints(const FPType& type, pybind11::iterable mols, unsigned threads);

}  // namespace VarnexPy
