// Tests of the hit grid: every drawing of a grid at one bond length with
// readable labels, each hit in the query's orientation (its common part at
// the query's layout positions), figures of one width in rows of at most
// `columns`, hostile names shown literally, unreadable hits and empty lists.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "drawing_geometry.h"
#include "kvchem/mcs.h"
#include "molecules.h"
#include "varnex/pictures.h"
#include "xml_tree.h"

namespace Varnex {
namespace {

using VarnexTest::Mol;
using VarnexTest::ParseXml;
using VarnexTest::XmlElement;

// The centres of the highlight ellipses of the atoms that have no label (a
// label's ellipse is centred on the label, not the atom).
std::map<unsigned, KvChem::KvPoint2D> UnlabelledHighlightCentres(const XmlElement& svg) {
  const auto labels = VarnexTest::LabelSizes(svg);
  std::map<unsigned, KvChem::KvPoint2D> centres;
  for (const XmlElement* e : svg.FindAll("ellipse")) {
    const auto atom = static_cast<unsigned>(VarnexTest::NumberAfter(e->Attribute("class"), "atom-"));
    if (!labels.count(static_cast<int>(atom)))
      centres[atom] = {std::stod(e->Attribute("cx")), std::stod(e->Attribute("cy"))};
  }
  return centres;
}

class HitGridTest : public ::testing::Test {
 protected:
  // Chloroquine and relatives, an unrelated molecule and one unreadable hit.
  const KvChem::KvMol query_ = Mol("CCN(CC)CCCC(C)Nc1ccnc2cc(Cl)ccc12");
  const std::vector<KvChem::KvMol> mols_ = {
      Mol("CCN(CCO)CCCC(C)Nc1ccnc2cc(Cl)ccc12"), Mol("CCN(CC)Cc1cc(Nc2ccnc3cc(Cl)ccc23)ccc1O"),
      Mol("COc1cc(NC(C)CCCN)c2ncccc2c1"),        Mol("c1ccc2ncccc2c1"),
      Mol("CCO"),
  };
  std::vector<KvPictureHit> Hits() const {
    std::vector<KvPictureHit> hits;
    for (std::size_t i = 0; i < mols_.size(); ++i) hits.push_back({&mols_[i], "hit " + std::to_string(i), i, 0.5});
    return hits;
  }
};

TEST_F(HitGridTest, OneScaleAndEveryHitInTheQuerysOrientation) {
  KvHitGridOptions options;
  options.layout.columns = 3;
  const auto section = ParseXml(KvGetHitGridHtml("query 0", query_, Hits(), nullptr, options));
  ASSERT_TRUE(section);
  KvChem::KvLayout queryLayout;
  ASSERT_TRUE(KvChem::KvLayOut(query_, queryLayout));
  const double scale = options.layout.bondLength / KvChem::KvLayoutBondLength;

  // Every drawing, the query's included, at the grid's bond length (labels
  // follow the bond length in the depiction's test).
  const auto drawings = section->FindAll("svg");
  ASSERT_EQ(drawings.size(), mols_.size() + 1);
  for (const XmlElement* svg : drawings)
    for (const double length : VarnexTest::CentreBondLengths(*svg)) EXPECT_NEAR(length, options.layout.bondLength, 0.5);

  const auto figures = section->FindAll("figure", "hit");
  ASSERT_EQ(figures.size(), mols_.size());
  const std::string width = figures[0]->Attribute("style");
  for (std::size_t i = 0; i < figures.size(); ++i) {
    EXPECT_EQ(figures[i]->Attribute("style"), width) << "one width for all figures";
    // The highlighted atoms are the common part; between any two of them
    // the drawing has the query's offsets (y grows downwards on screen).
    KvChem::KvMcsResult mcs;
    ASSERT_TRUE(KvChem::KvFindMcs(query_, mols_[i], {}, mcs));
    const auto centres = UnlabelledHighlightCentres(*figures[i]->FindAll("svg").at(0));
    if (mcs.atoms.size() < 3) {
      EXPECT_TRUE(centres.empty()) << i;
      continue;
    }
    EXPECT_EQ(figures[i]->FindAll("ellipse").size(), mcs.atoms.size()) << i;
    const KvChem::KvPoint2D* first = nullptr;
    KvChem::KvPoint2D firstQuery;
    for (const auto& [q, h] : mcs.atoms) {
      const auto it = centres.find(h);
      if (it == centres.end()) continue;
      if (first == nullptr) {
        first = &it->second;
        firstQuery = queryLayout[q];
        continue;
      }
      EXPECT_NEAR(it->second.x - first->x, scale * (queryLayout[q].x - firstQuery.x), 1.0) << i << " atom " << h;
      EXPECT_NEAR(it->second.y - first->y, -scale * (queryLayout[q].y - firstQuery.y), 1.0) << i << " atom " << h;
    }
  }
  // At most three figures a row: the grid is no wider than three of them.
  const double figure = std::stod(width.substr(width.find(':') + 1)) + 14;
  const std::string grid = section->FindAll("div", "grid").at(0)->Attribute("style");
  EXPECT_EQ(std::stod(grid.substr(grid.find(':') + 1)), 3 * figure + 2 * 12);
}

TEST_F(HitGridTest, HostileNamesUnreadableHitsAndNoHits) {
  std::vector<KvPictureHit> hits = Hits();
  hits.resize(1);
  hits[0].name = "<script>alert(1)</script> & \xFF";
  hits.push_back({nullptr, "gone", 7, 0.25});
  KvChem::KvMol invalid;
  invalid.SetInvalid();
  hits.push_back({&invalid, "broken", 8, 0.125});
  VarnexTest::CaptureSink sink;
  const std::string html = KvGetHitPageHtml("<b>title</b>", "sub", {KvGetHitGridHtml("q <1>", query_, hits, nullptr, {})});
  const auto page = ParseXml(html);
  ASSERT_TRUE(page);
  EXPECT_TRUE(page->FindAll("script").empty());
  EXPECT_EQ(page->FindAll("h1").at(0)->AllText(), "<b>title</b>");
  EXPECT_EQ(page->FindAll("h2").at(0)->AllText(), "q <1>");
  const auto figures = page->FindAll("figure", "hit");
  ASSERT_EQ(figures.size(), 3u);
  EXPECT_EQ(figures[0]->FindAll("div", "name").at(0)->AllText(), "<script>alert(1)</script> & \xEF\xBF\xBD");
  EXPECT_EQ(figures[1]->FindAll("text", "note").at(0)->AllText(), "record 7 could not be read");
  EXPECT_EQ(figures[2]->FindAll("text", "note").at(0)->AllText(), "record 8 could not be read");
  EXPECT_EQ(figures[2]->FindAll("div", "score").at(0)->AllText(), "score 0.125");
  EXPECT_EQ(sink.Count(), 0u);

  const auto empty = ParseXml(KvGetHitGridHtml("q", query_, {}, nullptr, {}));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->FindAll("p", "note").at(0)->AllText(), "no hits");
  EXPECT_EQ(empty->FindAll("figure", "query").size(), 1u);
}

}  // namespace
}  // namespace Varnex
