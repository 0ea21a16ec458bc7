// Pictures of fingerprints and searches: molecules with the atoms and bonds
// behind their bits, or shared with another molecule, highlighted; captioned
// grids of them as SVG; the hits of a search as an HTML grid; bar charts of
// score histograms.
//
// All molecules of one picture are drawn at one scale (the layout's bond
// length), so that they can be compared at a glance and atom labels stay
// readable; a drawing grows with its molecule instead of shrinking it. Hits
// are drawn in the orientation of their query. Drawings come from
// KvChem::KvDepictSvgs. A molecule that cannot be drawn still gets its panel,
// showing a note instead of the structure. Texts (captions, notes, labels)
// are escaped for XML and cleaned of bytes that are not UTF-8, so every
// document is well-formed whatever the molecule names, and pages carry no
// script.
//
// Thread safety: re-entrant. The pattern and overlap functions attach
// temporary data to the caller's molecules (see patterns.h), so two calls
// must not use the same molecule at the same time.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "kvchem/depict.h"
#include "kvchem/mol.h"
#include "varnex/fptypes.h"
#include "varnex/histogram.h"
#include "varnex/patterns.h"

namespace Varnex {

// The geometry of a picture.
struct KvPictureLayout {
  // The smallest drawing of a molecule in pixels (captions go below it). A
  // drawing grows to hold its molecule at `bondLength`, up to KvMaxPanelSide
  // on each side; a molecule larger than that is drawn smaller.
  unsigned panelWidth = 200;
  unsigned panelHeight = 160;
  // Panels per row (HTML pages: at most, fewer when the window is narrow).
  unsigned columns = 4;
  // Pixels per bond in every drawing of the picture. The default draws atom
  // labels 12 pixels high.
  double bondLength = 24.0;
};

// The largest side of a drawing, in pixels.
inline constexpr unsigned KvMaxPanelSide = 800;
// What callers may ask for: panel sides (pixels) and columns.
inline constexpr unsigned KvMinPanelRequest = 40;
inline constexpr unsigned KvMaxPanelRequest = 2000;
inline constexpr unsigned KvMaxColumns = 100;

// One line of a caption; `swatch` puts a square of that colour before the
// text (the key to a highlight colour).
struct KvCaptionLine {
  // Implicit: caption lines are written as plain strings.
  KvCaptionLine(std::string line) : text(std::move(line)) {}  // NOLINT
  KvCaptionLine(const char* line) : text(line) {}               // NOLINT
  KvCaptionLine(std::string line, KvChem::KvColour colour) : text(std::move(line)), swatch(colour) {}
  std::string text;
  std::optional<KvChem::KvColour> swatch;
};

// One cell of a grid: a drawing (an <svg> element of width x height pixels)
// and the caption lines shown below it. Lines too long for the panel wrap;
// the whole caption is also the panel's tooltip.
struct KvPicturePanel {
  std::string svg;
  unsigned width = 0;
  unsigned height = 0;
  std::vector<KvCaptionLine> caption;
};

// Highlight colours: the atoms behind a bit, the atoms in features two
// molecules share, and the common substructure of two molecules.
inline constexpr KvChem::KvColour KvPatternColour{1.0f, 0.71f, 0.43f};
inline constexpr KvChem::KvColour KvOverlapColour{0.60f, 0.87f, 0.60f};
inline constexpr KvChem::KvColour KvCommonColour{0.55f, 0.78f, 1.0f};

// `text` escaped for XML character data and attribute values (&, <, >, ",
// '), with every byte sequence that is not valid UTF-8 and every control
// character but tab and line breaks replaced by U+FFFD.
std::string KvXmlText(const std::string& text);

// An <svg> element of the given size showing `note`, in place of a drawing.
std::string KvGetNoteSvg(const std::string& note, unsigned width, unsigned height);

// The molecule drawn at the layout's scale with `highlights`; a molecule
// that cannot be drawn gives a drawing of the note "no 2D drawing".
KvPicturePanel KvGetMoleculePanel(const KvChem::KvMolBase& mol, const std::vector<KvChem::KvHighlight>& highlights,
                                  const KvPictureLayout& layout, std::vector<KvCaptionLine> caption);
// The same for several highlightings of one molecule (laid out once), with
// captions[i] under panel i.
// REQUIRES: highlights.size() == captions.size().
std::vector<KvPicturePanel> KvGetMoleculePanels(const KvChem::KvMolBase& mol,
                                                const std::vector<std::vector<KvChem::KvHighlight>>& highlights,
                                                const KvPictureLayout& layout,
                                                std::vector<std::vector<KvCaptionLine>> captions);

// A whole SVG document: the panels in rows of layout.columns, each drawing
// in a frame with its caption below, every cell as wide as the widest drawing.
// Without panels, a small document that shows `emptyNote`.
std::string KvGetSvgGrid(const std::vector<KvPicturePanel>& panels, const KvPictureLayout& layout,
                         const std::string& emptyNote);

// The patterns that explain a fingerprint of `type`, for every kind: the
// path, tree and circular patterns (KvGetFPPatterns), the MACCS key matches
// (KvGetMACCSFPPatterns), the Lingo substrings (KvGetLingoFPPatterns). For the
// unhashed kinds, the patterns of the hashed kind with the same distances and
// typing: their texts are the identifiers the unhashed fingerprint stores,
// their bits mean nothing. Null and unknown types give an empty list with the
// warning of KvGetFPPatterns.
std::vector<KvFPPattern> KvGetFeaturePatterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type);

