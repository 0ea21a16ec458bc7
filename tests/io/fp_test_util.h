// Fingerprints of every kind for the io tests: real molecules where a
// generator exists, hand-set bit ranges under registry types otherwise.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "kvchem/mol.h"
#include "fp_texts.h"
#include "molecules.h"
#include "varnex/fingerprint.h"
#include "varnex/fptypes.h"
#include "varnex/generation.h"
#include "varnex/pathfp.h"

namespace VarnexIoTest {

using VarnexTest::Mol;
using VarnexTest::RangesFP;

// The default fingerprint of `kind` for `smiles` (aspirin unless given).
inline Varnex::KvFingerPrint Made(unsigned kind, const std::string& smiles) {
  Varnex::KvFingerPrint fp;
  EXPECT_TRUE(Varnex::KvMakeFP(fp, Mol(smiles), kind, false)) << smiles;
  return fp;
}
inline Varnex::KvFingerPrint PathFP(const std::string& smiles = "CC(=O)Oc1ccccc1C(=O)O") { return Made(102, smiles); }
inline Varnex::KvFingerPrint MACCSFP() { return Made(101, "CC(=O)Oc1ccccc1C(=O)O"); }
inline Varnex::KvFingerPrint LingoFP() { return Made(103, "CC(=O)Oc1ccccc1C(=O)O"); }

inline Varnex::KvFingerPrint TreeFP() {
  return RangesFP(Varnex::KvGetTreeFPType(2048, 0, 4, 63, 1), 2048, {{0, 9}, {2047, 2048}});
}
inline Varnex::KvFingerPrint CircularFP() {
  return RangesFP(Varnex::KvGetCircularFPType(1024, 0, 3, 4239, 1), 1024, {{5, 70}});
}

}  // namespace VarnexIoTest
