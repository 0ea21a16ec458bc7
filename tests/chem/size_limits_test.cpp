// The text-side size checks the readers run before the toolkit parses.

#include <gtest/gtest.h>

#include <string>

#include "capture_sink.h"
#include "kvchem/kvchem.h"

using namespace KvChem;
using namespace std::string_literals;

namespace {

// The SMILES atom count must equal the parsed count, or a big molecule
// slips through to the toolkit (or a small one is refused).
TEST(SizeLimits, SmilesAtomCountMatchesTheParsedMolecule) {
  const std::string smiles[] = {
      "CCO", "c1ccccc1Cl", "BrC(Br)(Br)Br", "[NH4+].[Cl-]", "[2H]C([2H])([2H])[2H]", "*C(*)=O", "C1CC[C@@H](O)CC1",
      "Sc1ccccc1", "c1ccc2[nH]ccc2c1", "OP(=O)(O)O", "CC(C)(C)[Si](C)(C)C", "FC(F)(F)I",
  };
  for (const std::string& s : smiles) {
    KvMol mol;
    ASSERT_TRUE(KvSmilesToMol(s, mol)) << s;
    // At the exact count the text passes, one below it is refused.
    KvSetMaxAtoms(mol.NumAtoms());
    std::string reason;
    EXPECT_TRUE(KvCheckSmilesText(s + " some name with CAPITALS", reason)) << s << ": " << reason;
    if (mol.NumAtoms() > 1) {
      KvSetMaxAtoms(mol.NumAtoms() - 1);
      EXPECT_FALSE(KvCheckSmilesText(s, reason)) << s;
    }
    KvSetMaxAtoms(0);
  }
}

// (How branches and bracket atoms count is the parsed-count oracle's.)
TEST(SizeLimits, TextsBeyondTheLimitsAreRefusedWithTheirReason) {
  const std::string molfileHead = "name\n  prog\n\n";
  const struct {
    const char* what;
    std::string text;
    bool molfile;
    std::string reason;  // "" when accepted
  } cases[] = {
      {"chain at the limit", std::string(1000, 'C'), false, ""},
      {"chain above", std::string(1001, 'C'), false, "1001 atoms, more than the limit of 1000"},
      {"NUL byte", "CC\0O"s, false, "a NUL byte in the text"},
      {"long line", std::string("C") + std::string(65536, '1'), false, "a line of 65537 bytes, longer than the limit of 65536"},
      {"line at the limit", std::string("C") + std::string(65535, '1'), false, ""},
      {"V2000 counts", molfileHead + "999  0  0  0  0  0  0  0  0  0999 V2000\nM  END\n", true, ""},
      {"V3000 counts", molfileHead + "  0  0  0     0  0            999 V3000\nM  V30 BEGIN CTAB\nM  V30 COUNTS 1001 1000 0 0 0\n",
       true, "1001 atoms, more than the limit of 1000"},
      {"molfile NUL", molfileHead + "  1  0\0"s, true, "a NUL byte in the text"},
      {"molfile long line", molfileHead + std::string(70000, ' ') + "\n", true,
       "a line of 70000 bytes, longer than the limit of 65536"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string reason;
    const bool ok = c.molfile ? KvCheckMolBlockText(c.text, reason) : KvCheckSmilesText(c.text, reason);
    EXPECT_EQ(ok, c.reason.empty());
    EXPECT_EQ(reason, c.reason);
  }
  // The public parsers refuse with the reason and no toolkit call.
  VarnexTest::CaptureSink sink;
  KvMol mol;
  EXPECT_FALSE(KvSmilesToMol(std::string(1001, 'C'), mol));
  EXPECT_FALSE(mol.IsValid());
  EXPECT_TRUE(sink.Contains("KvSmilesToMol(): cannot parse SMILES '" + std::string(80, 'C') + "... (1001 bytes)" +
                            "': 1001 atoms, more than the limit of 1000"));
}

}  // namespace