// The panels of `patterns` (of `mol`'s fingerprint of `type`), the molecule
// with the atoms and bonds of each panel's patterns highlighted: for the
// hashed graph kinds one panel per bit (increasing, captioned "bit N"), for
// MACCS one per key (captioned "key K (bit K-1)" and what the key means), and
// under it each distinct pattern text in its own highlight colour, shown by
// the square before the text; for the unhashed kinds and Lingo one panel per
// distinct text, captioned with the text.
std::vector<KvPicturePanel> KvGetFPPatternPanels(const KvChem::KvMolBase& mol, const std::vector<KvFPPattern>& patterns,
                                                 const KvFPTypeBase* type, const KvPictureLayout& layout);

// The grid of the patterns of `mol` for `type`: every panel, or only the one
// of bit `bit` when it is not negative (`bit` must be negative for the kinds
// without bits: unhashed and Lingo). A bit that no pattern sets gives an
// empty grid with a note; a type without patterns, an empty grid with a note
// and the warning of KvGetFPPatterns.
std::string KvDrawFPPatterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type, int bit = -1,
                             const KvPictureLayout& layout = {});

// The atoms and bonds of A and of B that take part in a feature both share
// (the union of the matches of KvGetFPOverlap), as highlights in
// KvOverlapColour. Only features that say something count: paths and trees
// of at least 2 bonds, circular environments of radius 1 and more, MACCS keys
// of at least 3 atoms; the unhashed kinds count the features of their hashed
// kind, Lingo the atoms of the substrings both texts have. Types without
// overlap give empty highlights and the warning of KvGetFPOverlap.
void KvGetOverlapHighlights(const KvChem::KvMolBase& a, const KvChem::KvMolBase& b, const KvFPTypeBase* type,
                            KvChem::KvHighlight& onA, KvChem::KvHighlight& onB);

// How the hits of a search are highlighted: their maximum common substructure
// with the query (KvChem::KvFindMcs), the atoms of the fingerprint features
// they share with the query (KvGetOverlapHighlights), or not at all.
enum class KvHitHighlight { Mcs, Bits, None };
// The mode of a name ("mcs", "bits", "none"); false for any other.
[[nodiscard]] bool KvParseHitHighlight(const std::string& name, KvHitHighlight& mode);

