// Pictures of fingerprints on NCI molecules: every document parses as XML;
// the pattern grid has one panel per bit the fingerprint sets and highlights
// exactly the atoms of that bit's patterns; unhashed panels carry the stored
// identifiers; overlaps; the histogram chart; hostile texts. A grid of one
// bit is the Python drawing's test.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "drawing_geometry.h"
#include "kvsystem/iterator.h"
#include "molecules.h"
#include "varnex/generation.h"
#include "varnex/patterns.h"
#include "varnex/pictures.h"
#include "xml_tree.h"

namespace Varnex {
namespace {

using VarnexTest::Mol;
using VarnexTest::ParseXml;
using VarnexTest::XmlElement;

// The first `count` NCI molecules of at most 16 atoms (small enough that
// drawing every bit stays quick).
std::vector<KvChem::KvMol> NciMolecules(std::size_t count) {
  std::vector<KvChem::KvMol> mols;
  VarnexTest::CaptureSink quiet;  // a few NCI records do not parse
  for (KvChem::KvMol& mol : VarnexTest::NciMols(60))
    if (mols.size() < count && mol.NumAtoms() <= 16) mols.push_back(std::move(mol));
  return mols;
}

TEST(KvDrawFPPatternsTest, OnePanelPerSetBitHighlightingItsPatterns) {
  for (unsigned kind : {KvFPType::Path, KvFPType::Tree, KvFPType::Circular}) {
    const KvFPTypeBase* type = KvGetFPType(kind);
    for (const KvChem::KvMol& mol : NciMolecules(6)) {
      KvFingerPrint fp;
      ASSERT_TRUE(KvMakeFP(fp, mol, type));
      std::map<unsigned, std::set<unsigned>> atomsOfBit;
      for (const KvFPPattern& p : KvSystem::KvCollect(KvGetFPPatterns(mol, type)))
        for (const KvChem::KvAtomBase* atom : p.GetAtoms()) atomsOfBit[p.GetBit()].insert(atom->GetIdx());

      const auto grid = ParseXml(KvDrawFPPatterns(mol, type));
      ASSERT_TRUE(grid) << KvChem::KvMolToSmiles(mol);
      std::set<unsigned> bits;
      for (const XmlElement* panel : grid->FindAll("g", "panel")) {
        const std::string caption = panel->FindAll("text", "caption").at(0)->AllText();
        ASSERT_EQ(caption.rfind("bit ", 0), 0u) << caption;
        const unsigned bit = std::stoul(caption.substr(4));
        EXPECT_TRUE(bits.insert(bit).second) << "one panel per bit";
        EXPECT_TRUE(fp.IsBitOn(bit)) << bit;
        const std::multiset<unsigned> drawn = VarnexTest::HighlightedAtoms(*panel);
        EXPECT_EQ(std::set<unsigned>(drawn.begin(), drawn.end()), atomsOfBit[bit])
            << KvChem::KvMolToSmiles(mol) << " bit " << bit;
        EXPECT_EQ(drawn.size(), atomsOfBit[bit].size()) << "one ellipse per atom";
      }
      EXPECT_EQ(bits.size(), fp.CountBits()) << KvChem::KvMolToSmiles(mol);
    }
  }
}

TEST(KvDrawFPPatternsTest, EveryKindExplainedAndEachPatternOfABitInItsOwnColour) {
  const KvChem::KvMol aspirin = Mol("CC(=O)Oc1ccccc1C(=O)O");
  // MACCS: a panel per set key (counted by test_pictures.py), captioned with
  // key, bit and description. Lingo panels are the substrings, whose atoms
  // the pattern tests check.
  auto grid = ParseXml(KvDrawFPPatterns(aspirin, KvGetFPType(KvFPType::MACCS166)));
  ASSERT_TRUE(grid);
  std::set<std::vector<std::string>> captions;  // of each panel, line by line
  for (const XmlElement* panel : grid->FindAll("g", "panel")) {
    std::vector<std::string> lines;
    for (const XmlElement* text : panel->FindAll("text", "caption")) lines.push_back(text->AllText());
    captions.insert(lines);
  }
  EXPECT_EQ(captions.count({"key 154 (bit 153)", "a carbonyl (C=O)", "[#6]=[#8]"}), 1u);

  // A small path fingerprint folds several patterns onto one bit: each has
  // a colour of its own, the key before its caption line.
  std::size_t crowded = 0;
  grid = ParseXml(KvDrawFPPatterns(aspirin, KvGetPathFPType(64, 0, 5, 191, 3)));
  ASSERT_TRUE(grid);
  for (const XmlElement* panel : grid->FindAll("g", "panel")) {
    std::vector<std::string> swatches;
    for (const XmlElement* r : panel->FindAll("rect", "swatch")) swatches.push_back(r->Attribute("fill"));
    const std::string tooltip = panel->FindAll("title").at(0)->AllText();  // the bit and the texts, a line each
    EXPECT_EQ(swatches.size(), static_cast<std::size_t>(std::count(tooltip.begin(), tooltip.end(), '\n')))
        << "one swatch per pattern text";
    EXPECT_EQ(std::set<std::string>(swatches.begin(), swatches.end()).size(), std::min<std::size_t>(swatches.size(), 8));
    for (const XmlElement* e : panel->FindAll("ellipse")) {  // each highlight in a swatch's colour
      const std::string style = e->Attribute("style");
      EXPECT_NE(std::find(swatches.begin(), swatches.end(), style.substr(style.find("fill:") + 5, 7)), swatches.end());
    }
    if (swatches.size() > 1) ++crowded;
  }
  EXPECT_GT(crowded, 10u);

  // No type: an empty grid with a note (the warning is the message table's).
  VarnexTest::CaptureSink quiet;
  grid = ParseXml(KvDrawFPPatterns(aspirin, nullptr));
  ASSERT_TRUE(grid);
  EXPECT_EQ(grid->FindAll("text", "note").at(0)->AllText(), "no patterns");
}

// The identifiers an unhashed fingerprint stores: its text up to the zero
// byte, split at blanks.
std::set<std::string> StoredIdentifiers(const KvFingerPrint& fp) {
  const char* text = reinterpret_cast<const char*>(fp.GetBytes());
  std::set<std::string> ids;
  std::istringstream words(std::string(text, strnlen(text, fp.NumBytes())));
  for (std::string word; words >> word;) ids.insert(word);
  return ids;
}

TEST(KvGetFeaturePatternsTest, UnhashedPatternTextsAreTheStoredIdentifiers) {
  for (unsigned kind : {KvFPType::UnhashedPath, KvFPType::UnhashedTree, KvFPType::UnhashedCircular}) {
    const KvFPTypeBase* type = KvGetFPType(kind);
    for (const KvChem::KvMol& mol : NciMolecules(25)) {
      KvFingerPrint fp;
      ASSERT_TRUE(KvMakeFP(fp, mol, type));
      std::set<std::string> texts;
      for (const KvFPPattern& p : KvGetFeaturePatterns(mol, type)) texts.insert(p.GetSmarts());
      EXPECT_EQ(texts, StoredIdentifiers(fp)) << kind << " " << KvChem::KvMolToSmiles(mol);
    }
  }
}

struct OverlapCase {
  const char* a;
  const char* b;
  std::vector<unsigned> atomsA, bondsA, atomsB, bondsB;
};

TEST(KvGetOverlapHighlightsTest, SharedFeaturesOfAtLeastTwoBondsOnBothSides) {
  const OverlapCase cases[] = {
      // A shared C-C bond alone says nothing: paths count from 2 bonds.
      {"CCO", "CCN", {}, {}, {}, {}},
      {"CCCO", "NCCC", {0, 1, 2}, {0, 1}, {1, 2, 3}, {1, 2}},
      {"CCO", "c1ccccc1", {}, {}, {}, {}},
      // Explicit hydrogens keep their indices and take no part.
      {"CC([H])O", "OCC", {0, 1, 3}, {0, 2}, {0, 1, 2}, {0, 1}},
  };
  for (const OverlapCase& c : cases) {
    KvChem::KvHighlight onA, onB;
    KvGetOverlapHighlights(Mol(c.a), Mol(c.b), KvGetFPType(KvFPType::Path), onA, onB);
    using Lists = std::vector<std::vector<unsigned>>;
    EXPECT_EQ((Lists{onA.atoms, onA.bonds, onB.atoms, onB.bonds}), (Lists{c.atomsA, c.bondsA, c.atomsB, c.bondsB}))
        << c.a << " " << c.b;
  }
  // A molecule against itself shares every heavy atom and bond, whatever the
  // kind (the unhashed kinds through the features of their hashed kind).
  for (const KvChem::KvMol& mol : NciMolecules(5))
    for (unsigned kind : {KvFPType::Path, KvFPType::Tree, KvFPType::Circular, KvFPType::MACCS166,
                          KvFPType::UnhashedCircular}) {
      KvChem::KvHighlight onA, onB;
      KvGetOverlapHighlights(mol, KvChem::KvMol(mol), KvGetFPType(kind), onA, onB);
      std::vector<unsigned> heavy;
      for (const KvChem::KvAtomBase* atom : mol.Atoms())
        if (!atom->IsHydrogen()) heavy.push_back(atom->GetIdx());
      if (kind != KvFPType::MACCS166) {
        EXPECT_EQ(onA.atoms, heavy) << kind << " " << KvChem::KvMolToSmiles(mol);
      }
      EXPECT_EQ(onA.atoms, onB.atoms);
      EXPECT_EQ(onA.bonds, onB.bonds);
    }
}

struct Chart {
  std::vector<double> heights;
  std::vector<std::string> tooltips, labels, ticks;
};

Chart ReadChart(const std::string& svg) {
  Chart chart;
  const auto doc = ParseXml(svg);
  EXPECT_TRUE(doc);
  if (!doc) return chart;
  for (const XmlElement* bar : doc->FindAll("rect", "bar")) {
    chart.heights.push_back(std::stod(bar->Attribute("height")));
    chart.tooltips.push_back(bar->FindAll("title").at(0)->AllText());
  }
  for (const XmlElement* e : doc->FindAll("text", "axis-label")) chart.labels.push_back(e->AllText());
  for (const XmlElement* e : doc->FindAll("text", "tick")) chart.ticks.push_back(e->AllText());
  return chart;
}

TEST(KvDrawHistogramTest, LinearBarsScaledToTheCountsWithReadableTicks) {
  const KvHistogramChartOptions options{{}, "Tanimoto score", "pairs", KvChartScale::Auto};
  Chart chart = ReadChart(KvDrawHistogram(KvFPHistogram({0, 30, 120, 7, 0}, 0.0, 1.0), options));
  ASSERT_EQ(chart.heights.size(), 5u);  // 120 / 7 is below 100: linear
  EXPECT_EQ(chart.heights[0], 0.0);
  EXPECT_NEAR(chart.heights[2] / chart.heights[1], 4.0, 0.02);
  EXPECT_NEAR(chart.heights[1] / chart.heights[3], 30.0 / 7.0, 0.05);
  EXPECT_EQ(chart.tooltips[2], "0.4 to 0.6: 120");
  EXPECT_EQ(chart.labels, (std::vector<std::string>{"Tanimoto score", "pairs"}));
  EXPECT_EQ(chart.ticks, (std::vector<std::string>{"0", "0.2", "0.4", "0.6", "0.8", "1", "0", "50", "100", "150"}));
  // Counts from 10,000 read with suffixes, below with separators.
  chart = ReadChart(KvDrawHistogram(KvFPHistogram({123456, 1}, 0.0, 1.0), {{}, "x", "y", KvChartScale::Linear}));
  EXPECT_EQ(std::vector<std::string>(chart.ticks.begin() + 6, chart.ticks.end()),
            (std::vector<std::string>{"0", "50k", "100k", "150k"}));
  EXPECT_EQ(chart.tooltips[0], "0 to 0.5: 123,456");
  chart = ReadChart(KvDrawHistogram(KvFPHistogram(std::vector<std::size_t>{4500}, 0.0, 1.0), {}));
  EXPECT_EQ(std::vector<std::string>(chart.ticks.begin() + 6, chart.ticks.end()),
            (std::vector<std::string>{"0", "1,000", "2,000", "3,000", "4,000", "5,000"}));

  // No samples, or no bins: an empty chart, not a division by zero.
  for (const KvFPHistogram& empty : {KvFPHistogram(4, 0.0, 1.0), KvFPHistogram(std::vector<std::size_t>{}, 0.0, 1.0)})
    for (const KvChartScale scale : {KvChartScale::Auto, KvChartScale::Log})
      for (const double height : ReadChart(KvDrawHistogram(empty, {{}, "x", "y", scale})).heights) EXPECT_EQ(height, 0.0);
}

TEST(KvDrawHistogramTest, LogScaleWhenTheBinsSpanMoreThanAHundredfold) {
  const KvFPHistogram histogram({1, 400000000, 2000000, 1000, 0}, 0.0, 1.0);
  EXPECT_FALSE(KvHistogramWantsLogScale(KvFPHistogram({100, 1, 0}, 0.0, 1.0)));  // exactly 100 times: linear
  EXPECT_TRUE(KvHistogramWantsLogScale(KvFPHistogram({101, 1, 0}, 0.0, 1.0)));
  // The title and the log-scale axis label are test_pictures.py's.
  KvHistogramChartOptions options;
  const Chart chart = ReadChart(KvDrawHistogram(histogram, options));
  // Decades 1 to 1G, every second one labelled, the top among them.
  EXPECT_EQ(std::vector<std::string>(chart.ticks.begin() + 6, chart.ticks.end()),
            (std::vector<std::string>{"10", "1,000", "100k", "10M", "1G"}));
  ASSERT_EQ(chart.heights.size(), 5u);
  EXPECT_EQ(chart.heights[0], 2.0) << "one pair is still a visible bar";
  EXPECT_EQ(chart.heights[4], 0.0);
  // Heights follow the logarithm: 10^3, 10^6.3 and 10^8.6 of 9 decades.
  EXPECT_NEAR(chart.heights[3] / chart.heights[1], 3.0 / std::log10(4e8), 0.01);
  EXPECT_NEAR(chart.heights[2] / chart.heights[1], std::log10(2e6) / std::log10(4e8), 0.01);
  EXPECT_EQ(chart.tooltips[1], "0.2 to 0.4: 400,000,000");
  // Asked for linear, the small bins nearly vanish.
  options.scale = KvChartScale::Linear;
  EXPECT_LT(ReadChart(KvDrawHistogram(histogram, options)).heights[3], 0.01);
}

TEST(KvXmlTextTest, EscapesMarkupAndReplacesBytesThatAreNotUtf8) {
  const std::pair<std::string, std::string> cases[] = {
      {"a<b>&\"c'", "a&lt;b&gt;&amp;&quot;c&#39;"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"\xFF", "\xEF\xBF\xBD"},
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},          // overlong
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
      {"x\xE2\x82", "x\xEF\xBF\xBD\xEF\xBF\xBD"},        // cut short
      {std::string("a\x01\tb\n", 5), "a\xEF\xBF\xBD\tb\n"},
  };
  for (const auto& [raw, escaped] : cases) {
    EXPECT_EQ(KvXmlText(raw), escaped);
    EXPECT_TRUE(ParseXml("<t a='" + KvXmlText(raw) + "'>" + KvXmlText(raw) + "</t>")) << escaped;
  }
}

TEST(KvGetSvgGridTest, HostileCaptionsStayWellFormedAndWrapAtCharacters) {
  KvPictureLayout layout;
  layout.panelWidth = 100;  // 14 characters a line
  layout.bondLength = 10;   // small enough for the molecules to fit the panel
  const std::string e8 = "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";  // eight e-acute
  const std::string longName = e8 + "<&>\xC3\xA9\xC3\xA9\xFFxyz";                      // 17 characters
  KvChem::KvMol invalid;
  invalid.SetInvalid();
  VarnexTest::CaptureSink sink;
  const std::vector<KvPicturePanel> panels = {
      KvGetMoleculePanel(Mol("CCO"), {}, layout, {longName, "short"}),
      KvGetMoleculePanel(invalid, {}, layout, {"unreadable"}),
      KvGetMoleculePanel(Mol("c1ccccc1"), {}, layout, {"[C;D1;^3]-[C;D2;^3]-[O;D1;^3]"}),
  };
  const auto grid = ParseXml(KvGetSvgGrid(panels, layout, "unused"));
  ASSERT_TRUE(grid);
  const auto groups = grid->FindAll("g", "panel");
  ASSERT_EQ(groups.size(), 3u);
  const std::vector<std::string> expected[] = {
      {e8 + "<&>\xC3\xA9\xC3\xA9\xEF\xBF\xBD", "xyz", "short"},  // 14 characters, the rest, the next line
      {"unreadable"},
      {"[C;D1;^3]-", "[C;D2;^3]-", "[O;D1;^3]"},  // broken after separators
  };
  for (std::size_t i = 0; i < groups.size(); ++i) {
    std::vector<std::string> lines;
    for (const XmlElement* text : groups[i]->FindAll("text", "caption")) lines.push_back(text->AllText());
    EXPECT_EQ(lines, expected[i]) << i;
  }
  EXPECT_EQ(groups[0]->FindAll("title").at(0)->AllText(), e8 + "<&>\xC3\xA9\xC3\xA9\xEF\xBF\xBDxyz\nshort");
  EXPECT_EQ(groups[1]->FindAll("text", "note").at(0)->AllText(), "no 2D drawing");  // the layout's warning is its own

  const auto empty = ParseXml(KvGetSvgGrid({}, layout, "nothing <here>"));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->FindAll("text", "note").at(0)->AllText(), "nothing <here>");
}

}  // namespace
}  // namespace Varnex
