// Pictures of fingerprints: molecules with the atoms and bonds behind their
// bits or shared with another molecule highlighted, arranged in captioned
// grids, and bar charts of score histograms. Everything is SVG text.
//
// Drawings come from KvChem::KvDepictSvg. A molecule that cannot be drawn
// still gets its panel, showing a note instead of the structure. Texts
// (captions, notes, labels) are escaped for XML and cleaned of bytes that are
// not UTF-8, so every document is well-formed whatever the molecule names.
//
// Thread safety: re-entrant. The pattern and overlap functions attach
// temporary data to the caller's molecules (see patterns.h), so two calls
// must not use the same molecule at the same time.
#pragma once

#include <string>
#include <vector>

#include "kvchem/depict.h"
#include "kvchem/mol.h"
#include "varnex/fptypes.h"
#include "varnex/histogram.h"
#include "varnex/patterns.h"

namespace Varnex {

// The size of the drawing of each panel in pixels (captions go below it) and
// the number of panels per row of a grid.
struct KvPictureLayout {
  unsigned panelWidth = 260;
  unsigned panelHeight = 200;
  unsigned columns = 4;
};

// One cell of a grid: a drawing (an <svg> element) and the caption lines
// shown below it. Long lines are cut in the picture; the whole caption is the
// panel's tooltip.
struct KvPicturePanel {
  std::string svg;
  std::vector<std::string> caption;
};

// Highlight colours: the atoms behind a bit, and the atoms two molecules share.
inline constexpr KvChem::KvColour KvPatternColour{1.0f, 0.71f, 0.43f};
inline constexpr KvChem::KvColour KvOverlapColour{0.60f, 0.87f, 0.60f};

// `text` escaped for XML character data and attribute values (&, <, >, ",
// '), with every byte sequence that is not valid UTF-8 and every control
// character but tab and line breaks replaced by U+FFFD.
std::string KvXmlText(const std::string& text);

// An <svg> element of the given size showing `note`, in place of a drawing.
std::string KvGetNoteSvg(const std::string& note, unsigned width, unsigned height);

// The molecule drawn at the layout's panel size with `highlights`; a molecule
// that cannot be drawn gives a drawing of the note "no 2D drawing".
KvPicturePanel KvGetMoleculePanel(const KvChem::KvMolBase& mol, const std::vector<KvChem::KvHighlight>& highlights,
                                  const KvPictureLayout& layout, std::vector<std::string> caption);
// The same for several highlightings of one molecule (laid out once), with
// captions[i] under panel i.
// REQUIRES: highlights.size() == captions.size().
std::vector<KvPicturePanel> KvGetMoleculePanels(const KvChem::KvMolBase& mol,
                                                const std::vector<std::vector<KvChem::KvHighlight>>& highlights,
                                                const KvPictureLayout& layout,
                                                std::vector<std::vector<std::string>> captions);

// A whole SVG document: the panels in rows of layout.columns, each drawing
// in a frame with its caption below. Without panels, a small document that
// shows `emptyNote`.
std::string KvGetSvgGrid(const std::vector<KvPicturePanel>& panels, const KvPictureLayout& layout,
                         const std::string& emptyNote);

// The patterns that explain a fingerprint of `type` (KvGetFPPatterns) for the
// path, tree and circular kinds. For their unhashed forms, the patterns of the
// hashed kind with the same distances and typing: their texts are the
// identifiers the unhashed fingerprint stores, their bits mean nothing.
// Other kinds and null give an empty list with the warning of KvGetFPPatterns.
std::vector<KvFPPattern> KvGetFeaturePatterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type);

// One panel per bit (`byBit`, in increasing bit order, captioned "bit N" and
// the distinct pattern texts) or per distinct pattern text (in text order,
// captioned with the text), the molecule with the atoms and bonds of all its
// patterns highlighted.
std::vector<KvPicturePanel> KvGetFPPatternPanels(const KvChem::KvMolBase& mol, const std::vector<KvFPPattern>& patterns,
                                                 bool byBit, const KvPictureLayout& layout);

// The grid of the patterns of `mol` for `type`: one panel per bit, or only
// bit `bit` when it is not negative (unhashed kinds: one panel per identifier,
// and `bit` must be negative). A bit that no pattern sets gives an empty grid
// with a note; a kind without patterns, an empty grid with a note and the
// warning of KvGetFPPatterns.
std::string KvDrawFPPatterns(const KvChem::KvMolBase& mol, const KvFPTypeBase* type, int bit = -1,
                             const KvPictureLayout& layout = {});

// The atoms and bonds of A and of B that take part in a feature both share
// (the union of the matches of KvGetFPOverlap), as highlights in
// KvOverlapColour. Types without overlap give empty highlights and the
// warning of KvGetFPOverlap.
void KvGetOverlapHighlights(const KvChem::KvMolBase& a, const KvChem::KvMolBase& b, const KvFPTypeBase* type,
                            KvChem::KvHighlight& onA, KvChem::KvHighlight& onB);

// A bar chart of the histogram as a whole SVG document: one bar (a <rect> of
// class "bar" with a tooltip of its range and count) per bin, an x axis over
// the histogram's range labelled `xLabel`, a y axis of counts labelled
// `yLabel`, and ticks with numbers on both.
std::string KvDrawHistogram(const KvFPHistogram& histogram, const std::string& xLabel, const std::string& yLabel);

}  // namespace Varnex
