// Fingerprints of every kind for the io tests: real molecules where a
// generator exists, hand-set bits under registry types otherwise.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "kvchem/mol.h"
#include "molecules.h"
#include "varnex/fingerprint.h"
#include "varnex/fptypes.h"
#include "varnex/generation.h"
#include "varnex/pathfp.h"

namespace VarnexIoTest {

using VarnexTest::Mol;

// The default fingerprint of `kind` for `smiles` (aspirin unless given).
inline Varnex::KvFingerPrint Made(unsigned kind, const std::string& smiles) {
  Varnex::KvFingerPrint fp;
  EXPECT_TRUE(Varnex::KvMakeFP(fp, Mol(smiles), kind, false)) << smiles;
  return fp;
}
inline Varnex::KvFingerPrint PathFP(const std::string& smiles = "CC(=O)Oc1ccccc1C(=O)O") { return Made(102, smiles); }
inline Varnex::KvFingerPrint MACCSFP() { return Made(101, "CC(=O)Oc1ccccc1C(=O)O"); }
inline Varnex::KvFingerPrint LingoFP() { return Made(103, "CC(=O)Oc1ccccc1C(=O)O"); }

// `bits` bits with every seventh and the last bit on, under `type`.
inline Varnex::KvFingerPrint Patterned(const Varnex::KvFPTypeBase* type, unsigned bits) {
  Varnex::KvFingerPrint fp;
  fp.SetSize(bits);
  for (unsigned i = 0; i < bits; i += 7) fp.SetBitOn(i);
  if (bits > 0) fp.SetBitOn(bits - 1);
  fp.SetFPTypeBase(type);
  return fp;
}

inline Varnex::KvFingerPrint TreeFP() { return Patterned(Varnex::KvGetTreeFPType(2048, 0, 4, 63, 1), 2048); }
inline Varnex::KvFingerPrint CircularFP() {
  return Patterned(Varnex::KvGetCircularFPType(1024, 0, 3, 4239, 1), 1024);
}

}  // namespace VarnexIoTest
