// Test helper: molecules from SMILES, the NCI sample set and on-bit lists.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kvchem/mol.h"
#include "varnex/fingerprint.h"

namespace VarnexTest {

inline KvChem::KvMol Mol(const std::string& smiles) {
  KvChem::KvMol mol;
  EXPECT_TRUE(KvChem::KvSmilesToMol(smiles, mol)) << smiles;
  return mol;
}

// The first `limit` SMILES of the NCI sample set.
inline std::vector<std::string> NciSmiles(size_t limit) {
  std::vector<std::string> out;
  std::ifstream in(std::string(VARNEX_RDKIT_DATA_DIR) + "/NCI/first_5K.smi");
  std::string line;
  while (out.size() < limit && std::getline(in, line)) {
    std::istringstream fields(line);
    std::string smiles;
    if (fields >> smiles) out.push_back(smiles);
  }
  return out;
}

// The molecules among the first `limit` NCI SMILES that parse.
inline std::vector<KvChem::KvMol> NciMols(size_t limit) {
  std::vector<KvChem::KvMol> mols;
  for (const std::string& smiles : NciSmiles(limit)) {
    KvChem::KvMol mol;
    if (KvChem::KvSmilesToMol(smiles, mol)) mols.push_back(std::move(mol));
  }
  return mols;
}

inline std::vector<size_t> OnBits(const Varnex::KvFingerPrint& fp) {
  std::vector<size_t> on;
  for (size_t i = 0; i < fp.GetSize(); ++i)
    if (fp.IsBitOn(i)) on.push_back(i);
  return on;
}

}  // namespace VarnexTest