struct KvHitGridOptions {
  KvPictureLayout layout;
  KvHitHighlight highlight = KvHitHighlight::Mcs;
  // Per hit: the common substructure search stops after this long with the
  // largest common part found so far.
  std::chrono::milliseconds mcsTimeLimit{1000};
};

// One hit of a search. `mol` is not owned and must outlive the call; null or
// an invalid molecule (an unreadable record) gives the hit a note instead of a
// drawing.
struct KvPictureHit {
  const KvChem::KvMolBase* mol = nullptr;
  std::string name;
  std::size_t index = 0;
  double score = 0.0;
};

// The hits of one query as an HTML fragment (a <section> of class
// "varnex-hits"; well-formed XML, no script): the heading, the query drawn
// once in full with its SMILES, a legend of the highlight colour, and one
// figure per hit, in the order given: the hit drawn in the query's
// orientation (the common part at the query's positions; a hit sharing fewer
// than 3 atoms keeps its own layout) with the highlight, the query beside it
// when the highlight is on both (bits), and a caption of rank, name, index,
// score (3 decimals) and SMILES. At most layout.columns figures per row.
// `type` is the fingerprint type of the scores (used by the bits highlight).
// The fragment needs the style sheet KvGetHitGridStyle().
std::string KvGetHitGridHtml(const std::string& heading, const KvChem::KvMolBase& query,
                             const std::vector<KvPictureHit>& hits, const KvFPTypeBase* type,
                             const KvHitGridOptions& options);
// The CSS of the hit grids (rules scoped to the "varnex-hits" class).
const std::string& KvGetHitGridStyle();
// A whole self-contained XHTML page: head (title, style) and the title and
// subtitle as its first lines, then the grids. Head and tail can also be
// written on their own, around grids written one at a time.
std::string KvGetHitPageHtml(const std::string& title, const std::string& subtitle,
                             const std::vector<std::string>& grids);
std::string KvGetHitPageHead(const std::string& title, const std::string& subtitle);
std::string KvGetHitPageTail();

// How the counts axis of a histogram chart is scaled. Auto: logarithmic
// when the largest bin holds more than 100 times the smallest non-empty one
// (KvHistogramWantsLogScale), so that the few high scores chemists look for
// stay visible beside the many low ones; else linear.
enum class KvChartScale { Auto, Log, Linear };
// The scale of a name ("auto", "log", "linear"); false for any other.
[[nodiscard]] bool KvParseChartScale(const std::string& name, KvChartScale& scale);
// The Auto rule: whether the largest bin is more than 100 times the
// smallest non-empty one.
bool KvHistogramWantsLogScale(const KvFPHistogram& histogram);

struct KvHistogramChartOptions {
  // Lines above the chart: say which database, type, measure and how many
  // pairs (none by default).
  std::vector<std::string> title;
  std::string xLabel = "score";
  std::string yLabel = "pairs of records";
  KvChartScale scale = KvChartScale::Auto;
};

// The title of the chart of the histogram of a database's pairs: its source
// and number of records, its fingerprint type, the measure and the number of
// pairs counted (the histogram's total), e.g. {"mols.fpbin: 5,000 records",
// "Path,ver=2.0.0,...", "Tanimoto scores of 12,497,500 pairs"}.
std::vector<std::string> KvGetHistogramTitle(const std::string& source, std::size_t records,
                                             const std::string& typeString, const std::string& measure,
                                             const KvFPHistogram& histogram);

// A bar chart of the histogram as a whole SVG document: the title, one bar
// (a <rect> of class "bar" with a tooltip of its range and count) per bin, an
// x axis over the histogram's range labelled xLabel, a y axis of counts
// (linear or logarithmic, its label saying which) labelled yLabel, and ticks
// with numbers on both. Count ticks read "2,500" or, from 10,000, "12.5k",
// "400M"; the axis label keeps clear of the widest of them. On a log axis a
// non-empty bin is at least 2 pixels high, so that no count looks like none.
std::string KvDrawHistogram(const KvFPHistogram& histogram, const KvHistogramChartOptions& options);

}  // namespace Varnex
