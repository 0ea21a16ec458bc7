// Tests of layouts and the SVG depiction: one filled ellipse per highlighted
// atom and nothing else highlighted, indices of the caller's molecule
// (explicit hydrogens included), many depictions of one layout as each alone,
// a chemist's 2D coordinates kept at the common bond length, the edges of
// layouts around fixed atoms, drawings at the bond length asked for with readable labels,
// and the warnings for a molecule that cannot be drawn.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "drawing_geometry.h"
#include "kvchem/depict.h"
#include "molecules.h"
#include "xml_tree.h"

namespace {

using KvChem::KvDepiction;
using KvChem::KvHighlight;
using VarnexTest::HighlightedAtoms;
using VarnexTest::ParseXml;
using VarnexTest::XmlElement;

// One filled ellipse per highlighted atom in its highlight's colour, the
// later of two highlights winning an atom they share. Many atoms of real
// molecules are the pattern pictures' test; here the edges.
TEST(KvDepictSvgTest, OneEllipseInItsColourPerHighlightedAtom) {
  const KvHighlight blue{{}, {0}, {0.5f, 0.5f, 1.0f}};  // #7F7FFF
  const auto on = [&](std::vector<unsigned> atoms) { return KvHighlight{std::move(atoms), blue.bonds, blue.colour}; };
  const std::string b = "#7F7FFF";
  const struct {
    const char* smiles;
    std::vector<KvHighlight> highlights;
    std::map<unsigned, std::string> fills;  // indices beyond the molecule are left out
  } cases[] = {
      {"CC(=O)Oc1ccccc1C(=O)O", {blue}, {}},
      {"OCC(=O)[O-].[Na+]", {on({0, 3, 4, 5})}, {{0, b}, {3, b}, {4, b}, {5, b}}},  // charges, a second fragment
      {"C([H])O", {on({1})}, {{1, b}}},                                            // an explicit hydrogen keeps its index
      {"CCO", {on({2, 3, 99})}, {{2, b}}},
      {"CCO", {KvHighlight{{0, 1}, {}, {1.0f, 0.0f, 0.0f}}, KvHighlight{{1, 2}, {}, {0.0f, 0.0f, 1.0f}}},
       {{0, "#FF0000"}, {1, "#0000FF"}, {2, "#0000FF"}}},
  };
  for (const auto& c : cases) {
    KvDepiction depiction;
    depiction.highlights = c.highlights;
    // The drawing nests in the pictures' documents, whose tests parse it there.
    const auto tree = ParseXml(KvChem::KvDepictSvg(VarnexTest::Mol(c.smiles), depiction));
    ASSERT_TRUE(tree) << c.smiles;
    std::map<unsigned, std::string> fills;
    for (const XmlElement* e : tree->FindAll("ellipse")) {
      const std::string style = e->Attribute("style");
      fills[std::stoul(e->Attribute("class").substr(5))] = style.substr(style.find("fill:") + 5, 7);
    }
    EXPECT_EQ(fills, c.fills) << c.smiles;
    EXPECT_EQ(HighlightedAtoms(*tree).size(), c.fills.size()) << c.smiles;  // one ellipse an atom
  }
}

TEST(KvDepictSvgTest, OneLayoutForManyDepictionsDrawsAsOneAtATime) {
  KvChem::KvMol mol;
  ASSERT_TRUE(KvChem::KvSmilesToMol("CN1C=NC2=C1C(=O)N(C(=O)N2C)C", mol));
  std::vector<KvDepiction> depictions(3);
  depictions[1].highlights.push_back(KvHighlight{{0, 1, 2}, {0, 1}, {}});
  depictions[2] = {120, 90, {KvHighlight{{13}, {}, {0.2f, 0.9f, 0.2f}}}};
  const std::vector<std::string> all = KvChem::KvDepictSvgs(mol, depictions);
  ASSERT_EQ(all.size(), 3u);
  for (std::size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i], KvChem::KvDepictSvg(mol, depictions[i])) << i;

  // An invalid molecule: empty texts and a warning; an empty one is valid.
  VarnexTest::CaptureSink sink;
  const auto empty = ParseXml(KvChem::KvDepictSvg(KvChem::KvMol(), {}));
  ASSERT_TRUE(empty);
  EXPECT_TRUE(HighlightedAtoms(*empty).empty());
  mol.SetInvalid();
  EXPECT_EQ(KvChem::KvDepictSvgs(mol, depictions), std::vector<std::string>(3));
  EXPECT_EQ(KvChem::KvDepictSvg(mol, {}), "");
  EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"KvDepictSvgs() invalid molecule!", "KvDepictSvg() invalid molecule!"}));
}

double Distance(const KvChem::KvPoint2D& a, const KvChem::KvPoint2D& b) { return std::hypot(a.x - b.x, a.y - b.y); }

// Every depiction draws the layout these give (one layout for many drawings
// above; the hit grid's drawings follow the query's layout on screen).
TEST(KvLayOutTest, KeepsDrawnCoordinatesAndLaysOutZeroOnes) {
  // Ethane drawn vertically: the layout keeps the drawing's direction at the
  // common bond length.
  const std::string drawn =
      "ethane\n  drawn\n\n  2  1  0  0  0  0  0  0  0  0999 V2000\n"
      "    0.0000    0.0000    0.0000 C   0  0\n"
      "    0.0000    1.5000    0.0000 C   0  0\n"
      "  1  2  1  0\nM  END\n";
  std::string zeros = drawn;
  zeros.replace(zeros.find("    1.5000"), 10, "    0.0000");
  KvChem::KvMol mol;
  KvChem::KvLayout layout;
  ASSERT_TRUE(KvChem::KvMolBlockToMol(drawn, mol));
  ASSERT_TRUE(KvChem::KvLayOut(mol, layout));
  ASSERT_EQ(layout.size(), 2u);
  EXPECT_NEAR(layout[0].x, layout[1].x, 1e-9);
  EXPECT_NEAR(Distance(layout[0], layout[1]), KvChem::KvLayoutBondLength, 1e-9);
  // All atoms on one point: laid out afresh.
  ASSERT_TRUE(KvChem::KvMolBlockToMol(zeros, mol));
  ASSERT_TRUE(KvChem::KvLayOut(mol, layout));
  EXPECT_NEAR(Distance(layout[0], layout[1]), KvChem::KvLayoutBondLength, 0.05);
}

// That fixed atoms stay where they were is checked on the hit grid, which
// draws every hit around its common part with the query; here the edges.
TEST(KvLayOutTest, AroundFixedAtomsEdgesAndInvalidMolecules) {
  const KvChem::KvMol salicylic = VarnexTest::Mol("OC(=O)c1ccccc1O");
  KvChem::KvLayout reference, layout;
  ASSERT_TRUE(KvChem::KvLayOut(salicylic, reference));
  // An atom beyond the molecule is left out; nothing fixed: an ordinary layout.
  ASSERT_TRUE(KvChem::KvLayOutAround(salicylic, {{3, reference[3]}, {4, reference[4]}, {99, {}}}, layout));
  ASSERT_EQ(layout.size(), salicylic.NumAtoms());
  EXPECT_LT(Distance(layout[3], reference[3]) + Distance(layout[4], reference[4]), 1e-3);
  ASSERT_TRUE(KvChem::KvLayOutAround(salicylic, {}, layout));
  EXPECT_EQ(layout.size(), salicylic.NumAtoms());
  // Invalid molecules: a warning each.
  VarnexTest::CaptureSink sink;
  KvChem::KvMol invalid;
  invalid.SetInvalid();
  EXPECT_FALSE(KvChem::KvLayOut(invalid, layout));
  EXPECT_FALSE(KvChem::KvLayOutAround(invalid, {{0, KvChem::KvPoint2D{}}}, layout));
  EXPECT_TRUE(layout.empty());
  EXPECT_EQ(KvChem::KvDepictSvgs(salicylic, KvChem::KvLayout(3), {KvDepiction{}}), std::vector<std::string>{""});
  EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"KvLayOut() invalid molecule!", "KvLayOutAround() invalid molecule!",
                                                    "KvDepictSvgs() the layout does not fit the molecule!"}));
}

TEST(KvDepictSvgTest, CanvasOfTheSizeGivenDrawsAtTheBondLengthAskedFor) {
  for (const double bond : {18.0, 24.0, 40.0}) {
    for (const KvChem::KvMol& mol : VarnexTest::NciMols(40)) {
      KvChem::KvLayout layout;
      ASSERT_TRUE(KvChem::KvLayOut(mol, layout));
      KvDepiction depiction;
      depiction.bondLength = bond;
      KvChem::KvDepictionSize(layout, bond, depiction.width, depiction.height);
      const auto tree = ParseXml(KvChem::KvDepictSvgs(mol, layout, {depiction}).at(0));
      ASSERT_TRUE(tree);
      const std::string smiles = KvChem::KvMolToSmiles(mol);
      for (const double length : VarnexTest::CentreBondLengths(*tree))
        EXPECT_NEAR(length, bond, 0.03 * bond) << smiles;
      for (const auto& [atom, size] : VarnexTest::LabelSizes(*tree))
        EXPECT_GE(size, std::max(KvChem::KvMinLabelSize, bond / 2) - 0.5) << smiles << " atom " << atom;
    }
  }
}

}  // namespace
